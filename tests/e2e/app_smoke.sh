#!/usr/bin/env bash
# Starts the real application on the test run's X server, checks its window
# (title and content size), starts a second independent instance, and closes
# both through the window's close request. Each must exit by itself with 0.
set -euo pipefail
APP="$1"
HERE="$(cd "$(dirname "$0")" && pwd)"
WORK="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT
export HOME="$WORK"

start_instance() {
  "$APP" >"$WORK/out$1.log" 2>&1 &
  pids+=($!)
}

# Only windows that have settled at the content size count: while the content
# is built (the audio device opens then) the window's first, default-sized
# peer can still be mapped for a moment.
windows_named() {
  for w in $(xdotool search --onlyvisible --name '^Quorvel II$' 2>/dev/null || true); do
    [ "$(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/.*Geometry: //p')" = "1040x540" ] && echo "$w"
  done
  return 0
}

wait_windows() {
  for _ in $(seq 1 150); do
    [ "$(windows_named | wc -l)" -ge "$1" ] && return 0
    sleep 0.1
  done
  echo "expected $1 window(s) titled 'Quorvel II' of 1040x540"
  for w in $(xdotool search --onlyvisible --name '^Quorvel II$' 2>/dev/null); do xdotool getwindowgeometry "$w"; done
  return 1
}

python3 "$HERE/close_window.py" --intern --hold &
pids+=($!)
sleep 0.5
start_instance 1
wait_windows 1
win=$(windows_named | head -n 1)
geometry=$(xdotool getwindowgeometry "$win" | sed -n 's/.*Geometry: //p')
echo "window $win geometry $geometry"
[ "$geometry" = "1040x540" ] || { echo "window content is $geometry, expected 1040x540"; exit 1; }

start_instance 2
wait_windows 2

for w in $(windows_named); do python3 "$HERE/close_window.py" "$w"; done

for p in "${pids[@]:1}"; do
  for _ in $(seq 1 100); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$p" 2>/dev/null; then echo "instance $p did not quit"; exit 1; fi
  wait "$p" && rc=0 || rc=$?
  [ "$rc" -eq 0 ] || { echo "instance $p exited with $rc"; cat "$WORK"/out*.log; exit 1; }
done
echo "1 passed, 0 failed"
