"""Development mode: LUMIO_WEB_DIR serves app://lumio/ from a folder, read afresh."""

import json
import os
import urllib.request

import pytest

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
    # The application's identity file, which is for the build only.
    write(os.path.join(site, "lumio.json"), '{"id": "org.example.Site"}')
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
               "js/", "js", "missing.txt", "lumio.json", "Lumio.JSON?x=1"]
    served = {path: xhr(app, path) for path in refused}
    assert all(answer == "failed" for answer in served.values()), served
    assert app.devtools.evaluate(
        "fetch('leak.txt').then(r => r.text(), e => e.name)") == "TypeError"


def test_a_folder_that_is_not_there_serves_nothing(launch, desktop):
    app = launch(pack=True, env={"LUMIO_WEB_DIR": os.path.join(desktop.root, "nothing")})
    app.connect()
    ls.wait_for(lambda: "is not a folder" in app.log_tail(), 20, what="the warning")

    # The failed start page's document replaces the initial empty one: ask that one.
    def committed():
        try:
            return app.devtools.evaluate("location.href !== 'about:blank'", timeout=5)
        except (ls.JSError, ls.SessionError):
            return False
    ls.wait_for(committed, 20, what="the start page's document")
    # Not even the pack: a developer who asked for a folder sees that it is wrong.
    assert app.devtools.evaluate("(%s)('app://lumio/index.html')" % XHR_FN) == "failed"


# A page that shows its window and counts its loads, as a developer's app would.
LIVE_PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>live</title></head>
<body><script>
sessionStorage.loads = (Number(sessionStorage.loads) || 0) + 1;
window.__loads = Number(sessionStorage.loads);
window.cefQuery({request: JSON.stringify({command: 'OrbitAppInitialized'}),
                 onSuccess: function () {}, onFailure: function () {}});
</script>
<script src="js/app.js"></script><script src="late/extra.js"></script></body></html>
"""


def make_live_site(root):
    site = os.path.join(root, "live")
    write(os.path.join(site, "index.html"), LIVE_PAGE)
    write(os.path.join(site, "js", "app.js"), "window.__script = 'one';")
    write(os.path.join(site, "popup.html"),
          "<!DOCTYPE html><title>popup</title><script src='js/popup.js'></script>")
    write(os.path.join(site, "js", "popup.js"), "window.__popup = 'one';")
    return site


def popup_devtools(app):
    """A DevTools connection to the popup.html window."""
    def find():
        with urllib.request.urlopen("http://127.0.0.1:%d/json/list" % app.port,
                                    timeout=5) as r:
            return next((t for t in json.load(r) if t.get("type") == "page" and
                         t.get("url", "").endswith("/popup.html")), None)
    return ls.DevTools(ls.wait_for(find, 20, what="the popup's DevTools target")
                       ["webSocketDebuggerUrl"])


def live_state(app):
    try:
        return app.devtools.evaluate(
            "document.readyState === 'complete' && [window.__loads, window.__script, "
            "window.__extra || null]")
    except ls.JSError:
        return None


def loads(app):
    """How many times the page has loaded; 0 while it loads."""
    return (live_state(app) or [0])[0]


def wait_live(app, script, extra=None):
    """Waits for the page to show |script| and |extra|; returns its load count."""
    def probe():
        state = live_state(app)
        return state and state[1:] == [script, extra] and state[0]
    return ls.wait_for(probe, 20, what=lambda: "script %r, extra %r (have %r)"
                       % (script, extra, live_state(app)))


def focus_main_window(app, desktop):
    wid = app.main_window()
    desktop.activate_window(wid)
    ls.wait_for(lambda: desktop.active_window() == wid, 10, what="the main window focused")
    return wid


def press(desktop, key):
    desktop.x(["xdotool", "key", "--clearmodifiers", key])


def test_developer_keys_reload_past_every_cache_and_open_the_devtools(launch, desktop):
    site = make_live_site(desktop.root)
    app = launch(pack=None, env={"LUMIO_WEB_DIR": site, "LUMIO_LIVE_RELOAD": "0"})
    app.connect()
    wait_live(app, "one")
    focus_main_window(app, desktop)

    for number, key in enumerate(["F5", "ctrl+r", "ctrl+shift+r", "shift+F5"]):
        version = "key %d" % number
        write(os.path.join(site, "js", "app.js"), "window.__script = %r;" % version)
        press(desktop, key)
        wait_live(app, version)
    # The page's own reload shows the edit too: nothing of the folder's is kept.
    write(os.path.join(site, "js", "app.js"), "window.__script = 'plain';")
    app.devtools.evaluate("location.reload(), true")
    wait_live(app, "plain")
    # And so does another document that loads the same script.
    write(os.path.join(site, "js", "app.js"), "window.__script = 'visit';")
    app.devtools.evaluate("location.href = 'index.html?again', true")
    wait_live(app, "visit")

    assert not desktop.window_by_name("^DevTools")
    press(desktop, "F12")
    ls.wait_for(lambda: desktop.window_by_name("^DevTools"), 20, what="a DevTools window")


def test_a_shipped_app_leaves_the_developer_keys_to_the_page(shown_app, desktop):
    app = shown_app
    app.devtools.evaluate(
        "window.__stay = true; window.__seen = [];"
        "addEventListener('keydown', e => __seen.push((e.ctrlKey ? 'ctrl+' : '') +"
        " (e.shiftKey ? 'shift+' : '') + e.key)); true")
    focus_main_window(app, desktop)
    keys = ["F5", "ctrl+r", "ctrl+shift+r", "shift+F5", "F12", "ctrl+shift+i"]
    for key in keys:
        press(desktop, key)
    expected = ["F5", "ctrl+r", "ctrl+shift+R", "shift+F5", "F12", "ctrl+shift+I"]
    ls.wait_for(lambda: app.devtools.evaluate("__seen.filter(k => !/^(Control|Shift)$/"
                                              ".test(k.split('+').pop()))") == expected,
                10, what=lambda: "every key at the page (seen %r)"
                % app.devtools.evaluate("__seen"))
    assert app.devtools.evaluate("window.__stay") is True
    assert not desktop.window_by_name("^DevTools")


def test_saving_a_file_reloads_the_page_once_per_burst(launch, desktop):
    site = make_live_site(desktop.root)
    app = launch(pack=None, env={"LUMIO_WEB_DIR": site})
    app.connect()
    wait_live(app, "one")

    # Written in place.
    write(os.path.join(site, "js", "app.js"), "window.__script = 'two';")
    count = wait_live(app, "two")

    # A folder made after the start is watched too: first the folder alone, then
    # a file in it, written beside and renamed over as editors save.
    os.makedirs(os.path.join(site, "late"))
    ls.wait_for(lambda: loads(app) > count, 20, what="a reload for the new folder")
    wait_live(app, "two")
    write(os.path.join(site, "late", "extra.js.tmp"), "window.__extra = 'late';")
    os.rename(os.path.join(site, "late", "extra.js.tmp"),
              os.path.join(site, "late", "extra.js"))
    wait_live(app, "two", "late")

    # Popups reload too.
    app.devtools.evaluate("window.open('popup.html', 'p', 'width=300,height=200'), true")
    popup = popup_devtools(app)
    try:
        popup.wait_js("window.__popup === 'one'", 20)
        write(os.path.join(site, "js", "popup.js"), "window.__popup = 'two';")
        popup.wait_js("window.__popup === 'two'", 20, what="the popup reloaded")
    finally:
        popup.close()

    # A bundler's rebuild: many files at once give one reload.
    said = app.log_tail(1000).count("changed; reloading")
    for i in range(30):
        write(os.path.join(site, "js", "chunk%d.js" % i), "// %d" % i)
    write(os.path.join(site, "js", "app.js"), "window.__script = 'three';")
    count = wait_live(app, "three", "late")
    ls.holds_for(lambda: loads(app) == count, 1,
                 what="one reload for the burst (%d loads)" % count)
    assert app.log_tail(1000).count("changed; reloading") == said + 1


FAILING_PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>failing</title>
<script type="module" src="main.mjs"></script>
<script src="boom.js"></script></head><body></body></html>
"""


def make_failing_site(root):
    """A page that fails before its handshake: a module that imports a missing one,
    and a script that throws."""
    site = os.path.join(root, "failing")
    write(os.path.join(site, "index.html"), FAILING_PAGE)
    write(os.path.join(site, "main.mjs"), "import {x} from './missing.mjs';\nconsole.log(x);\n")
    write(os.path.join(site, "boom.js"), "// starts\nthrow new TypeError('early failure');\n")
    return site


@pytest.mark.parametrize("mode", ["folder", "pack"])
def test_a_page_that_fails_before_its_handshake_is_reported(launch, desktop, tmp_path, mode):
    site = make_failing_site(desktop.root)
    if mode == "pack":
        with open(ls.build_pack(str(tmp_path / "failing.pak"), source_dir=site), "rb") as f:
            app = launch(pack=f.read())
    else:
        app = launch(pack=None, env={"LUMIO_WEB_DIR": site})
    app.connect()
    error = "Uncaught TypeError: early failure (app://lumio/boom.js:2)"
    if mode == "folder":
        # At once, with the page's address.
        ls.wait_for(lambda: "lumio: app://lumio/index.html: " + error in app.log_tail(), 10,
                    what=lambda: "the script error on standard error:\n" + app.log_tail())
        # The module tells the page only that it failed; its missing import is named.
        ls.wait_for(lambda: "lumio: app://lumio/missing.mjs not found" in app.log_tail(), 10,
                    what=lambda: "the module's failure on standard error:\n" + app.log_tail())
    missing = "app://lumio/index.html has not sent OrbitAppInitialized within 10 s"
    line = ls.wait_for(
        lambda: next((l for l in app.log_tail(100).splitlines() if missing in l), None), 30,
        what=lambda: "the missing handshake on standard error:\n" + app.log_tail())
    assert line.endswith("; last script error: " + error), line
    assert app.log_tail(100).count(missing) == 1
    if mode == "pack":
        # A shipped app keeps its page's console to itself.
        assert "early failure" not in app.log_tail(100).replace(line, "")


DEV_SERVER_PAGE = b"""<!DOCTYPE html><html><head><meta charset="utf-8"><title>dev server</title>
<script>
window.__events = [];
window.cefMessage = function (name, payload) { window.__events.push({name: name}); };
</script></head><body><p>served by the developer's server</p></body></html>
"""


def test_a_loopback_dev_server_takes_the_apps_place_and_nothing_more(launch):
    agent = ("text/html", ("<!DOCTYPE html><script>%s</script>"
                           % ls.frame_agent_source()).encode())
    with ls.LocalWebServer({"/index.html": ("text/html", DEV_SERVER_PAGE)}) as dev, \
            ls.LocalWebServer({"/agent.html": agent}) as other:
        app = launch(pack=True, env={"LUMIO_DEV_URL": dev.url("/index.html")})
        app.connect(origin=dev.origin + "/")
        app.wait_page_ready()
        assert "the bridge answers %s only" % dev.origin in app.log_tail()

        info = json.loads(ls.command(app, "OrbitAppGetInfo")["success"])
        assert info["appVersion"]
        assert app.handshake().get("success") == '{"text":"Hello, world!"}'
        app.main_window()
        app.wait_event("OrbitAppInitializedReply")

        # Another server on the same machine is a web page.
        request = json.dumps({"command": "OrbitAppGetInfo"})
        got = app.devtools.evaluate(
            ls.frame_query_expression(other.url("/agent.html"), [request]))
        assert got["ready"] and got["answers"][0].get("failure") == [
            -1, "The query has been canceled"], got


@pytest.mark.parametrize("url", ["http://192.0.2.1:5173/", "http://127.0.0.1.nip.io:5173/",
                                 "http://user@127.0.0.1:5173/", "file:///tmp/index.html"])
def test_a_dev_server_off_this_machine_is_refused(launch, url):
    app = launch(pack=True, env={"LUMIO_DEV_URL": url})
    assert app.wait_exit(20) == 2
    assert "refusing LUMIO_DEV_URL=%s: " % url in app.log_tail()
