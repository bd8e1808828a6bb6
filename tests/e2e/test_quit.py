"""Quitting: the grace period, the page's handlers, and only one lumio-app at a time.

Each quit that is not hurried waits out its grace period of about 5 s, so the
cases share tests where they read well together.
"""

import errno
import json
import os
import signal
import socket
import time

import pytest

import lumio_session as ls

WILL_QUIT = "OrbitAppWillQuit"
GRACE_S = 5.0
QUIT = json.dumps({"command": "OrbitAppQuit"})
QUIT_NOW = json.dumps({"command": "OrbitAppQuitNow"})
HIDE = json.dumps({"command": "OrbitMainBrowserHide"})
# What the engine says on its own when it starts: as root, and with the remote
# debugging that the tests turn on.
ENGINE_NOTICES = ("Sandboxing disabled by user.", "DevTools listening on ",
                  "Remote debugging server started successfully.",
                  "Added {--remote-allow-origins=*} to command-line arguments")

# The page's beforeunload handler reports to |server| each time it runs, with the
# answer its "OrbitAppQuitNow" query got, if any; with asks_to_stay it asks the
# user to stay. A synchronous request, because a beacon may still be on its way
# when the program ends.
REPORTER = """
  (function (url, asksToStay) {
    window.addEventListener('beforeunload', function (e) {
      var request = new XMLHttpRequest();
      request.open('POST', url, false);
      request.send(String(window.__quitNowAnswer));
      if (asksToStay) {
        e.preventDefault();
        e.returnValue = 'unsaved';
      }
    });
    return true;
  })(%s, %s)"""


def install_reporter(app, server, asks_to_stay=False):
    assert app.devtools.evaluate(REPORTER % (json.dumps(server.url("/beforeunload")),
                                             "true" if asks_to_stay else "false"))


def reports(server):
    return [body.decode() for _, _, body in server.received("POST", "/beforeunload")]


def assert_will_quit(app, count=1, timeout=3):
    """The page has heard "OrbitAppWillQuit" |count| times, each with {}."""
    ls.wait_for(lambda: len(app.events(WILL_QUIT)) >= count, timeout,
                what="%d x %s" % (count, WILL_QUIT))
    events = app.events(WILL_QUIT)
    assert len(events) == count, events
    for event in events:
        assert (event["payload"], event["payloadType"], event["argCount"]) == \
            ({}, "object", 2), event


def wait_closing_started(app, server, start):
    """Seconds from |start| until the page's beforeunload handler ran."""
    ls.wait_for(lambda: reports(server), GRACE_S + 10, interval=0.05,
                what=lambda: "the page's beforeunload handler (exit status %r)"
                % app.proc.poll())
    return time.monotonic() - start


def assert_closed_once_and_exited(app, server):
    assert app.wait_exit(20) == 0, app.log_tail()
    assert len(reports(server)) == 1, reports(server)
    ls.wait_for(lambda: not app.descendants_alive(), 10,
                what="engine helper processes to exit")


def quiet(log):
    """The program's output without the engine's own notices."""
    return [line for line in log.splitlines()
            if line.strip() and not line.startswith(ENGINE_NOTICES)]


@pytest.mark.parametrize("sig", [signal.SIGTERM, signal.SIGHUP], ids=["SIGTERM", "SIGHUP"])
def test_signal_hides_tells_the_page_and_closes_after_the_grace_period(shown_app, sig):
    app = shown_app
    with ls.LocalWebServer() as server:
        install_reporter(app, server)
        start = time.monotonic()
        os.kill(app.pid, sig)
        assert_will_quit(app)
        app.wait_no_visible_window(timeout=2)

        if sig == signal.SIGTERM:
            # A second quit, 2 s in: the page hears of it, but the browsers still
            # close when the first grace period ends, and only once.
            time.sleep(max(0, start + 2 - time.monotonic()))
            assert app.query(QUIT) == {"success": "{}", "type": "string"}
            assert_will_quit(app, count=2)

        closing_after = wait_closing_started(app, server, start)
        assert GRACE_S - 0.5 <= closing_after < GRACE_S + 1.8, closing_after
        app.close_devtools()
        assert_closed_once_and_exited(app, server)


def test_ctrl_q_quits_even_when_the_page_asks_to_stay(shown_app, desktop):
    app = shown_app
    with ls.LocalWebServer() as server:
        install_reporter(app, server, asks_to_stay=True)
        # Typing gives the page the user activation that lets it ask.
        app.assert_typing_reaches_page()
        start = time.monotonic()
        desktop.x(["xdotool", "key", "ctrl+q"])
        assert_will_quit(app)
        app.wait_no_visible_window(timeout=2)

        assert wait_closing_started(app, server, start) >= GRACE_S - 0.5
        app.close_devtools()
        # No question keeps a quitting program alive.
        assert_closed_once_and_exited(app, server)


def test_quit_while_a_popup_asks_whether_to_leave_ends_cleanly(shown_app, desktop):
    app = shown_app
    main = app.main_window()
    with ls.LocalWebServer() as server:
        install_reporter(app, server, asks_to_stay=True)
        app.assert_typing_reaches_page()
        app.devtools.evaluate("window.__popup = window.open('popup.html', 'stay', "
                              "'width=300,height=200'); true")
        popup = ls.wait_for(lambda: [w for w in app.windows() if w != main], 15,
                            what="the popup's window")[0]
        app.devtools.wait_js("window.__popup.document.readyState === 'complete'", 10)
        app.devtools.evaluate("""window.__popup.addEventListener('beforeunload', function (e) {
            e.preventDefault(); e.returnValue = 'unsaved'; }); true""")
        # A click gives the popup's page the user activation that lets it ask.
        x, y, w, h = desktop.geometry(popup)
        desktop.x(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2), "click", "1"])
        app.devtools.wait_js("window.__popup.navigator.userActivation.hasBeenActive", 10)
        question = "^Leave page\\?$"
        desktop.close_window(popup)
        ls.wait_for(lambda: desktop.window_by_name(question), 10,
                    what="the question whether to leave the popup's page")
        # Staying keeps the popup; closing it again asks again.
        desktop.x(["xdotool", "key", "Escape"])
        ls.wait_for(lambda: not desktop.window_by_name(question), 10, what="the answer")
        assert popup in app.windows()
        desktop.close_window(popup)
        ls.wait_for(lambda: desktop.window_by_name(question), 10, what="the question again")
        app.close_devtools()
        # The quit closes the popup, and its window with the question in it.
        os.kill(app.pid, signal.SIGTERM)
        assert app.wait_exit(GRACE_S + 25) == 0, app.log_tail()


def test_quit_now_during_the_grace_period_and_a_start_meanwhile(launch, desktop):
    user = ls.UserDirs(os.path.join(desktop.root, "shared-user"))
    first = launch(user=user)
    first.wait_page_ready()
    assert first.handshake().get("success") is not None
    first.main_window()
    with ls.LocalWebServer() as server:
        install_reporter(first, server)
        first.devtools.evaluate("window.__quitNowAnswer = 'none'; true")
        start = time.monotonic()
        os.kill(first.pid, signal.SIGINT)
        assert_will_quit(first)

        # A start during the quit waits for it instead of reopening a program on
        # its way out.
        second = launch(user=user)
        ls.holds_for(lambda: second.alive() and first.alive(), 0.5,
                     what="both programs alive while the first quits")

        first.devtools.evaluate("""
          window.cefQuery({request: %s,
                           onSuccess: function () { window.__quitNowAnswer = 'success'; },
                           onFailure: function (c) { window.__quitNowAnswer = 'failure ' + c; }});
          true""" % json.dumps(QUIT_NOW))
        # As long as the page can be asked, its query has no answer.
        answers = set()
        try:
            while first.alive():
                answers.add(first.devtools.evaluate("window.__quitNowAnswer", timeout=2))
        except Exception:  # the page has gone, with its DevTools target
            pass
        first.close_devtools()
        assert first.wait_exit(15) == 0, first.log_tail()
        assert time.monotonic() - start < GRACE_S - 0.5, "QuitNow did not hurry the quit"
        assert answers <= {"none"}, answers
        assert reports(server) == ["none"]

    second.wait_page_ready(timeout=30)
    assert second.handshake().get("success") is not None
    second.main_window()


# Run by a popup's page: asked whether it may close, it opens another popup.
OPENS_WHEN_ASKED = """window.addEventListener('beforeunload', function () {
  window.open('popup.html', 'late' + Math.random(), 'width=200,height=150');
}); true"""


def test_quit_ends_when_a_popup_opens_popups_as_it_closes(shown_app):
    app = shown_app
    app.devtools.evaluate("window.__popup = window.open('popup.html', 'opener', "
                          "'width=300,height=200'); true")
    ls.wait_for(lambda: len(app.windows()) >= 2, 15, what="the popup's window")
    app.devtools.wait_js("window.__popup.document.readyState === 'complete'", 10)
    app.devtools.evaluate("window.__popup.eval(%s)" % json.dumps(OPENS_WHEN_ASKED))
    app.close_devtools()
    os.kill(app.pid, signal.SIGTERM)
    # A popup opened after the browsers were asked to close would keep it alive.
    assert app.wait_exit(GRACE_S + 20) == 0, "%r windows left; %s" % (
        len(app.windows()) if app.alive() else 0, app.log_tail())


def net_wm_state(desktop, wid):
    return desktop.x(["xprop", "-id", str(wid), "_NET_WM_STATE"]).stdout


# The user puts the window away with a shortcut: Ctrl+W hides it, as its close
# button does; Ctrl+M minimises it.
@pytest.mark.parametrize("bus,key", [(True, "ctrl+w"), (False, "ctrl+m")],
                         ids=["session-bus", "no-session-bus"])
def test_a_second_start_reopens_the_first_and_a_killed_first_leaves_no_trace(
        launch, desktop, bus, key):
    user = ls.UserDirs(os.path.join(desktop.root, "shared-user"))
    env = {} if bus else {"DBUS_SESSION_BUS_ADDRESS": None}
    first = launch(user=user, env=env)
    first.wait_page_ready()
    assert first.handshake().get("success") is not None
    wid = first.main_window()
    first.wait_state("focused")
    desktop.x(["xdotool", "key", key])
    if key == "ctrl+w":
        first.wait_no_visible_window()
    else:
        ls.wait_for(lambda: "_NET_WM_STATE_HIDDEN" in net_wm_state(desktop, wid), 10,
                    what="the window manager to minimise the window")
    first.wait_state("hidden")

    second = launch(user=user, env=env)
    assert second.wait_exit(20) == 0, second.log_tail()
    assert first.main_window() == wid
    assert "_NET_WM_STATE_HIDDEN" not in net_wm_state(desktop, wid)
    first.wait_state("focused")
    # A normal start says nothing; the second never started its engine, which
    # would have announced its debugging port.
    assert quiet(first.log_tail(1000)) == []
    assert second.log_tail(1000) == ""

    first.close_devtools()
    os.kill(first.pid, signal.SIGKILL)
    assert first.wait_exit(5) == -signal.SIGKILL
    if not bus:
        assert os.path.exists(os.path.join(user.runtime, "lumio.socket")), \
            "no socket left behind to test a stale one with"

    third = launch(user=user, env=env)
    third.wait_page_ready()
    assert third.handshake().get("success") is not None
    third.main_window()
    fourth = launch(user=user, env=env)
    assert fourth.wait_exit(20) == 0, fourth.log_tail()
    third.expect_alive()


def open_fds(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


def ask_over_socket(path, line):
    """Sends |line| as a later start does; the answer, "" when there was none."""
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
        s.settimeout(5)
        s.connect(path)
        s.sendall(line)
        try:
            return s.makefile("rb").readline().decode().strip()
        except OSError:
            return ""


# Another program of the user holds connections open and floods reopen requests:
# the program keeps its descriptors and still answers later starts.
def test_the_instance_socket_bounds_idle_connections_and_still_answers(launch, desktop):
    user = ls.UserDirs(os.path.join(desktop.root, "shared-user"))
    env = {"DBUS_SESSION_BUS_ADDRESS": None}
    first = launch(user=user, env=env)
    first.wait_page_ready()
    assert first.handshake().get("success") is not None
    first.main_window()
    path = os.path.join(user.runtime, "lumio.socket")
    before = open_fds(first.pid)

    idle = []
    try:
        for _ in range(300):
            s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            idle.append(s)
            s.setblocking(False)
            # While the listening queue is full, until the program takes from it.
            ls.wait_for(lambda: s.connect_ex(path) in (0, errno.EISCONN), 10,
                        what="a connection to the socket")
        ls.wait_for(lambda: first.alive() and open_fds(first.pid) <= before + 12, 10,
                    what=lambda: "the program to hold a few connections (%d descriptors, "
                    "%d before)" % (open_fds(first.pid), before))

        def all_closed():
            for s in idle:
                try:
                    if s.recv(1) != b"":
                        return False
                except BlockingIOError:
                    return False
                except OSError:
                    pass
            return True
        ls.wait_for(all_closed, 15, what="the program to drop every idle connection")
    finally:
        for s in idle:
            s.close()
    first.expect_alive()

    # A real later start still reaches it.
    first.wait_state("focused")
    desktop.x(["xdotool", "key", "ctrl+w"])
    first.wait_state("hidden")
    second = launch(user=user, env=env)
    assert second.wait_exit(20) == 0, second.log_tail()
    first.wait_state("focused")
    first.expect_alive()

    # A burst of requests is answered in full (and shows the window once).
    assert [ask_over_socket(path, b"reopen\n") for _ in range(200)] == ["ok"] * 200
    first.expect_alive()
    assert ask_over_socket(path, b"x" * 100 + b"\n") == ""
