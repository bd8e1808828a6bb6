"""What a screen reader finds: lumio-app and its default application read and
driven over the AT-SPI accessibility bus, with the desktop's accessibility
flagged on; and a start that leaves the accessibility bus alone when no
assistive technology asked for it."""

import json
import os
import subprocess

import pytest

import lumio_session as ls

BUILT_PACK = os.path.join(ls.STAGE, ls.PACK_REL)

# On Qt 6.8 (Debian 13) the view is exposed as an empty filler: the page's own tree
# does not reach the bus yet (README: Accessibility, known limits).
web_tree = pytest.mark.skipif(ls.engine_version() >= (6, 8),
                              reason="Qt 6.8 does not expose the page's tree to AT-SPI yet")
CLIENT = os.path.join(ls.HERE, "a11y_client.py")


def bus_call(desktop, *args, check=True):
    return subprocess.run(
        ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus"]
        + list(args), env=desktop.base_env(), capture_output=True, text=True,
        timeout=20, check=check)


def flag_accessibility(desktop, on):
    """Starts the accessibility bus and sets its status, as a desktop whose user
    runs (or does not run) a screen reader."""
    for prop in ("IsEnabled", "ScreenReaderEnabled"):
        bus_call(desktop, "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status",
                 "string:" + prop, "variant:boolean:" + ("true" if on else "false"))


def client(desktop, *args, timeout=60):
    run = subprocess.run(["/usr/bin/python3", CLIENT]
                         + [str(a) for a in args], env=desktop.base_env(),
                         capture_output=True, text=True, timeout=timeout)
    if run.returncode != 0:
        raise AssertionError("a11y client %s failed: %s" % (args[0], run.stderr[-2000:]))
    return json.loads(run.stdout)


def nodes(tree):
    yield tree
    for child in tree["children"]:
        yield from nodes(child)


def named(tree, role):
    return [n["name"] for n in nodes(tree) if n["role"] == role]


def document_of(frame):
    docs = [n for n in nodes(frame) if n["role"] == "document web"]
    assert docs, "no web document in %r" % frame["name"]
    return docs[0]


def open_console(launch, desktop, env=None):
    with open(BUILT_PACK, "rb") as f:
        pack = f.read()
    app = launch(pack=pack, env=env)
    app.connect()
    app.devtools.wait_js("document.getElementById('greeting').textContent === 'Hello, world!'",
                         20, what="the page's handshake")
    app.main_window()
    return app


@pytest.fixture
def reader(desktop):
    flag_accessibility(desktop, True)
    return desktop


def page_tree(desktop, app, want=lambda frame: True):
    """The program's tree once its main frame's page has content."""
    def probe():
        tree = client(desktop, "tree", app.pid)
        for frame in tree["children"]:
            docs = [n for n in nodes(frame) if n["role"] == "document web"]
            if want(frame) and docs and docs[0]["children"]:
                return tree
        return None
    return ls.wait_for(probe, 30, interval=0.5, what="a web document with content")


@web_tree
def test_screen_reader_reads_the_main_window_and_its_page(launch, reader):
    app = open_console(launch, reader)
    tree = page_tree(reader, app)
    top = [(c["role"], c["name"]) for c in tree["children"]]
    # Only windows the user can see, each a frame named like its title.
    assert top == [("frame", "Lumio")], top
    page = document_of(tree["children"][0])
    buttons = named(page, "push button")
    for name in ("Get state", "Show", "Hide 3 s", "Minimize", "Flash", "Set", "Clear"):
        assert name in buttons, (name, buttons)
    assert named(page, "page tab") == ["Window", "Tray", "Popups", "System"]
    assert "" not in buttons, "a nameless button: %r" % buttons


def focus_after(desktop, app, *keys):
    """The controls that the keys focus, once the focused control (if any) has let
    go of the focus; the engine goes on from where it was."""
    app.devtools.evaluate("document.activeElement && document.activeElement.blur(), true")
    events = client(desktop, "keys", app.pid, *keys)
    return [(e["role"], e["name"]) for e in events]


@web_tree
def test_tab_goes_round_the_page_through_named_controls(launch, reader):
    app = open_console(launch, reader)
    page_tree(reader, app)
    # The Window tab shows 12 more controls after the tab list; the 14th Tab goes
    # round to the start, with no Tab that focuses nothing.
    focused = focus_after(reader, app, *["Tab"] * 16)
    assert not [f for f in focused if f[0] in ("filler", "frame", "document web")
                or not f[1]], focused
    controls = focused
    assert len(controls) == 16, repr(focused)
    # The tab list is one stop: its selected tab.
    assert [f for f in controls if f[0] == "page tab"] == [("page tab", "Window")] * 2
    assert controls[1] == ("push button", "Get state") and controls[13] == controls[0]
    assert controls[14:] == controls[1:3]
    # And backwards, from the first control round to the last.
    app.devtools.evaluate("document.querySelector('[role=tab]').focus(), true")
    backwards = client(reader, "keys", app.pid, "BackTab", "BackTab")
    assert [(e["role"], e["name"]) for e in backwards] == [controls[12], controls[11]]


@web_tree
def test_arrow_keys_move_within_the_tab_list(launch, reader):
    app = open_console(launch, reader)
    page_tree(reader, app)
    focused = focus_after(reader, app, "Tab", "Right", "Right", "Left", "End", "Right", "Tab")
    assert focused == [("page tab", n) for n in
                       ("Window", "Tray", "Popups", "Tray", "System", "Window")] + [
                           ("push button", "Get state")], focused
    assert app.devtools.evaluate(
        "[...document.querySelectorAll('[role=tabpanel]')].filter(p => !p.hidden)"
        ".map(p => p.id)") == ["tab-window"]


@web_tree
def test_a_button_is_activated_through_the_accessibility_bus(launch, reader):
    app = open_console(launch, reader)
    page_tree(reader, app)
    client(reader, "activate", app.pid, "Get state")
    app.devtools.wait_js(
        "document.querySelector('[data-command=OrbitMainBrowserGetState]')"
        ".closest('.card').querySelector('.answer').dataset.command"
        " === 'OrbitMainBrowserGetState'", 10, what="the button's answer")


@web_tree
def test_a_popup_is_a_frame_named_by_its_title_never_its_address(launch, reader):
    app = open_console(launch, reader)
    page_tree(reader, app)

    def frame_names():
        tree = client(reader, "tree", app.pid)
        return [c["name"] for c in tree["children"] if c["role"] == "frame"]
    # A document without a title first: the engine offers its address as one.
    app.devtools.evaluate("window.reader = window.open('', 'reader', 'width=300,height=200'),"
                          " true")
    names = ls.wait_for(lambda: len(frame_names()) == 2 and frame_names(), 30,
                        what="the popup's frame")
    assert not [n for n in names if ":" in n or not n], names
    app.devtools.evaluate("window.reader.document.title = 'Lumio popup', true")
    ls.wait_for(lambda: "Lumio popup" in frame_names(), 30,
                what=lambda: "the popup named by its title: %r" % frame_names())


@web_tree
def test_focus_returns_into_the_page_when_a_popup_closes(launch, reader):
    app = open_console(launch, reader)
    page_tree(reader, app)
    assert focus_after(reader, app, "Tab", "Tab", "Tab")[-1] == ("push button", "Show")
    app.devtools.evaluate("window.reader = window.open('popup.html', 'reader',"
                          " 'width=300,height=200'), true")

    def popup_active():
        tree = client(reader, "tree", app.pid)
        return [c for c in tree["children"]
                if c["name"] == "Lumio popup" and "active" in c["states"]]
    ls.wait_for(popup_active, 30, interval=0.3, what="the popup to take the focus")
    listener = subprocess.Popen(["/usr/bin/python3", CLIENT, "listen", str(app.pid), "4"],
                                env=reader.base_env(), stdout=subprocess.PIPE, text=True)
    try:
        assert listener.stdout.readline().strip() == "ready"
        app.devtools.evaluate("window.reader.close(), true")
        out = listener.communicate(timeout=60)[0]
    finally:
        listener.kill()
    focused = [(e["role"], e["name"]) for e in json.loads(out)]
    assert focused and focused[-1] == ("push button", "Show"), focused
    assert not [f for f in focused if not f[1]], "a nameless focus: %r" % focused


def test_start_does_not_launch_the_accessibility_bus(launch, desktop):
    app = open_console(launch, desktop)
    app.devtools.evaluate("1")
    owner = subprocess.run(
        ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
         "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus"],
        env=desktop.base_env(), capture_output=True, text=True, timeout=10, check=True)
    assert "boolean false" in owner.stdout, owner.stdout
