"""python3-dbusmock template: a StatusNotifierWatcher with one host.

Qt publishes a tray icon as a StatusNotifierItem only when this service is on
the session bus and says a host is registered; otherwise the icon goes to the
X11 system tray. Items that register are kept, in order, in the
RegisteredStatusNotifierItems property.
"""

import dbus

BUS_NAME = "org.kde.StatusNotifierWatcher"
MAIN_OBJ = "/StatusNotifierWatcher"
MAIN_IFACE = "org.kde.StatusNotifierWatcher"
SYSTEM_BUS = False


def load(mock, parameters):
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({
        "RegisteredStatusNotifierItems": dbus.Array([], signature="s"),
        "IsStatusNotifierHostRegistered": dbus.Boolean(True),
        "ProtocolVersion": dbus.Int32(0),
    }, signature="sv"))
    mock.AddMethods(MAIN_IFACE, [
        ("RegisterStatusNotifierItem", "s", "",
         "items = self.Get(%r, 'RegisteredStatusNotifierItems')\n"
         "self.Set(%r, 'RegisteredStatusNotifierItems', dbus.Array(list(items) + [args[0]], signature='s'))\n"
         "self.EmitSignal(%r, 'StatusNotifierItemRegistered', 's', [args[0]])"
         % (MAIN_IFACE, MAIN_IFACE, MAIN_IFACE)),
        ("RegisterStatusNotifierHost", "s", "", ""),
    ])
