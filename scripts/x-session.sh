#!/usr/bin/env bash
# Runs a command on a bare test X server (started by xvfb-run with -noreset)
# after creating the window-manager atoms JUCE expects to find.
set -euo pipefail
python3 "$(dirname "$0")/../tests/e2e/close_window.py" --intern
exec "$@"
