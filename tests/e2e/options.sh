#!/usr/bin/env bash
# The program's command line: --help lists every option and ends with status
# 0 before any question; an unknown option gives the usage on standard error
# and status 1.
set -u
kelvarro=$1
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
fail=0
export ASAN_OPTIONS=detect_leaks=0

timeout 30 "$kelvarro" --help </dev/null >"$out" 2>"$err"
status=$?
[ "$status" -eq 0 ] || { echo "FAIL: --help status $status"; fail=1; }
for option in --hires --lowres --fullscreen --windowed --no-joystick --help; do
  grep -qe "^  $option " "$out" || { echo "FAIL: --help does not list $option"; fail=1; }
done
grep -q "Do you want" "$out" && { echo "FAIL: --help asked a question"; fail=1; }

timeout 30 "$kelvarro" --hires --bogus </dev/null >"$out" 2>"$err"
status=$?
[ "$status" -eq 1 ] || { echo "FAIL: unknown option status $status"; fail=1; }
grep -qF "[Options] Unknown option '--bogus'." "$err" || { echo "FAIL: no message for --bogus"; fail=1; }
grep -qF "usage: kelvarro" "$err" || { echo "FAIL: no usage for --bogus"; fail=1; }
[ "$fail" -eq 0 ] && echo "options: ok"
[ "$fail" -eq 0 ]
