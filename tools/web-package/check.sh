#!/bin/sh
# Packs web/ as the npm package lumio-web (npm pack, nothing published), checks what
# the tarball holds, installs it into a scratch project and uses it there the two
# ways a page does: imported as an ES module (run in Node over a stand-in for the
# shell's cefQuery) and type-checked with tsc through the package's "exports"
# (TypeScript from tools/typecheck, installed by its run.sh). Exits 77 (CTest:
# skipped) when npm is missing.
# usage: check.sh [WORK]   (default: build/web-package beside the sources)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
web=$here/../../web
work=${1:-$here/../../build/web-package}

if ! command -v npm >/dev/null 2>&1 || ! command -v node >/dev/null 2>&1; then
  echo "SKIPPED: npm and node are not installed, so web/ is not packed."
  exit 77
fi

rm -rf "$work"
mkdir -p "$work/consumer"
tarball=$(cd "$web" && npm pack --ignore-scripts --pack-destination "$work" | tail -n 1)
echo "packed $tarball"
listing=$(tar -tzf "$work/$tarball" | sort | tr '\n' ' ')
expected="package/lumio.d.mts package/lumio.d.ts package/lumio.js package/lumio.mjs package/package.json "
if [ "$listing" != "$expected" ]; then
  echo "FAILED: the tarball holds: $listing"
  echo "        expected:          $expected"
  exit 1
fi

cd "$work/consumer"
cat >package.json <<JSON
{"name": "consumer", "private": true, "type": "module",
 "dependencies": {"lumio-web": "file:../$tarball"}}
JSON
npm install --no-audit --no-fund --ignore-scripts --offline >/dev/null

# The module in Node, over a stand-in for the shell.
cat >use.mjs <<'JS'
globalThis.window = globalThis;
const sent = [];
globalThis.cefQuery = ({request, onSuccess, onFailure}) => {
  sent.push(JSON.parse(request));
  if (sent.length === 1) onSuccess('{"text":"Hello, world!"}');
  else onFailure(0, '{"error":"Out of range"}');
  return sent.length;
};
const {invoke, on, LumioError, default: lumio} = await import('lumio-web');
const again = await import('lumio-web/lumio.js');
if (lumio !== window.lumio || invoke !== lumio.invoke) throw new Error('not one wrapper');
const hello = await invoke('OrbitAppInitialized');
if (hello.text !== 'Hello, world!') throw new Error('answer: ' + JSON.stringify(hello));
const failure = await invoke('OrbitMainBrowserSetAlpha', {value: 300}).catch((e) => e);
if (!(failure instanceof LumioError) || failure.message !== 'Out of range' || failure.code !== 0)
  throw new Error('failure: ' + failure);
let seen = null;
on('OrbitMainBrowserStateChange', ({state}) => { seen = state; });
window.cefMessage('OrbitMainBrowserStateChange', {state: 'hidden'});
if (seen !== 'hidden' || sent[1].value !== 300) throw new Error('event or request lost');
console.log('lumio-web: the ES module works');
JS
node use.mjs

# The declarations, through the package's exports.
cat >use.ts <<'TS'
import {invoke, on, LumioError} from "lumio-web";

export async function start(): Promise<string> {
  const {text} = await invoke("OrbitAppInitialized");
  const off = on("OrbitMainBrowserStateChange", ({state}) => console.log(state));
  off();
  // @ts-expect-error: no such command
  await invoke("OrbitNoSuchCommand");
  // @ts-expect-error: value must be a number
  await invoke("OrbitMainBrowserSetAlpha", {value: "max"});
  const error: typeof LumioError = LumioError;
  return text + String(error);
}
TS
cat >tsconfig.json <<'JSON'
{"compilerOptions": {"target": "ES2020", "module": "ESNext", "moduleResolution": "bundler",
 "lib": ["ES2020", "DOM"], "strict": true, "noEmit": true, "types": []},
 "files": ["use.ts"]}
JSON
"$here/../typecheck/run.sh" "$work/../typecheck" >/dev/null
node "$work/../typecheck/node_modules/typescript/bin/tsc" -p tsconfig.json
echo "lumio-web: tsc found no errors through the package's exports"
