#!/usr/bin/env bash
# A start-up error (here: no display to open) ends the program with its
# tagged message on standard error, nothing else there, and status 1.
set -u
kelvarro=$1 build=$2
source "$(dirname "$0")/common.bash"
cd "$build" || exit 1
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

printf 'y\nn\n' | SDL_VIDEODRIVER=x11 DISPLAY=:4711 "$kelvarro" >"$out" 2>"$err" &
E2E_PID=$!
e2e_wait_exit "$E2E_PID" 60 || { e2e_dump "$out" "$err"; exit 1; }
fail=0
[ "$E2E_STATUS" -eq 1 ] || { echo "FAIL: exit status $E2E_STATUS, expected 1"; fail=1; }
tagged=$(grep '^\[' "$err")
case "$tagged" in "[SimulationWindow] Couldn't initialize SDL: "?*.) ;; *) false ;; esac || { echo "FAIL: error lines: $tagged"; fail=1; }
e2e_expect "$out" "Loading..." || fail=1
if grep -q '^\[Engine\]' "$out"; then echo "FAIL: engine started"; fail=1; fi
[ "$fail" -eq 0 ] || { e2e_dump "$out" "$err"; exit 1; }
echo "ok: status 1 with the SDL message"
