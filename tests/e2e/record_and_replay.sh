#!/usr/bin/env bash
# A live session driven by held keys is recorded as it goes and traced with
# --trace; replayed with no display its trace is the same byte for byte,
# and watched in the window the caption says "replay".
set -u
kelvarro=$1 build=$2
source "$(dirname "$0")/common.bash"
here=$(mktemp -d) out=$(mktemp) err=$(mktemp)
trap 'rm -rf "$here" "$out" "$err"' EXIT
cd "$here" || exit 1
export ASAN_OPTIONS=detect_leaks=0  # leaks inside the GL driver at exit are not ours

"$kelvarro" --lowres --windowed --no-joystick --trace live.csv >"$out" 2>"$err" </dev/null &
E2E_PID=$!
window=$(e2e_wait_window Kelvarro 120) || { echo "FAIL: no window"; e2e_dump "$out" "$err"; exit 1; }
e2e_wait_started "$out" 120 || { echo "FAIL: render loop never started"; e2e_dump "$out" "$err"; exit 1; }
xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window" 2>/dev/null
hold() { xdotool keydown "$@"; sleep 0.8; xdotool keyup "$@"; }
hold KP_5 KP_6; hold k; hold a; hold w; hold l
e2e_hold_escape "$window" "$E2E_PID" 15
e2e_wait_exit "$E2E_PID" 20 || { e2e_dump "$out" "$err"; exit 1; }

fail=0
recording=$(ls sessions/*.kvr 2>/dev/null | head -n 1)
[ -n "$recording" ] || { echo "FAIL: no recording in sessions/"; e2e_dump "$out" "$err"; exit 1; }
tail -n 1 "$recording" | grep -qE '^[0-9]+ end$' || { echo "FAIL: no closing line"; fail=1; }
grep -qE '^[0-9]+ keydown ' "$recording" || { echo "FAIL: no key recorded"; fail=1; }
(cd "$build" && timeout 300 ./kelvarro-scenario --replay "$here/$recording" --csv "$here/replay.csv" >"$out" 2>"$err") ||
  { echo "FAIL: replay"; e2e_dump "$out" "$err"; exit 1; }
cmp -s live.csv replay.csv || { echo "FAIL: the replay's trace differs from the live one"; fail=1; }
[ "$(wc -l <live.csv)" -gt 100 ] || { echo "FAIL: a short trace"; fail=1; }

# Watched in the window: the caption names the replay.
"$kelvarro" --lowres --windowed --no-record --replay "$recording" >"$out" 2>"$err" </dev/null &
E2E_PID=$!
window=$(e2e_wait_window Kelvarro 120) || { echo "FAIL: no replay window"; e2e_dump "$out" "$err"; exit 1; }
e2e_wait_started "$out" 120 || { echo "FAIL: replay never started"; e2e_dump "$out" "$err"; exit 1; }
sleep 1.5
caption=$(xdotool getwindowname "$window" 2>/dev/null || true)
grep -q "replay step [0-9]" <<<"$caption" || { echo "FAIL: caption '$caption'"; fail=1; }
e2e_hold_escape "$window" "$E2E_PID" 15
e2e_wait_exit "$E2E_PID" 20 || { e2e_dump "$out" "$err"; exit 1; }
[ "$(ls sessions | wc -l)" -eq 1 ] || { echo "FAIL: --no-record recorded"; fail=1; }
[ "$fail" -eq 0 ] && echo "ok: $(wc -l <live.csv) rows replayed byte for byte; caption '$caption'"
exit "$fail"
