"""Development mode: LUMIO_WEB_DIR serves app://lumio/ from a folder, read afresh."""

import json
import os

import pytest

import lumio_session as ls

PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>dev %(version)s</title>
<link rel="stylesheet" href="Style.css"></head>
<body><p id="version">%(version)s</p><script src="js/app.js"></script></body></html>
"""

# GET through XHR: [status, Content-Type, text] or "failed".
XHR_FN = r"""
(function (url) {
  return new Promise(function (resolve) {
    var xhr = new XMLHttpRequest();
    xhr.open('GET', url);
    xhr.onload = function () {
      resolve([xhr.status, xhr.getResponseHeader('Content-Type'), xhr.responseText]);
    };
    xhr.onerror = function () { resolve('failed'); };
    xhr.send();
  });
})
"""


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def make_site(root):
    site = os.path.join(root, "site")
    write(os.path.join(site, "index.html"), PAGE % {"version": "one"})
    write(os.path.join(site, "style.css"), "#version { color: rgb(1, 2, 3); }")
    write(os.path.join(site, "js", "app.js"), "window.__script = 'one';")
    write(os.path.join(site, "data.json"), '{"from": "the folder"}')
    write(os.path.join(root, "outside", "secret.txt"), "secret")
    os.symlink(os.path.join(root, "outside", "secret.txt"), os.path.join(site, "leak.txt"))
    os.symlink(os.path.join(root, "outside"), os.path.join(site, "leakdir"))
    os.symlink("data.json", os.path.join(site, "alias.json"))
    return site


def xhr(app, path):
    return app.devtools.evaluate("(%s)(%s)" % (XHR_FN, json.dumps(ls.APP_ORIGIN + path)))


def page_state(app):
    return app.devtools.evaluate(
        "document.readyState === 'complete' && [document.title, "
        "document.getElementById('version').textContent, window.__script, "
        "getComputedStyle(document.getElementById('version')).color]")


def edit_site(site, version, colour):
    write(os.path.join(site, "index.html"), PAGE % {"version": version})
    write(os.path.join(site, "js", "app.js"), "window.__script = '%s';" % version)
    write(os.path.join(site, "style.css"), "#version { color: rgb(%d, %d, %d); }" % colour)


def test_edits_show_on_reload_without_repacking(launch, desktop):
    site = make_site(desktop.root)
    # The test pack is installed too: the folder wins over it.
    app = launch(pack=True, env={"LUMIO_WEB_DIR": site})
    app.connect()
    ls.wait_for(lambda: page_state(app) == ["dev one", "one", "one", "rgb(1, 2, 3)"], 20,
                what=lambda: "the folder's page (have %r)" % (page_state(app),))

    # The engine keeps scripts and style sheets of app:// in its memory cache for
    # as long as it likes, so a developer reloads as the DevTools do it: a hard
    # reload, or any reload while "Disable cache" is ticked.
    edit_site(site, "two", (4, 5, 6))
    app.devtools.call("Page.reload", {"ignoreCache": True})
    ls.wait_for(lambda: page_state(app) == ["dev two", "two", "two", "rgb(4, 5, 6)"], 20,
                what=lambda: "the edited page (have %r)" % (page_state(app),))

    edit_site(site, "three", (7, 8, 9))
    app.devtools.call("Network.enable")
    app.devtools.call("Network.setCacheDisabled", {"cacheDisabled": True})
    app.devtools.evaluate("location.reload(), true")
    ls.wait_for(lambda: page_state(app) == ["dev three", "three", "three", "rgb(7, 8, 9)"], 20,
                what=lambda: "the page edited again (have %r)" % (page_state(app),))
    with open(app.log_path, encoding="utf-8", errors="replace") as f:
        assert "serving app://lumio/ from %s" % os.path.realpath(site) in f.read()


def test_a_plain_reload_shows_edited_files(launch, desktop):
    if ls.engine_version() < (6, 8):
        pytest.skip("Qt WebEngine before 6.8 cannot mark app:// responses no-store")
    site = make_site(desktop.root)
    app = launch(pack=None, env={"LUMIO_WEB_DIR": site})
    app.connect()
    ls.wait_for(lambda: page_state(app) == ["dev one", "one", "one", "rgb(1, 2, 3)"], 20,
                what=lambda: "the folder's page (have %r)" % (page_state(app),))
    # What a developer does after saving: reload, with no DevTools setting.
    edit_site(site, "two", (4, 5, 6))
    app.devtools.evaluate("location.reload(), true")
    ls.wait_for(lambda: page_state(app) == ["dev two", "two", "two", "rgb(4, 5, 6)"], 20,
                what=lambda: "the edited page (have %r)" % (page_state(app),))


def test_the_folder_follows_the_packs_rules_and_keeps_its_files_to_itself(launch, desktop):
    site = make_site(desktop.root)
    app = launch(pack=None, env={"LUMIO_WEB_DIR": site})
    app.connect()
    ls.wait_for(lambda: page_state(app), 20, what="the folder's page")

    assert xhr(app, "data.json") == [200, "text/plain", '{"from": "the folder"}']
    assert xhr(app, "DATA.JSON?x=1") == [200, "text/plain", '{"from": "the folder"}']
    assert xhr(app, "Index.HTML")[:2] == [200, "text/plain"]
    assert xhr(app, "JS/App.JS")[:2] == [200, "text/plain"]
    assert xhr(app, "js/app.js")[:2] == [200, "application/javascript"]
    assert xhr(app, "alias.json")[2] == '{"from": "the folder"}'
    assert app.devtools.evaluate("fetch('data.json').then(r => r.json())") == {
        "from": "the folder"}

    secret = os.path.join(desktop.root, "outside", "secret.txt")
    refused = ["leak.txt", "leakdir/secret.txt", "/" + secret.lstrip("/"),
               "%2e%2e/outside/secret.txt", "js/..%2f..%2foutside%2fsecret.txt",
               "js/", "js", "missing.txt"]
    served = {path: xhr(app, path) for path in refused}
    assert all(answer == "failed" for answer in served.values()), served
    assert app.devtools.evaluate(
        "fetch('leak.txt').then(r => r.text(), e => e.name)") == "TypeError"


def test_a_folder_that_is_not_there_serves_nothing(launch, desktop):
    app = launch(pack=True, env={"LUMIO_WEB_DIR": os.path.join(desktop.root, "nothing")})
    app.connect()
    ls.wait_for(lambda: "is not a folder" in app.log_tail(), 20, what="the warning")
    # Not even the pack: a developer who asked for a folder sees that it is wrong.
    assert app.devtools.evaluate("(%s)('app://lumio/index.html')" % XHR_FN) == "failed"
