"""Load and faults: many queries, a renderer that dies with queries open, packs
that cannot be used, hostile text in addresses and frame names.

Long: left out of make test and of a plain pytest run; `make soak` (CTest label
"soak") or `pytest tests/e2e -m soak` runs them.
"""

import json
import os
import signal
import zipfile

import pytest

import lumio_session as ls

pytestmark = pytest.mark.soak

HELLO = '{"text":"Hello, world!"}'
WILL_CLOSE = "OrbitBrowserWillClose"
ADDRESS = "OrbitBrowserOnAddressChange"

# Sends |burst| queries at once, numbered from |first|, of three kinds that are
# answered three ways (success, not taken, failure of the command), and resolves
# once each has had its first answer. window.__soak keeps every answer counted,
# so that a second answer to any query shows up later.
BURST = r"""
(function (first, burst) {
  var soak = window.__soak || (window.__soak = {answers: Object.create(null), wrong: []});
  var requests = ['{"command":"OrbitAppGetInfo","n":N_}', '{"command":"NoSuchCommand","n":N_}',
                  '{"command":"OrbitMainBrowserSetAlpha","value":300,"n":N_}'];
  var expected = ['s', 'f-1', 'f0'];
  return new Promise(function (resolve) {
    var left = burst;
    var timer = setTimeout(function () { resolve({left: left}); }, 60000);
    function answered(n, how) {
      soak.answers[n] = (soak.answers[n] || 0) + 1;
      if (how !== expected[n %% 3]) soak.wrong.push([n, how]);
      if (soak.answers[n] === 1 && --left === 0) {
        clearTimeout(timer);
        resolve({left: 0});
      }
    }
    for (var i = 0; i < burst; i++) {
      (function (n) {
        window.cefQuery({
          request: requests[n %% 3].replace('N_', n),
          onSuccess: function () { answered(n, 's'); },
          onFailure: function (code) { answered(n, 'f' + code); }
        });
      })(first + i);
    }
  });
})(%d, %d)
"""

SOAK_SUMMARY = r"""
(function () {
  var answers = window.__soak.answers, count = 0, twice = [];
  for (var n in answers) {
    count++;
    if (answers[n] !== 1) twice.push(n);
  }
  return {count: count, twice: twice.slice(0, 20), wrong: window.__soak.wrong.slice(0, 20)};
})()
"""


def test_hundred_thousand_queries_in_bursts_are_each_answered_once(app):
    total, burst = 100000, 1000
    for first in range(0, total, burst):
        result = app.devtools.evaluate(BURST % (first, burst), timeout=90)
        assert result == {"left": 0}, "burst at %d: %r" % (first, result)
    # Late or repeated answers would arrive after the bursts.
    ls.holds_for(app.alive, 1.0, what="lumio-app alive")
    summary = app.devtools.evaluate(SOAK_SUMMARY)
    assert summary == {"count": total, "twice": [], "wrong": []}
    assert app.handshake().get("success") == HELLO


def renderer_pids(app):
    """The engine's renderers: the children of its zygote processes."""
    def status(pid):
        try:
            with open("/proc/%d/cmdline" % pid, "rb") as f:
                cmdline = f.read().split(b"\0")
            with open("/proc/%d/stat" % pid) as f:
                parent = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, ValueError, IndexError):
            return None
        return cmdline, parent
    found = {}
    for pid in app.descendants_alive():
        info = status(pid)
        if info:
            found[pid] = info
    zygotes = {pid for pid, (cmdline, _) in found.items() if b"--type=zygote" in cmdline}
    return [pid for pid, (_, parent) in found.items() if parent in zygotes]


def test_renderer_killed_with_queries_open(shown_app, desktop):
    app = shown_app
    main = app.main_window()
    # Persistent queries stay open after their answer; a burst that is not
    # awaited leaves more in flight.
    app.devtools.evaluate("""
      for (var i = 0; i < 50; i++) {
        window.cefQuery({request: '{"command":"OrbitAppGetInfo"}', persistent: true,
                         onSuccess: function () {}});
      }
      for (var i = 0; i < 1000; i++) {
        window.cefQuery({request: '{"command":"OrbitMainBrowserGetState"}'});
      }
      true""")
    renderers = renderer_pids(app)
    assert renderers, "no renderer process found"
    app.close_devtools()
    for pid in renderers:
        os.kill(pid, signal.SIGKILL)

    # The router drops what was open for the page; nothing it does may end or
    # wedge the program. (The page itself stays gone: nothing reloads it.)
    ls.holds_for(lambda: app.alive() and main in app.windows(), 3,
                 what="lumio-app running with its main window")
    # The window still answers the window manager: it takes the focus, and its
    # close button hides it. Quitting still ends everything, with status 0.
    desktop.activate_window(main)
    ls.wait_for(lambda: desktop.active_window() == main, 10, what="the main window's focus")
    desktop.close_window(main)
    app.wait_no_visible_window()
    app.expect_alive()
    assert app.terminate(timeout=20) == 0, app.log_tail()
    ls.wait_for(lambda: not app.descendants_alive(), 10, what="engine processes to exit")


def unusable_pack(kind, folder):
    """The bytes of a lumio.pak of |kind| that holds no usable page (None: none)."""
    if kind == "missing":
        return None
    good = ls.build_pack(os.path.join(folder, "good.pak"))
    with open(good, "rb") as f:
        data = f.read()
    with zipfile.ZipFile(good) as z:
        second_entry = z.infolist()[1].header_offset
    return {
        "empty": b"",
        "truncated-directory": data[:-30],
        "entries-only": data[:second_entry],
        "not-a-zip": b"<!DOCTYPE html><title>index.html</title>" * 100,
        "empty-archive": b"PK\x05\x06" + bytes(18),
    }[kind]


@pytest.mark.parametrize("kind", ["missing", "empty", "truncated-directory",
                                  "entries-only", "not-a-zip", "empty-archive"])
def test_unusable_pack_starts_without_window_and_quits_on_sigterm(launch, kind, tmp_path):
    app = launch(pack=unusable_pack(kind, str(tmp_path)))
    ls.holds_for(lambda: app.alive() and not app.windows(), 5,
                 what="a live lumio-app with no visible window")
    assert app.terminate(timeout=20) == 0, app.log_tail()
    ls.wait_for(lambda: not app.descendants_alive(), 10, what="engine processes to exit")


HOSTILE_TEXT = [
    "quote\" apostrophe' backslash\\ end",
    "</script><script>alert(1)</script>",
    "line\u2028separator\u2029paragraph",
    "controls\t\n\r\x01\x1f\x7f",
    "nul\x00after",
    "wide \u00e4\u20ac\U0001F600",
    "lone \ud800 surrogate",
    "${template} `tick` %s %00 %zz",
]

def same_or_safely_replaced(sent, got):
    """Lone surrogates cannot cross as UTF-8 and come back as U+FFFD."""
    return got == sent or got == sent.replace("\ud800", "\ufffd")


def test_hostile_text_in_addresses_and_frame_names_arrives_intact(shown_app, desktop):
    app = shown_app
    main = app.main_window()
    problems = []
    for text in HOSTILE_TEXT:
        literal = json.dumps(text)
        # An address: the page moves to a fragment holding the text; the event
        # must carry exactly the address the page itself reports.
        count = len(app.events())
        href = app.devtools.evaluate(
            "location.hash = %s; location.href" % literal)
        event = app.wait_event(ADDRESS, lambda e: e["payload"].get("url") == href,
                               after=count)
        if event["payloadType"] != "object":
            problems.append(("address", text, event))

        # A frame name: a popup opened under the text as its name reports it when
        # it closes.
        count = len(app.events())
        app.devtools.evaluate("window.__popup = window.open('popup.html', %s, "
                              "'width=200,height=150'); true" % literal)
        ls.wait_for(lambda: [w for w in app.windows() if w != main], 15,
                    what="the popup for %r" % text)
        sent = app.devtools.evaluate("window.__popup.name")
        app.devtools.evaluate("window.__popup.close(); true")
        event = app.wait_event(WILL_CLOSE, after=count)
        got = event["payload"].get("name")
        if not same_or_safely_replaced(sent, got):
            problems.append(("frame name", text, sent, got))
        ls.wait_for(lambda: app.windows() == [main], 10, what="the popup to close")
    assert not problems, problems
    app.expect_alive()
    assert app.handshake().get("success") == HELLO
