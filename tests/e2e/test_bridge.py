"""The page's cefQuery bridge: answers, refusals, persistence and frames."""

import json

import lumio_session as ls

HANDSHAKE = json.dumps({"command": "OrbitAppInitialized"})
HELLO = '{"text":"Hello, world!"}'
CANCELED = ("failure", -1, "The query has been canceled")

MALFORMED = [
    "",
    "   ",
    "x",
    '[{"command":"OrbitAppInitialized"}]',
    "{}",
    '{"command":"orbitappinitialized"}',
    '{"command":"OrbitAppInitialized"} x',
    '{"command":42}',
]

# Inputs a careless native parser mishandles: NUL inside the command, recursion
# depth, broken UTF-16 from the page.
HOSTILE = [
    '{"command":"OrbitAppInitialized\\u0000"}',
    '{"command":"OrbitAppInitialized\u0000"}',
    '{"command":"OrbitAppInitialized"',
    '{"command":"\ud800"}',
    "[" * 200000,
    '{"a":' * 200000,
]


outcome = ls.outcome


def run_table(app, requests):
    return {req: outcome(app.query(req)) for req in requests}


def short(text):
    return text if len(text) < 60 else text[:40] + "...(%d chars)" % len(text)


def test_malformed_requests_are_canceled(app):
    results = run_table(app, MALFORMED)
    wrong = {short(r): o for r, o in results.items() if o != CANCELED}
    assert not wrong, "expected %r, got: %r" % (CANCELED, wrong)
    ls.holds_for(lambda: app.alive() and not app.windows(), 1.0,
                 what="a refused request leaving the window hidden")


def test_hostile_requests_are_canceled_and_survived(app):
    results = run_table(app, HOSTILE)
    app.expect_alive()
    wrong = {short(r): o for r, o in results.items() if o != CANCELED}
    assert not wrong, "expected %r, got: %r" % (CANCELED, wrong)
    assert not app.windows()
    assert outcome(app.handshake()) == ("success", HELLO)


def test_persistent_query_answers_once_and_stops_after_cancel(shown_app):
    app = shown_app
    query_id = app.devtools.evaluate("""
      (function () {
        var log = [];
        var id = window.cefQuery({
          request: %s,
          persistent: true,
          onSuccess: function (r) { log.push(['success', r]); },
          onFailure: function (c, m) { log.push(['failure', c, m]); }
        });
        window.__persistent = {id: id, log: log};
        return id;
      })()""" % json.dumps(HANDSHAKE))
    assert query_id is not None
    ls.wait_for(lambda: app.devtools.evaluate("window.__persistent.log"), 10,
                      what="the persistent query's first answer")
    # A later round trip drains anything else already on its way.
    assert outcome(app.query("{}")) == CANCELED
    assert app.devtools.evaluate("window.__persistent.log") == [["success", HELLO]]

    app.devtools.evaluate("window.cefQueryCancel(window.__persistent.id); true")
    assert outcome(app.handshake()) == ("success", HELLO)
    assert outcome(app.query("{}")) == CANCELED
    assert app.devtools.evaluate("window.__persistent.log") == [["success", HELLO]]


def test_same_origin_subframe_can_query(app):
    result = app.devtools.evaluate(ls.frame_query_expression(
        "sub.html", ["{}", HANDSHAKE]))
    assert result["ready"] == ls.APP_ORIGIN + "sub.html", result
    assert [outcome(a) for a in result["answers"]] == [CANCELED, ("success", HELLO)]


def test_opaque_origin_subframe_is_refused(app):
    result = app.devtools.evaluate(ls.frame_query_expression(
        ls.data_url_frame_src(), [HANDSHAKE]))
    assert result["ready"] and result["ready"].startswith("data:"), result
    assert outcome(result["answers"][0]) == CANCELED
    ls.holds_for(lambda: app.alive() and not app.windows(), 1.0,
                 what="a refused handshake leaving the window hidden")
    assert not app.events("OrbitAppInitializedReply")


def test_foreign_main_frame_is_refused(app):
    app.devtools.call("Page.navigate",
                      {"url": "data:text/html,<!DOCTYPE html><title>foreign</title>"})
    app.devtools.wait_js("location.protocol === 'data:' && document.readyState === 'complete'",
                         15, what="the main frame to show the data: page")
    try:
        app.devtools.wait_js("typeof window.cefQuery === 'function'", 3)
    except ls.SessionError:
        pass  # reported below as the outcome
    assert outcome(app.handshake()) == CANCELED

    # A hostile page may also talk to the router the bridge leaves on its window
    # directly and claim to be one of our sub-frames.
    forged = app.devtools.evaluate("""
      new Promise(function (resolve) {
        var router = window.__lumioRouter;
        if (!router) { resolve(null); return; }
        var frame = {key: 'forged', main: false, name: '', url: %s};
        router.frameLoaded(frame, window);
        router.query(frame, %s, false,
                     function (r) { resolve({success: r}); },
                     function (c, m) { resolve({failure: [c, m]}); });
        setTimeout(function () { resolve({timeout: true}); }, 8000);
      })""" % (json.dumps(ls.APP_ORIGIN + "sub.html"), json.dumps(HANDSHAKE)))
    if forged is not None:
        assert outcome(forged) == CANCELED

    ls.holds_for(lambda: app.alive() and not app.windows(), 1.0,
                 what="a refused handshake leaving the window hidden")


MAX_REQUEST_BYTES = 10 * 1024 * 1024


def query_built_in_page(app, expression):
    """cefQuery with a request that the page builds itself from |expression|."""
    return outcome(app.devtools.evaluate(
        "(%s)(%s, false, 60000)" % (ls.QUERY_FN, expression), timeout=90))


def test_requests_longer_than_the_limit_are_canceled(app):
    command = '{"command":"OrbitAppGetInfo"}'
    padded = "%s + ' '.repeat(%%d)" % json.dumps(command)
    assert query_built_in_page(app, padded % (MAX_REQUEST_BYTES - len(command)))[0] == \
        "success"
    assert query_built_in_page(app, padded % (MAX_REQUEST_BYTES - len(command) + 1)) == \
        CANCELED

    # The limit counts bytes of UTF-8, not characters: each euro sign takes three.
    head, tail = '{"command":"OrbitAppGetInfo","a":"', '"}'
    euros = (MAX_REQUEST_BYTES - len(head) - len(tail)) // 3
    wide = "%s + '\\u20ac'.repeat(%%d) + %s" % (json.dumps(head), json.dumps(tail))
    assert query_built_in_page(app, wide % euros)[0] == "success"
    assert query_built_in_page(app, wide % (euros + 1)) == CANCELED

    # Four bytes for each pair of surrogates, wherever the page's count splits the text:
    # the odd space puts the pairs across even offsets.
    room = MAX_REQUEST_BYTES - len(head) - len(tail) - 1
    pairs = "%s + ' ' + '\\ud83d\\ude00'.repeat(%d) + ' '.repeat(%%d) + %s" % (
        json.dumps(head), room // 4, json.dumps(tail))
    assert query_built_in_page(app, pairs % (room % 4))[0] == "success"
    assert query_built_in_page(app, pairs % (room % 4 + 1)) == CANCELED

    assert query_built_in_page(app, padded % (100 << 20)) == CANCELED
    app.expect_alive()
    assert outcome(app.handshake()) == ("success", HELLO)


# Issues |total| queries in one turn, alternately from the page and from a
# same-origin frame made in that turn, of three kinds answered three ways, and
# cancels every seventh right after issuing it. Query |big| carries |pad| more
# characters. Resolves with what each query heard once all the others have
# answered (or after 30 s), and a round trip later.
ONE_TURN = r"""
(function (total, big, pad) {
  var requests = ['{"command":"OrbitAppGetInfo"PAD_}', '{"command":"NoSuchCommand"PAD_}',
                  '{"command":"OrbitMainBrowserSetAlpha","value":300PAD_}'];
  var frame = document.createElement('iframe');
  document.body.appendChild(frame);
  var docs = [window, frame.contentWindow];
  var heard = [], left = 0, timer;
  return new Promise(function (resolve) {
    function done() {
      window.cefQuery({request: '{}', onSuccess: finish, onFailure: finish});
    }
    function finish() { resolve({heard: heard, left: left}); }
    timer = setTimeout(done, 30000);
    for (var n = 0; n < total; n++) {
      (function (n) {
        heard[n] = [];
        var extra = n === big ? ',"pad":"' + 'x'.repeat(pad) + '"' : '';
        var id = docs[n %% 2].cefQuery({
          request: requests[n %% 3].replace('PAD_', extra),
          onSuccess: function () { heard[n].push('s'); if (--left === 0) done(); },
          onFailure: function (code) { heard[n].push('f' + code); if (--left === 0) done(); }
        });
        if (n %% 7 === 6) docs[n %% 2].cefQueryCancel(id);
        else left++;
      })(n);
    }
  }).then(function (result) { clearTimeout(timer); return result; });
})(%d, %d, %d)
"""


def test_queries_of_one_turn_from_two_documents_are_each_answered_once(shown_app):
    # More queries, and more text, than the router sends in one message.
    total, big, pad = 2500, 1234, 1536 * 1024
    result = shown_app.devtools.evaluate(ONE_TURN % (total, big, pad), timeout=90)
    expected = ["s", "f-1", "f0"]
    wrong = {}
    for n, heard in enumerate(result["heard"]):
        want = [] if n % 7 == 6 else [expected[n % 3]]
        if heard != want:
            wrong[n] = heard
    assert not wrong and result["left"] == 0, (result["left"], list(wrong.items())[:10])
