#!/usr/bin/env bash
# Installs what is missing, builds the simulator and its data/, and starts it.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
# The program and its data/ only: the tools and the test suite are built by ./test.sh.
cmake --build build/release --target kelvarro data
cd build/release
exec ./kelvarro "$@"
