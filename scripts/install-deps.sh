#!/usr/bin/env bash
# Installs the Debian packages that building and running Lumio need; with --test, also
# the ones its tests need; with --ci, those and what CI itself uses. Does nothing when
# all of them are present already.
# Root installs directly; another user needs sudo, or is told what to run as root.
set -euo pipefail

usage() { echo "usage: $0 [--test | --ci]" >&2; exit 2; }
with_tests=0
with_ci=0
case $# in
  0) ;;
  1) case $1 in
       --test) with_tests=1 ;;
       --ci) with_tests=1; with_ci=1 ;;
       *) usage ;;
     esac ;;
  *) usage ;;
esac

# Building lumio-app and lumio-helper.
packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-webengine-dev qt6-webchannel-dev qt6-base-dev-tools
  rapidjson-dev libzip-dev libxss-dev libx11-dev
  # The Wayland protocols spoken on the program's own connection (idle time,
  # attention), generated with wayland-scanner at build time.
  libwayland-dev wayland-protocols plasma-wayland-protocols
  # make package: CPack's .deb finds the libraries' packages with file and
  # dpkg-shlibdeps (dpkg-dev, through build-essential).
  file
  # An application's lumio.json: checked against its schema, its icon rendered, its
  # repository's key read.
  python3-jsonschema librsvg2-bin gpg
)
# Running them: the engine's helper process, a GL driver and a font; xdg-open, which
# Qt runs to hand links to the desktop's default browser or mail program.
packages+=(libqt6webenginecore6-bin libgl1-mesa-dri fonts-dejavu-core xdg-utils)
# Qt's native Wayland plugin, which Qt picks whenever WAYLAND_DISPLAY is set.
packages+=(qt6-wayland)
# scripts/run.sh without a display: Xvfb, xdpyinfo, a session bus, openbox, xdotool
# to find the main window, and ImageMagick's import for the screenshot.
packages+=(xvfb xkb-data x11-utils dbus openbox xdotool imagemagick)
if [ "$with_tests" -eq 1 ]; then
  # Unit tests and benchmarks; clang and its libFuzzer runtime for the fuzzers.
  packages+=(libgtest-dev libbenchmark-dev clang libclang-rt-dev)
  # make format-check and make tidy (Debian 12: version 14 of both; clang-tidy brings
  # run-clang-tidy).
  packages+=(clang-format clang-tidy)
  # unzip: the benchmarks read a large pack with it, as the baseline of its start-up.
  packages+=(unzip)
  # The end-to-end tests' desktop session and their Python (run with /usr/bin/python3).
  packages+=(xauth wmctrl dbus-x11 tint2 dunst)
  # The Wayland tier: weston and sway on their headless backends (sway runs as an
  # unprivileged user of its own when the tests run as root: setpriv, useradd);
  # wayland-info lists what the compositor offers.
  packages+=(weston sway wayland-utils util-linux passwd)
  packages+=(python3-pytest python3-websocket python3-dbusmock python3-dbus python3-gi)
  # desktop-file-validate, for the autostart entry the program writes.
  packages+=(desktop-file-utils)
  # Self-signed certificates for the https test servers.
  packages+=(openssl)
  # The package test: lintian over the .deb. The update test: a Debian root made with
  # mmdebstrap, a repository made with apt-ftparchive (apt-utils) and signed with gpg.
  packages+=(lintian mmdebstrap apt-utils)
  # strace, which holds the program at a chosen system call in a test.
  packages+=(strace)
  # Node.js, which runs the tests of the injected scripts (tests/scripts/), and npm,
  # which installs TypeScript and Vite for the declarations, the lumio-web package
  # and the starter app (templates/vite-ts).
  # A Node.js from elsewhere (such as NodeSource's) brings its own npm and conflicts
  # with Debian's npm package.
  packages+=(nodejs)
  command -v npm >/dev/null 2>&1 || packages+=(npm)
  # The accessibility bus and a screen reader's library, for tests/e2e/test_accessibility.py.
  packages+=(at-spi2-core python3-pyatspi)
fi
if [ "$with_ci" -eq 1 ]; then
  # .ci/run runs the tests once more in a Debian 13 root that mmdebstrap makes.
  packages+=(mmdebstrap)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

install_line="apt-get install -y --no-install-recommends ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    {
      echo "Lumio needs Debian packages that are not installed: ${missing[*]}"
      echo "This user cannot install them (not root, and sudo is not installed)."
      echo "Run this as root, then run make again:"
      echo
      echo "  apt-get update && $install_line"
    } >&2
    exit 1
  fi
  as_root=(sudo)
fi

echo "Installing: ${missing[*]}"
# sudo drops most of the environment, so the setting goes on the command itself.
apt=("${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get)
"${apt[@]}" update -q
"${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"
