"""The starter of templates/vite-ts: built with npm (Vite and TypeScript), packed,
and run to the handshake, as a new user's first app would be."""

import os
import shutil
import subprocess

import pytest

import lumio_session as ls

TEMPLATE = os.path.join(os.path.dirname(os.path.dirname(ls.HERE)), "templates", "vite-ts")


def npm(args, timeout):
    done = subprocess.run(["npm"] + args, cwd=TEMPLATE, capture_output=True, text=True,
                          timeout=timeout)
    assert done.returncode == 0, "npm %s failed:\n%s%s" % (" ".join(args), done.stdout,
                                                            done.stderr)


def test_the_vite_starter_builds_and_runs_to_the_handshake(launch, tmp_path):
    if not shutil.which("npm"):
        pytest.skip("npm is not installed: the starter is not built")
    dist = str(tmp_path / "dist")
    npm(["ci", "--no-audit", "--no-fund"], 600)
    npm(["run", "build", "--", "--outDir", dist, "--emptyOutDir"], 300)
    with open(ls.build_pack(str(tmp_path / "starter.pak"), source_dir=dist), "rb") as f:
        app = launch(pack=f.read())
    app.connect()
    # The page's own handshake shows the window.
    app.main_window()
    app.devtools.wait_js(
        "document.querySelector('#greeting').textContent === 'Hello, world!' && "
        "document.title === 'Lumio 0.2.5' && "
        "['focused', 'visible'].includes(document.querySelector('#state').textContent)", 20,
        what=lambda: "the starter's page after its handshake (%r)" % app.devtools.evaluate(
            "[document.title, document.body.innerText]"))
