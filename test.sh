#!/usr/bin/env bash
# Installs what is missing, builds everything under AddressSanitizer and
# UndefinedBehaviorSanitizer (the threading tests under ThreadSanitizer)
# and runs the whole suite under a virtual X server.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
jobs=$(nproc)

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
# No scan of thread-local storage: the leak checker's scan of the GL driver's
# dynamic thread-local blocks has been seen to crash it at exit, and our code
# keeps nothing there.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0:use_tls=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp:halt_on_error=1"
# Mesa's software renderer rasterises on threads of its own by default; the
# leak checker's stop-the-world tracer at exit has been seen to crash on them,
# and ThreadSanitizer cannot see how the driver orders them (tests/tsan.supp).
# Drawn on the calling thread, every GL call is checked against our threads.
export LP_NUM_THREADS=0
# The program's sound goes to SDL's silent driver: the tests hear nothing, and
# the machine's own sound system (or its missing card) cannot change what they see.
export SDL_AUDIODRIVER=dummy

xvfb=(xvfb-run -a -s "-screen 0 1280x1024x24 -noreset")

# Threading tests under ThreadSanitizer.
if ls tests/thread/*.cpp >/dev/null 2>&1; then
  cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1 -g" \
        -DKELVARRO_SANITIZE=thread >/dev/null
  cmake --build build/tsan --target kelvarro_thread_tests -j "$jobs"
  (cd build/tsan && "${xvfb[@]}" ctest -L thread --output-on-failure -j 1)
fi

# The Python package, in an optimised build: a plain interpreter cannot
# load a module built with the sanitizers' runtime.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --target kelvarro_python -j "$jobs"
(cd build/release && ctest -L python --output-on-failure)

# Everything, under ASan and UBSan; its summary closes the output.
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1 -g" \
      -DKELVARRO_SANITIZE=address,undefined >/dev/null
cmake --build build/test -j "$jobs"
cd build/test
# Each case runs once: a case that fails now and then is mended, not retried.
"${xvfb[@]}" ctest --output-on-failure -j 2 "$@"
