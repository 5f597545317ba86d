#!/usr/bin/env bash
# Fuzzes the file readers with libFuzzer under AddressSanitizer and UBSan:
#   ./fuzz.sh [SECONDS [TARGET...]]    (default 60 s each; targets: pattern model bitmap session exercise joystick)
# Seeds come from the generated data/ and tests/fuzz/seeds/; what the runs
# add to the corpus stays in build/fuzz/corpus/TARGET. A crash, leak, hang
# over 1 s or sanitizer report stops the run and leaves its input in
# build/fuzz/ (crash-*, leak-*, timeout-*); keep it in tests/fuzz/seeds/ once fixed.
set -euo pipefail
cd "$(dirname "$0")"
root=$PWD
source scripts/setup.sh
fuzz_packages=(clang libfuzzer-14-dev)
fuzz_missing=()
for p in "${fuzz_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || fuzz_missing+=("$p")
done
if [ ${#fuzz_missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then sudo_cmd=(); else sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${fuzz_missing[@]}" >/dev/null
fi

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(pattern model bitmap session exercise joystick)

out=$root/build/fuzz
cmake -S tests/fuzz -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=None >/dev/null
cmake --build "$out" -j 2 --target "${targets[@]/#/fuzz_}"
# The generated data/ seeds the model, bitmap and exercise readers.
if [ ! -f build/rel/data/.generated ]; then
  cmake -S . -B build/rel -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build/rel --target data -j 2
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for t in "${targets[@]}"; do
  corpus=$out/corpus/$t
  mkdir -p "$corpus"
  seeds=("$root"/tests/fuzz/seeds/"$t"-*)
  # The kept seeds, the inputs of past findings among them, once each first.
  (cd "$out" && ./fuzz_$t -timeout=1 "${seeds[@]}" >/dev/null 2>&1) ||
    { echo "[fuzz] $t fails on a kept seed"; (cd "$out" && ./fuzz_$t -timeout=1 "${seeds[@]}"); exit 1; }
  cp "${seeds[@]}" "$corpus/"
  case $t in
    # The library first, so that a cut-off seed still holds it.
    model) for f in scene koparka; do
             cat build/rel/data/$f.mtl <(printf '%%%%\n') build/rel/data/$f.obj >"$corpus/seed-$f"
           done; max=16384 ;;
    bitmap) cp build/rel/data/hm02.bmp build/rel/data/koparka.bmp "$corpus/"; max=4096 ;;
    exercise) cp build/rel/data/exercises/*.json "$corpus/"; max=4096 ;;
    session) max=16384 ;;
    *) max=1024 ;;
  esac
  echo "[fuzz] $t for $seconds s"
  (cd "$out" && ./fuzz_$t -max_total_time="$seconds" -timeout=1 -max_len=$max -rss_limit_mb=2048 \
     -print_final_stats=1 "$corpus")
done
