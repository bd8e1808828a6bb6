"""Prints every signal of one D-Bus interface on the session bus as a JSON line.

usage: signal_recorder.py INTERFACE
Prints "ready" once it listens; then one {"path", "member", "sender", "args"}
object per signal, D-Bus values as their JSON counterparts.
"""

import json
import sys

import dbus
import dbus.mainloop.glib
from gi.repository import GLib


def plain(value):
    # Boolean is an int subclass: test it first.
    if isinstance(value, dbus.Boolean):
        return bool(value)
    if isinstance(value, (dict, dbus.Dictionary)):
        return {str(k): plain(v) for k, v in value.items()}
    if isinstance(value, (list, tuple, dbus.Array, dbus.Struct)):
        return [plain(v) for v in value]
    if isinstance(value, int):
        return int(value)
    if isinstance(value, float):
        return float(value)
    return str(value)


def main():
    interface = sys.argv[1]
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()

    def record(*args, **where):
        print(json.dumps({"path": where["path"], "member": where["member"],
                          "sender": where["sender"], "args": plain(args)}), flush=True)

    bus.add_signal_receiver(record, dbus_interface=interface, path_keyword="path",
                            member_keyword="member", sender_keyword="sender")
    # A round trip to the bus: the match rule is in place once it has answered.
    bus.get_unique_name()
    bus.list_names()
    print("ready", flush=True)
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
