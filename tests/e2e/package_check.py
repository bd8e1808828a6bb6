"""The .deb that `make package` builds: its layout, its declared dependencies, and
the installed lumio-app running to the start-up handshake.

Run by the CTest test "package" (not by the e2e run: it packs the build tree);
LUMIO_BUILD_DIR names the configured build tree.
"""

import os
import re
import shutil
import subprocess

import pytest

import lumio_session as ls

BUILD_DIR = os.environ.get("LUMIO_BUILD_DIR") or os.path.join(
    os.path.dirname(os.path.dirname(ls.HERE)), "build")


@pytest.fixture(scope="module")
def deb():
    """(path of the .deb, root it was extracted into with dpkg -x)."""
    work = ls.make_root("lumio-deb-")
    try:
        packed = subprocess.run(
            ["cpack", "-G", "DEB", "-B", work, "--config",
             os.path.join(BUILD_DIR, "CPackConfig.cmake")],
            capture_output=True, text=True, timeout=300)
        assert packed.returncode == 0, packed.stdout + packed.stderr
        debs = [n for n in os.listdir(work) if n.endswith(".deb")]
        assert len(debs) == 1, debs
        path = os.path.join(work, debs[0])
        root = os.path.join(work, "root")
        subprocess.run(["dpkg", "-x", path, root], check=True, timeout=60)
        yield path, root
    finally:
        shutil.rmtree(work, ignore_errors=True)


def field(path, name):
    return subprocess.run(["dpkg-deb", "-f", path, name], capture_output=True, text=True,
                          check=True).stdout.strip()


def depends(path):
    """Package names the .deb depends on, alternatives included."""
    names = set()
    for clause in field(path, "Depends").split(","):
        for alternative in clause.split("|"):
            names.add(alternative.strip().split(" ")[0])
    return names


def needed_packages(binary):
    """The Debian packages that hold the shared libraries |binary| links."""
    dynamic = subprocess.run(["readelf", "-d", binary], capture_output=True, text=True,
                             check=True).stdout
    sonames = re.findall(r"\(NEEDED\)\s+Shared library: \[(.+?)\]", dynamic)
    cache = subprocess.run(["ldconfig", "-p"], capture_output=True, text=True,
                           check=True).stdout
    packages = set()
    for soname in sonames:
        m = re.search(r"^\s*%s \(libc6,x86-64[^)]*\) => (\S+)" % re.escape(soname), cache, re.M)
        assert m, "no %s on this machine" % soname
        owner = subprocess.run(["dpkg", "-S", os.path.realpath(m.group(1))],
                               capture_output=True, text=True)
        if owner.returncode != 0:  # the path through /lib rather than /usr/lib
            owner = subprocess.run(["dpkg", "-S", m.group(1)], capture_output=True, text=True,
                                   check=True)
        packages.add(owner.stdout.split(":")[0])
    return packages


def test_the_package_installs_the_documented_layout(deb):
    path, root = deb
    assert field(path, "Package") == "lumio"
    usr = os.path.join(root, "usr")
    for rel in ("bin/lumio-app", "libexec/lumio/lumio-helper"):
        assert os.access(os.path.join(usr, rel), os.X_OK), rel
    with open(os.path.join(usr, "share", "lumio", "lumio.pak"), "rb") as f, \
            open(os.path.join(ls.STAGE, ls.PACK_REL), "rb") as built:
        assert f.read() == built.read()
    # The desktop file's id is the one the program gives the desktop (the launcher
    # badge and the window's application id).
    desktop_file = os.path.join(usr, "share", "applications", "lumio.desktop")
    with open(desktop_file) as f:
        entry = f.read()
    assert "\nExec=lumio-app\n" in entry and "\nIcon=lumio\n" in entry
    if shutil.which("desktop-file-validate"):
        checked = subprocess.run(["desktop-file-validate", desktop_file],
                                 capture_output=True, text=True)
        assert checked.returncode == 0 and not checked.stdout.strip(), checked.stdout
    sizes = []
    icons = os.path.join(usr, "share", "icons", "hicolor")
    for folder in sorted(os.listdir(icons)):
        icon = os.path.join(icons, folder, "apps", "lumio.png")
        size = subprocess.run(["identify", "-format", "%wx%h", icon], capture_output=True,
                              text=True, check=True).stdout
        assert size == folder, icon
        sizes.append(folder)
    assert len(sizes) >= 3, sizes


def test_every_library_the_programs_link_is_a_declared_dependency(deb):
    path, root = deb
    declared = depends(path)
    for rel in ("usr/bin/lumio-app", "usr/libexec/lumio/lumio-helper"):
        missing = needed_packages(os.path.join(root, rel)) - declared
        assert not missing, "%s needs undeclared %s" % (rel, sorted(missing))
    # Not linked, yet needed at run time.
    assert {"libgl1-mesa-dri", "fonts-dejavu-core"} <= declared


def test_the_installed_program_runs_to_the_handshake(deb, desktop):
    path, root = deb
    app = ls.Lumio(desktop, os.path.join(desktop.root, "run"), prefix=os.path.join(root, "usr"))
    try:
        app.start()
        app.connect()
        app.devtools.wait_js(
            "document.getElementById('greeting').textContent === 'Hello, world!'", 30,
            what="the installed default application's handshake")
        wid = app.main_window()
        # The desktop entry claims the window (docks and launchers group by it).
        with open(os.path.join(root, "usr", "share", "applications", "lumio.desktop")) as f:
            wm_class = re.search(r"^StartupWMClass=(.+)$", f.read(), re.M).group(1)
        out = desktop.x(["xprop", "-id", str(wid), "WM_CLASS"]).stdout
        assert '"%s"' % wm_class in out, out
        # The helper that runs the engine's other processes is the installed one.
        helper = os.path.join(root, "usr", "libexec", "lumio", "lumio-helper")
        running = [p for p in app.descendants_alive()
                   if os.path.realpath("/proc/%d/exe" % p) == os.path.realpath(helper)]
        assert running, "no process of the installed lumio-helper"
        assert app.terminate() == 0, app.log_tail()
    finally:
        app.stop()


def test_lintian_finds_no_errors(deb):
    path, _ = deb
    checked = subprocess.run(["lintian", "--fail-on", "none", path], capture_output=True,
                             text=True, timeout=300)
    errors = [line for line in checked.stdout.splitlines() if line.startswith("E:")]
    assert not errors, checked.stdout
    # What Debian's policy asks of every package, whatever lintian's version.
    files = subprocess.run(["dpkg-deb", "-c", path], capture_output=True, text=True,
                           check=True).stdout
    for doc in ("copyright", "changelog.Debian.gz"):
        assert " ./usr/share/doc/lumio/%s\n" % doc in files, doc


def dpkg_root(root, *args):
    """dpkg on a root of its own: the package's files, without the system's."""
    return subprocess.run(["dpkg", "--root=" + root, "--force-depends",
                           "--force-script-chrootless", "--log=/dev/null"] + list(args),
                          capture_output=True, text=True, timeout=120)


def files_below(root):
    return sorted(os.path.relpath(os.path.join(d, n), root)
                  for d, dirs, files in os.walk(root) for n in dirs + files)


def test_removing_the_package_after_a_run_leaves_nothing(deb, desktop):
    path, _ = deb
    root = os.path.join(desktop.root, "system")
    database = os.path.join(root, "var", "lib", "dpkg")
    for folder in ("info", "updates"):
        os.makedirs(os.path.join(database, folder))
    for name in ("status", "available"):
        open(os.path.join(database, name), "w").close()
    installed = dpkg_root(root, "--install", path)
    assert installed.returncode == 0, installed.stdout + installed.stderr
    usr = os.path.join(root, "usr")
    before = files_below(usr)
    app = ls.Lumio(desktop, os.path.join(desktop.root, "run"), prefix=usr)
    try:
        app.start()
        app.connect()
        app.devtools.wait_js(
            "document.getElementById('greeting').textContent === 'Hello, world!'", 30,
            what="the installed default application's handshake")
        assert app.terminate() == 0, app.log_tail()
    finally:
        app.stop()
    # Running writes nothing below /usr, even where it could (as root).
    assert files_below(usr) == before
    for action in ("--remove", "--purge"):
        removed = dpkg_root(root, action, "lumio")
        # Nothing is left for purge (no configuration files): dpkg only says so.
        assert removed.returncode == 0 and "not removed" not in removed.stderr, \
            removed.stdout + removed.stderr
        assert [n for n in files_below(root) if not n.startswith("var")] == []
    listed = dpkg_root(root, "--status", "lumio")
    assert listed.returncode != 0, listed.stdout


def test_a_version_built_before_with_other_content_is_refused(tmp_path):
    release = os.path.join(os.path.dirname(os.path.dirname(ls.HERE)), "scripts",
                           "deb-release.py")
    records = str(tmp_path / "records")

    def build(version, text, stamp):
        tree = tmp_path / ("tree-%s-%d" % (version, stamp))
        (tree / "DEBIAN").mkdir(parents=True)
        (tree / "usr" / "share").mkdir(parents=True)
        (tree / "DEBIAN" / "control").write_text(
            "Package: demo\nVersion: %s\nArchitecture: all\nMaintainer: A <a@example.org>\n"
            "Description: demo\n" % version)
        payload = tree / "usr" / "share" / "demo.txt"
        payload.write_text(text)
        os.utime(payload, (stamp, stamp))
        deb = str(tmp_path / ("demo_%s.deb" % version))
        subprocess.run(["dpkg-deb", "--build", "--root-owner-group", str(tree), deb],
                       check=True, capture_output=True)
        return deb

    def check(deb):
        return subprocess.run(["/usr/bin/python3", release, records, deb],
                              capture_output=True, text=True)

    assert check(build("1.0.0-1", "one", 1000)).returncode == 0
    # The same files built again, at another time: the same package.
    assert check(build("1.0.0-1", "one", 2000)).returncode == 0
    changed = build("1.0.0-1", "two", 3000)
    refused = check(changed)
    assert refused.returncode == 1
    assert "demo 1.0.0-1 was built before with other content" in refused.stderr
    assert "raise the version" in refused.stderr
    assert not os.path.exists(changed)
    assert check(build("1.0.1-1", "two", 3000)).returncode == 0
