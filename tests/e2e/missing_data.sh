#!/usr/bin/env bash
# Without data/ in the working folder or beside the program, the program says
# where it looked and ends with status 1 before asking anything; with an empty
# data/ it stops while building the world, naming the missing model file.
set -u
kelvarro=$1 build=$2
work=$(mktemp -d) out=$(mktemp) err=$(mktemp)
trap 'rm -rf "$work" "$out" "$err"' EXIT
mkdir "$work/bin" "$work/run"
cp "$kelvarro" "$work/bin/kelvarro"
cd "$work/run" || exit 1

run() {  # program, expected tagged line (a glob)
  printf 'n\nn\n' | timeout 120 "$1" >"$out" 2>"$err"
  local status=$? tagged
  tagged=$(grep '^\[' "$err")
  # shellcheck disable=SC2053
  if [ "$status" -ne 1 ] || [[ $tagged != $2 ]] || [ "$(grep -c '^\[' "$err")" -ne 1 ] ||
     grep -q 'ERROR: \|runtime error' "$err"; then
    echo "FAIL: status $status, expected 1 and $2"
    echo "----- stdout"; cat "$out"; echo "----- stderr"; cat "$err"
    return 1
  fi
  echo "ok: $tagged"
}

run "$work/bin/kelvarro" "\[Kelvarro\] No data/ folder in the working folder $work/run nor beside the program in $work/bin;*" || exit 1
grep -q 'Do you want' "$out" && { echo "FAIL: asked questions before the data check"; exit 1; }
mkdir data
run "$kelvarro" "\[ModelLoader\] data/scene.obj*not found" || exit 1
