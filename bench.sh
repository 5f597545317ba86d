#!/usr/bin/env bash
# Installs what is missing, builds a Release build and prints the timings:
# a simulation step in four states, the terrain's construction and a frame
# from four views (each against its budget), the instructions a step takes
# (when valgrind is there) and the time from the answers to the first frame.
# Extra arguments go to the benchmark (e.g. --benchmark_filter=step).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --target kelvarro kelvarro-scenario kelvarro-bench data
cd build/release
export LP_NUM_THREADS=0  # the software renderer on this thread only, as timed
xvfb=(xvfb-run -a -s "-screen 0 1280x1024x24 -noreset")
echo "[bench] $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"

"${xvfb[@]}" ./kelvarro-bench "$@"

# Instructions per step of a fixed scenario: no timing noise, so a change
# can be judged by it alone.
scenario=dig seconds=12.5
# The runner lists its scenarios with the usage, exiting 1: read it apart
# from the test, or pipefail takes that status for a missing scenario.
scenarios=$(./kelvarro-scenario 2>&1 || true)
grep -q "^  $scenario " <<<"$scenarios" || scenario=drive
if command -v valgrind >/dev/null; then
  out=$(mktemp)
  "${xvfb[@]}" valgrind --tool=callgrind --callgrind-out-file="$out" --collect-atstart=no \
      --toggle-collect='Scene::simulate(double)' ./kelvarro-scenario "$scenario" --seconds "$seconds" \
      >/dev/null 2>&1
  total=$(sed -n 's/^totals: *\([0-9]*\).*/\1/p' "$out")
  steps=$(awk -v s="$seconds" 'BEGIN { printf "%d", s / 0.003 + 0.5 }')
  rm -f "$out"
  echo "[bench] callgrind: scenario $scenario, $seconds s, $steps steps: $((total / steps)) instructions per step"
else
  echo "[bench] callgrind: skipped, valgrind is not installed"
fi

# From the answers to the first frame: the program logs it.
"${xvfb[@]}" bash -c '
  log=$(mktemp)
  printf "n\nn\n" | ./kelvarro >"$log" 2>&1 &
  pid=$!
  for _ in $(seq 300); do
    grep -q "First frame" "$log" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  first=$(grep -m1 "First frame" "$log" || echo "no first frame within 30 s")
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -f "$log"
  echo "[bench] $first (target: within 2 s)"'
