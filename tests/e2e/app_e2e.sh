#!/usr/bin/env bash
# Drives the real application as a user would, on the test run's X server
# (started with -noreset), a JACK dummy server of its own and a fresh home
# folder: open a music file from the command line, play, turn a knob in
# real-time mode, process, export a 24-bit WAV through the save dialog, save a
# preset, quit with the close button; then check the files from outside. A
# second run flips the render-engine switch and must write the settings file.
# Screenshots go to SHOT_DIR (second argument, default: a temp folder).
set -euo pipefail
APP="$1"
HERE="$(cd "$(dirname "$0")" && pwd)"
WORK="$(mktemp -d)"
SHOTS="${2:-$WORK/shots}"
mkdir -p "$SHOTS" "$WORK/home" "$WORK/out"
pids=()
jack_pid=""
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done
  [ -n "$jack_pid" ] && kill "$jack_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  for f in "$WORK"/app*.log; do [ -f "$f" ] && { echo "--- $f"; cat "$f"; }; done
  echo "screenshots in $SHOTS"
  exit 1
}

export HOME="$WORK/home"
export XDG_CONFIG_HOME="$HOME/.config"

# A JACK server of our own, so the app gets a device whatever else runs.
export JACK_DEFAULT_SERVER="quorvel_e2e_$$"
export JACK_NO_AUDIO_RESERVATION=1
jackd -n "$JACK_DEFAULT_SERVER" --no-realtime -d dummy -r 44100 -p 512 >"$WORK/jackd.log" 2>&1 &
jack_pid=$!
for _ in $(seq 1 100); do JACK_NO_START_SERVER=1 jack_lsp >/dev/null 2>&1 && break; sleep 0.1; done
JACK_NO_START_SERVER=1 jack_lsp >/dev/null 2>&1 || fail "JACK dummy server did not start"

python3 "$HERE/close_window.py" --intern --hold &
pids+=($!)
sleep 0.5

# Twelve seconds of music: a chord progression over bass and a kick, stereo.
MUSIC="$WORK/music.wav"
python3 - "$MUSIC" <<'EOF'
import math, random, struct, sys, wave
rate, seconds = 44100, 12
chords = [(220.0, 277.18, 329.63), (196.0, 246.94, 293.66), (174.61, 220.0, 261.63), (196.0, 246.94, 329.63)]
random.seed(7)
frames = bytearray()
for n in range(rate * seconds):
    t = n / rate
    beat = t % 0.5
    chord = chords[int(t / 3) % 4]
    pad = sum(math.sin(2 * math.pi * f * t) for f in chord) / 3
    bass = math.sin(2 * math.pi * chord[0] / 2 * t)
    kick = math.sin(2 * math.pi * 55 * beat) * math.exp(-beat * 18)
    hat = (random.random() * 2 - 1) * math.exp(-((t + 0.25) % 0.5) * 60)
    left = 0.25 * pad + 0.2 * bass + 0.35 * kick + 0.05 * hat
    right = 0.25 * pad * 0.9 + 0.2 * bass + 0.35 * kick + 0.07 * hat
    frames += struct.pack("<hh", int(left * 32767 * 0.8), int(right * 32767 * 0.8))
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(rate); w.writeframes(bytes(frames))
EOF

win=""
start_app() {
  "$APP" "$@" >"$WORK/app$run.log" 2>&1 &
  app_pid=$!
  pids+=($app_pid)
  win=""
  for _ in $(seq 1 150); do
    for w in $(xdotool search --onlyvisible --name '^Quorvel II$' 2>/dev/null || true); do
      [ "$(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/.*Geometry: //p')" = "1040x540" ] && win=$w
    done
    [ -n "$win" ] && break
    sleep 0.1
  done
  [ -n "$win" ] || fail "no 1040x540 window titled 'Quorvel II'"
  sleep 1
}

shot() { import -window "$win" "$SHOTS/$1.png"; }
# "R G B" of one pixel of the main window, in window coordinates.
pixel() {
  import -window "$win" -crop "1x1+$1+$2" +repage -depth 8 txt:- 2>/dev/null |
    sed -n '2s/.*(\([0-9.]*\),\([0-9.]*\),\([0-9.]*\).*/\1 \2 \3/p' | awk '{printf "%d %d %d\n", $1, $2, $3}'
}
# Mean brightness (0..1) of a window region WxH+X+Y.
brightness() { import -window "$win" -crop "$1" +repage -colorspace Gray -format '%[fx:mean]' info: 2>/dev/null; }
click() { xdotool mousemove --window "$win" "$1" "$2" click 1; sleep "${3:-0.5}"; }
# Keys go to the scene: a click on an empty part of its header gives it the
# keyboard focus, as it would for a user after a dialog closed.
key() {
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  xdotool mousemove --window "$win" 590 50 click 1
  sleep 0.2
  xdotool key --window "$win" "$1"
  sleep 0.5
}
wait_for() { # seconds, command...
  local limit=$(($1 * 10)); shift
  for _ in $(seq 1 "$limit"); do "$@" && return 0; sleep 0.1; done
  return 1
}
# The newest visible window with that exact title.
window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n 1; }
answer_box() { # title, key
  local box=""
  wait_for 10 bash -c "xdotool search --onlyvisible --name '^$1\$' >/dev/null 2>&1" || fail "no window '$1'"
  box=$(window_named "$1")
  xdotool windowfocus --sync "$box" 2>/dev/null || true
  sleep 0.3
  xdotool key --window "$box" "$2" 2>/dev/null || true # the box closes on the key
  sleep 0.5
}

#------------------------------------------------------------------------------
run=1
start_app "$MUSIC"
shot 01-started

# The waveform is drawn over the drop hint's dark panel.
source_drawn() { awk -v b="$(brightness 600x100+20+80)" 'BEGIN { exit !(b > 0.12) }'; }
wait_for 30 source_drawn || { shot 01-no-waveform; fail "the source waveform was not drawn (brightness $(brightness 600x100+20+80))"; }
shot 02-waveform

click 30 27 1.5 # PLAY
shot 03-playing

click 683 28 1 # to real-time mode
# Turn the LOUDNESS knob up.
xdotool mousemove --window "$win" 603 397 mousedown 1
for dy in 5 10 15 20 25 30 35 40; do xdotool mousemove --window "$win" 603 $((397 - dy)); sleep 0.03; done
xdotool mouseup 1
sleep 0.5
shot 04-realtime-knob
click 683 28 1 # back to process mode
shot 05-process-mode

save_before=$(pixel 790 20)
preset_before=$(pixel 200 20)
key p
answer_box "Process entire track!" Return
processed() { [ "$(pixel 790 20)" != "$save_before" ] && [ "$(pixel 200 20)" = "$preset_before" ]; }
wait_for 120 processed || { shot 06-no-result; fail "processing did not finish"; }
sleep 1
shot 06-processed

key s
shot 07-export-panel
click 455 142 # 24 bit
click 350 292 # WAV
EXPORT="$WORK/out/mastered.wav"
xdotool mousemove --window "$win" 350 345 click 1 # SAVE: opens the save dialog
sleep 2
chooser=""
for _ in $(seq 1 50); do
  for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
    [ "$w" = "$win" ] && continue
    [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "Quorvel II" ] && continue
    chooser=$w
  done
  [ -n "$chooser" ] && break
  sleep 0.1
done
[ -n "$chooser" ] || fail "no save dialog"
import -window "$chooser" "$SHOTS/08-save-dialog.png"
# The dialog's "file:" field, then its Save button (the dialog is 600 x 500).
xdotool mousemove --window "$chooser" 300 437 click 1
sleep 0.3
xdotool key --window "$chooser" ctrl+a
xdotool type --window "$chooser" --delay 20 "$EXPORT"
sleep 0.3
import -window "$chooser" "$SHOTS/08-save-dialog-typed.png"
xdotool mousemove --window "$chooser" 545 476 click 1
wait_for 30 test -s "$EXPORT" || fail "no exported file"
sleep 1
shot 09-exported

click 421 28 1 # SAVE preset
answer=$(window_named "Save Preset Name")
[ -n "$answer" ] || fail "no 'Save Preset Name' dialog"
import -window "$answer" "$SHOTS/10-preset-dialog.png"
# The dialog opens its name field from a timer, and on a busy machine the
# first keys can arrive before the field has the focus: click into the field
# (a single click edits it), type, press Return, and try again if nothing was
# saved while the dialog is still open.
saved=""
for attempt in 1 2 3; do
  xdotool windowfocus --sync "$answer" 2>/dev/null || true
  xdotool mousemove --window "$answer" 150 45 click 1 2>/dev/null || true
  sleep 0.5
  xdotool key --window "$answer" ctrl+a 2>/dev/null || true
  xdotool type --window "$answer" --delay 30 "E2E Preset" 2>/dev/null || true
  # Return closes the dialog at once, so the key's release may find no window.
  xdotool key --window "$answer" Return 2>/dev/null || true
  if wait_for 8 bash -c "grep -rqs 'E2E Preset' \"\$HOME\""; then saved=1; break; fi
  xdotool getwindowname "$answer" >/dev/null 2>&1 || break
  echo "preset name not taken on attempt $attempt; trying again"
done
[ -n "$saved" ] || fail "the preset was not saved"
sleep 0.5
shot 11-preset-saved

python3 "$HERE/close_window.py" "$win"
wait_for 10 bash -c "! kill -0 $app_pid 2>/dev/null" || fail "the app did not quit"
wait "$app_pid" && rc=0 || rc=$?
[ "$rc" -eq 0 ] || fail "the app exited with $rc"

DATA=$(dirname "$(find "$HOME" -name presets.2.xml | head -n 1)")
[ -f "$DATA/presets.2.xml" ] || fail "no presets file under $HOME"
[ ! -e "$DATA/settings.xml" ] || fail "a settings file was written although nothing changed"

python3 - "$MUSIC" "$EXPORT" "$DATA/presets.2.xml" <<'EOF' || fail "checks of the written files"
import math, re, struct, sys, wave
source, export, presets = sys.argv[1:]
with wave.open(source) as w:
    source_frames = w.getnframes()
with wave.open(export) as w:
    assert w.getsampwidth() == 3, f"sample width {w.getsampwidth()} bytes, expected 3 (24 bit)"
    assert w.getnchannels() == 2
    assert w.getframerate() == 44100, w.getframerate()
    frames = w.getnframes()
    data = w.readframes(frames)
assert frames == source_frames, f"{frames} frames, source has {source_frames}"
peak = 0
for i in range(0, len(data), 3):
    v = int.from_bytes(data[i:i + 3], "little", signed=True)
    peak = max(peak, abs(v))
peak_db = 20 * math.log10(peak / 8388608)
text = open(presets).read()
blocks = re.findall(r"<preset>(.*?)</preset>", text, re.S)
names = [re.search(r"<name>(.*?)</name>", b, re.S).group(1) for b in blocks]
ceiling = float(re.search(r"<ceiling>(.*?)</ceiling>", blocks[0], re.S).group(1))
print(f"export: {frames} frames, peak {peak_db:.3f} dBFS, first preset's ceiling {ceiling} dB")
assert abs(peak_db - ceiling) < 0.3, f"peak {peak_db:.3f} dB is not at the ceiling {ceiling} dB"
protected = [b for b in blocks if re.search(r"<protected>\s*(true|1)\s*</protected>", b)]
print(f"presets: {names}")
assert len(protected) >= 1 and len(protected) == len(blocks) - 1, "factory presets plus one"
assert names[-1] == "E2E Preset", names[-1]
EOF

#------------------------------------------------------------------------------
run=2
start_app
click 946 28 1 # options
shot 12-options
click 93 414 1 # render-engine switch to software
shot 13-software
python3 "$HERE/close_window.py" "$win"
wait_for 10 bash -c "! kill -0 $app_pid 2>/dev/null" || fail "the second run did not quit"
wait "$app_pid" && rc=0 || rc=$?
[ "$rc" -eq 0 ] || fail "the second run exited with $rc"
[ -f "$DATA/settings.xml" ] || fail "no settings file after flipping the render engine"
grep -q "<fftRenderEngine>software</fftRenderEngine>" "$DATA/settings.xml" || fail "settings file: $(cat "$DATA/settings.xml")"
grep -q "Loading app settings" "$WORK/app1.log" || fail "no start-up line on standard output"

echo "end-to-end run passed; screenshots in $SHOTS"
