#!/usr/bin/env bash
# A Debian root of any release, made with mmdebstrap and kept between runs, and a
# command run inside it with /proc, /sys, /dev, /dev/pts and /dev/shm bound.
#
#   scripts/debian-root.sh [options] <suite> <dir> [-- command [args...]]
#
# <dir> is made when missing, and made anew when older than --max-age days (security
# fixes arrive that way) or when it was made for another suite or package list. It is
# built beside <dir> and renamed into place only once complete, so a run that is
# interrupted never leaves a half-made root to be taken for a cached one. Without a
# command the root is only made ready.
#
#   --include PKG,...    packages installed when the root is made (repeatable)
#   --copy SRC:DEST      copy the folder SRC to DEST inside the root before the command
#                        (DEST emptied first; build*/ folders of SRC are left out)
#   --mirror URL         Debian archive (default http://deb.debian.org/debian)
#   --max-age DAYS       rebuild a root older than this (default 7)
#
# Needs root (bind mounts and chroot); mmdebstrap runs in its root mode. Concurrent
# runs on the same <dir> wait for each other. Mounts are undone on every exit path.
set -euo pipefail

usage() {
  sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
  exit 2
}

includes=()
copies=()
mirror=http://deb.debian.org/debian
max_age=7
while [ $# -gt 0 ]; do
  case $1 in
    --include) includes+=("$2"); shift 2 ;;
    --copy) copies+=("$2"); shift 2 ;;
    --mirror) mirror=$2; shift 2 ;;
    --max-age) max_age=$2; shift 2 ;;
    -h | --help) usage ;;
    -*) echo "$0: unknown option $1" >&2; usage ;;
    *) break ;;
  esac
done
[ $# -ge 2 ] || usage
suite=$1
dir=${2%/}
shift 2
command=()
if [ $# -gt 0 ]; then
  [ "$1" = -- ] || usage
  shift
  command=("$@")
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "$0: needs root for chroot and bind mounts (run it with sudo)" >&2
  exit 1
fi
command -v mmdebstrap >/dev/null || { echo "$0: mmdebstrap is not installed" >&2; exit 1; }

mkdir -p "$(dirname "$dir")"
exec 9>"$dir.lock"
flock 9

include_list=$(IFS=,; echo "${includes[*]:-}")
# What the root was made from: a change of any of it makes it anew.
wanted="suite=$suite mirror=$mirror include=$include_list"
stamp=$dir/.debian-root

fresh() {
  [ -f "$stamp" ] || return 1
  [ "$(sed -n 1p "$stamp")" = "$wanted" ] || return 1
  [ -n "$(find "$stamp" -mtime -"$max_age")" ]
}

if ! fresh; then
  echo "debian-root: making the $suite root in $dir"
  new=$dir.new
  rm -rf --one-file-system "$new"
  sources=(
    "deb $mirror $suite main"
    "deb $mirror $suite-updates main"
    "deb ${mirror%/debian}/debian-security $suite-security main"
  )
  mmdebstrap --mode=root --variant=apt ${include_list:+--include="$include_list"} \
    "$suite" "$new" "${sources[@]}"
  echo "$wanted" >"$new/.debian-root"
  # A mount left by a killed run must not take the host's /dev or /sys with it.
  rm -rf --one-file-system "$dir"
  mv "$new" "$dir"
fi

[ ${#command[@]} -gt 0 ] || exit 0

mounted=()
unmount_all() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" ||
      echo "debian-root: could not unmount ${mounted[i]}" >&2
  done
  mounted=()
}
trap unmount_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

for m in /proc /sys /dev /dev/pts /dev/shm; do
  mkdir -p "$dir$m"
  mount --bind "$m" "$dir$m"
  mounted+=("$dir$m")
done
# The host's name servers, for apt inside.
cp -L /etc/resolv.conf "$dir/etc/resolv.conf"
# The certificate authorities the host trusts (a network's own proxy among them),
# for the https clients inside (npm, Node, Python).
ca_env=()
if [ -f /etc/ssl/certs/ca-certificates.crt ]; then
  mkdir -p "$dir/etc/ssl/host"
  cp -L /etc/ssl/certs/ca-certificates.crt "$dir/etc/ssl/host/ca-certificates.crt"
  cas=/etc/ssl/host/ca-certificates.crt
  ca_env=(SSL_CERT_FILE=$cas NODE_EXTRA_CA_CERTS=$cas npm_config_cafile=$cas)
fi

for c in "${copies[@]}"; do
  src=${c%%:*}
  dest=$dir/${c#*:}
  rm -rf --one-file-system "$dest"
  mkdir -p "$dest"
  tar -C "$src" --exclude='./build*' -cf - . | tar -C "$dest" -xf -
done

# The command's status is the script's; the EXIT trap unmounts either way.
chroot "$dir" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
  ${CI:+CI="$CI"} "${ca_env[@]}" "${command[@]}"
