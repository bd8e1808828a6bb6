#!/usr/bin/env bash
# A clean Debian root made with mmdebstrap, kept for reuse, for tests that install
# packages into a copy of it (scripts/debian-root.sh runs whole suites in a root):
#
#   scripts/debian-test-root.sh SUITE DIR [PACKAGE...]   make DIR (if missing) with PACKAGEs
#   scripts/debian-test-root.sh --run DIR BIND... -- COMMAND...
#
# The first form builds DIR from Debian's archive (minbase, apt and PACKAGEs) into a
# folder beside it and renames it into place when complete, so that an interrupted
# run leaves nothing that looks usable; DIR/.packages records what it was made with,
# and a DIR made with other packages is made again. The second form runs COMMAND
# chrooted into DIR with /proc, /sys and /dev, and each host folder BIND at its own
# path, mounted for the command's time, in a mount namespace of its own; a trap
# unmounts them whatever happens, and a killed run's mounts end with its namespace.
set -euo pipefail

usage() {
  echo "usage: $0 SUITE DIR [PACKAGE...] | $0 --run DIR [BIND...] -- COMMAND..." >&2
  exit 2
}

if [ "${1:-}" = --run ]; then
  [ $# -ge 4 ] || usage
  # In a mount namespace of its own, so that even a killed run leaves no mount
  # behind on the host: the namespace ends with its last process.
  if [ -z "${DEBIAN_ROOT_PRIVATE_MOUNTS:-}" ]; then
    DEBIAN_ROOT_PRIVATE_MOUNTS=1 exec unshare --mount --propagation private "$0" "$@"
  fi
  root=$(cd "$2" && pwd)
  shift 2
  binds=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do binds+=("$1"); shift; done
  [ "${1:-}" = -- ] && [ $# -ge 2 ] || usage
  shift
  mounted=()
  cleanup() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
      umount -l "${mounted[$i]}" 2>/dev/null || true
    done
  }
  trap cleanup EXIT
  mount_at() {  # mount_at SOURCE TARGET [OPTIONS...]
    local source=$1 target=$2
    shift 2
    mkdir -p "$target"
    mount "$@" "$source" "$target"
    mounted+=("$target")
  }
  mount_at proc "$root/proc" -t proc
  mount_at /sys "$root/sys" --rbind
  mount_at /dev "$root/dev" --rbind
  for b in "${binds[@]}"; do mount_at "$b" "$root$b" --bind; done
  # Not exec: the trap must run after the command. A termination signal goes on to
  # the command, whose end ends this script.
  chroot "$root" "$@" &
  child=$!
  trap 'kill -TERM "$child" 2>/dev/null || true' TERM INT
  status=0
  while :; do
    wait "$child" && status=0 || status=$?
    kill -0 "$child" 2>/dev/null || break
  done
  exit "$status"
fi

[ $# -ge 2 ] || usage
suite=$1 dir=$2
shift 2
wanted=$(printf '%s\n' "$suite" apt "$@" | sort -u)
if [ -f "$dir/.packages" ] && [ "$(cat "$dir/.packages")" = "$wanted" ]; then
  exit 0
fi
command -v mmdebstrap >/dev/null || { echo "$0: mmdebstrap is not installed" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "$0: making a root needs root" >&2; exit 1; }
mkdir -p "$(dirname "$dir")"
exec 9>"$dir.lock"
flock 9
# Another run may have made it while this one waited.
if [ -f "$dir/.packages" ] && [ "$(cat "$dir/.packages")" = "$wanted" ]; then
  exit 0
fi
partial="$dir.partial"
rm -rf --one-file-system "$partial"
include=$(printf '%s\n' "$@" | paste -sd, -)
mmdebstrap --variant=minbase ${include:+--include="$include"} "$suite" "$partial" \
  http://deb.debian.org/debian
printf '%s\n' "$wanted" > "$partial/.packages"
rm -rf --one-file-system "$dir"
mv "$partial" "$dir"
