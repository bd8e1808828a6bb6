#!/bin/sh
# Runs the Node tests of the injected scripts; exits 77 (CTest: skipped) without node.
# usage: run.sh <folder of the scripts> <lumio_protocol.js>
set -eu
node=$(command -v node || command -v nodejs || true)
if [ -z "$node" ]; then
  echo "SKIPPED: node is not installed, so the page scripts' records are not tested."
  echo "Install Node.js (Debian: nodejs; scripts/install-deps.sh --test) to run them."
  exit 77
fi
exec "$node" "$(dirname "$0")/page_scripts_test.js" "$@"
