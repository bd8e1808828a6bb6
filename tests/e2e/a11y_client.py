"""An assistive technology's view of one program, over the AT-SPI bus.

Run in a process of its own with the session's environment (the accessibility
library binds to the bus of the first session it sees):

  a11y_client.py tree PID             the program's tree, as JSON
  a11y_client.py keys PID KEY...      presses the keys (Tab, BackTab, Left, Right,
                                      Home, End, Return) through the registry; prints
                                      the focus events, as JSON
  a11y_client.py listen PID SECONDS    prints "ready", then the focus events of
                                      the next SECONDS, as JSON
  a11y_client.py activate PID NAME    focuses the push button NAME through its
                                      own action, then presses Return through
                                      the registry, as a screen reader does

Each node is {role, name, states, actions, children}.
"""

import json
import sys
import time

import pyatspi
from gi.repository import GLib

MAX_NODES = 2000
KEYSYMS = {"Tab": 0xff09, "BackTab": 0xfe20, "Left": 0xff51, "Right": 0xff53, "Home": 0xff50, "End": 0xff57,
           "Return": 0xff0d}


def application(pid, timeout=20.0):
    deadline = time.monotonic() + timeout
    while True:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except GLib.Error:
                continue
        if time.monotonic() >= deadline:
            sys.exit("no application of pid %d on the accessibility bus" % pid)
        time.sleep(0.2)


def actions(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def describe(node, budget):
    budget[0] -= 1
    states = node.getState()
    out = {
        "role": node.getRoleName(),
        "name": node.name or "",
        "states": sorted(pyatspi.stateToString(s) for s in states.getStates()),
        "actions": actions(node),
        "children": [],
    }
    for i in range(node.childCount):
        if budget[0] <= 0:
            break
        child = node.getChildAtIndex(i)
        if child is not None:
            out["children"].append(describe(child, budget))
    return out


def find(node, role, name):
    if node.getRoleName() == role and node.name == name:
        return node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        found = child is not None and find(child, role, name)
        if found:
            return found
    return None


def press_key(keysym):
    pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)


def run_loop(steps, seconds):
    """Runs |steps| (callables) one per 300 ms in the accessibility main loop, then
    lets it run on until |seconds| have passed since the start."""
    loop = GLib.MainLoop()
    pending = list(steps)

    def step():
        if pending:
            pending.pop(0)()
            return True
        return False

    GLib.timeout_add(300, step)
    GLib.timeout_add(int(seconds * 1000), loop.quit)
    loop.run()


def focus_events(pid, keys, seconds=None, ready=None):
    events = []

    def on_focus(event):
        if event.detail1 != 1:
            return
        try:
            if event.host_application.get_process_id() != pid:
                return
            events.append({"role": event.source.getRoleName(), "name": event.source.name or ""})
        except GLib.Error:
            pass

    pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
    if ready:
        ready()
    if seconds is not None:
        run_loop([], seconds)
        return events
    run_loop([lambda k=KEYSYMS[k]: press_key(k) for k in keys], 0.6 * len(keys) + 2)
    return events


def activate(pid, name):
    app = application(pid)
    button = find(app, "push button", name)
    if not button:
        sys.exit("no push button named %r" % name)
    action = button.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    if "SetFocus" not in names:
        sys.exit("the button offers no SetFocus action: %r" % names)
    action.doAction(names.index("SetFocus"))
    run_loop([lambda: press_key(KEYSYMS["Return"])], 1.0)
    return {"actions": names}


def main():
    command, pid = sys.argv[1], int(sys.argv[2])
    if command == "tree":
        result = describe(application(pid), [MAX_NODES])
    elif command == "keys":
        application(pid)
        result = focus_events(pid, sys.argv[3:])
    elif command == "listen":
        application(pid)
        result = focus_events(pid, [], float(sys.argv[3]),
                              ready=lambda: print("ready", flush=True))
    elif command == "activate":
        result = activate(pid, sys.argv[3])
    else:
        sys.exit("unknown command " + command)
    json.dump(result, sys.stdout)


if __name__ == "__main__":
    main()
