#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Lumio needs.
# Does nothing when all of them are present already.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-webengine-dev qt6-webchannel-dev qt6-base-dev-tools
  libqt6webenginecore6-bin
  rapidjson-dev libzip-dev zip libxss-dev libx11-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth xkb-data libgl1-mesa-dri xdotool x11-utils wmctrl dbus dbus-x11 openbox tint2 dunst
  python3-pytest python3-websocket python3-dbusmock python3-dbus
  imagemagick fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
