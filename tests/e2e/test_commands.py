"""The bridge commands on the real main window, as the page and the user see them."""

import json
import socket
import uuid

import lumio_session as ls

STATE = "OrbitMainBrowserStateChange"
OUT_OF_RANGE = {"failure": [0, '{"error":"Out of range"}']}


command = ls.command
ok = ls.ok


def get_state(app):
    return json.loads(command(app, "OrbitMainBrowserGetState")["success"])["state"]


def net_wm_state(desktop, wid):
    return desktop.x(["xprop", "-id", str(wid), "_NET_WM_STATE"]).stdout


def assert_no_repeats(states):
    repeats = [i for i in range(1, len(states)) if states[i] == states[i - 1]]
    assert not repeats, "state reported twice in a row: %r" % states


def other_window(desktop):
    title = "lumio-e2e-other-" + uuid.uuid4().hex[:8]
    desktop.spawn_client(["xmessage", "-title", title, "-geometry", "+0+0", "other"],
                         "xmessage")
    return ls.wait_for(lambda: desktop.window_by_name(title), 10, what="the other window")[0]


def test_show_hide_and_minimise_as_the_user_and_the_page_see_them(shown_app, desktop):
    app = shown_app
    wid = app.main_window()
    app.wait_state("focused")
    assert get_state(app) == "focused"

    ok(app, "OrbitMainBrowserHide")
    app.wait_no_visible_window()
    assert get_state(app) == "hidden"
    app.wait_state("hidden")

    ok(app, "OrbitMainBrowserShow")
    assert app.main_window() == wid
    app.wait_state("focused")
    assert get_state(app) == "focused"

    ok(app, "OrbitMainBrowserMinimize")
    ls.wait_for(lambda: "_NET_WM_STATE_HIDDEN" in net_wm_state(desktop, wid), 10,
                what="the window manager to minimise the window")
    app.wait_state("hidden")
    assert get_state(app) == "hidden"

    ok(app, "OrbitMainBrowserShow")
    ls.wait_for(lambda: "_NET_WM_STATE_HIDDEN" not in net_wm_state(desktop, wid), 10,
                what="the window to come back")
    app.wait_state("focused")
    assert_no_repeats(app.states())


def test_topmost_on_and_off_in_place(shown_app, desktop):
    app = shown_app
    wid = app.main_window()
    before = desktop.geometry(wid)
    ok(app, "OrbitMainBrowserSetTopmost", enabled=True)
    ls.wait_for(lambda: "_NET_WM_STATE_ABOVE" in net_wm_state(desktop, wid), 10,
                what="_NET_WM_STATE_ABOVE")
    # The same window, where it was, still on screen.
    assert app.main_window() == wid and desktop.geometry(wid) == before
    ok(app, "OrbitMainBrowserSetTopmost", enabled=1)
    ls.wait_for(lambda: "_NET_WM_STATE_ABOVE" not in net_wm_state(desktop, wid), 10,
                what="_NET_WM_STATE_ABOVE to go")
    assert app.main_window() == wid and desktop.geometry(wid) == before
    assert "hidden" not in app.states()


def opacity(desktop, wid):
    out = desktop.x(["xprop", "-id", str(wid), "_NET_WM_WINDOW_OPACITY"]).stdout
    return int(out.split("=")[1]) if "=" in out else None


def test_alpha(shown_app, desktop):
    app = shown_app
    wid = app.main_window()
    ok(app, "OrbitMainBrowserSetAlpha", value=128)
    ls.wait_for(lambda: opacity(desktop, wid) == round(128 / 255 * 0xFFFFFFFF), 10,
                what=lambda: "opacity 128/255 (is %r)" % opacity(desktop, wid))
    for bad in (256, -1, 100000):
        assert command(app, "OrbitMainBrowserSetAlpha", value=bad) == OUT_OF_RANGE, bad
    assert opacity(desktop, wid) == round(128 / 255 * 0xFFFFFFFF)
    # Transparent, yet shown.
    ok(app, "OrbitMainBrowserSetAlpha", value=0)
    ls.wait_for(lambda: opacity(desktop, wid) == 0, 10, what="opacity 0")
    assert app.main_window() == wid
    assert get_state(app) in ("focused", "visible")
    ok(app, "OrbitMainBrowserSetAlpha", value=255)
    ls.wait_for(lambda: opacity(desktop, wid) in (None, 0xFFFFFFFF), 10, what="opaque again")


def urgent(desktop, wid):
    hints = desktop.x(["xprop", "-id", str(wid), "WM_HINTS"]).stdout
    return "urgency" in hints.lower() or \
        "_NET_WM_STATE_DEMANDS_ATTENTION" in net_wm_state(desktop, wid)


def test_flash_asks_for_attention_until_unflash(shown_app, desktop):
    app = shown_app
    wid = app.main_window()
    other = other_window(desktop)
    desktop.activate_window(other)
    app.wait_state("visible")
    ok(app, "OrbitMainBrowserFlash")
    ls.wait_for(lambda: urgent(desktop, wid), 10, what="the urgency hint")
    ok(app, "OrbitMainBrowserUnflash")
    ls.wait_for(lambda: not urgent(desktop, wid), 10, what="the urgency hint to clear")
    # A notification asks for attention too.
    ok(app, "OrbitTrayIconNotify", title="t", text="x")
    ls.wait_for(lambda: urgent(desktop, wid), 10, what="the urgency hint after a notification")
    # Coming to the window ends the request.
    desktop.activate_window(wid)
    app.wait_state("focused")
    ls.wait_for(lambda: not urgent(desktop, wid), 10, what="the hint to clear on activation")


def test_app_info_answers_version_then_computer_name(app):
    answer = command(app, "OrbitAppGetInfo")["success"]
    expected = socket.gethostname().split(".")[0]
    assert answer == '{"appVersion":"0.2.5","computerName":%s}' % json.dumps(expected)


def test_commands_without_effect_here_answer_empty(app):
    for name, members in (("OrbitToastShow", {"width": 100, "height": 50}),
                          ("OrbitToastHide", {}),
                          ("OrbitMainBrowserSetIMEEnabled", {"enabled": True}),
                          ("OrbitPopupPrepare", {"name": "p", "features": ["center"]})):
        ok(app, name, **members)
    ls.holds_for(lambda: app.alive() and not app.windows(), 0.5, what="no window shown")
