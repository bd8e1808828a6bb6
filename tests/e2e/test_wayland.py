"""The program on Qt's native Wayland plugin, under weston's and sway's headless
backends: what the compositor shows against what the page is told."""

import json
import os

import pytest

import lumio_session as ls
import wayland_session as ws
from desktop_bus import connect

STATE = "OrbitMainBrowserStateChange"
COMPOSITORS = ["weston", "sway"]


@pytest.fixture(params=COMPOSITORS)
def wayland(request):
    reason = ws.missing_compositor(request.param)
    if reason:
        pytest.skip("%s: %s" % (request.param, reason))
    root = ls.make_root("lumio-wl-")
    yield from ls.run_session(ws.WaylandDesktop(root, request.param), root)


@pytest.fixture
def wl_launch(wayland):
    runs = []

    def _launch(**kw):
        root = os.path.join(wayland.root, "run%d" % len(runs))
        os.makedirs(root)
        app = ls.Lumio(wayland, root, **kw)
        runs.append(app)
        app.start()
        app.wait_page_ready(timeout=60)
        return app

    yield _launch
    for app in reversed(runs):
        app.stop()


def shown(app, wayland):
    assert app.handshake().get("success") is not None
    wayland.wait_shown(app.pid)
    # weston 10's headless seat has no keyboard, so nothing is focused there.
    ls.wait_for(lambda: app.states()[-1:] in (["focused"], ["visible"]), 10,
                what=lambda: "the window's state (seen %r)" % app.states())
    if wayland.compositor == "sway":
        app.wait_state("focused")
    return app


def get_state(app):
    return json.loads(ls.command(app, "OrbitMainBrowserGetState")["success"])["state"]


def idle_ms(app):
    return json.loads(ls.command(app, "OrbitOSGetUserIdleTime")["success"])["t"]


def test_minimize_then_show_brings_the_window_back_and_the_page_hears_no_lie(
        wl_launch, wayland):
    app = shown(wl_launch(), wayland)
    before = app.states()
    ls.ok(app, "OrbitMainBrowserMinimize")
    if wayland.compositor == "weston":
        # weston minimises: the window leaves the screen, and no client is told.
        wayland.wait_not_shown(app.pid)
    else:
        # sway cannot minimise: nothing happened, so nothing new is reported.
        ls.holds_for(lambda: wayland.toplevels(app.pid)[0]["focused"], 1.0,
                     what="the window to stay focused on sway")
        assert app.states() == before
        assert get_state(app) == "focused"
    assert "hidden" not in app.states()[len(before):], app.states()

    ls.ok(app, "OrbitMainBrowserShow")
    view = wayland.wait_shown(app.pid)
    if wayland.compositor == "sway":
        ls.wait_for(lambda: wayland.toplevels(app.pid)[0]["focused"], 10,
                    what="the window focused again")
        assert view["title"] == "Lumio E2E Home"
    states = app.states()[len(before):]
    assert "hidden" not in states, states
    assert all(states[i] != states[i - 1] for i in range(1, len(states))), states
    assert get_state(app) == (app.states() or [None])[-1]
    assert app.quit_now() == 0


def start_kde_screensaver(wayland, idle_time):
    import dbus
    name, path, interface = ("org.freedesktop.ScreenSaver", "/ScreenSaver",
                             "org.freedesktop.ScreenSaver")
    wayland.spawn_client(["/usr/bin/python3", "-m", "dbusmock", name, path, interface],
                         "kde-screensaver")
    bus = connect(wayland)
    ls.wait_for(lambda: bus.name_has_owner(name), 15, what="the screen saver on the bus")
    mock = dbus.Interface(bus.get_object(name, path), "org.freedesktop.DBus.Mock")
    mock.AddMethod(interface, "GetSessionIdleTime", "", "u", "ret = dbus.UInt32(%d)" % idle_time)


def test_idle_time_comes_from_the_compositor_or_the_session(wl_launch, wayland):
    app = wl_launch()
    if wayland.globals() & {"ext_idle_notifier_v1", "org_kde_kwin_idle"}:
        # The compositor's idle protocol (sway): nobody touches this seat.
        ls.wait_for(lambda: idle_ms(app) >= 500, 10, what="a non-zero idle time")
        first = idle_ms(app)
        ls.wait_for(lambda: idle_ms(app) >= first + 300, 10, what="the idle time to grow")
        return
    # No idle protocol (weston) and nothing on the bus answers: 0, said once.
    assert idle_ms(app) == 0
    assert idle_ms(app) == 0
    app.stop()
    with open(app.log_path, encoding="utf-8", errors="replace") as f:
        notes = [line for line in f if "idle time" in line]
    assert len(notes) == 1, notes
    # KDE's screen saver answers in milliseconds.
    start_kde_screensaver(wayland, 61234)
    app = wl_launch()
    assert idle_ms(app) == 61234


@pytest.mark.parametrize("command", ["OrbitMainBrowserFlash", "OrbitMainBrowserShow"])
def test_flash_and_show_from_elsewhere_ask_the_compositor_for_attention(
        wl_launch, wayland, command):
    if wayland.compositor != "sway" or "xdg_activation_v1" not in wayland.globals():
        pytest.skip("%s: no xdg-activation, or no way to see an attention request"
                    % wayland.compositor)
    app = shown(wl_launch(), wayland)
    # The user goes to another workspace; a flash of a focused window asks nothing,
    # and Show may not take the focus from what the user is doing.
    wayland.run(["swaymsg", "workspace", "2"])
    ls.wait_for(lambda: not wayland.toplevels(app.pid)[0]["focused"], 10,
                what="the window to lose the focus")
    app.wait_state("visible")
    assert not wayland.toplevels(app.pid)[0]["urgent"]
    ls.ok(app, command)
    ls.wait_for(lambda: wayland.toplevels(app.pid)[0]["urgent"], 10,
                what=lambda: "the window marked urgent (%r)" % wayland.toplevels(app.pid))


def test_what_the_compositor_cannot_do_is_answered_and_said_once(wl_launch, wayland):
    app = shown(wl_launch(), wayland)
    for name in ("beside", "centred"):
        ls.ok(app, "OrbitMainBrowserSetTopmost", enabled=True)
        ls.ok(app, "OrbitMainBrowserSetAlpha", value=100)
        ls.ok(app, "OrbitPopupPrepare", name=name, features=["bottomside", "center"])
        app.devtools.evaluate("window.open('popup.html', '%s', 'width=300,height=200');"
                              " true" % name)
    ls.wait_for(lambda: len(wayland.toplevels(app.pid)) == 3, 20,
                what=lambda: "two popups on screen (%r)" % wayland.toplevels(app.pid))
    assert app.quit_now() == 0
    with open(app.log_path, encoding="utf-8", errors="replace") as f:
        log = f.read()
    for topic in ("SetTopmost", "SetAlpha", '"bottomside"', "tray"):
        said = [line for line in log.splitlines() if topic in line]
        assert len(said) == 1, (topic, said)
    # Qt's own complaints are what the notes replace.
    assert "opacity" not in log.replace("own opacity", "")
    assert "No such signal" not in log


def test_tray_menu_works_where_the_session_has_a_tray(wl_launch, wayland):
    import desktop_bus as db
    from test_tray import WATCHER, TrayItem, selections, wait_entries
    bus = connect(wayland)
    watcher = db.Mock(wayland, bus, os.path.join(db.HERE, "status_notifier_watcher.py"),
                      WATCHER, "/StatusNotifierWatcher")
    app = shown(wl_launch(), wayland)
    tray = TrayItem(bus, watcher)
    ls.ok(app, "OrbitTrayIconUpdateMenu", items=[{"id": 4, "label": "Open", "enabled": True}])
    (entry,) = wait_entries(tray, 1)
    tray.click(entry[0])
    ls.wait_for(lambda: selections(app) == [{"itemId": 4}], 10,
                what=lambda: "the choice to reach the page (seen %r)" % selections(app))
    with open(app.log_path, encoding="utf-8", errors="replace") as f:
        assert "tray" not in f.read()
