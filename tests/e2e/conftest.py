import glob
import os
import shutil

import pytest

import desktop_bus as db
import lumio_session as ls

ARTIFACTS = os.environ.get("LUMIO_E2E_ARTIFACTS", "/tmp/lumio-e2e-artifacts")
_live_tags = set()


def pytest_configure(config):
    config.addinivalue_line(
        "markers", "soak: long load and fault tests, run only when -m names them "
        "(make soak)")


def pytest_collection_modifyitems(config, items):
    missing = [p for p in (ls.APP_REL, ls.HELPER_REL)
               if not os.access(os.path.join(ls.STAGE, p), os.X_OK)]
    if missing:
        # Running without the programs would prove nothing; fail loudly instead.
        raise pytest.UsageError("lumio programs not found under LUMIO_STAGE=%s: %s"
                                % (ls.STAGE, ", ".join(missing)))
    if "soak" not in (config.getoption("markexpr") or ""):
        soak = [item for item in items if item.get_closest_marker("soak")]
        if soak:
            config.hook.pytest_deselected(items=soak)
            items[:] = [item for item in items if not item.get_closest_marker("soak")]


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    rep = outcome.get_result()
    funcargs = getattr(item, "funcargs", {})
    # A Wayland session has no X screen to shoot; its logs are kept all the same.
    desktop = funcargs.get("desktop") or funcargs.get("wayland")
    if rep.when in ("setup", "call") and rep.failed and desktop is not None:
        # Now, while the program is still on screen; teardown comes after.
        _keep_artifacts(item, desktop)


def pytest_sessionfinish(session, exitstatus):
    # Last line of defence when a fixture's teardown itself was interrupted.
    for tag in list(_live_tags):
        ls.kill_tagged(tag, grace=1.0)


def _keep_artifacts(item, desktop):
    dest = os.path.join(ARTIFACTS, item.name.replace("/", "_"))
    shutil.rmtree(dest, ignore_errors=True)
    os.makedirs(dest)
    try:
        desktop.screenshot(os.path.join(dest, "screen.png"))
    except Exception as e:  # the display may be what broke
        with open(os.path.join(dest, "screenshot-error.txt"), "w") as f:
            f.write(repr(e))
    logs = glob.glob(os.path.join(desktop.root, "logs", "*.log"))
    logs += glob.glob(os.path.join(desktop.root, "run*", "lumio.log"))
    for path in logs:
        rel = os.path.relpath(path, desktop.root).replace("/", "_")
        shutil.copy(path, os.path.join(dest, rel))


@pytest.fixture
def desktop(request):
    """The session; parametrize it indirectly with an openbox rc.xml to replace
    the system's."""
    root = ls.make_root()
    d = ls.Desktop(root, openbox_rc=getattr(request, "param", None))
    _live_tags.add(d.tag)
    try:
        yield from ls.run_session(d, root)
    finally:
        _live_tags.discard(d.tag)


@pytest.fixture
def bus(desktop):
    """A connection to the session's private bus."""
    connection = db.connect(desktop)
    yield connection
    connection.close()


@pytest.fixture
def launch(desktop):
    """launch(pack=True, args=(), lang=..., user=None) -> started Lumio."""
    runs = []

    def _launch(**kw):
        root = os.path.join(desktop.root, "run%d" % len(runs))
        os.makedirs(root)
        app = ls.Lumio(desktop, root, **kw)
        runs.append(app)
        return app.start()

    yield _launch
    for app in reversed(runs):
        app.stop()


@pytest.fixture
def app(launch):
    """The program with its start page loaded, handshake not yet sent."""
    a = launch()
    a.wait_page_ready()
    return a


@pytest.fixture
def shown_app(app):
    """The program after the handshake, main window on screen."""
    reply = app.handshake()
    assert reply.get("success") is not None, "handshake failed: %r" % reply
    app.main_window()
    return app
