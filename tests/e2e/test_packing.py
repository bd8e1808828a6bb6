"""Packing a web application into lumio.pak at build time (cmake/LumioPack.cmake)."""

import os
import shutil
import subprocess
import zipfile

import pytest

import lumio_session as ls

REPO = os.path.dirname(os.path.dirname(ls.HERE))

PROJECT = """cmake_minimum_required(VERSION 3.17)
project(packtest NONE)
include(%s/cmake/LumioPack.cmake)
lumio_add_pack(pack SOURCE_DIR site OUTPUT out/app.pak)
"""


@pytest.fixture
def tmp():
    root = ls.make_root("lumio-pack-")
    yield root
    shutil.rmtree(root, ignore_errors=True)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make_site(root):
    site = os.path.join(root, "site")
    write(os.path.join(site, "Index.html"), b"<!DOCTYPE html><title>mine</title>")
    write(os.path.join(site, "js", "app.js"), b"app()")
    write(os.path.join(site, "img", "dot.png"), bytes(range(256)) * 4)
    write(os.path.join(site, "empty.txt"), b"")
    write(os.path.join(root, "outside", "secret.txt"), b"secret")
    os.symlink("js/app.js", os.path.join(site, "alias.js"))
    os.symlink("js", os.path.join(site, "scripts"))
    os.symlink(os.path.join(root, "outside", "secret.txt"), os.path.join(site, "leak.txt"))
    os.symlink(os.path.join(root, "outside"), os.path.join(site, "leakdir"))
    return site


def run(argv, cwd):
    return subprocess.run(argv, cwd=cwd, capture_output=True, text=True, timeout=300)


def pack_contents(path):
    with zipfile.ZipFile(path) as z:
        return {name: z.read(name) for name in z.namelist()}


def test_a_folder_becomes_a_pack_that_follows_it(tmp):
    make_site(tmp)
    with open(os.path.join(tmp, "CMakeLists.txt"), "w") as f:
        f.write(PROJECT % REPO)
    configured = run(["cmake", "-S", ".", "-B", "build"], tmp)
    assert configured.returncode == 0, configured.stderr
    built = run(["cmake", "--build", "build"], tmp)
    assert built.returncode == 0, built.stdout + built.stderr
    pak = os.path.join(tmp, "build", "out", "app.pak")
    assert pack_contents(pak) == {
        "Index.html": b"<!DOCTYPE html><title>mine</title>",
        "alias.js": b"app()",
        "empty.txt": b"",
        "img/dot.png": bytes(range(256)) * 4,
        "js/app.js": b"app()",
        "scripts/app.js": b"app()",
    }
    # Links that lead out of the folder are named, and left out.
    assert "leak.txt leads outside" in built.stdout + built.stderr

    # Edited, added and removed files show in the next build.
    write(os.path.join(tmp, "site", "js", "app.js"), b"app(2)")
    write(os.path.join(tmp, "site", "css", "new.css"), b"body{}")
    os.remove(os.path.join(tmp, "site", "empty.txt"))
    rebuilt = run(["cmake", "--build", "build"], tmp)
    assert rebuilt.returncode == 0, rebuilt.stdout + rebuilt.stderr
    contents = pack_contents(pak)
    assert contents["js/app.js"] == b"app(2)" and contents["css/new.css"] == b"body{}"
    assert "empty.txt" not in contents


def test_a_folder_without_a_start_page_is_refused_at_configure_time(tmp):
    write(os.path.join(tmp, "site", "main.html"), b"<p>no start page</p>")
    with open(os.path.join(tmp, "CMakeLists.txt"), "w") as f:
        f.write(PROJECT % REPO)
    configured = run(["cmake", "-S", ".", "-B", "build"], tmp)
    assert configured.returncode != 0
    assert "has no index.html" in configured.stderr


def test_one_configure_option_builds_the_program_with_another_application(tmp):
    make_site(tmp)
    # A relative path is taken from where cmake runs.
    configured = run(["cmake", "-S", REPO, "-B", "build", "-DLUMIO_WEB_DIR=site",
                      "-DLUMIO_BUILD_TESTS=OFF"], tmp)
    assert configured.returncode == 0, configured.stderr
    built = run(["cmake", "--build", "build", "--target", "lumio-pak"], tmp)
    assert built.returncode == 0, built.stdout + built.stderr
    contents = pack_contents(os.path.join(tmp, "build", "stage", ls.PACK_REL))
    assert contents["Index.html"] == b"<!DOCTYPE html><title>mine</title>"
    assert "app.js" not in contents  # nothing of web/
