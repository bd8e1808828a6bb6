"""Services and observers on a Desktop's private session bus.

Mocks are python3-dbusmock processes (their calls are logged and read back over
its org.freedesktop.DBus.Mock interface); signals are recorded by a listener
process of our own. Both run as the desktop's clients, so its teardown ends them.
"""

import json
import os
import sys

import dbus

import lumio_session as ls

HERE = os.path.dirname(os.path.abspath(__file__))
PROPERTIES = "org.freedesktop.DBus.Properties"
MOCK = "org.freedesktop.DBus.Mock"


def connect(desktop):
    """A client connection of the test's own to the desktop's bus."""
    return dbus.bus.BusConnection(desktop.bus_address)


class Mock:
    """A python3-dbusmock template (a name or a .py path) serving on the bus."""

    def __init__(self, desktop, bus, template, bus_name, path, parameters=None):
        argv = [sys.executable, "-m", "dbusmock", "--template", template]
        if parameters:
            argv += ["--parameters", json.dumps(parameters)]
        proc = desktop.spawn_client(argv, "mock-" + bus_name)

        def up():
            if proc.poll() is not None:
                raise ls.SessionError("the %s mock exited with %s" % (bus_name, proc.returncode))
            return bus.name_has_owner(bus_name)
        ls.wait_for(up, 15, what="the %s mock on the bus" % bus_name)
        self.object = bus.get_object(bus_name, path)
        self.control = dbus.Interface(self.object, MOCK)

    def calls(self, method):
        """Argument lists of the calls of |method| so far, oldest first."""
        return [list(args) for _, args in self.control.GetMethodCalls(method)]

    def emit(self, interface, name, signature, args):
        self.control.EmitSignal(interface, name, signature, args)


class SignalRecorder:
    """Every signal of |interface| from the moment it is made."""

    def __init__(self, desktop, interface):
        name = "signals-" + interface
        self.path = os.path.join(desktop.logs, name + ".log")
        proc = desktop.spawn_client(
            [sys.executable, os.path.join(HERE, "signal_recorder.py"), interface], name)

        def ready():
            if proc.poll() is not None:
                raise ls.SessionError("the signal recorder exited with %s" % proc.returncode)
            return "ready" in self._lines()
        ls.wait_for(ready, 15, what="the signal recorder to listen")

    def _lines(self):
        try:
            with open(self.path, encoding="utf-8") as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def signals(self, member=None):
        found = [json.loads(line) for line in self._lines() if line.startswith("{")]
        return [s for s in found if member is None or s["member"] == member]


def dbusmenu_shown_text(label):
    """What a com.canonical.dbusmenu host shows for an item's "label": "__" is one
    underscore, any other underscore only marks the access key that follows it."""
    out = []
    i = 0
    while i < len(label):
        if label[i] == "_":
            if label[i + 1:i + 2] == "_":
                out.append("_")
                i += 2
            else:
                i += 1
            continue
        out.append(label[i])
        i += 1
    return "".join(out)
