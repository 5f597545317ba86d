#!/usr/bin/env bash
# A trainee's live exercise, ended with e: the recording names the trainee,
# the report, its text and its page land in reports/NAME/ with the progress
# page beside them, and the recording replays.
set -u
kelvarro=$1 build=$2
source "$(dirname "$0")/common.bash"
here=$(mktemp -d) out=$(mktemp) err=$(mktemp)
trap 'rm -rf "$here" "$out" "$err"' EXIT
cd "$here" || exit 1
export ASAN_OPTIONS=detect_leaks=0  # leaks inside the GL driver at exit are not ours

"$kelvarro" --exercise precision --trainee "Ann Lee" --lowres --windowed --no-joystick >"$out" 2>"$err" </dev/null &
E2E_PID=$!
window=$(e2e_wait_window Kelvarro 120) || { echo "FAIL: no window"; e2e_dump "$out" "$err"; exit 1; }
e2e_wait_started "$out" 120 || { echo "FAIL: render loop never started"; e2e_dump "$out" "$err"; exit 1; }
xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window" 2>/dev/null
xdotool keydown e; sleep 0.8; xdotool keyup e
# The report is written on its own thread: Esc only once the progress page is there.
for _ in $(seq 100); do grep -qF "[Engine] Progress page" "$out" && break; sleep 0.2; done
e2e_hold_escape "$window" "$E2E_PID" 15
e2e_wait_exit "$E2E_PID" 20 || { e2e_dump "$out" "$err"; exit 1; }

fail=0
folder="reports/Ann Lee"
for kind in json txt html; do
  [ "$(ls "$folder"/*-precision.$kind 2>/dev/null | wc -l)" -eq 1 ] || { echo "FAIL: no .$kind in $folder"; fail=1; }
done
[ -s "$folder/index.html" ] || { echo "FAIL: no progress page"; fail=1; }
grep -q '"trainee": "Ann Lee"' "$folder"/*.json || { echo "FAIL: the report names no trainee"; fail=1; }
recording=$(ls sessions/*.kvr 2>/dev/null | head -n 1)
grep -qx 'trainee Ann Lee' "$recording" || { echo "FAIL: the recording names no trainee"; fail=1; }
(cd "$build" && timeout 300 ./kelvarro-scenario --replay "$here/$recording" >/dev/null 2>"$err") ||
  { echo "FAIL: replay"; e2e_dump "$out" "$err"; fail=1; }
[ "$fail" -eq 0 ] && echo "ok: the report, its page and the progress page in $folder; the recording replays"
exit "$fail"
