"""Popup windows that the page prepares and opens, as the user sees them."""

import json

import lumio_session as ls

WILL_CLOSE = "OrbitBrowserWillClose"
ADDRESS = "OrbitBrowserOnAddressChange"


def prepare(app, name, features):
    answer = app.query(json.dumps({"command": "OrbitPopupPrepare", "name": name,
                                   "features": features}))
    assert answer.get("success") == "{}", answer


def open_popup(app, name, features="width=301,height=201", url="popup.html"):
    app.devtools.evaluate("window.__popup = window.open(%s, %s, %s); true"
                          % (json.dumps(url), json.dumps(name), json.dumps(features)))


def popup_window(app, main_wid, timeout=15):
    def probe():
        others = [w for w in app.windows() if w != main_wid]
        return others[0] if others else None
    return ls.wait_for(probe, timeout, what="the popup's window")


def frame_extents(desktop, wid):
    out = desktop.x(["xprop", "-id", str(wid), "_NET_FRAME_EXTENTS"]).stdout
    if "=" not in out:
        return None
    return tuple(int(v) for v in out.split("=")[1].split(","))


def frame_of(desktop, wid):
    """(x, y, w, h) of the window with its decorations, top-left origin."""
    x, y, w, h = desktop.geometry(wid)
    left, right, top, bottom = frame_extents(desktop, wid) or (0, 0, 0, 0)
    return x - left, y - top, w + left + right, h + top + bottom


def test_noborder_popup_is_frameless_and_centred_on_its_opener(shown_app, desktop):
    app = shown_app
    main = app.main_window()
    prepare(app, "np", ["noborder", "center"])
    open_popup(app, "np")
    popup = popup_window(app, main)
    ls.wait_for(lambda: frame_extents(desktop, popup) is not None, 10,
                what="the window manager to manage the popup")
    assert frame_extents(desktop, popup) == (0, 0, 0, 0)
    # Centred on the opener's frame, computed with the origin at the bottom left.
    fx, fy, fw, fh = frame_of(desktop, main)
    screen_h = ls.SCREEN_H
    opener_bottom = screen_h - (fy + fh)
    x = int(fw * 0.5 + fx - 301 // 2)
    y_bottom = int(fh * 0.5 + opener_bottom - 201 // 2)
    expected = (x, screen_h - (y_bottom + 201), 301, 201)
    ls.wait_for(lambda: desktop.geometry(popup) == expected, 10,
                what=lambda: "popup at %r (is %r)" % (expected, desktop.geometry(popup)))
    # The popup's page is ours: its own bridge works.
    assert app.devtools.evaluate("window.__popup.document.title") == "Lumio E2E Popup"


def test_fixed_popup_cannot_be_resized_and_the_next_one_is_plain(shown_app, desktop):
    app = shown_app
    main = app.main_window()
    prepare(app, "fx", ["fixed"])
    open_popup(app, "fx", "width=320,height=240")
    popup = popup_window(app, main)
    hints = desktop.wm_hints(popup)
    assert "minimum size: 320 by 240" in hints and "maximum size: 320 by 240" in hints, hints
    ls.wait_for(lambda: frame_extents(desktop, popup) not in (None, (0, 0, 0, 0)), 10,
                what="a frame around the fixed popup")

    # The entry is used up: the same name again gives an ordinary window.
    app.devtools.evaluate("window.__popup.close(); true")
    ls.wait_for(lambda: popup not in app.windows(), 10, what="the popup to close")
    open_popup(app, "fx", "width=320,height=240")
    again = popup_window(app, main)
    assert "maximum size" not in desktop.wm_hints(again)


def test_closing_a_popup_tells_the_page_and_hands_focus_back(shown_app, desktop):
    app = shown_app
    main = app.main_window()
    open_popup(app, "closeme")
    popup = popup_window(app, main)
    ls.wait_for(lambda: desktop.active_window() == popup, 10, what="the popup to get focus")
    count = len(app.events())
    desktop.close_window(popup)
    event = app.wait_event(WILL_CLOSE, after=count)
    assert event["payload"] == {"name": "closeme"} and event["payloadType"] == "object"
    ls.wait_for(lambda: desktop.active_window() == main, 10,
                what="the focus to return to the main window")
    app.wait_state("focused")
    # A popup opened without an address has its name too.
    count = len(app.events())
    open_popup(app, "blank", url="")
    blank = popup_window(app, main)
    app.devtools.evaluate("window.__popup.close(); true")
    event = app.wait_event(WILL_CLOSE, after=count)
    assert event["payload"] == {"name": "blank"}
    ls.wait_for(lambda: blank not in app.windows(), 10, what="the blank popup to go")


CLICK_LINK = """(function (href) {
  var a = document.createElement('a');
  a.href = href; a.target = '_blank'; a.textContent = 'out';
  document.body.appendChild(a); a.click(); a.remove(); return true;
})(%s)"""


def test_links_to_new_windows_go_to_the_desktops_browser(launch, desktop):
    bin_dir, log = ls.fake_opener(desktop.root)
    app = launch(env={"PATH": bin_dir + ":" + desktop.base_env()["PATH"]})
    app.wait_page_ready()
    assert app.handshake().get("success")
    main = app.main_window()
    for refused in ("file:///etc/passwd", "javascript:alert(1)", "app://lumio/popup.html"):
        app.devtools.evaluate(CLICK_LINK % json.dumps(refused))
    web = "https://example.com/out?x=1"
    app.devtools.evaluate(CLICK_LINK % json.dumps(web))
    # window.open without popup features asks for a tab: the desktop's browser too.
    app.devtools.evaluate("window.open('https://example.com/tab'); true")
    ls.wait_for(lambda: len(ls.opened(log)) >= 2, 10,
                what=lambda: "two calls of xdg-open (have %r)" % ls.opened(log))
    ls.holds_for(lambda: app.windows() == [main] and len(ls.opened(log)) == 2, 1.0,
                 what="no window of ours and no other call")
    assert sorted(ls.opened(log)) == sorted([[web], ["https://example.com/tab"]])


def test_quit_now_closes_popups_too_and_exits_zero(shown_app):
    app = shown_app
    main = app.main_window()
    open_popup(app, "one")
    popup_window(app, main)
    app.devtools.evaluate("window.cefQuery({request: '{\"command\":\"OrbitAppQuitNow\"}'}); true")
    assert app.proc.wait(20) == 0, app.log_tail()


def test_opening_a_popup_reports_its_address_and_no_empty_one(shown_app):
    app = shown_app
    main = app.main_window()
    prepare(app, "addr", ["center"])
    count = len(app.events())
    open_popup(app, "addr")
    popup_window(app, main)
    url = ls.APP_ORIGIN + "popup.html"
    app.wait_event(ADDRESS, lambda e: e["payload"] == {"url": url}, after=count)
    # An address change of the popup's own marks the end of those its opening made.
    app.devtools.evaluate("window.__popup.location.hash = 'end'; true")
    app.wait_event(ADDRESS, lambda e: e["payload"] == {"url": url + "#end"}, after=count)
    addresses = [e["payload"] for e in app.events()[count:] if e["name"] == ADDRESS]
    assert {"url": ""} not in addresses, addresses


def test_a_popup_of_a_local_file_gets_no_window(shown_app, desktop):
    app = shown_app
    main = app.main_window()
    open_popup(app, "local", url="file:///etc/passwd")
    # A popup opened after it shows that the first has been dealt with.
    open_popup(app, "after")
    after = ls.wait_for(lambda: desktop.window_by_name("^Lumio E2E Popup$"), 15,
                        what="the second popup's window")
    ls.holds_for(lambda: sorted(app.windows()) == sorted([main] + after), 1.0,
                 what="no window beside the main one and the second popup")
