#!/usr/bin/env bash
# The tools refuse bad arguments with a usage line and status 1, and every
# failure ends with status 1 and a message naming the path; nothing is
# written where it was not asked for.
set -u
build=$2
work=$(mktemp -d) out=$(mktemp) err=$(mktemp)
trap 'rm -rf "$work" "$out" "$err"' EXIT
frametime=$build/tools/frametime/frametime
shot=$build/tools/excavatorshot/excavatorshot
model=$build/tools/modelshot/modelshot
digging=$build/tools/diggingforce/diggingforce
export ASAN_OPTIONS=detect_leaks=0  # leaks inside the GL driver at exit are not ours
fail=0

# status | text expected on stderr ("-": on stdout) | folder | command...
check() {
  local status=$1 text=$2 folder=$3; shift 3
  (cd "$folder" && timeout 120 "$@" >"$out" 2>"$err")
  local got=$? where=$err
  [ "$text" = "${text#-}" ] || { where=$out; text=${text#-}; }
  if [ "$got" -ne "$status" ] || ! grep -qF -- "$text" "$where"; then
    echo "FAIL: $* -> status $got, expected $status and '$text'"
    echo "----- stdout"; cat "$out"; echo "----- stderr"; cat "$err"; fail=1
  fi
}

check 1 "usage: frametime" "$build" "$frametime" abc
check 1 "usage: frametime" "$build" "$frametime" -5
check 1 "usage: frametime" "$build" "$frametime" 0
check 1 "usage: frametime" "$build" "$frametime" 3 a.bmp extra
check 0 "-usage: frametime" "$build" "$frametime" --help
check 1 "[frametime] Couldn't write $work/none/x.bmp" "$build" "$frametime" 1 "$work/none/x.bmp"
check 1 "usage: excavatorshot <out-folder>" "$work" "$shot"
check 1 "[excavatorshot] No folder $work/none" "$work" "$shot" "$work/none"
check 1 "usage: modelshot" "$build" "$model" scene.obj a.bmp 1 2 abc 0 0 0
check 1 "usage: modelshot" "$build" "$model" scene.obj a.bmp 1 2 3 0 0 0 bogus
check 1 "usage: modelshot" "$build" "$model" scene.obj a.bmp 1 2 3 1 2 3
check 1 "[modelshot] Bad number 'x' in the placement scene.obj@1,x" "$build" "$model" "scene.obj@1,x" a.bmp 1 2 3 0 0 0
check 1 "$work/none/x.bmp" "$build" "$model" scene.obj "$work/none/x.bmp" 2 5 14 -7 1 -2
check 1 "usage: diggingforce" "$build" "$digging" abc
check 1 "usage: diggingforce" "$build" "$digging" 35 36
check 1 "[diggingforce]" "$work" "$digging"
check 0 "-bucket digging force" "$build" "$digging" 35
check 1 "[Scenario] Unknown soil 'mud'" "$build" "$build/kelvarro-scenario" land --seconds 0.1 --soil mud
[ -z "$(ls -A "$work")" ] || { echo "FAIL: files written into $work: $(ls "$work")"; fail=1; }
[ "$fail" -eq 0 ] && echo "ok: every bad call refused with status 1"
exit "$fail"
