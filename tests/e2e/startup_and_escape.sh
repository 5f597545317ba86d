#!/usr/bin/env bash
# The real program under the test's X server: answers "n" and "n", shows
# the help text, both questions and the start-up log, opens its window and
# ends with status 0 soon after Esc.
set -u
kelvarro=$1 build=$2
source "$(dirname "$0")/common.bash"
# Started from another folder: data/ is found beside the program.
here=$(mktemp -d) out=$(mktemp) err=$(mktemp)
trap 'rm -rf "$here" "$out" "$err"' EXIT
cd "$here" || exit 1

printf 'n\nn\n' | "$kelvarro" >"$out" 2>"$err" &
E2E_PID=$!
if ! window=$(e2e_wait_window Kelvarro 120); then
  echo "FAIL: no window named Kelvarro"; e2e_dump "$out" "$err"; kill -9 "$E2E_PID" 2>/dev/null; exit 1
fi
# The window is up before the world is built; wait for the loop, then let a few frames run.
e2e_wait_started "$out" 120 || { echo "FAIL: render loop never started"; e2e_dump "$out" "$err"; exit 1; }
sleep 1
kill -0 "$E2E_PID" 2>/dev/null || { echo "FAIL: ended before Esc"; e2e_dump "$out" "$err"; exit 1; }
# The caption carries the work figures; nothing dug yet.
caption=$(xdotool getwindowname "$window" 2>/dev/null || true)
pressed=$(date +%s%N)
e2e_hold_escape "$window" "$E2E_PID" 15
e2e_wait_exit "$E2E_PID" 10 || { e2e_dump "$out" "$err"; exit 1; }
after_ms=$(( ($(date +%s%N) - pressed) / 1000000 ))

fail=0
[ "$E2E_STATUS" -eq 0 ] || { echo "FAIL: exit status $E2E_STATUS, expected 0"; fail=1; }
for text in \
  "Operating keys:" \
  " - w, s - bending arm" \
  " - a, d - undercarriage" \
  " - i, k - monoblock" \
  " - j, l - ground plate" \
  " - 5, 2 (numpad) - left track" \
  " - 6, 3 (numpad) - right track" \
  " - p - pause (the view can still be turned)" \
  " - Esc - exit" \
  "[Kelvarro] No data/ in the working folder; reading $(cd "$(dirname "$kelvarro")" && pwd -P)/data/" \
  "Camera zoom/rotate - mouse move with right/left button pressed" \
  "Changing view mode - scroll wheel" \
  "Do you want to run in hight resulution (1280x1024) [y/n]? " \
  "Do you want to run in fullscreen mode [y/n]? " \
  "Loading..." \
  "[InputSystem] Creating input system." \
  "[SimulationWindow] Creating SDL window." \
  "[SimulationWindow] Setting view model." \
  "[SimulationWindow] Initializing OpenGl." \
  "[Engine] Starting simulation."; do
  e2e_expect "$out" "$text" || fail=1
done
[ "$caption" = "Kelvarro - bucket 0.00 m3 - moved 0.00 m3 - last cycle -" ] ||
  { echo "FAIL: caption '$caption'"; fail=1; }
grep -qE '^\[Engine\] First frame, seconds after the answers: [0-9.e-]+$' "$out" || { echo "FAIL: first frame line"; fail=1; }
grep -qE '^\[Engine\] Simulated [0-9.]+ s in [0-9.]+ s: real-time factor [0-9.]+\.$' "$out" ||
  { echo "FAIL: real-time factor line"; fail=1; }
# Two spaces before the count: the text ends in a space and the number gets its own.
grep -qE '^\[InputSystem\] joysticks:  [0-9]+$' "$out" || { echo "FAIL: joystick count line"; fail=1; }
# Start-up happens in this order.
order=$(grep -oE 'Loading\.\.\.|^\[InputSystem\] Creating|^\[SimulationWindow\] (Creating|Setting|Initializing)|^\[Engine\] Starting' "$out")
expected=$(printf '%s\n' "Loading..." "[InputSystem] Creating" "[SimulationWindow] Creating" "[SimulationWindow] Setting" \
  "[SimulationWindow] Initializing" "[Engine] Starting")
[ "$order" = "$expected" ] || { echo "FAIL: start-up order:"; echo "$order"; fail=1; }
# Nothing tagged on standard error: no start-up error, no unknown event.
if grep -q '^\[' "$err"; then echo "FAIL: error output"; fail=1; fi
[ "$fail" -eq 0 ] || { e2e_dump "$out" "$err"; exit 1; }
echo "ok: window $window, exit status 0, ${after_ms} ms after Esc"
