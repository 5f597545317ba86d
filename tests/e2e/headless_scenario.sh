#!/usr/bin/env bash
# The world needs no display: the scenario runner builds and steps it with
# DISPLAY unset, through a landing; only a picture asks for a display, and
# says so with status 1.
set -u
build=$2
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
cd "$build" || exit 1
fail=0
env -u DISPLAY timeout 300 ./kelvarro-scenario land --seconds 3 >"$out" 2>"$err"
status=$?
line=$(grep '^summary ' "$out")
if [ "$status" -ne 0 ] || ! grep -q ' nan=0 ' <<<"$line" || ! grep -qE ' first_contact_step=[0-9]+ ' <<<"$line" ||
   ! grep -qE ' rtf=[0-9.]+$' <<<"$line" || grep -q ' first_contact_step=-1 ' <<<"$line"; then
  echo "FAIL: headless landing, status $status"; cat "$out" "$err"; fail=1
fi
env -u DISPLAY timeout 60 ./kelvarro-scenario land --seconds 1 --picture "$out.bmp" >"$out" 2>"$err"
status=$?
if [ "$status" -ne 1 ] || ! grep -qF "[Scenario] --picture needs a display" "$err" || [ -e "$out.bmp" ]; then
  echo "FAIL: a picture without a display: status $status"; cat "$out" "$err"; fail=1
fi
[ "$fail" -eq 0 ] && echo "ok: $line"
exit "$fail"
