#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over every source file of src/ that
# the build compiles (its compile_commands.json), headers of src/ included, and fails
# on any finding (.clang-tidy makes them errors). Needs a configured and built tree
# (the sources include Qt's generated files): scripts/check-tidy.sh [BUILD_DIR].
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [ ! -f "$build/compile_commands.json" ]; then
  echo "check-tidy: no $build/compile_commands.json; build first (make build TESTS=ON)" >&2
  exit 2
fi
# Only this tree's src/, sources and headers: not the build's generated files (Qt's
# moc output among them), not tests/ or bench/.
src=$(printf '%s' "$(pwd)/src/" | sed 's/[][\\.^$*+?(){}|]/\\&/g')
run-clang-tidy -quiet -j "${JOBS:-$(nproc)}" -p "$build" -header-filter "^$src" "^$src"
