"""The default application in the built lumio.pak: its controls, answers and log,
clicked through the page as a user would, and its lumio.js wrapper."""

import json
import os
import re
import stat

import pytest

import lumio_session as ls

REPO = os.path.dirname(os.path.dirname(ls.HERE))
BUILT_PACK = os.path.join(ls.STAGE, ls.PACK_REL)


@pytest.fixture
def console(launch, desktop):
    """lumio-app with the default pack, after the page's own handshake."""
    with open(BUILT_PACK, "rb") as f:
        pack = f.read()
    app = launch(pack=pack, env={"PATH": fake_xdg_open_path(desktop.root)})
    app.connect()
    app.devtools.wait_js("document.getElementById('greeting').textContent === 'Hello, world!'",
                         20, what="the page's handshake")
    app.main_window()
    return app


def fake_xdg_open_path(root):
    """PATH with an xdg-open first that records its arguments in <root>/bin/opened."""
    folder = os.path.join(root, "bin")
    os.makedirs(folder, exist_ok=True)
    script = os.path.join(folder, "xdg-open")
    with open(script, "w") as f:
        f.write('#!/bin/sh\nprintf "%%s\\n" "$@" >> %s/opened\n' % folder)
    os.chmod(script, os.stat(script).st_mode | stat.S_IXUSR)
    return folder + ":" + os.environ.get("PATH", "/usr/bin:/bin")


def js(app, expression):
    return app.devtools.evaluate(expression)


def select_tab(app, name):
    js(app, "document.querySelector('[data-tab=%s]').click(), true" % json.dumps(name))
    assert js(app, "document.getElementById('tab-' + %s).hidden" % json.dumps(name)) is False


def answer_of(app, selector):
    """{command, status, response, shown} of the answer in the card of |selector|."""
    return js(app, """(() => {
        const out = document.querySelector(%s).closest('.card').querySelector('.answer');
        return {command: out.dataset.command, status: out.dataset.status,
                response: out.dataset.response, shown: out.textContent};
      })()""" % json.dumps(selector))


def click(app, selector, command, timeout=10):
    """Clicks the control; returns its card's answer once |command| has one."""
    js(app, "document.querySelector(%s).click(), true" % json.dumps(selector))
    return ls.wait_for(
        lambda: (lambda a: a if a["command"] == command and a["status"] != "pending" else None)(
            answer_of(app, selector)), timeout,
        what=lambda: "the answer of %s (have %r)" % (command, answer_of(app, selector)))


def button(command):
    return 'button[data-command="%s"]' % command


def direct(app, command, **members):
    members["command"] = command
    return app.query(json.dumps(members))


def logged(app):
    """The event log, oldest first: [(name, payload)]."""
    return [(e["name"], json.loads(e["payload"])) for e in js(app, """
        Array.from(document.querySelectorAll('#events li')).reverse()
             .map(li => ({name: li.dataset.name, payload: li.dataset.payload}))""")]


def wait_logged(app, name, payload=None, after=0, timeout=10):
    def probe():
        for entry in logged(app)[after:]:
            if entry[0] == name and (payload is None or entry[1] == payload):
                return entry
        return None
    return ls.wait_for(probe, timeout, what=lambda: "%s %r in the log (have %r)"
                       % (name, payload, logged(app)[after:]))


def net_wm_state(desktop, wid):
    return desktop.x(["xprop", "-id", str(wid), "_NET_WM_STATE"]).stdout


def opacity(desktop, wid):
    out = desktop.x(["xprop", "-id", str(wid), "_NET_WM_WINDOW_OPACITY"]).stdout
    return int(out.split("=")[1]) if "=" in out else None


def test_the_page_covers_every_command_of_the_shell_and_the_declarations(console):
    table = re.findall(r'\{"(Orbit\w+)", &', open(os.path.join(
        REPO, "src", "bridge", "bridge_commands.cpp")).read())
    assert len(table) == 23
    controls = js(console, """[...new Set(Array.from(document.querySelectorAll(
        '[data-command], [data-command-off]')).flatMap(e =>
        [e.dataset.command, e.dataset.commandOff].filter(Boolean)))]""")
    assert sorted(controls) == sorted(table)
    declarations = open(os.path.join(REPO, "web", "lumio.d.ts")).read()
    commands = re.search(r"interface LumioCommands \{(.*?)\n\}", declarations, re.S).group(1)
    assert sorted(re.findall(r"^  (Orbit\w+):", commands, re.M)) == sorted(table)
    events = re.search(r"interface LumioEvents \{(.*?)\n\}", declarations, re.S).group(1)
    # The page-event names are listed once, in cmake/LumioProtocol.cmake; every sender
    # takes its name from the header generated from that list.
    listed = re.search(r"set\(LUMIO_PAGE_EVENTS(.*?)\)", open(os.path.join(
        REPO, "cmake", "LumioProtocol.cmake")).read(), re.S).group(1).split()
    sent = set()
    for folder, _, files in os.walk(os.path.join(REPO, "src")):
        for name in files:
            if name.endswith(".cpp"):
                text = open(os.path.join(folder, name)).read()
                assert not re.search(r'SendPageEvent\(\s*"', text), name
                sent.update(re.findall(r"SendPageEvent\(page_event::k(Orbit\w+)", text))
    assert set(listed) >= sent and len(sent) >= 4
    assert set(re.findall(r"^  (Orbit\w+):", events, re.M)) >= set(listed)


def test_window_controls_call_their_commands_and_show_the_answers(console, desktop):
    app = console
    wid = app.main_window()
    select_tab(app, "window")
    state = click(app, button("OrbitMainBrowserGetState"), "OrbitMainBrowserGetState")
    assert state["status"] == "success"
    assert json.loads(state["response"]) == json.loads(direct(
        app, "OrbitMainBrowserGetState")["success"]) == {"state": "focused"}
    assert '{"state":"focused"}' in state["shown"]

    # Hidden for a moment, then shown again by the page itself.
    count = len(logged(app))
    assert click(app, button("OrbitMainBrowserHide"), "OrbitMainBrowserHide")["response"] == "{}"
    wait_logged(app, "OrbitMainBrowserStateChange", {"state": "hidden"}, after=count)
    ls.wait_for(lambda: not app.windows(), 10, what="the window to hide")
    shown = ls.wait_for(lambda: (lambda a: a if a["command"] == "OrbitMainBrowserShow" else None)(
        answer_of(app, button("OrbitMainBrowserHide"))), 15, what="the page to show it again")
    assert shown["status"] == "success" and shown["response"] == "{}"
    assert app.main_window() == wid
    assert js(app, "document.getElementById('window-state').textContent") in ("focused", "visible")

    count = len(logged(app))
    assert click(app, button("OrbitMainBrowserMinimize"),
                 "OrbitMainBrowserMinimize")["response"] == "{}"
    wait_logged(app, "OrbitMainBrowserStateChange", {"state": "hidden"}, after=count)
    assert click(app, button("OrbitMainBrowserShow"), "OrbitMainBrowserShow")["response"] == "{}"
    ls.wait_for(lambda: "_NET_WM_STATE_HIDDEN" not in net_wm_state(desktop, wid), 10,
                what="the window back from its minimised state")

    for command in ("OrbitMainBrowserFlash", "OrbitMainBrowserUnflash"):
        assert click(app, button(command), command)["response"] == "{}"

    # The slider sends its value as it moves.
    js(app, """(() => { const r = document.getElementById('alpha-range');
        r.value = '128'; r.dispatchEvent(new Event('input')); })()""")
    ls.wait_for(lambda: opacity(desktop, wid) == round(128 / 255 * 0xFFFFFFFF), 10,
                what=lambda: "opacity 128/255 (is %r)" % opacity(desktop, wid))
    assert answer_of(app, "#alpha-range")["response"] == "{}"
    # The field takes any number, and shows the shell's refusal.
    js(app, "document.getElementById('alpha-value').value = '256'")
    refused = click(app, button("OrbitMainBrowserSetAlpha"), "OrbitMainBrowserSetAlpha")
    assert refused["status"] == "failure"
    assert refused["response"] == "0 " + direct(
        app, "OrbitMainBrowserSetAlpha", value=256)["failure"][1] == '0 {"error":"Out of range"}'
    js(app, "document.getElementById('alpha-value').value = '255'")
    assert click(app, button("OrbitMainBrowserSetAlpha"),
                 "OrbitMainBrowserSetAlpha")["response"] == "{}"
    ls.wait_for(lambda: opacity(desktop, wid) in (None, 0xFFFFFFFF), 10, what="opaque again")

    assert click(app, "#topmost", "OrbitMainBrowserSetTopmost")["response"] == "{}"
    ls.wait_for(lambda: "_NET_WM_STATE_ABOVE" in net_wm_state(desktop, wid), 10,
                what="always on top")
    js(app, "document.getElementById('alpha-value').value = '200'")  # any other answer first
    click(app, button("OrbitMainBrowserSetAlpha"), "OrbitMainBrowserSetAlpha")
    assert click(app, "#topmost", "OrbitMainBrowserSetTopmost")["response"] == "{}"
    ls.wait_for(lambda: "_NET_WM_STATE_ABOVE" not in net_wm_state(desktop, wid), 10,
                what="not on top any more")
    assert click(app, "#ime", "OrbitMainBrowserSetIMEEnabled")["response"] == "{}"


def test_tray_controls_call_their_commands_and_show_the_answers(console):
    app = console
    select_tab(app, "tray")
    js(app, "document.getElementById('notify-count').value = '7'")
    assert click(app, button("OrbitTrayIconNotify"), "OrbitTrayIconNotify")["response"] == "{}"

    # Edit the menu: one item more, one less.
    js(app, "document.getElementById('menu-add').click()")
    assert js(app, "document.querySelectorAll('#menu-items li').length") == 4
    js(app, "document.querySelector('#menu-items li button').click()")
    assert js(app, "Array.from(document.querySelectorAll('#menu-items li input[type=text]'))"
                   ".map(i => i.value)") == ["Say hello", "Not now", "Item 4"]
    assert click(app, button("OrbitTrayIconUpdateMenu"),
                 "OrbitTrayIconUpdateMenu")["response"] == "{}"

    for command in ("OrbitToastShow", "OrbitToastHide"):
        assert click(app, button(command), command)["response"] == "{}"

    # A chosen menu item arrives as the shell sends it.
    count = len(logged(app))
    js(app, "window.cefMessage && window.cefMessage('OrbitTrayIconMenuDidSelect', {\"itemId\":4})")
    assert wait_logged(app, "OrbitTrayIconMenuDidSelect", after=count) == (
        "OrbitTrayIconMenuDidSelect", {"itemId": 4})


def popup_window(app, main, timeout=15):
    return ls.wait_for(lambda: ([w for w in app.windows() if w != main] or [None])[0],
                       timeout, what="the popup's window")


def frame_extents(desktop, wid):
    out = desktop.x(["xprop", "-id", str(wid), "_NET_FRAME_EXTENTS"]).stdout
    return tuple(int(v) for v in out.split("=")[1].split(",")) if "=" in out else None


def close_popup(app, name, popup):
    count = len(logged(app))
    # The popup's own Close button.
    js(app, "window.open('', %s).document.getElementById('close').click(), true"
       % json.dumps(name))
    wait_logged(app, "OrbitBrowserWillClose", {"name": name}, after=count)
    ls.wait_for(lambda: popup not in app.windows(), 10, what="the popup to close")


def test_popup_controls_prepare_and_open_with_each_keyword(console, desktop):
    app = console
    main = app.main_window()
    select_tab(app, "popups")

    def open_with(keyword, name):
        js(app, """(() => {
            for (const box of document.querySelectorAll('input[name=keyword]'))
              box.checked = box.value === %s;
            document.getElementById('popup-name').value = %s;
            document.getElementById('popup-width').value = '300';
            document.getElementById('popup-height').value = '200';
          })()""" % (json.dumps(keyword), json.dumps(name)))
        count = len(logged(app))
        js(app, "document.getElementById('popup-both').click()")
        ls.wait_for(lambda: answer_of(app, "#popup-both")["command"] == "window.open", 10,
                    what="the popup to be opened")
        popup = popup_window(app, main)
        wait_logged(app, "OrbitBrowserOnAddressChange", {"url": ls.APP_ORIGIN + "popup.html"},
                    after=count)
        ls.wait_for(lambda: frame_extents(desktop, popup) is not None, 10,
                    what="the window manager to manage the popup")
        ls.wait_for(lambda: desktop.geometry(popup)[2:] == (300, 200), 10,
                    what="the popup at 300 x 200")
        return popup

    # Prepare alone answers; Open alone opens an ordinary window.
    js(app, "document.getElementById('popup-name').value = 'plain'")
    prepared = click(app, button("OrbitPopupPrepare"), "OrbitPopupPrepare")
    assert prepared["response"] == "{}"

    popup = open_with("noborder", "nb")
    assert frame_extents(desktop, popup) == (0, 0, 0, 0)
    close_popup(app, "nb", popup)

    popup = open_with("fixed", "fx")
    hints = desktop.wm_hints(popup)
    assert "minimum size: 300 by 200" in hints and "maximum size: 300 by 200" in hints, hints
    close_popup(app, "fx", popup)

    mx, my, mw, mh = desktop.frame_geometry(main)
    popup = open_with("center", "ct")
    px, py, pw, ph = desktop.geometry(popup)
    assert abs((px + pw / 2) - (mx + mw / 2)) <= 1 and abs((py + ph / 2) - (my + mh / 2)) <= 1
    close_popup(app, "ct", popup)

    popup = open_with("bottomside", "bs")
    px, py, pw, ph = desktop.frame_geometry(popup)
    assert px + pw <= mx or px >= mx + mw, "beside the main window"
    close_popup(app, "bs", popup)


def test_system_controls_call_their_commands_and_show_the_answers(console, desktop):
    app = console
    select_tab(app, "system")
    count = len(logged(app))
    hello = click(app, button("OrbitAppInitialized"), "OrbitAppInitialized")
    assert json.loads(hello["response"]) == {"text": "Hello, world!"}
    wait_logged(app, "OrbitAppInitializedReply", {"text": "Hello, world!"}, after=count)

    info = click(app, button("OrbitAppGetInfo"), "OrbitAppGetInfo")
    assert info["response"] == direct(app, "OrbitAppGetInfo")["success"]
    assert list(json.loads(info["response"])) == ["appVersion", "computerName"]
    idle = json.loads(click(app, button("OrbitOSGetUserIdleTime"),
                            "OrbitOSGetUserIdleTime")["response"])
    assert list(idle) == ["t"] and isinstance(idle["t"], int)

    # The switch follows what the shell says after each change.
    check = click(app, button("OrbitOSIsStartupAppRegistered"), "OrbitOSIsStartupAppRegistered")
    registered = json.loads(check["response"])["registered"]
    assert js(app, "document.getElementById('startup').checked") is registered
    for _ in range(2):
        checked = js(app, "document.getElementById('startup').checked")
        command = "OrbitOSUnregisterStartupApp" if checked else "OrbitOSRegisterStartupApp"
        assert click(app, "#startup", command)["response"] == "{}"
        expected = json.loads(direct(app, "OrbitOSIsStartupAppRegistered")["success"])
        ls.wait_for(lambda: js(app, "document.getElementById('startup').checked")
                    is expected["registered"], 10, what="the switch to follow the shell")

    js(app, "document.getElementById('external-url').value = 'https://example.org/lumio'")
    assert click(app, button("OrbitOSOpenExternalBrowser"),
                 "OrbitOSOpenExternalBrowser")["response"] == "{}"
    opened = os.path.join(desktop.root, "bin", "opened")
    if os.path.exists(opened):  # once the desktop opens links (xdg-open stands in here)
        # The shell makes the file before printf has written to it.
        assert ls.wait_for(lambda: open(opened).read().split(), 10,
                           what="the opened address") == ["https://example.org/lumio"]


def test_quit_hides_tells_the_page_and_exits(console):
    app = console
    select_tab(app, "system")
    count = len(logged(app))
    assert click(app, button("OrbitAppQuit"), "OrbitAppQuit")["response"] == "{}"
    wait_logged(app, "OrbitAppWillQuit", {}, after=count)
    assert js(app, "document.getElementById('greeting').textContent") == "Quitting…"
    ls.wait_for(lambda: not app.windows(), 10, what="the window to hide")
    app.close_devtools()
    assert app.proc.wait(20) == 0, app.log_tail()


def test_quit_now_is_never_answered_and_exits(console):
    app = console
    select_tab(app, "system")
    js(app, "document.querySelector(%s).click(), true" % json.dumps(button("OrbitAppQuitNow")))
    app.close_devtools()
    assert app.proc.wait(20) == 0, app.log_tail()


def test_the_wrapper_resolves_rejects_and_delivers_every_event_to_every_listener(console):
    app = console
    result = js(app, r"""(async () => {
      const out = {};
      out.state = await lumio.invoke('OrbitMainBrowserGetState');
      out.extra = await lumio.invoke('OrbitMainBrowserSetAlpha', {value: 255, command: 'x'});
      for (const [command, args] of [['OrbitMainBrowserSetAlpha', {value: -1}],
                                     ['OrbitNoSuchCommand', {}]]) {
        try { await lumio.invoke(command, args); out[command] = 'resolved'; }
        catch (e) {
          out[command] = {isError: e instanceof Error, isLumio: e instanceof lumio.LumioError,
                          name: e.name, code: e.code, message: e.message, response: e.response};
        }
      }
      try { await lumio.invoke(''); } catch (e) { out.empty = e.name; }
      try { await lumio.invoke('OrbitAppGetInfo', 'abc'); } catch (e) { out.text = e.name; }

      // Listeners: several per event, one that throws, one that removes another
      // while the event is delivered, the page's own cefMessage, and "*".
      const seen = {a: [], b: [], c: [], page: [], any: []};
      const errors = [];
      window.addEventListener('error', (e) => { errors.push(e.message); e.preventDefault(); });
      const offA = lumio.on('OrbitBrowserOnAddressChange', (p) => seen.a.push(p.url));
      lumio.on('OrbitBrowserOnAddressChange', () => { throw new Error('listener failed'); });
      let offC;
      lumio.on('OrbitBrowserOnAddressChange', (p) => {
        seen.b.push(p.url);
        if (seen.b.length === 2) offC();
      });
      offC = lumio.on('OrbitBrowserOnAddressChange', (p) => seen.c.push(p.url));
      const offAny = lumio.on('*', (p, name) => seen.any.push(name));
      window.cefMessage = (name, payload) => seen.page.push(name);
      // Exactly what the shell runs for each event.
      for (let i = 0; i < 200; i++) {
        window.cefMessage && window.cefMessage('OrbitBrowserOnAddressChange', {"url": "u" + i});
      }
      window.cefMessage && window.cefMessage('OrbitAppWillQuit', {});
      offA();
      offAny();
      window.cefMessage && window.cefMessage('OrbitBrowserOnAddressChange', {"url": "late"});
      window.cefMessage = undefined;
      await new Promise((resolve) => setTimeout(resolve, 50));
      out.counts = {a: seen.a.length, b: seen.b.length, c: seen.c.length,
                    page: seen.page.length, any: seen.any.length, errors: errors.length};
      out.inOrder = seen.a.every((url, i) => url === 'u' + i);
      out.lastB = seen.b[seen.b.length - 1];
      out.anyLast = seen.any[seen.any.length - 1];
      return out;
    })()""")
    assert result["state"] == {"state": "focused"}
    assert result["extra"] == {}
    assert result["OrbitMainBrowserSetAlpha"] == {
        "isError": True, "isLumio": True, "name": "LumioError", "code": 0,
        "message": "Out of range", "response": '{"error":"Out of range"}'}
    assert result["OrbitNoSuchCommand"]["code"] == -1
    assert result["OrbitNoSuchCommand"]["message"] == "The query has been canceled"
    assert result["empty"] == result["text"] == "TypeError"
    # c was removed while the second event was delivered: it still had that one.
    assert result["counts"] == {"a": 200, "b": 201, "c": 2, "page": 202, "any": 201,
                                "errors": 201}
    assert result["inOrder"] and result["lastB"] == "late"
    assert result["anyLast"] == "OrbitAppWillQuit"
    # The page's own handler went; the log's listener stayed and saw every one.
    assert len([e for e in logged(app) if e[0] == "OrbitBrowserOnAddressChange"]) >= 201
