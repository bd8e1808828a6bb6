"""Automatic updates through the application's own signed apt repository, in a clean
Debian 12 root.

The root (scripts/debian-test-root.sh: minbase, the program's libraries, unattended-upgrades)
is made once and kept in /var/cache/lumio-ci (LUMIO_CI_CACHE); each run works on a copy.
The test application's package (tests/e2e/identity_app, built by CTest into
<build>/identity-app) is repacked as versions 1.0.0 and 1.0.1 with a signing key made
for the run, published with scripts/publish-repo.sh and served over loopback HTTP at
its updates.url. Skipped, with the reason, where a root cannot be made (not root, no
mmdebstrap, no network to Debian's archive).
"""

import functools
import http.server
import os
import shutil
import subprocess
import threading
import zipfile

import pytest

import lumio_session as ls
import test_identity as ti

SCRIPTS = os.path.join(ti.REPO, "scripts")
CACHE = os.environ.get("LUMIO_CI_CACHE", "/var/cache/lumio-ci")
BASE_ROOT = os.path.join(CACHE, "bookworm-update")
ROOT_PACKAGES = [
    "libgl1-mesa-dri", "fonts-dejavu-core", "libqt6core6", "libqt6dbus6", "libqt6gui6",
    "libqt6network6", "libqt6webchannel6", "libqt6webenginecore6",
    "libqt6webenginecore6-bin", "libqt6webenginewidgets6", "libqt6widgets6", "libx11-6",
    "libxss1", "libzip4", "unattended-upgrades"]
# The updates.url of tests/e2e/identity_app/lumio.json.
PORT = 8765
PACKAGE = "notes-desk"
RELEASE_PAGE = '<!DOCTYPE html><title>Notes Desk</title><p id="release">%s</p>'
RELEASE_JS = "document.getElementById('release').textContent"


def run(cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, timeout=kw.pop("timeout", 900),
                          **kw)


@pytest.fixture(scope="module")
def base_root():
    if os.geteuid() != 0:
        pytest.skip("a Debian root needs root (mmdebstrap, chroot, mounts)")
    if not shutil.which("mmdebstrap"):
        pytest.skip("mmdebstrap is not installed")
    with open("/etc/os-release") as f:
        release = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
    if release.get("VERSION_ID", "").strip('"') != "12":
        pytest.skip("the package is built for this system (%s), not for the Debian 12 root"
                    % release.get("PRETTY_NAME", "?").strip('"'))
    if not os.path.exists(os.path.join(ti.STAGE, ti.RELS[0])):
        pytest.skip("the test application is not built: cmake --build build "
                    "--target lumio_identity_app")
    made = run([os.path.join(SCRIPTS, "debian-test-root.sh"), "bookworm", BASE_ROOT]
               + ROOT_PACKAGES, timeout=3600)
    if made.returncode != 0:
        pytest.skip("no Debian 12 root could be made: " + made.stderr[-2000:])
    entered = in_root(BASE_ROOT, "true")
    if entered.returncode != 0:
        pytest.skip("the Debian 12 root cannot be entered here (chroot, mounts): "
                    + entered.stderr[-2000:])
    return BASE_ROOT


@pytest.fixture
def system(base_root, tmp_path):
    root = str(tmp_path / "root")
    subprocess.run(["cp", "-a", "--reflink=auto", base_root, root], check=True)
    yield root
    # Mounts are gone with debian-test-root.sh's trap; a leftover would stop the removal.
    subprocess.run(["rm", "-rf", "--one-file-system", root])


def in_root(root, *cmd, binds=()):
    return run([os.path.join(SCRIPTS, "debian-test-root.sh"), "--run", root] + list(binds)
               + ["--"] + list(cmd))


@pytest.fixture
def keys(tmp_path):
    """gpg home with two signing keys: the repository's and a stranger's."""
    home = str(tmp_path / "gnupg")
    os.makedirs(home, mode=0o700)
    env = dict(os.environ, GNUPGHOME=home)
    for uid in ("repository <repo@example.org>", "stranger <other@example.org>"):
        subprocess.run(["gpg", "--batch", "--passphrase", "", "--quick-gen-key", uid,
                        "ed25519", "sign", "never"], check=True, capture_output=True, env=env)
    return env


@pytest.fixture
def versions(tmp_path, keys):
    """{version: .deb} of the test application, trusting the run's repository key."""
    built = str(tmp_path / "built")
    packed = run(["cpack", "-G", "DEB", "-B", built, "--config",
                  os.path.join(ti.IDENTITY_BUILD, "CPackConfig.cmake")])
    assert packed.returncode == 0, packed.stdout + packed.stderr
    (deb,) = [os.path.join(built, n) for n in os.listdir(built) if n.endswith(".deb")]
    tree = str(tmp_path / "tree")
    subprocess.run(["dpkg-deb", "--raw-extract", deb, tree], check=True)
    keyring = subprocess.run(["gpg", "--batch", "--export", "repo@example.org"],
                             capture_output=True, check=True, env=keys).stdout
    with open(os.path.join(tree, "usr/share/keyrings", ti.APP_ID + ".gpg"), "wb") as f:
        f.write(keyring)
    control = os.path.join(tree, "DEBIAN", "control")
    with open(control) as f:
        text = f.read()
    pack = os.path.join(tree, "usr/share", PACKAGE, "lumio.pak")
    with zipfile.ZipFile(pack) as z:
        entries = {n: z.read(n) for n in z.namelist()}
    debs = {}
    for version in ("1.0.0-1", "1.0.1-1"):
        # Each version's start page says which it is.
        with zipfile.ZipFile(pack, "w") as z:
            for name, data in entries.items():
                if name == "index.html":
                    data = RELEASE_PAGE % version
                z.writestr(name, data)
        with open(control, "w") as f:
            f.write("".join(line if not line.startswith("Version:") else
                            "Version: %s\n" % version for line in text.splitlines(True)))
        debs[version] = str(tmp_path / ("%s_%s_amd64.deb" % (PACKAGE, version)))
        subprocess.run(["dpkg-deb", "--build", "--root-owner-group", tree, debs[version]],
                       check=True, capture_output=True)
    return debs


@pytest.fixture
def served(tmp_path):
    """The folder served at http://127.0.0.1:PORT/ (the repository is its notes-desk)."""
    top = str(tmp_path / "www")
    os.makedirs(top)
    handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=top)
    handler.log_message = lambda *a: None
    try:
        server = http.server.ThreadingHTTPServer(("127.0.0.1", PORT), handler)
    except OSError as e:
        pytest.fail("port %d of the test application's updates.url is taken: %s" % (PORT, e))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    yield os.path.join(top, "notes-desk")
    server.shutdown()
    server.server_close()


def publish(repo, keys, key, *debs):
    published = run([os.path.join(SCRIPTS, "publish-repo.sh"), "--origin", ti.APP_ID,
                     "--key", key, repo] + list(debs), env=keys)
    assert published.returncode == 0, published.stdout + published.stderr


def installed_version(root):
    out = in_root(root, "dpkg-query", "-W", "-f=${Version}", PACKAGE)
    return out.stdout if out.returncode == 0 else None


class InRoot(ls.Lumio):
    """The program installed in |system|, run chrooted into it on the test's desktop."""

    def __init__(self, desktop, run_root, system):
        super().__init__(desktop, run_root, prefix=os.path.join(system, "usr"),
                         args=["--run", system, desktop.root, "/tmp/.X11-unix", "--",
                               "/usr/bin/" + PACKAGE])

    @property
    def app_path(self):
        return os.path.join(SCRIPTS, "debian-test-root.sh")


def start_to_the_handshake(desktop, system, name, release):
    """The installed program, started and past its handshake, showing |release|."""
    app = InRoot(desktop, os.path.join(desktop.root, name), system)
    app.start()
    app.connect(timeout=60)
    app.devtools.wait_js("document.readyState === 'complete' && "
                         "typeof window.cefQuery === 'function'", 30,
                         what="the installed application's page")
    reply = app.query('{"command":"OrbitAppInitialized"}')
    assert reply.get("success") is not None, (reply, app.log_tail())
    assert app.devtools.evaluate(RELEASE_JS) == release
    return app


def runs_to_the_handshake(desktop, system, name, release):
    app = None
    try:
        app = start_to_the_handshake(desktop, system, name, release)
        assert app.terminate() == 0, app.log_tail()
    finally:
        if app:
            app.stop()


def test_the_system_upgrades_from_the_signed_repository_and_refuses_a_tampered_one(
        desktop, system, keys, versions, served):
    repo = served
    publish(repo, keys, "repo@example.org", versions["1.0.0-1"])
    # The first install, as the README has a user do it: the key and the source,
    # then apt; the package then keeps both itself.
    tree = os.path.join(os.path.dirname(versions["1.0.0-1"]), "tree")
    shutil.copy(os.path.join(tree, "usr/share/keyrings", ti.APP_ID + ".gpg"),
                os.path.join(system, "usr/share/keyrings"))
    shutil.copy(os.path.join(tree, "usr/share", PACKAGE, "apt", ti.APP_ID + ".list"),
                os.path.join(system, "etc/apt/sources.list.d"))
    for step in (["apt-get", "update"], ["apt-get", "install", "-y", PACKAGE]):
        done = in_root(system, *step)
        assert done.returncode == 0, done.stdout + done.stderr
    assert installed_version(system) == "1.0.0-1"

    def upgrade():
        in_root(system, "apt-get", "update")
        # The system's own unattended upgrade, as its daily timer runs it.
        return in_root(system, "unattended-upgrade", "--verbose")

    # A Release signed by another key: the repository is not trusted.
    publish(repo, keys, "other@example.org", versions["1.0.1-1"])
    refused = in_root(system, "apt-get", "update")
    assert "NO_PUBKEY" in refused.stderr or "not signed" in refused.stderr, refused.stderr
    upgrade()
    assert installed_version(system) == "1.0.0-1"

    # Signed by the right key, but the package changed after signing.
    publish(repo, keys, "repo@example.org", versions["1.0.1-1"])
    pooled = os.path.join(repo, "pool", "main", os.path.basename(versions["1.0.1-1"]))
    with open(pooled, "r+b") as f:
        f.seek(-100, os.SEEK_END)
        f.write(b"\0" * 100)
    upgrade()
    assert installed_version(system) == "1.0.0-1"
    runs_to_the_handshake(desktop, system, "stays", "1.0.0-1")

    # The package as signed: upgraded without asking while the old version runs,
    # which keeps working on what it loaded; the new version runs from the next start.
    running = start_to_the_handshake(desktop, system, "running", "1.0.0-1")
    try:
        publish(repo, keys, "repo@example.org", versions["1.0.1-1"])
        upgraded = upgrade()
        assert installed_version(system) == "1.0.1-1", upgraded.stdout + upgraded.stderr
        assert running.alive(), running.log_tail()
        running.devtools.evaluate("location.reload(), true")
        running.devtools.wait_js("document.readyState === 'complete' && "
                                 "typeof window.cefQuery === 'function' && "
                                 "!!document.getElementById('release')", 30,
                                 what="the running program's page reloaded")
        assert running.devtools.evaluate(RELEASE_JS) == "1.0.0-1"
        assert running.devtools.evaluate("""new Promise(resolve => {
              const w = window.open('index.html', 'more', 'width=320,height=240');
              const poll = setInterval(() => {
                const p = w.document && w.document.getElementById('release');
                if (p) { clearInterval(poll); resolve(p.textContent); }
              }, 50);
            })""") == "1.0.0-1"
        reply = running.query('{"command":"OrbitAppGetInfo"}')
        assert reply.get("success") is not None, reply
        assert running.terminate() == 0, running.log_tail()
    finally:
        running.stop()
    runs_to_the_handshake(desktop, system, "upgraded", "1.0.1-1")
