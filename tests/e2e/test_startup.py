"""Start-up, first show, placement, persistence and shutdown of lumio-app."""

import json
import os
import re
import subprocess
import urllib.request

import pytest

import lumio_session as ls

HANDSHAKE = json.dumps({"command": "OrbitAppInitialized"})
HELLO = '{"text":"Hello, world!"}'
MIN_W, MIN_H = 330, 525
DEFAULT_W, DEFAULT_H = 330, 650


# The handshake with a snapshot of the event list taken inside onSuccess, so the
# order of response and follow-up event is observable.
HANDSHAKE_WITH_SNAPSHOT = """
new Promise(function (resolve) {
  window.cefQuery({
    request: %s,
    persistent: false,
    onSuccess: function (r) {
      resolve({success: r, type: typeof r,
               eventsAtSuccess: window.__events.map(function (e) { return e.name; })});
    },
    onFailure: function (c, m) { resolve({failure: [c, m]}); }
  });
  setTimeout(function () { resolve({timeout: true}); }, 8000);
})
""" % json.dumps(HANDSHAKE)


def test_window_is_shown_only_after_handshake(app, desktop):
    ls.holds_for(lambda: app.alive() and not app.windows(), 1.5,
                 what="no visible window before the handshake")

    reply = app.devtools.evaluate(HANDSHAKE_WITH_SNAPSHOT)
    assert reply.get("success") == HELLO and reply.get("type") == "string", reply
    assert "OrbitAppInitializedReply" not in reply["eventsAtSuccess"], \
        "the reply event arrived before the query's response"

    wid = app.main_window()
    assert desktop.title(wid) == app.devtools.evaluate("document.title")

    app.wait_page_visible()
    ls.wait_for(lambda: desktop.active_window() == wid, 10,
                what="the shown window to be the active one")
    app.assert_typing_reaches_page()

    event = app.wait_event("OrbitAppInitializedReply")
    assert event["payloadType"] == "object" and event["argCount"] == 2
    assert event["payload"] == {"text": "Hello, world!"}

    # The window really shows the page, not a blank or stale surface.
    x, y, w, h = desktop.geometry(wid)
    shot = os.path.join(desktop.root, "shown.png")
    expected = ls.page_background()
    ls.wait_for(lambda: desktop.pixel(desktop.screenshot(shot), x + w // 2, y + h // 2)
                == expected, 15, interval=0.5,
                what="the page's background colour %r in the window" % (expected,))

    # Exactly one follow-up event: a later round trip orders the channel.
    assert app.query("{}").get("failure") is not None
    assert len(app.events("OrbitAppInitializedReply")) == 1


def test_default_placement_and_minimum_size(shown_app, desktop):
    wid = shown_app.main_window()
    extents = ls.wait_for(lambda: desktop.frame_extents(wid), 5,
                          what="the window manager's frame extents")
    left, right, top, bottom = extents
    assert top > 0, "no title bar to account for: %r" % (extents,)
    # The frame, title bar included, has the default size, unless side borders
    # would squeeze the content below its minimum width.
    expected = (max(DEFAULT_W, MIN_W + left + right), DEFAULT_H)

    def placed():
        fx, fy, fw, fh = desktop.frame_geometry(wid)
        return ((fw, fh) == expected and abs(fx + fw / 2 - ls.SCREEN_W / 2) <= 1
                and abs(fy + fh / 2 - ls.SCREEN_H / 2) <= 1)
    ls.wait_for(placed, 5, what=lambda: "a %dx%d frame centred on a %dx%d screen "
                "(frame %r, extents %r)" % (expected + (ls.SCREEN_W, ls.SCREEN_H)
                                            + (desktop.frame_geometry(wid), extents)))
    w, h = desktop.geometry(wid)[2:]

    hints = desktop.wm_hints(wid)
    m = re.search(r"minimum size: (\d+) by (\d+)", hints)
    assert m and (int(m.group(1)), int(m.group(2))) == (MIN_W, MIN_H), hints

    desktop.resize_window(wid, 100, 100)
    ls.wait_for(lambda: desktop.geometry(wid)[2:] != (w, h), 5,
                what="the window to react to a shrink request")
    ls.wait_for(lambda: desktop.geometry(wid)[2:] == (MIN_W, MIN_H), 5,
                what=lambda: "the window to stop at %dx%d (is %r)"
                % (MIN_W, MIN_H, desktop.geometry(wid)))


def test_geometry_is_saved_and_restored(launch, desktop):
    user = ls.UserDirs(os.path.join(desktop.root, "shared-user"))
    first = launch(user=user)
    first.wait_page_ready()
    assert first.handshake().get("success") == HELLO
    wid = first.main_window()
    desktop.move_window(wid, 120, 90)
    desktop.resize_window(wid, 480, 700)
    ls.wait_for(lambda: desktop.geometry(wid)[2:] == (480, 700), 5,
                what="the window to take the new size")
    ls.wait_for(lambda: abs(desktop.geometry(wid)[0] - 120) <= 40
                and abs(desktop.geometry(wid)[1] - 90) <= 60, 5,
                what="the window to move")
    before = desktop.geometry(wid)

    assert first.quit_now() == 0
    with open(user.settings_file, encoding="utf-8", errors="replace") as f:
        assert "OrbitMainBrowser" in f.read()

    second = launch(user=user)
    second.wait_page_ready()
    assert second.windows() == []
    assert second.handshake().get("success") == HELLO
    after = desktop.geometry(second.main_window())
    assert after[2:] == before[2:], "size %r restored as %r" % (before, after)
    assert abs(after[0] - before[0]) <= 8 and abs(after[1] - before[1]) <= 8, \
        "position %r restored as %r" % (before, after)


@pytest.mark.parametrize("pack", [None, b"PK\x03\x04 not really a zip archive"],
                         ids=["missing", "corrupt"])
def test_unusable_pack_keeps_running_without_window(launch, pack):
    app = launch(pack=pack)
    ls.holds_for(lambda: app.alive() and not app.windows(), 8,
                 what="a live lumio-app with no visible window")


def test_command_line_switches_do_not_reach_engine(launch):
    app = launch(args=["--user-agent=Evil", "--lang=fr"])
    app.wait_page_ready()
    ua = app.devtools.evaluate("navigator.userAgent")
    assert "Evil" not in ua and "Lumio-Mac/0.2.5" in ua, ua
    assert not app.devtools.evaluate("navigator.language").startswith("fr")


def test_user_agent(app):
    ua = app.devtools.evaluate("navigator.userAgent")
    assert "Lumio-Mac/0.2.5" in ua and "QtWebEngine/" not in ua, ua
    # The header on the wire says the same as the page does.
    with ls.LocalWebServer() as probe:
        assert probe.headers_of_image_request(app).get("User-Agent") == ua


def test_version_names_the_engine_that_runs(app):
    """--version, without a display, names the Chromium that really runs."""
    env = {k: v for k, v in app.env().items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QTWEBENGINE_REMOTE_DEBUGGING")}
    out = subprocess.run([app.app_path, "--version"], env=env, capture_output=True,
                         text=True, timeout=30)
    assert out.returncode == 0, out
    lines = out.stdout.splitlines()
    assert lines[0] == "Lumio 0.2.5", lines
    assert re.fullmatch(r"Qt 6\.\d+\.\d+ \(built with 6\.\d+\.\d+\)", lines[1]), lines
    assert re.fullmatch(r"Qt WebEngine 6\.\d+\.\d+", lines[2]), lines
    chromium = re.fullmatch(r"Chromium (\d+(?:\.\d+){3})", lines[3])
    patch = re.fullmatch(r"Chromium security patches up to (\d+(?:\.\d+){3})", lines[4])
    assert chromium and patch, lines
    # The running engine's own user agent, before Lumio puts its product in.
    with urllib.request.urlopen("http://127.0.0.1:%d/json/version" % app.port,
                                timeout=10) as r:
        engine_ua = json.load(r)["User-Agent"]
    assert " Chrome/%s " % chromium.group(1) in engine_ua, (engine_ua, lines)
    assert " QtWebEngine/%s " % lines[2].split()[-1] in engine_ua, (engine_ua, lines)
    assert tuple(map(int, patch.group(1).split("."))) >= tuple(
        map(int, chromium.group(1).split("."))), lines


@pytest.mark.parametrize("lang,expected", [
    ("ko_KR.UTF-8", "ko"),
    ("zh_CN.UTF-8", "zh-CN"),
    # No German resources: falls back to English.
    ("de_DE.UTF-8", "en"),
])
def test_page_language_follows_locale(launch, lang, expected):
    app = launch(lang=lang)
    app.wait_page_ready()
    assert app.devtools.evaluate("navigator.language") == expected
    with ls.LocalWebServer() as probe:
        accept = probe.headers_of_image_request(app).get("Accept-Language", "")
    assert accept.split(",")[0].split(";")[0] == expected, accept


def test_engine_data_stays_in_its_folder(app):
    # Give the engine something to store, then let it flush on the way out.
    app.devtools.evaluate("localStorage.setItem('lumio-e2e', 'kept'); true")
    assert app.quit_now() == 0
    user = app.user
    engine_dir = os.path.join(user.data, "Lumio", "cache")
    assert os.path.isdir(os.path.join(engine_dir, "Local Storage")), \
        "no engine storage in %s" % engine_dir
    stray = []
    for top in (user.home, user.config, user.data, user.cache):
        for dirpath, dirnames, filenames in os.walk(top):
            if dirpath == engine_dir:
                dirnames[:] = []
                continue
            stray += [os.path.join(dirpath, n) for n in dirnames + filenames
                      if n in ("QtWebEngine", "Local Storage", "Cache", "user_prefs.json")]
    assert not stray, "engine files outside %s: %r" % (engine_dir, stray)


def test_unload_handlers_run_on_quit_but_not_on_close_button(shown_app, desktop):
    app = shown_app
    with ls.LocalWebServer() as server:
        app.devtools.evaluate("""
          window.addEventListener('pagehide', function () {
            navigator.sendBeacon(%s, 'bye');
          });
          window.addEventListener('unload', function () {
            navigator.sendBeacon(%s, 'bye');
          });
          true""" % (json.dumps(server.url("/pagehide")), json.dumps(server.url("/unload"))))
        # The close button only hides the window: the page is not unloaded.
        desktop.close_window(app.main_window())
        app.wait_no_visible_window()
        ls.holds_for(lambda: not server.requests, 1.0, what="no beacon while the page lives")

        assert app.quit_now() == 0, app.log_tail()
        ls.wait_for(lambda: server.received("POST", "/pagehide") and
                    server.received("POST", "/unload"), 10,
                    what=lambda: "beacons from pagehide and unload (got %r)" % server.requests)
        assert [r[2] for r in server.requests] == [b"bye", b"bye"]
