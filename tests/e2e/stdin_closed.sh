#!/usr/bin/env bash
# Standard input that ends before any answer: both questions count as "not y",
# the program neither hangs nor spins at the prompt, opens its 1024 x 768
# window and still ends cleanly on Esc. Tried with an empty pipe and with
# standard input closed altogether.
set -u
kelvarro=$1 build=$2
source "$(dirname "$0")/common.bash"
cd "$build" || exit 1
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

for how in "empty pipe" "closed"; do
  if [ "$how" = "closed" ]; then
    "$kelvarro" >"$out" 2>"$err" <&- &
  else
    : | "$kelvarro" >"$out" 2>"$err" &
  fi
  E2E_PID=$!
  if ! window=$(e2e_wait_window Kelvarro 120); then
    echo "FAIL ($how): no window"; e2e_dump "$out" "$err"; kill -9 "$E2E_PID" 2>/dev/null; exit 1
  fi
  size=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
  e2e_wait_started "$out" 120 || { echo "FAIL ($how): render loop never started"; e2e_dump "$out" "$err"; exit 1; }
  sleep 1
  e2e_hold_escape "$window" "$E2E_PID" 15
  e2e_wait_exit "$E2E_PID" 10 || { echo "($how)"; e2e_dump "$out" "$err"; exit 1; }
  fail=0
  [ "$E2E_STATUS" -eq 0 ] || { echo "FAIL ($how): exit status $E2E_STATUS"; fail=1; }
  [ "$size" = "1024x768" ] || { echo "FAIL ($how): window $size, expected 1024x768"; fail=1; }
  e2e_expect "$out" "Do you want to run in fullscreen mode [y/n]? " || fail=1
  e2e_expect "$out" "[Engine] Starting simulation." || fail=1
  [ "$fail" -eq 0 ] || { echo "($how)"; e2e_dump "$out" "$err"; exit 1; }
  echo "ok ($how): window $size, exit status 0"
done
