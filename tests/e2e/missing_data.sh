#!/usr/bin/env bash
# Started from a folder without data/, the program stops while building the
# world with a tagged message naming the missing file, and status 1.
set -u
kelvarro=$1 build=$2
work=$(mktemp -d) out=$(mktemp) err=$(mktemp)
trap 'rm -rf "$work" "$out" "$err"' EXIT
cd "$work" || exit 1

printf 'n\nn\n' | timeout 120 "$kelvarro" >"$out" 2>"$err"
status=$?
fail=0
[ "$status" -eq 1 ] || { echo "FAIL: exit status $status, expected 1"; fail=1; }
tagged=$(grep '^\[' "$err")
case "$tagged" in
  "[ModelLoader]"*scene.obj*) ;;
  *) echo "FAIL: error lines: $tagged"; fail=1 ;;
esac
[ "$(grep -c '^\[' "$err")" -eq 1 ] || { echo "FAIL: more than one tagged line on stderr"; fail=1; }
grep -q 'ERROR: \|runtime error' "$err" && { echo "FAIL: sanitizer report"; fail=1; }
if [ "$fail" -ne 0 ]; then echo "----- stdout"; cat "$out"; echo "----- stderr"; cat "$err"; exit 1; fi
echo "ok: $tagged"
