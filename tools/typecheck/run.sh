#!/bin/sh
# Type-checks web/lumio.d.ts: tsc --noEmit over example.ts, with the TypeScript
# that package-lock.json pins, installed (npm ci) into WORK the first time and
# again whenever the lock changes. Exits 77 (CTest: skipped) when npm is missing.
# usage: run.sh [WORK]   (default: build/typecheck beside the sources)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=${1:-$here/../../build/typecheck}

if ! command -v npm >/dev/null 2>&1 || ! command -v node >/dev/null 2>&1; then
  echo "SKIPPED: npm and node are not installed, so web/lumio.d.ts is not type-checked."
  echo "Install Node.js with npm to run this check."
  exit 77
fi

mkdir -p "$work"
if ! cmp -s "$here/package-lock.json" "$work/package-lock.json" ||
   [ ! -f "$work/node_modules/typescript/bin/tsc" ]; then
  cp "$here/package.json" "$here/package-lock.json" "$work/"
  (cd "$work" && npm ci --no-audit --no-fund --ignore-scripts)
fi
node "$work/node_modules/typescript/bin/tsc" --version
node "$work/node_modules/typescript/bin/tsc" -p "$here/tsconfig.json"
echo "web/lumio.d.ts: tsc --noEmit found no errors"
