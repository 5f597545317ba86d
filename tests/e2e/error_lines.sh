#!/usr/bin/env bash
# Every entry point ends on a fault with one tagged line on standard error
# and status 1, never a signal or a hang: a recording too big to hold, an
# exercise named out of its folder, a trainee's name that leaves its folder,
# a report that is not there, a data/ folder that cannot be written.
set -u
kelvarro=$1 build=$2
work=$(mktemp -d) out=$(mktemp) err=$(mktemp)
trap 'rm -rf "$work" "$out" "$err"' EXIT
export ASAN_OPTIONS=detect_leaks=0  # leaks inside the GL driver at exit are not ours
fail=0

# the line's beginning | folder | command...
check() {
  local begins=$1 folder=$2; shift 2
  (cd "$folder" && timeout 120 "$@" >"$out" 2>"$err" </dev/null)
  local got=$?
  if [ "$got" -ne 1 ] || [ "$(wc -l <"$err")" -ne 1 ] || [ "$(head -c ${#begins} "$err")" != "$begins" ]; then
    echo "FAIL: $* -> status $got, expected 1 and one line beginning '$begins'"
    echo "----- stderr"; head -c 2000 "$err"; echo; fail=1
  fi
}

head -c $((100 << 20)) /dev/zero | tr '\0' 7 >"$work/big.kvr"
check "[SessionReader] $work/big.kvr: larger than 64 MiB" "$build" "$kelvarro" --replay "$work/big.kvr"
check "[SessionReader] $work/big.kvr: larger than 64 MiB" "$build" ./kelvarro-scenario --replay "$work/big.kvr"
check '[Exercise] "../x" is not an exercise name' "$build" \
  "$kelvarro" --exercise ../x --lowres --windowed --no-joystick --no-record
check '[Exercise] "a\x0ab" is not an exercise name' "$build" ./kelvarro-scenario --exercise "a
b" --operator idle
check "[Options] --trainee '../x': only letters" "$build" "$kelvarro" --trainee ../x --no-record
check "[Report] '..' is not a trainee's name" "$build" ./kelvarro-report --trainee ..
check "[Report] $work/none.json: cannot read it" "$build" ./kelvarro-report "$work/none.json"
check '[datagen] Couldn'"'"'t write "/proc/self/' "$work" "$build/tools/datagen/datagen" /proc/self
check "[overlayshot] Cannot write $work/none/x-above.bmp" "$work" "$build/tools/overlayshot/overlayshot" "$work/none/x"
rm -f "$work/big.kvr"
[ -z "$(ls -A "$work")" ] || { echo "FAIL: files written into $work: $(ls "$work")"; fail=1; }
[ "$fail" -eq 0 ] && echo "ok: every fault one tagged line and status 1"
exit "$fail"
