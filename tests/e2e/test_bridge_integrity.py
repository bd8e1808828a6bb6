"""What the page and the frames in it can and cannot do to the bridge.

The page's own scripts may define any global and replace any built-in; frames
of other origins may post anything to the top window; documents come and go
with queries still open. None of that may break, impersonate or escape the
bridge.
"""

import json
import urllib.parse

import pytest

import lumio_session as ls

HANDSHAKE = json.dumps({"command": "OrbitAppInitialized"})
HELLO = '{"text":"Hello, world!"}'
CANCELED = ("failure", -1, "The query has been canceled")
ADDRESS = "OrbitBrowserOnAddressChange"


outcome = ls.outcome


def agent_page(extra_script=""):
    """A page of another origin that runs queries for its parent (frame_agent.js)."""
    return ("text/html; charset=utf-8",
            ("<!DOCTYPE html><title>elsewhere</title><script>%s</script><script>%s</script>"
             % (ls.frame_agent_source(), extra_script)).encode())


# -- web security is off for the app, and only for the app --

XHR = """new Promise(function (resolve) {
  var x = new XMLHttpRequest();
  x.open('GET', %s);
  x.onload = function () { resolve('loaded: ' + x.responseText); };
  x.onerror = function () { resolve('error'); };
  x.send();
})"""
FETCH = "fetch(%s).then(function (r) { return r.text(); }).then(" \
        "function (t) { return 'loaded: ' + t; }, function (e) { return 'error: ' + e; })"


def test_app_page_calls_servers_that_send_no_cors_headers(app):
    with ls.LocalWebServer({"/data": ("text/plain", b"served")}) as server:
        url = json.dumps(server.url("/data"))
        assert app.devtools.evaluate(XHR % url) == "loaded: served"
        assert app.devtools.evaluate(FETCH % url) == "loaded: served"


# The frame tries its own cefQuery (through frame_agent.js) and its top window's.
REACH_TOP = """
(function () {
  var report = function (what) { parent.postMessage({kind: 'top', result: what}, '*'); };
  try {
    var title = top.document.title;
    report('read the top document: ' + title);
  } catch (e) {
    try {
      top.cefQuery({request: %s,
                    onSuccess: function (r) { report('success: ' + r); },
                    onFailure: function (c, m) { report('failure: ' + c); }});
    } catch (e2) {
      report('blocked');
    }
  }
})();
""" % json.dumps(HANDSHAKE)

TOP_PROBE = """new Promise(function (resolve) {
  window.addEventListener('message', function (e) {
    if (e.data && e.data.kind === 'top') resolve(e.data.result);
  });
  var f = document.createElement('iframe');
  f.src = %s;
  document.body.appendChild(f);
  setTimeout(function () { resolve('no report'); }, 8000);
})"""


def test_frame_of_another_origin_gets_no_answer(app):
    with ls.LocalWebServer({"/agent": agent_page(),
                            "/reach": agent_page(REACH_TOP)}) as server:
        result = app.devtools.evaluate(ls.frame_query_expression(
            server.url("/agent"), [HANDSHAKE, "{}"]))
        assert result["ready"] == server.url("/agent"), result
        assert [outcome(a) for a in result["answers"]] == [CANCELED, CANCELED]

        assert app.devtools.evaluate(TOP_PROBE % json.dumps(server.url("/reach"))) == "blocked"
    ls.holds_for(lambda: app.alive() and not app.windows(), 1.0,
                 what="no window shown by a foreign frame")
    assert not app.events("OrbitAppInitializedReply")


def test_user_switches_never_reach_the_engine(launch):
    # The switch is visible to the page when the engine gets it...
    control = launch(env={"QTWEBENGINE_CHROMIUM_FLAGS": "--js-flags=--expose-gc"})
    control.wait_page_ready()
    assert control.devtools.evaluate("typeof gc") == "function"
    control.stop()
    # ...and lumio-app does not pass it on, in any form.
    app = launch(args=["--js-flags=--expose-gc", "--webEngineArgs", "--js-flags=--expose-gc"])
    app.wait_page_ready()
    assert app.devtools.evaluate("typeof gc") == "undefined"


# -- documents come and go --

def test_queries_sent_while_leaving_do_not_spoil_the_next_page(shown_app):
    app = shown_app
    app.devtools.evaluate("""
      window.addEventListener('pagehide', function () {
        for (var i = 0; i < 50; i++) {
          window.cefQuery({request: %s, persistent: true});
        }
      });
      window.__old = true;
      location.reload();
      true""" % json.dumps(HANDSHAKE))
    app.devtools.wait_js("window.__old === undefined", 15, what="the reload")
    app.wait_page_ready()
    answers = app.devtools.evaluate("Promise.all([%s])" % ", ".join(
        [ls.query_expression(HANDSHAKE)] * 60))
    wrong = [i for i, a in enumerate(answers) if outcome(a) != ("success", HELLO)]
    assert not wrong, "queries %r of the new page failed: %r" % (wrong, answers[wrong[0]])


# -- the page's globals and built-ins --

HOSTILE_GLOBALS = {
    "var-qt": "var qt = {};",
    "window-qt": "window.qt = 1;",
    "object-keys": "Object.keys = function () { throw new Error('replaced'); };",
    "function-apply": "Function.prototype.apply = function () { throw new Error('replaced'); };",
    "function-call": "Function.prototype.call = function () { throw new Error('replaced'); };",
    "json-stringify": "JSON.stringify = function () { return '{}'; };",
    "array-tojson": "Array.prototype.toJSON = function () { return 'replaced'; };",
    # Turns every false in a parsed text into true: a failure would read as success.
    "json-parse": "(function (parse) { JSON.parse = function (t, r) {"
                  " return parse(String(t).replace(/false/g, 'true'), r); }; })(JSON.parse);",
    # What the stub passes to the program's world and reads back.
    "custom-event": "Object.defineProperty(CustomEvent.prototype, 'detail', {get: function () {"
                    " return '1:1:0:forged'; }});"
                    "Object.defineProperty(Object.prototype, 'detail', {get: function () {"
                    " return '1:1:0:forged'; }, set: function () {}});"
                    "CustomEvent.prototype.initCustomEvent = function () {};"
                    "window.CustomEvent = function () { throw new Error('replaced'); };",
    "string-methods": "String.prototype.indexOf = function () { return 0; };"
                      "String.prototype.slice = function () { return '1'; };"
                      "String.prototype.charAt = function () { return '1'; };",
    "event-target": "EventTarget.prototype.dispatchEvent = function () { return true; };"
                    "EventTarget.prototype.addEventListener = function () {};",
    "microtasks": "window.queueMicrotask = function () {};",
    "event-getters": "Object.defineProperty(Event.prototype, 'type', {get: function () {"
                     " return 'replaced'; }});"
                     "Object.defineProperty(Object.prototype, 'relatedTarget', {get: function () {"
                     " throw new Error('replaced'); }});",
}


def run_both(app):
    return [outcome(app.query(HANDSHAKE)), outcome(app.query("{}"))]


def test_page_globals_set_before_the_handshake_change_nothing(app):
    failures = {}
    for name, code in HOSTILE_GLOBALS.items():
        app.devtools.call("Page.navigate", {
            "url": ls.APP_ORIGIN + "hostile.html?%s#%s" % (name, urllib.parse.quote(code))})
        app.devtools.wait_js("location.search === %s" % json.dumps("?" + name), 15,
                             what="the hostile page " + name)
        app.wait_page_ready()
        got = run_both(app)
        if got != [("success", HELLO), CANCELED]:
            failures[name] = got
    assert not failures, failures
    app.main_window()


def test_page_globals_set_after_the_handshake_change_nothing(shown_app):
    app = shown_app
    failures = {}
    for name, code in HOSTILE_GLOBALS.items():
        app.devtools.call("Page.navigate", {"url": ls.APP_ORIGIN + "hostile.html?" + name})
        app.devtools.wait_js("location.search === %s" % json.dumps("?" + name), 15,
                             what="the hostile page " + name)
        app.wait_page_ready()
        first = outcome(app.query(HANDSHAKE))
        app.devtools.evaluate(code + "; true")
        got = [first] + run_both(app)
        if got != [("success", HELLO), ("success", HELLO), CANCELED]:
            failures[name] = got
    assert not failures, failures


# -- frames of the app's own origin under other addresses --

SRCDOC_QUERY_FN = r"""
(function (html, request) {
  return new Promise(function (resolve) {
    var frame = document.createElement('iframe');
    window.addEventListener('message', function (e) {
      if (e.source !== frame.contentWindow || !e.data) return;
      if (e.data.kind === 'ready') {
        frame.contentWindow.postMessage({kind: 'query', id: 0, request: request}, '*');
      } else if (e.data.kind === 'answer') {
        resolve(e.data);
      }
    });
    setTimeout(function () { resolve({timeout: true}); }, 8000);
    frame.srcdoc = html;
    document.body.appendChild(frame);
  });
})
"""

# Queries |win| in the turn its document is ready and again once a query of the top
# document has made a round trip through the browser: resolves with {now, later}.
TWO_TURNS_FN = r"""
function (win, resolve) {
  var got = {};
  function ask(target, turn, then) {
    if (typeof target.cefQuery !== 'function') { got[turn] = {missing: true}; then(); return; }
    target.cefQuery({request: %s,
                     onSuccess: function (r) { got[turn] = {success: r}; then(); },
                     onFailure: function (c, m) { got[turn] = {failure: [c, m]}; then(); }});
  }
  function done() {
    if (got.now && got.later) resolve(got);
  }
  ask(win, 'now', done);
  ask(window, 'round trip', function () { ask(win, 'later', done); });
  setTimeout(function () {
    resolve({now: got.now || {timeout: true}, later: got.later || {timeout: true}});
  }, 8000);
}""" % json.dumps(HANDSHAKE)

BLANK_QUERY = """new Promise(function (resolve) {
  var frame = document.createElement('iframe');
  frame.onload = function () { (%s)(frame.contentWindow, resolve); };
  frame.src = 'about:blank';
  document.body.appendChild(frame);
})""" % TWO_TURNS_FN

# An iframe without an address: its document exists as soon as it is inserted.
NEW_FRAME_QUERY = """new Promise(function (resolve) {
  var frame = document.createElement('iframe');
  document.body.appendChild(frame);
  (%s)(frame.contentWindow, resolve);
})""" % TWO_TURNS_FN

BLOB_URL = """URL.createObjectURL(new Blob([%s], {type: 'text/html'}))"""


def test_frames_of_our_origin_under_other_addresses_are_served(app):
    agent = "<!DOCTYPE html><script>%s</script>" % ls.frame_agent_source()
    srcdoc = app.devtools.evaluate("(%s)(%s, %s)" % (SRCDOC_QUERY_FN, json.dumps(agent),
                                                       json.dumps(HANDSHAKE)))
    blank = app.devtools.evaluate(BLANK_QUERY)
    new_frame = app.devtools.evaluate(NEW_FRAME_QUERY)
    blob_url = app.devtools.evaluate(BLOB_URL % json.dumps(agent))
    assert blob_url.startswith("blob:app://lumio/"), blob_url
    blob = app.devtools.evaluate(ls.frame_query_expression(blob_url, [HANDSHAKE]))
    got = {"srcdoc": outcome(srcdoc), "blob": outcome(blob["answers"][0])}
    # The engine gives about:blank documents the page's script only after their
    # first turn; a query made after that is answered as well.
    for name, answers in (("about:blank", blank), ("new frame", new_frame)):
        for turn in ("now", "later"):
            got["%s, %s" % (name, turn)] = outcome(answers[turn])
    assert got == dict.fromkeys(got, ("success", HELLO))


# -- addresses that other frames relay to the top window --

FORGED = ["javascript:alert(1)//", "app://lumio/forged", "http://forged.example/"]
FORGE = ("<script>%s.forEach(function (u) { parent.postMessage({lumioFrameAddress: u}, '*'); });"
         "parent.postMessage({kind: 'forged'}, '*');</script>" % json.dumps(FORGED))

ADD_FRAME = """new Promise(function (resolve) {
  var f = document.createElement('iframe');
  window.addEventListener('message', function (e) {
    if (e.source === f.contentWindow && e.data && e.data.kind === 'forged')
      setTimeout(function () { resolve(true); }, 500);
  });
  %s
  document.body.appendChild(f);
  setTimeout(function () { resolve(false); }, 8000);
})"""


def forged_events(app):
    return [e for e in app.events(ADDRESS)
            if isinstance(e["payload"], dict) and e["payload"].get("url") in FORGED]


@pytest.mark.parametrize("setup", [
    "f.src = 'data:text/html,' + encodeURIComponent(%s);",
    "f.srcdoc = %s;",
    "f.sandbox = 'allow-scripts'; f.srcdoc = %s;",
], ids=["data", "srcdoc", "sandboxed"])
def test_opaque_and_own_origin_frames_cannot_forge_addresses(shown_app, setup):
    app = shown_app
    assert app.devtools.evaluate(ADD_FRAME % (setup % json.dumps(FORGE)))
    ls.holds_for(lambda: not forged_events(app), 1.0, what="no forged address event")


def test_frame_of_another_origin_reports_its_address_once_per_load(shown_app):
    app = shown_app
    flood = ("<script>for (var i = 0; i < 20000; i++) parent.postMessage("
             "{lumioFrameAddress: location.origin + '/flood?' + i}, '*');"
             "parent.postMessage({kind: 'forged'}, '*');</script>")
    with ls.LocalWebServer({"/flood": ("text/html", flood.encode())}) as server:
        url = server.url("/flood")
        assert app.devtools.evaluate(ADD_FRAME % ("f.src = %s;" % json.dumps(url)))
        real = app.wait_event(ADDRESS, lambda e: e["payload"] == {"url": url})
        assert real["payloadType"] == "object"
        ls.holds_for(lambda: True, 1.0)
        relayed = [e for e in app.events(ADDRESS) if server.origin in json.dumps(e["payload"])]
        # The frame's own report, and at most one more after its load.
        assert len(relayed) <= 2, relayed[:5]
