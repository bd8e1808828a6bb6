"""The main window as the user handles it, and the events the page gets."""

import json
import os
import shutil
import signal
import subprocess
import uuid

import pytest

import lumio_session as ls

HELLO = '{"text":"Hello, world!"}'
STATE = "OrbitMainBrowserStateChange"
ADDRESS = "OrbitBrowserOnAddressChange"


def assert_no_repeats(states):
    repeats = [i for i in range(1, len(states)) if states[i] == states[i - 1]]
    assert not repeats, "state reported twice in a row: %r" % states


def assert_event_shape(app, name):
    for e in app.events(name):
        assert e["payloadType"] == "object" and e["argCount"] == 2, e


def test_close_only_hides_and_handshake_shows_again(shown_app, desktop):
    app = shown_app
    wid = app.main_window()
    desktop.close_window(wid)
    app.wait_no_visible_window()
    app.wait_state("hidden")
    ls.holds_for(app.alive, 1.0, what="lumio-app to stay alive after its window closed")
    assert app.devtools.evaluate("document.title") == "Lumio E2E Home"

    assert app.handshake().get("success") == HELLO
    assert app.main_window() == wid
    app.wait_state("focused")
    assert_no_repeats(app.states())
    # Shown again means shown to the page too, with the keyboard.
    app.wait_page_visible()
    app.assert_typing_reaches_page()


def test_showing_reports_focused_without_visible_first(app, desktop):
    # The window manager activates a window a moment after it appears; the page
    # hears where the window settles, not the moment in between.
    seen = len(app.states())
    assert app.handshake().get("success") == HELLO
    wid = app.main_window()
    app.wait_state("focused")
    assert app.states()[seen:] == ["focused"], app.states()

    desktop.close_window(wid)
    app.wait_no_visible_window()
    app.wait_state("hidden")
    show_again_and_expect_focused_only(app, wid)


# Puts the main window on a desktop other than the current one whenever it is
# mapped: the window manager then leaves the focus where it is.
ELSEWHERE_RC = """<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <desktops><number>2</number></desktops>
  <applications>
    <application title="Lumio*"><desktop>2</desktop></application>
  </applications>
</openbox_config>
"""


@pytest.mark.parametrize("desktop", [ELSEWHERE_RC], indirect=True, ids=["elsewhere"])
def test_showing_without_focus_still_reports_visible(app, desktop):
    title = "lumio-e2e-other-" + uuid.uuid4().hex[:8]
    desktop.spawn_client(["xmessage", "-title", title, "-geometry", "+0+0", "other"],
                         "xmessage")
    other = ls.wait_for(lambda: desktop.window_by_name(title), 10,
                        what="the other window")[0]
    desktop.activate_window(other)
    ls.wait_for(lambda: desktop.active_window() == other, 10,
                what="the other window to be active")

    seen = len(app.states())
    assert app.handshake().get("success") == HELLO
    app.wait_state("visible")
    assert desktop.active_window() == other
    assert app.states()[seen:] == ["visible"], app.states()


def test_window_title_follows_page_title(shown_app, desktop):
    wid = shown_app.main_window()
    for title in ("Second \"title\" \u2713", "x" * 300):
        shown_app.devtools.evaluate("document.title = %s; true" % json.dumps(title))
        ls.wait_for(lambda: desktop.title(wid) == title, 10,
                    what=lambda: "window title %r (is %r)" % (title, desktop.title(wid)))


def test_state_events_follow_focus_and_visibility(shown_app, desktop):
    app = shown_app
    wid = app.main_window()
    desktop.activate_window(wid)
    app.wait_state("focused")

    title = "lumio-e2e-other-" + uuid.uuid4().hex[:8]
    desktop.spawn_client(["xmessage", "-title", title, "-geometry", "+0+0", "other"],
                         "xmessage")
    other = ls.wait_for(lambda: desktop.window_by_name(title), 10,
                        what="the other window")[0]
    desktop.activate_window(other)
    app.wait_state("visible")

    desktop.activate_window(wid)
    app.wait_state("focused")

    desktop.close_window(wid)
    app.wait_no_visible_window()
    app.wait_state("hidden")

    # Shown again while another program has the focus: once the window manager
    # has activated it, the page must hear "focused".
    assert app.handshake().get("success") == HELLO
    app.main_window()
    ls.wait_for(lambda: desktop.active_window() == wid, 10,
                what="the window manager to activate the shown window")
    app.wait_state("focused")
    app.assert_typing_reaches_page()

    states = app.states()
    assert set(states) <= {"focused", "visible", "hidden"}, states
    assert_no_repeats(states)
    assert_event_shape(app, STATE)


def test_minimising_reports_hidden(shown_app, desktop):
    app = shown_app
    wid = app.main_window()
    desktop.activate_window(wid)
    app.wait_state("focused")

    desktop.minimize_window(wid)
    app.wait_no_visible_window()
    app.wait_state("hidden")

    # The handshake brings a minimised window back as well, focused at once.
    show_again_and_expect_focused_only(app, wid)


def show_again_and_expect_focused_only(app, wid):
    """The handshake shows the window again; the page hears "focused" and nothing
    before it."""
    seen = len(app.states())
    assert app.handshake().get("success") == HELLO
    assert app.main_window() == wid
    app.wait_state("focused")
    assert app.states()[seen:] == ["focused"], app.states()
    assert_no_repeats(app.states())


def wait_address(app, url, after=0):
    return app.wait_event(
        ADDRESS, lambda e: isinstance(e["payload"], dict) and e["payload"].get("url") == url,
        after=after)


def test_address_event_on_main_frame_navigation(shown_app):
    app = shown_app
    # The event is sent when the new document commits, which may be before the
    # page's own first script has defined cefMessage (such an event is lost by
    # design). A recorder installed at document start sees it either way.
    app.devtools.call("Page.enable")
    app.devtools.call("Page.addScriptToEvaluateOnNewDocument", {"source": """
        window.__earlyEvents = [];
        window.cefMessage = function (name, payload) {
          window.__earlyEvents.push({name: name, payload: payload,
                                     payloadType: typeof payload,
                                     argCount: arguments.length});
        };"""})
    app.devtools.evaluate("location.href = 'index.html?nav=1'; true")
    app.devtools.wait_js("location.search === '?nav=1'", 15, what="the navigation")
    app.wait_page_ready()
    href = app.devtools.evaluate("location.href")
    assert href == ls.APP_ORIGIN + "index.html?nav=1"

    def received():
        seen = app.devtools.evaluate("window.__earlyEvents.concat(window.__events)")
        return [e for e in seen if e["name"] == ADDRESS and e["payload"] == {"url": href}]
    events = ls.wait_for(received, 10, what="the address event of the new document")
    assert all(e["payloadType"] == "object" and e["argCount"] == 2 for e in events)


def test_address_event_on_hash_change_keeps_the_address_intact(shown_app):
    app = shown_app
    for fragment in ("plain", "q\"uo'te\\back\\\\slash"):
        count = len(app.events())
        href = app.devtools.evaluate("location.hash = %s; location.href" % json.dumps(fragment))
        if fragment != "plain":
            assert "'" in href and "\\" in href, href  # the test input itself survived
        wait_address(app, href, after=count)
    assert_event_shape(app, ADDRESS)


def test_address_event_on_subframe_navigation(shown_app):
    app = shown_app
    app.devtools.evaluate("""
      new Promise(function (resolve) {
        var f = document.createElement('iframe');
        f.id = 'nav-frame';
        f.onload = function () { resolve(true); };
        f.src = 'sub.html?first=1';
        document.body.appendChild(f);
      })""")
    wait_address(app, ls.APP_ORIGIN + "sub.html?first=1")
    count = len(app.events())
    app.devtools.evaluate("""
      new Promise(function (resolve) {
        var f = document.getElementById('nav-frame');
        f.onload = function () { resolve(true); };
        f.src = 'sub.html?second=2';
      })""")
    wait_address(app, ls.APP_ORIGIN + "sub.html?second=2", after=count)
    assert_event_shape(app, ADDRESS)


def test_address_event_from_a_frame_of_another_origin(shown_app):
    app = shown_app
    url = "data:text/html,<p>elsewhere</p>"
    seen_by_page = app.devtools.evaluate("""
      new Promise(function (resolve) {
        var messages = [];
        window.addEventListener('message', function (e) { messages.push(e.data); });
        var f = document.createElement('iframe');
        f.onload = function () { setTimeout(function () { resolve(messages); }, 300); };
        f.src = %s;
        document.body.appendChild(f);
      })""" % json.dumps(url))
    wait_address(app, url)
    # The relay is the shell's business, not the page's.
    assert seen_by_page == []

    # A frame cannot pass off an address of an origin other than its own.
    app.devtools.evaluate("""
      new Promise(function (resolve) {
        var f = document.createElement('iframe');
        f.onload = function () { setTimeout(function () { resolve(true); }, 300); };
        f.src = 'data:text/html,' + encodeURIComponent(
            '<script>parent.postMessage({lumioFrameAddress: "app://lumio/forged"}, "*")</scr' +
            'ipt>');
        document.body.appendChild(f);
      })""")
    forged = lambda: [e for e in app.events(ADDRESS)
                      if e["payload"] == {"url": "app://lumio/forged"}]
    ls.holds_for(lambda: not forged(), 1.0, what="no forged address event")


def tracer_of(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("TracerPid:"):
                return int(line.split()[1])
    return 0


def test_a_save_of_the_place_with_the_lock_taken_in_its_midst_does_not_freeze(
        shown_app, desktop):
    app = shown_app
    wid = app.main_window()
    # A first save makes the settings' folder.
    x, y = desktop.geometry(wid)[:2]
    desktop.move_window(wid, x + 20, y + 20)
    ls.wait_for(lambda: os.path.exists(app.user.settings_file), 10, what="a first save")
    lock = app.user.settings_file + ".lock"
    log = os.path.join(app.root, "strace.log")
    if shutil.which("strace") is None:
        pytest.skip("strace is in the --test package set; this host lacks it")
    # strace stops the program as soon as it first lets go of the settings lock in a
    # save; another process takes the lock then, and the program goes on.
    tracer = subprocess.Popen(
        ["strace", "-f", "-qq", "-o", log, "-P", lock, "-e", "trace=unlink,unlinkat",
         "-e", "inject=unlink,unlinkat:signal=SIGSTOP:when=1", "-p", str(app.pid)],
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        ls.wait_for(lambda: tracer_of(app.pid) == tracer.pid or tracer.poll() is not None,
                    10, what="strace to attach")
        if tracer.poll() is not None:
            pytest.skip("strace cannot trace here (exit status %s)" % tracer.returncode)
        x, y = desktop.geometry(wid)[:2]
        desktop.move_window(wid, x + 40, y + 30)

        def stopped():
            with open(log) as f:
                return "stopped by SIGSTOP" in f.read()
        ls.wait_for(stopped, 10, what="a save of the window's place to let go of the lock")
        os.mkdir(lock)  # taken, for good: it cannot be removed as stale either
        os.kill(app.pid, signal.SIGCONT)
        try:
            answer = app.handshake()
        except Exception as e:  # DevTools itself waits for the frozen program
            answer = {"error": repr(e)}
        assert answer.get("success") == HELLO, "the program froze: %r" % answer
        with open(app.user.settings_file, encoding="utf-8", errors="replace") as f:
            assert "OrbitMainBrowser" in f.read()
    finally:
        tracer.terminate()
        tracer.wait(10)
        if os.path.isdir(lock):
            os.rmdir(lock)
