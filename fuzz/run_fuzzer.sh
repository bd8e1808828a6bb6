#!/usr/bin/env bash
# Runs one fuzzer for a fixed time from its committed seeds:
#   fuzz/run_fuzzer.sh <fuzzer binary> <seconds> [more libFuzzer flags]
# New inputs go to a scratch folder removed afterwards; a crash leaves its input
# in the current folder (crash-*, leak-*, timeout-*). The bridge fuzzer also
# reads the public JSON test corpus beside the checkout when it is there.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 <fuzzer> <seconds> [flags]" >&2; exit 2; }
fuzzer=$1
seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
name=$(basename "$fuzzer")
name=${name%_fuzzer}

seeds=("$here/corpus/$name")
shared="$here/../../shared/corpora/json-parsing"
if [ "$name" = bridge_dispatch ] && [ -d "$shared" ]; then
  seeds+=("$shared")
fi
flags=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -print_final_stats=1)
if [ -f "$here/$name.dict" ]; then
  flags+=(-dict="$here/$name.dict")
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$fuzzer" "${flags[@]}" "$@" "$work" "${seeds[@]}"
