"""What a desktop web app expects of its window: permissions that answer,
notifications on the desktop, fullscreen, printing and the clipboard.

Gestures are real clicks on the window (xdotool), as the engine asks for a user
activation before fullscreen and the clipboard. The prompt for devices exists only
in a build that declares them: run that test with LUMIO_STAGE naming the stage of
a build configured with -DLUMIO_APP_USES_DEVICES=ON.
"""

import json
import os
import subprocess

import pytest

import desktop_bus as db
import lumio_session as ls

NOTIFICATIONS = "org.freedesktop.Notifications"

# Settles |promise| or says it did not within |ms| milliseconds.
WITHIN = r"""
(function (promise, ms) {
  return Promise.race([
    Promise.resolve(promise).then(v => ({value: v}), e => ({error: e.name + ': ' + e.message})),
    new Promise(resolve => setTimeout(() => resolve({pending: true}), ms)),
  ]);
})
"""

GEOLOCATION = """new Promise((resolve, reject) => navigator.geolocation.getCurrentPosition(
    p => resolve('position'), e => resolve('error ' + e.code), {timeout: 30000}))"""


def within(app, promise_js, ms=1000):
    return app.devtools.evaluate("(%s)(%s, %d)" % (WITHIN, promise_js, ms))


@pytest.fixture
def notifications(desktop, bus):
    return db.Mock(desktop, bus, "notification_daemon", NOTIFICATIONS,
                   "/org/freedesktop/Notifications",
                   {"capabilities": "body actions"})


def click_result(app, desktop, body_js, timeout=10):
    """Runs |body_js| (an async function body) in the page when the user clicks
    the window, and returns what it returned, or {error: ...}."""
    app.devtools.evaluate("""(function () {
      window.__clicked = undefined;
      addEventListener('click', async () => {
        try { window.__clicked = {value: await (async () => { %s })()}; }
        catch (e) { window.__clicked = {error: e.name + ': ' + e.message}; }
      }, {once: true});
      return true;
    })()""" % body_js)
    wid = app.main_window()
    desktop.x(["xdotool", "mousemove", "--window", str(wid), "60", "60", "click", "1"])
    return app.devtools.wait_js("window.__clicked", timeout, what="the click's result")


def net_wm_state(desktop, wid):
    return desktop.x(["xprop", "-id", str(wid), "_NET_WM_STATE"]).stdout


def is_fullscreen(desktop, wid):
    return "_NET_WM_STATE_FULLSCREEN" in net_wm_state(desktop, wid)


def test_permission_requests_settle_at_once_with_the_policy_answer(shown_app):
    app = shown_app
    # The app's own documents: notifications granted, devices denied where the
    # build declares none, each within a second.
    assert within(app, "Notification.requestPermission()") == {"value": "granted"}
    if not stage_declares_devices():
        assert within(app, GEOLOCATION) == {"value": "error 1"}
        answer = within(app, "navigator.mediaDevices.getUserMedia({video: true})"
                        ".then(() => 'stream')")
        assert answer.get("error", "").startswith(("NotAllowedError", "NotFoundError")), \
            answer

    # A web page shown in the same window gets nothing.
    with ls.LocalWebServer({"/page": ("text/html", b"<title>web</title>web")}) as web:
        app.devtools.evaluate("location.href = %s; true" % json.dumps(web.url("/page")))
        app.devtools.wait_js("location.origin === %s && document.readyState === 'complete'"
                             % json.dumps(web.origin))
        assert within(app, "Notification.requestPermission()") == {"value": "denied"}
        assert within(app, GEOLOCATION) == {"value": "error 1"}


def test_an_app_notification_reaches_the_desktop_and_its_click_reopens(
        notifications, shown_app, desktop):
    app = shown_app
    assert within(app, "Notification.requestPermission()") == {"value": "granted"}
    app.devtools.evaluate("""(function () {
      window.__notice = [];
      const n = new Notification('Build done', {body: 'All <b>green</b>'});
      for (const name of ['show', 'click', 'error'])
        n.addEventListener(name, () => window.__notice.push(name));
      return true;
    })()""")
    (call,) = ls.wait_for(lambda: notifications.calls("Notify"), 10, what="Notify")
    app_name, replaces_id, icon, summary, body, actions, hints, timeout = call
    assert (app_name, summary, body) == ("Lumio", "Build done", "All <b>green</b>")
    assert "default" in actions
    app.devtools.wait_js("window.__notice.includes('show')")

    ls.ok(app, "OrbitMainBrowserHide")
    app.wait_no_visible_window()
    notifications.emit(NOTIFICATIONS, "ActionInvoked", "us", [1, "default"])
    app.main_window()
    app.devtools.wait_js("window.__notice.includes('click')")
    assert "error" not in app.devtools.evaluate("window.__notice")

    # The page withdraws one; the user dismisses another, and the page hears of it.
    app.devtools.evaluate("""(function () {
      window.__second = new Notification('second');
      window.__third = new Notification('third');
      window.__third.addEventListener('close', () => window.__notice.push('third closed'));
      return true;
    })()""")
    ls.wait_for(lambda: len(notifications.calls("Notify")) == 3, 10, what="two more")
    app.devtools.evaluate("window.__second.close(); true")
    ls.wait_for(lambda: notifications.calls("CloseNotification") == [[2]], 10,
                what=lambda: "notification 2 withdrawn (calls %r)"
                % notifications.calls("CloseNotification"))
    notifications.emit(NOTIFICATIONS, "NotificationClosed", "uu", [3, 2])
    app.devtools.wait_js("window.__notice.includes('third closed')")


def test_fullscreen_after_a_click_and_escape_or_exit_leave_it(shown_app, desktop):
    app = shown_app
    wid = app.main_window()
    app.wait_state("focused")
    assert not is_fullscreen(desktop, wid)

    assert click_result(app, desktop, """
      await document.documentElement.requestFullscreen();
      return !!document.fullscreenElement;""") == {"value": True}
    ls.wait_for(lambda: is_fullscreen(desktop, wid), 10, what="the window fullscreen")
    assert ls.command(app, "OrbitMainBrowserGetState")["success"] == '{"state":"focused"}'

    desktop.x(["xdotool", "key", "--window", str(wid), "Escape"])
    ls.wait_for(lambda: not is_fullscreen(desktop, wid), 10, what="fullscreen to end")
    app.devtools.wait_js("document.fullscreenElement === null")

    assert click_result(app, desktop, """
      await document.documentElement.requestFullscreen();
      return !!document.fullscreenElement;""") == {"value": True}
    ls.wait_for(lambda: is_fullscreen(desktop, wid), 10, what="the window fullscreen")
    app.devtools.evaluate("document.exitFullscreen().then(() => true)")
    ls.wait_for(lambda: not is_fullscreen(desktop, wid), 10, what="fullscreen to end")
    assert ls.command(app, "OrbitMainBrowserGetState")["success"] == '{"state":"focused"}'

    # The window manager ends it: the page hears of it.
    assert click_result(app, desktop, """
      await document.documentElement.requestFullscreen();
      return !!document.fullscreenElement;""") == {"value": True}
    ls.wait_for(lambda: is_fullscreen(desktop, wid), 10, what="the window fullscreen")
    desktop.x(["wmctrl", "-i", "-r", "0x%x" % wid, "-b", "remove,fullscreen"])
    app.devtools.wait_js("document.fullscreenElement === null")
    assert not is_fullscreen(desktop, wid)


def test_print_opens_the_print_dialog_which_prints_or_cancels(shown_app, desktop):
    app = shown_app
    pdf = os.path.join(app.user.home, "Lumio E2E Home.pdf")  # Qt's default, to a file

    def open_dialog():
        app.devtools.evaluate("setTimeout(() => window.print(), 0); true")
        (dialog,) = ls.wait_for(lambda: desktop.window_by_name("^Print"), 15,
                                what="the print dialog")
        desktop.activate_window(dialog)
        ls.wait_for(lambda: desktop.active_window() == dialog, 10,
                    what="the print dialog to take the keyboard")
        return dialog

    assert desktop.window_by_name("^Print") == []
    open_dialog()
    # One dialog at a time, however often the page asks.
    app.devtools.evaluate("setTimeout(() => window.print(), 0); true")
    ls.holds_for(lambda: len(desktop.window_by_name("^Print")) == 1, 1.0,
                 what="a single print dialog")
    desktop.x(["xdotool", "key", "Escape"])
    ls.wait_for(lambda: desktop.window_by_name("^Print") == [], 10,
                what="the dialog to close")
    assert not os.path.exists(pdf)

    open_dialog()
    desktop.x(["xdotool", "key", "Return"])

    def printed():
        try:
            with open(pdf, "rb") as f:
                data = f.read()
        except OSError:
            return False
        return data.startswith(b"%PDF") and data.rstrip().endswith(b"%%EOF")
    ls.wait_for(printed, 20, what="the page printed to " + pdf)
    app.expect_alive()


def test_clipboard_write_then_read_after_a_click(shown_app, desktop):
    app = shown_app
    text = "lumio clipboard " + os.urandom(4).hex()
    assert click_result(app, desktop, """
      await navigator.clipboard.writeText(%s);
      return await navigator.clipboard.readText();""" % json.dumps(text)) == {"value": text}


def stage_declares_devices():
    cache = os.path.join(ls.STAGE, os.pardir, "CMakeCache.txt")
    try:
        with open(cache, encoding="utf-8") as f:
            return "LUMIO_APP_USES_DEVICES:BOOL=ON" in f.read()
    except OSError:
        return False


@pytest.mark.skipif(not stage_declares_devices(),
                    reason="the staged build does not declare that the app uses devices "
                    "(-DLUMIO_APP_USES_DEVICES=ON)")
def test_a_declared_device_is_asked_once_remembered_and_reset(launch, desktop):
    fake_camera = {"QTWEBENGINE_CHROMIUM_FLAGS": "--use-fake-device-for-media-stream"}
    camera = ("navigator.mediaDevices.getUserMedia({video: true})"
              ".then(s => (s.getTracks().forEach(t => t.stop()), 'stream'))")

    def start(user=None):
        app = launch(env=fake_camera, user=user)
        app.wait_page_ready()
        assert app.handshake().get("success") is not None
        app.main_window()
        return app

    app = start()
    app.devtools.evaluate("window.__camera = undefined; (%s).then(v => window.__camera = v,"
                          " e => window.__camera = e.name); true" % camera)
    (prompt,) = ls.wait_for(lambda: desktop.window_by_name("^Lumio$"), 15,
                            what="the prompt naming the app")
    # Escape answers the prompt's refusal (the key goes to the active window).
    desktop.activate_window(prompt)
    desktop.x(["xdotool", "key", "Escape"])
    assert app.devtools.wait_js("window.__camera") == "NotAllowedError"
    user = app.user
    app.stop()

    # The next run remembers the answer and asks nothing.
    app = start(user)
    answer = within(app, camera)
    assert answer.get("error", "").startswith("NotAllowedError"), answer
    assert desktop.window_by_name("^Lumio$") == []
    app.stop()

    reset = subprocess.run([app.app_path, "--reset-permissions"], env=app.env(),
                           capture_output=True, text=True, timeout=30)
    assert reset.returncode == 0, reset.stderr
    app = start(user)
    app.devtools.evaluate("(%s).catch(e => e.name); true" % camera)
    ls.wait_for(lambda: desktop.window_by_name("^Lumio$"), 15,
                what="the prompt again after the reset")


def test_a_web_page_in_the_window_gets_neither_clipboard_nor_fullscreen(shown_app, desktop):
    app = shown_app
    wid = app.main_window()
    with ls.LocalWebServer({"/page": ("text/html", b"<title>web</title>web")}) as web:
        app.devtools.evaluate("location.href = %s; true" % json.dumps(web.url("/page")))
        app.devtools.wait_js("location.origin === %s && document.readyState === 'complete'"
                             % json.dumps(web.origin))
        answer = click_result(app, desktop, "await navigator.clipboard.writeText('web');"
                              " return 'written';")
        assert answer.get("error", "").startswith("NotAllowedError"), answer
        answer = click_result(app, desktop, """
          await document.documentElement.requestFullscreen();
          return 'fullscreen';""")
        assert "error" in answer, answer
        assert not is_fullscreen(desktop, wid)


# A worker (classic, then module) fetches a file of the app and says how long it is.
WORKER_FETCH = r"""
(async function () {
  const source = "onmessage = async () => {" +
      " try { const r = await fetch('app://lumio/index.html');" +
      " postMessage('read ' + (await r.text()).length); }" +
      " catch (e) { postMessage(e.name); } };";
  const url = URL.createObjectURL(new Blob([source], {type: 'text/javascript'}));
  const heard = [];
  for (const options of [{}, {type: 'module'}]) {
    const worker = new Worker(url, options);
    heard.push(await new Promise(resolve => {
      worker.onmessage = e => resolve(e.data);
      worker.onerror = e => resolve('error ' + e.message);
      worker.postMessage(0);
    }));
    worker.terminate();
  }
  const page = await (await fetch('app://lumio/index.html')).text();
  return {heard, page: 'read ' + page.length};
})()
"""


def test_workers_fetch_the_apps_files_where_the_engine_lets_them(shown_app):
    """Qt 6.8 lets the engine's own fetch reach app://, in workers too; Qt 6.4 does
    not, and workers get no fallback (README: the web platform in Lumio's window)."""
    result = shown_app.devtools.evaluate(WORKER_FETCH)
    if ls.engine_version() >= (6, 8):
        assert result["heard"] == [result["page"]] * 2, result
    else:
        assert result["heard"] == ["TypeError"] * 2, result
