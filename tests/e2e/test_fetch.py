"""fetch() of app://lumio/, as a page written for any browser uses it."""

import base64
import json
import os

import pytest

import lumio_session as ls

# fetch(input, init) read every way a page would: {status, statusText, type, url,
# ok, isResponse, text, json (or the parse error), b64 (arrayBuffer), blob: [type,
# size]} from clones of one Response; {rejected: [name, message, isTypeError]}
# when the promise rejects.
FETCH_FN = r"""
(async function (input, init) {
  let r;
  try {
    r = await fetch(input, init);
  } catch (e) {
    return {rejected: [e.name, e.message, e instanceof TypeError]};
  }
  const copies = [r.clone(), r.clone(), r.clone()];
  const bytes = new Uint8Array(await r.arrayBuffer());
  let s = '';
  for (let i = 0; i < bytes.length; i += 0x8000) {
    s += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
  }
  let parsed;
  try { parsed = await copies[1].json(); } catch (e) { parsed = {parseError: e.name}; }
  const blob = await copies[2].blob();
  return {status: r.status, statusText: r.statusText, type: r.headers.get('Content-Type'),
          url: r.url, ok: r.ok, isResponse: r instanceof Response,
          text: await copies[0].text(), json: parsed, b64: btoa(s),
          blob: [blob.type, blob.size]};
})
"""


def fetch(app, input_js, init_js="undefined"):
    return app.devtools.evaluate("(%s)(%s, %s)" % (FETCH_FN, input_js, init_js))


def pack_bytes(name):
    if name == ls.BIG_ENTRY:
        return ls.big_entry_bytes()
    with open(os.path.join(ls.PACK_DIR, name), "rb") as f:
        return f.read()


def test_text_json_and_binary_entries_arrive_as_real_responses(app):
    text = fetch(app, json.dumps("notes.txt"))
    assert text["isResponse"] and text["ok"] and text["status"] == 200, text
    assert text["statusText"] == "OK" and text["type"] == "text/plain"
    assert text["url"] == ls.APP_ORIGIN + "notes.txt"
    assert text["text"] == pack_bytes("notes.txt").decode("utf-8")

    data = fetch(app, json.dumps(ls.APP_ORIGIN + "data.json"))
    assert data["json"] == json.loads(pack_bytes("data.json")), data

    for name, mime in (("image.png", "image/png"), (ls.BIG_ENTRY, "text/plain")):
        binary = fetch(app, json.dumps(name))
        assert binary["status"] == 200 and binary["type"] == mime, (name, binary["type"])
        assert base64.b64decode(binary["b64"]) == pack_bytes(name), name
        assert binary["blob"] == [mime, len(pack_bytes(name))]
        assert binary["json"] == {"parseError": "SyntaxError"}


def test_every_form_of_the_address_reaches_the_same_entry(app):
    expected = pack_bytes("data.json").decode("utf-8")
    for input_js in ('"data.json?v=3"', '"./assets/../data.json"', '"/data.json"',
                     '"APP://LUMIO/data.json"', 'new URL("data.json", document.baseURI)',
                     'new Request("data.json")', '{toString() { return "data.json"; }}'):
        result = fetch(app, input_js)
        assert result.get("text") == expected, (input_js, result)
    # Method, headers and body of a Request or of init travel with it.
    posted = fetch(app, 'new Request("data.json", {method: "POST", body: "x"})',
                   '{headers: {"X-Lumio": "1"}}')
    assert posted.get("text") == expected, posted


def test_a_missing_entry_rejects_like_a_failed_network_request(app):
    for path in ("nope.txt", "assets/", "/", "data.json/x"):
        assert fetch(app, json.dumps(path)) == {
            "rejected": ["TypeError", "Failed to fetch", True]}, path
    # Present entries still arrive after the failures.
    assert fetch(app, '"notes.txt"')["status"] == 200


def test_an_aborted_fetch_rejects_with_abort_error(app):
    aborted = app.devtools.evaluate(r"""
      (async () => {
        const names = [];
        const before = new AbortController();
        before.abort();
        try { await fetch('notes.txt', {signal: before.signal}); names.push('resolved'); }
        catch (e) { names.push(e.name); }
        const during = new AbortController();
        const p = fetch('big.bin', {signal: during.signal});
        during.abort();
        try { await p; names.push('resolved'); } catch (e) { names.push(e.name); }
        return names;
      })()""")
    assert aborted == ["AbortError", "AbortError"]


def test_page_scripts_that_replace_built_ins_do_not_break_it(app):
    app.devtools.evaluate(r"""
      (() => {
        const boom = function () { throw new Error('replaced by the page'); };
        XMLHttpRequest.prototype.open = boom;
        XMLHttpRequest.prototype.send = boom;
        Headers.prototype.append = boom;
        Function.prototype.apply = boom;
        Reflect.apply = boom;
        Reflect.construct = boom;
        window.URL = boom;
        window.Response = boom;
        window.XMLHttpRequest = boom;
        String.prototype.split = boom;
        Object.defineProperty = boom;
        return true;
      })()""")
    result = app.devtools.evaluate(r"""
      fetch('data.json').then(r => r.text(), e => 'rejected: ' + e)""")
    assert result == pack_bytes("data.json").decode("utf-8")


def test_the_engine_fetches_its_own_files_where_it_can(app):
    if ls.engine_version() < (6, 8):
        pytest.skip("Qt WebEngine before 6.8 cannot let fetch() reach app://")
    # The engine's own Response is "basic"; one the page script makes from an XHR
    # is "default".
    assert app.devtools.evaluate(
        "Promise.all(['notes.txt', 'data.json'].map(n => fetch(n).then(r => r.type)))"
    ) == ["basic", "basic"]
    assert fetch(app, '"nope.txt"') == {"rejected": ["TypeError", "Failed to fetch", True]}


def test_other_addresses_go_to_the_engines_own_fetch(app):
    with ls.LocalWebServer({"/hello.txt": ("text/plain", b"from the web")}) as web:
        result = app.devtools.evaluate(
            "fetch(%s, {method: 'POST', body: 'ping'}).then(r => r.status)"
            % json.dumps(web.url("/post")))
        assert result == 204 and web.received("POST", "/post")[0][2] == b"ping"
        result = app.devtools.evaluate("fetch(%s).then(r => r.text())"
                                       % json.dumps(web.url("/hello.txt")))
        assert result == "from the web"
    assert app.devtools.evaluate("fetch('data:text/plain,hi').then(r => r.text())") == "hi"
    # Another host of the scheme is not ours: the engine refuses it as before.
    assert fetch(app, '"app://other/data.json"') == {
        "rejected": ["TypeError", "Failed to fetch", True]}


# The script as the build joined it from src/engine/qt/scripts/.
PAGE_SCRIPT = os.path.join(os.path.dirname(ls.STAGE), "generated", "page_script.js")

# Runs the injected script again in a fresh frame whose engine fetch is |engine|
# (a function source), then fetches data.json twice and notes.txt once; returns
# what the frame's engine fetch and XHR were asked for, and the texts.
ENGINE_FETCH_FN = r"""
(async function (engineSource, pageScript, names) {
  const frame = document.createElement('iframe');
  await new Promise(resolve => { frame.onload = resolve; document.body.appendChild(frame); });
  const win = frame.contentWindow;
  const seen = {engine: [], xhr: []};
  const open = win.XMLHttpRequest.prototype.open;
  win.XMLHttpRequest.prototype.open = function (method, url) {
    seen.xhr.push(String(url));
    return open.apply(this, arguments);
  };
  win.fetch = win.eval('(' + engineSource + ')')(seen.engine);
  // The frame's bridge took the port of the frame's own copy of the script; this
  // copy's is taken here instead, or it would leave the first copy in place.
  win.document.addEventListener('lumio-bridge-port', e => e.preventDefault(), {once: true});
  win.eval(pageScript);
  const texts = [];
  for (const name of names) {
    try { texts.push(await (await win.fetch(name)).text()); }
    catch (e) { texts.push(e.name); }
  }
  frame.remove();
  return {seen, texts};
})
"""

# An engine that serves app://lumio/ through fetch (Qt 6.8, flag set), and answers a
# file its scheme handler does not find with a 404.
ENGINE_THAT_CAN = r"""
(function (log) {
  return function (input) {
    log.push(String(input));
    if (String(input).startsWith('missing')) {
      return Promise.resolve(new Response('never ends', {status: 404}));
    }
    return Promise.resolve(new Response('engine: ' + input));
  };
})
"""

# An engine that refuses the scheme (Qt 6.4).
ENGINE_THAT_CANNOT = r"""
(function (log) {
  return function (input) {
    log.push(String(input));
    return Promise.reject(new TypeError('Failed to fetch'));
  };
})
"""


def test_the_engines_fetch_is_used_when_it_can_and_probed_only_until_known(app):
    with open(PAGE_SCRIPT, encoding="utf-8") as f:
        page_script = f.read()

    def run(engine, names=("data.json", "data.json", "notes.txt")):
        return app.devtools.evaluate("(%s)(%s, %s, %s)" % (
            ENGINE_FETCH_FN, json.dumps(engine), json.dumps(page_script),
            json.dumps(names)))

    # The engine gets each call as the page made it; its 404 for a missing file,
    # whether it came while probing or after, rejects as a failed request does.
    can = run(ENGINE_THAT_CAN, ["missing.txt", "data.json", "notes.txt", "missing.txt"])
    assert can["texts"] == ["TypeError", "engine: data.json", "engine: notes.txt",
                            "TypeError"], can
    assert can["seen"]["xhr"] == [], can

    cannot = run(ENGINE_THAT_CANNOT)
    assert cannot["texts"] == [pack_bytes("data.json").decode("utf-8")] * 2 + [
        pack_bytes("notes.txt").decode("utf-8")], cannot
    # Asked once; from then on straight to XHR.
    assert cannot["seen"]["engine"] == ["data.json"], cannot
    assert cannot["seen"]["xhr"] == [ls.APP_ORIGIN + "data.json"] * 2 + [
        ls.APP_ORIGIN + "notes.txt"], cannot
