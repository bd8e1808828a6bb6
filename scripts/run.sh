#!/usr/bin/env bash
# Starts lumio-app. With a display it simply runs there. Without one it runs in a
# private virtual display, waits for the main window, saves a screenshot of it,
# prints the screenshot's path and then quits the program.
set -euo pipefail
app=${1:?usage: run.sh path/to/lumio-app}
app=$(readlink -f "$app")

# Chromium refuses to run as root with its sandbox on.
if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$app"
fi

work=$(mktemp -d /tmp/lumio-run.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

dbus-daemon --session --nofork --address="unix:path=$work/bus" >/dev/null 2>&1 &
pids+=($!)
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)

"$app" >"$work/lumio.log" 2>&1 &
app_pid=$!
pids+=("$app_pid")

window=""
for _ in $(seq 300); do
  window=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  kill -0 "$app_pid" 2>/dev/null || { echo "lumio-app ended early; see $work/lumio.log" >&2; exit 1; }
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "The main window did not appear within 30 s; see $work/lumio.log" >&2
  exit 1
fi
sleep 2  # let the page paint
shot="$work/lumio-main-window.png"
import -window "$window" "$shot"

kill -TERM "$app_pid"
status=0
wait "$app_pid" || status=$?
echo "Screenshot of the main window: $shot"
echo "lumio-app quit with status $status"
