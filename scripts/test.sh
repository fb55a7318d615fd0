#!/usr/bin/env bash
# Builds and runs the whole test suite. Starts what the tests need and stops it
# again: a JACK server on the dummy driver (the audio device the engine tests
# open through JUCE) and an X server (xvfb-run) for the GUI tests.
# Extra arguments go to ctest, e.g. scripts/test.sh -R Loudness
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$(pwd)"
BUILD_DIR="${BUILD_DIR:-build}"

scripts/build.sh -DQUORVEL_WERROR=ON

JACK_PID=""
cleanup() {
  if [ -n "$JACK_PID" ] && kill -0 "$JACK_PID" 2>/dev/null; then
    kill "$JACK_PID" 2>/dev/null || true
    wait "$JACK_PID" 2>/dev/null || true
  fi
}
trap cleanup EXIT

# No D-Bus device reservation on a headless machine; the dummy driver needs no
# sound card and runs as root.
export JACK_NO_AUDIO_RESERVATION=1
export JACK_NO_START_SERVER=1
# Start our own server unless a default one already answers (a named server
# of someone else's does not count: JUCE connects to the default one).
if ! jack_lsp >/dev/null 2>&1; then
  jackd --no-realtime -d dummy -r 44100 -p 512 >"$BUILD_DIR/jackd.log" 2>&1 &
  JACK_PID=$!
  for _ in $(seq 1 150); do
    jack_lsp >/dev/null 2>&1 && break
    sleep 0.1
  done
fi

cd "$BUILD_DIR"
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$ROOT/scripts/x-session.sh" ctest --output-on-failure --timeout 600 "$@"
