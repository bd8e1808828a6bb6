#!/usr/bin/env bash
# Publishes .deb files into a signed apt repository folder, ready to serve from any
# static web server as the "updates.url" of lumio.json:
#
#   scripts/publish-repo.sh --origin ID --key KEY REPO DEB...
#
# REPO/pool/main holds the packages; REPO/dists/stable holds Packages, and Release
# with Origin ID (the pattern unattended-upgrades matches), signed by the secret key
# KEY of gpg's keyring ($GNUPGHOME) as InRelease and Release.gpg. A package version
# already published with other content is refused (scripts/deb-release.py): apt
# would never install it.
set -euo pipefail

usage() { echo "usage: $0 --origin ID --key KEY REPO DEB..." >&2; exit 2; }
origin= key=
while [ $# -gt 0 ]; do
  case $1 in
    --origin) origin=${2:-}; shift 2 ;;
    --key) key=${2:-}; shift 2 ;;
    --*) usage ;;
    *) break ;;
  esac
done
[ -n "$origin" ] && [ -n "$key" ] && [ $# -ge 2 ] || usage
repo=$1
shift
here=$(cd "$(dirname "$0")" && pwd)

if ! gpg --batch --list-secret-keys "$key" >/dev/null 2>&1; then
  echo "$0: no secret key $key in gpg's keyring${GNUPGHOME:+ ($GNUPGHOME)}" >&2
  exit 1
fi
mkdir -p "$repo/pool/main" "$repo/dists/stable/main/binary-amd64" "$repo/records"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for deb in "$@"; do
  name=$(dpkg-deb --field "$deb" Package)_$(dpkg-deb --field "$deb" Version)_$(dpkg-deb --field "$deb" Architecture).deb
  cp "$deb" "$work/$name"
  # Refuses (and removes the copy) when this version was published with other content.
  /usr/bin/python3 "$here/deb-release.py" "$repo/records" "$work/$name"
  mv "$work/$name" "$repo/pool/main/$name"
done

cd "$repo"
apt-ftparchive packages pool/main > dists/stable/main/binary-amd64/Packages
gzip -9nc dists/stable/main/binary-amd64/Packages > dists/stable/main/binary-amd64/Packages.gz
apt-ftparchive \
  -o APT::FTPArchive::Release::Origin="$origin" \
  -o APT::FTPArchive::Release::Label="$origin" \
  -o APT::FTPArchive::Release::Suite=stable \
  -o APT::FTPArchive::Release::Codename=stable \
  -o APT::FTPArchive::Release::Components=main \
  -o APT::FTPArchive::Release::Architectures="amd64 all" \
  release dists/stable > "$work/Release"
mv "$work/Release" dists/stable/Release
rm -f dists/stable/InRelease dists/stable/Release.gpg
gpg --batch --yes --local-user "$key" --clearsign --output dists/stable/InRelease dists/stable/Release
gpg --batch --yes --local-user "$key" --armor --detach-sign --output dists/stable/Release.gpg \
  dists/stable/Release
echo "published $# package(s) into $repo (origin $origin)"
