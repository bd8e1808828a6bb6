"""The tray icon, its menu, the badge and notifications, seen from the session bus.

Mocks stand in for the desktop: a StatusNotifierWatcher (so that the tray icon
is published over D-Bus and its menu can be read and clicked like a panel
would) and a notification server; the launcher's count is read from the
signals on the bus. Every mock is on the bus before lumio-app starts, as Qt
looks for the watcher once, when it makes the tray icon.
"""

import json
import os

import dbus
import pytest

import desktop_bus as db
import lumio_session as ls

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
DBUSMENU = "com.canonical.dbusmenu"
NOTIFICATIONS = "org.freedesktop.Notifications"
LAUNCHER = "com.canonical.Unity.LauncherEntry"
SELECT = "OrbitTrayIconMenuDidSelect"


@pytest.fixture
def watcher(desktop, bus):
    return db.Mock(desktop, bus, os.path.join(db.HERE, "status_notifier_watcher.py"),
                   WATCHER, "/StatusNotifierWatcher")


@pytest.fixture
def notifications(request, desktop, bus):
    """python3-dbusmock's notification server; parametrize indirectly with the
    capabilities it announces."""
    capabilities = getattr(request, "param", "body body-markup actions")
    return db.Mock(desktop, bus, "notification_daemon", NOTIFICATIONS,
                   "/org/freedesktop/Notifications", {"capabilities": capabilities})


@pytest.fixture
def launcher(desktop):
    return db.SignalRecorder(desktop, LAUNCHER)


command = ls.command
ok = ls.ok


def start(launch):
    app = launch()
    app.wait_page_ready()
    assert app.handshake().get("success") is not None
    app.main_window()
    app.wait_state("focused")
    return app


class TrayItem:
    """The program's StatusNotifierItem as a panel sees it."""

    def __init__(self, bus, watcher):
        names = ls.wait_for(
            lambda: watcher.object.Get(WATCHER, "RegisteredStatusNotifierItems",
                                       dbus_interface=db.PROPERTIES),
            15, what="the tray icon to register with the watcher")
        assert len(names) == 1, names
        # A bus name (the item is at /StatusNotifierItem) or "name/path".
        name, slash, path = str(names[0]).partition("/")
        self.bus = bus
        self.name = name
        self.item = bus.get_object(name, slash + path if slash else "/StatusNotifierItem")

    def prop(self, name):
        return self.item.Get(ITEM, name, dbus_interface=db.PROPERTIES)

    def icon(self):
        return [(int(w), int(h), bytes(data)) for w, h, data in self.prop("IconPixmap")]

    def activate(self):
        self.item.Activate(0, 0, dbus_interface=ITEM)

    def _menu(self):
        return self.bus.get_object(self.name, str(self.prop("Menu")))

    def entries(self):
        """[(dbusmenu id, text shown, enabled)] of the menu's top level."""
        _, (_, _, children) = self._menu().GetLayout(
            0, -1, dbus.Array([], signature="s"), dbus_interface=DBUSMENU)
        out = []
        for child in children:
            item_id, props, _ = child
            if not props.get("visible", True):
                continue
            out.append((int(item_id), db.dbusmenu_shown_text(str(props.get("label", ""))),
                        bool(props.get("enabled", True))))
        return out

    def click(self, item_id):
        self._menu().Event(item_id, "clicked", dbus.Int32(0, variant_level=1),
                           dbus.UInt32(0), dbus_interface=DBUSMENU)


def wait_entries(tray, count):
    def probe():
        entries = tray.entries()
        return entries if len(entries) == count else None
    return ls.wait_for(probe, 10, what=lambda: "%d menu entries (have %r)"
                       % (count, tray.entries()))


def selections(app):
    return [e["payload"] for e in app.events(SELECT)]


def launcher_counts(launcher):
    """(app URI, count, count-visible) of each launcher update so far."""
    return [(s["args"][0], s["args"][1].get("count"), s["args"][1].get("count-visible"))
            for s in launcher.signals("Update")]


def test_tray_menu_is_the_pages_list_and_reports_each_choice(watcher, bus, launch):
    app = start(launch)
    tray = TrayItem(bus, watcher)
    assert str(tray.prop("Menu")) != "/NO_DBUSMENU", "a panel reads the menu's path once"
    assert not tray.prop("ItemIsMenu"), "a click must activate, not open the menu"
    assert tray.entries() == []

    items = [
        {"id": 7, "label": "Open", "enabled": True},
        {"id": -1, "label": "Minus one", "enabled": True},
        {"id": 2, "label": "Off", "enabled": False},
        {"id": 7, "label": "Same id", "enabled": True},
        {"id": 5, "label": "One is not true", "enabled": 1},
        {"id": 6, "label": "No enabled member"},
        {"id": 8, "label": "Save & Quit && more_stuff __x_ &", "enabled": True},
        {"id": 9, "label": "Ünïcødé ✓ 日本", "enabled": True},
    ]
    ok(app, "OrbitTrayIconUpdateMenu", items=items, defaultItemId=7)
    entries = wait_entries(tray, len(items))
    assert [(text, enabled) for _, text, enabled in entries] == \
        [(i["label"], i.get("enabled") is True) for i in items]

    # Every entry clicked in order: disabled ones send nothing, ids come back as given.
    for item_id, _, _ in entries:
        tray.click(item_id)
    expected = [{"itemId": i} for i in (7, -1, 7, 8, 9)]
    ls.wait_for(lambda: selections(app)[-1:] == expected[-1:], 10,
                what=lambda: "the last choice (seen %r)" % selections(app))
    assert selections(app) == expected

    # A new list replaces the whole menu; the old entries are gone.
    ok(app, "OrbitTrayIconUpdateMenu", items=[{"id": 3, "label": "Only", "enabled": True}])
    (only,) = wait_entries(tray, 1)
    assert only[1:] == ("Only", True)
    for item_id, _, _ in entries:
        tray.click(item_id)
    tray.click(only[0])
    ls.wait_for(lambda: selections(app)[-1:] == [{"itemId": 3}], 10, what="the new choice")
    assert selections(app) == expected + [{"itemId": 3}]

    ok(app, "OrbitTrayIconUpdateMenu", items=[])
    ls.wait_for(lambda: tray.entries() == [], 10, what="an empty menu")


@pytest.mark.parametrize("notifications", ["body body-markup actions", "body"],
                         indirect=True)
def test_notification_carries_the_pages_text_and_the_programs_name_and_icon(
        notifications, launch):
    app = start(launch)
    title = 'Hi <b>"there"</b> & co'
    text = "a < b && c > d\n<img src='http://127.0.0.1:9/x.png'>"
    ok(app, "OrbitTrayIconNotify", title=title, text=text, unreadCount=3)
    (call,) = ls.wait_for(lambda: notifications.calls("Notify"), 10, what="Notify")
    app_name, replaces_id, icon, summary, body, actions, hints, timeout = call
    assert (app_name, replaces_id, summary, timeout) == ("Lumio", 0, title, -1)
    assert icon == "file://" + os.path.join(
        app.prefix, "share", "icons", "hicolor", "256x256", "apps", "lumio.png")
    assert hints.get("desktop-entry") == "lumio"
    capabilities = notifications.object.GetCapabilities(dbus_interface=NOTIFICATIONS)
    if "body-markup" in capabilities:
        # Shown as the page's text, not read as tags.
        assert body == ("a &lt; b &amp;&amp; c &gt; d\n"
                        "&lt;img src='http://127.0.0.1:9/x.png'&gt;")
    else:
        assert body == text
    if "actions" in capabilities:
        assert actions[0::2] == ["default"]
    else:
        assert list(actions) == []


def test_badge_follows_the_count_of_each_notification(notifications, launcher, watcher,
                                                       bus, launch):
    app = start(launch)
    tray = TrayItem(bus, watcher)
    plain = tray.icon()
    uri = "application://lumio.desktop"
    steps = [  # (unreadCount or None for none, launcher update expected)
        (1, (uri, 1, True)),
        (120, (uri, 120, True)),
        (0, (uri, 0, False)),
        (120, (uri, 120, True)),
        (-5, (uri, 0, False)),
        (7, (uri, 7, True)),
        (None, (uri, 0, False)),
    ]
    icons = []
    for count, update in steps:
        members = {"title": "t", "text": "x"}
        if count is not None:
            members["unreadCount"] = count
        ok(app, "OrbitTrayIconNotify", **members)
        ls.wait_for(lambda: launcher_counts(launcher)[-1:] == [update], 10,
                    what=lambda: "launcher update %r (seen %r)"
                    % (update, launcher_counts(launcher)))
        icons.append(tray.icon())
    assert launcher_counts(launcher) == [update for _, update in steps]
    # The number is drawn on the tray icon, and goes with the badge.
    assert icons[0] != plain and icons[1] != plain and icons[0] != icons[1]
    assert icons[2] == plain and icons[4] == plain and icons[6] == plain


def test_activating_the_tray_icon_reopens(notifications, launcher, watcher, bus, launch):
    app = start(launch)
    tray = TrayItem(bus, watcher)
    plain = tray.icon()
    ok(app, "OrbitTrayIconNotify", title="t", text="x", unreadCount=2)
    ls.wait_for(lambda: notifications.calls("Notify"), 10, what="Notify")
    ls.wait_for(lambda: tray.icon() != plain, 10, what="the badge on the tray icon")
    ok(app, "OrbitMainBrowserHide")
    app.wait_no_visible_window()

    tray.activate()
    app.main_window()
    app.wait_state("focused")
    ls.wait_for(lambda: notifications.calls("CloseNotification") == [[1]], 10,
                what=lambda: "notification 1 withdrawn (calls %r)"
                % notifications.calls("CloseNotification"))
    ls.wait_for(lambda: launcher_counts(launcher)[-1][2] is False, 10,
                what="the launcher count to go")
    assert tray.icon() == plain


def test_clicking_a_notification_reopens_and_withdraws_every_one(notifications, launcher,
                                                                  launch):
    app = start(launch)
    ok(app, "OrbitTrayIconNotify", title="one", text="x", unreadCount=4)
    ok(app, "OrbitTrayIconNotify", title="two", text="y", unreadCount=6)
    ls.wait_for(lambda: len(notifications.calls("Notify")) == 2, 10, what="two notifications")
    ok(app, "OrbitMainBrowserHide")
    app.wait_no_visible_window()

    # Another program's notification clicked, and another action of ours: neither
    # is a click on one of ours.
    notifications.emit(NOTIFICATIONS, "ActionInvoked", "us", [99, "default"])
    notifications.emit(NOTIFICATIONS, "ActionInvoked", "us", [1, "reply"])
    ls.holds_for(lambda: app.alive() and not app.windows(), 1.0,
                 what="the main window staying hidden")
    assert notifications.calls("CloseNotification") == []

    notifications.emit(NOTIFICATIONS, "ActionInvoked", "us", [2, "default"])
    app.main_window()
    app.wait_state("focused")
    ls.wait_for(lambda: sorted(c[0] for c in notifications.calls("CloseNotification"))
                == [1, 2], 10, what=lambda: "both withdrawn (calls %r)"
                % notifications.calls("CloseNotification"))
    ls.wait_for(lambda: launcher_counts(launcher)[-1][2] is False, 10,
                what="the launcher count to go")


def test_unflash_clears_the_badge_and_withdraws_what_was_shown(notifications, launcher,
                                                               launch):
    app = start(launch)
    ok(app, "OrbitTrayIconNotify", title="one", text="x", unreadCount=5)
    ls.wait_for(lambda: notifications.calls("Notify"), 10, what="Notify")
    ok(app, "OrbitMainBrowserUnflash")
    ls.wait_for(lambda: notifications.calls("CloseNotification") == [[1]], 10,
                what="notification 1 withdrawn")
    ls.wait_for(lambda: launcher_counts(launcher)[-1][2] is False, 10,
                what="the launcher count to go")

    # Withdrawn even when the server has not answered yet: a notification and
    # the unflash sent back to back.
    app.devtools.evaluate("""
        window.cefQuery({request: JSON.stringify({command: 'OrbitTrayIconNotify',
                                                  title: 'two', text: 'y'})});
        window.cefQuery({request: JSON.stringify({command: 'OrbitMainBrowserUnflash'})});
        true""")
    ok(app, "OrbitTrayIconNotify", title="three", text="z")
    ls.wait_for(lambda: notifications.calls("Notify")[-1:] and
                notifications.calls("Notify")[-1][3] == "three", 10, what="the third one")
    ids = list(range(1, len(notifications.calls("Notify")) + 1))  # the mock counts from 1

    def closed():
        return sorted(c[0] for c in notifications.calls("CloseNotification"))
    ls.wait_for(lambda: closed() == ids[:-1], 10,
                what=lambda: "all but the third withdrawn (closed %r of %r)" % (closed(), ids))
    ok(app, "OrbitMainBrowserUnflash")
    ls.wait_for(lambda: closed() == ids, 10,
                what=lambda: "every one withdrawn once (closed %r of %r)" % (closed(), ids))


def test_without_a_watcher_the_icon_sits_in_the_x11_tray(desktop, launch):
    desktop.spawn_client(["tint2"], "tint2")
    app = start(launch)
    main = app.main_window()

    def tray_icon():
        small = [w for w in app.windows() if w != main and desktop.geometry(w)[2] <= 64]
        return small[0] if small else None
    icon = ls.wait_for(tray_icon, 15, what="the tray icon in tint2's system tray")
    x, y, w, h = desktop.geometry(icon)
    ok(app, "OrbitTrayIconUpdateMenu", items=[{"id": 2, "label": "Off", "enabled": False},
                                               {"id": 4, "label": "On", "enabled": True}])

    # A click on the icon reopens.
    ok(app, "OrbitMainBrowserHide")
    ls.wait_for(lambda: main not in app.windows(), 10, what="the main window to hide")
    desktop.x(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2), "click", "1"])
    ls.wait_for(lambda: main in app.windows(), 10, what="the main window back")
    app.wait_state("focused")

    # Its menu is the page's: the keyboard passes over the disabled item.
    shown = set(app.windows())
    desktop.x(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2), "click", "3"])
    ls.wait_for(lambda: set(app.windows()) - shown, 10, what="the menu to open")
    desktop.x(["xdotool", "key", "Down", "Return"])
    app.wait_event(SELECT)
    assert selections(app) == [{"itemId": 4}]
