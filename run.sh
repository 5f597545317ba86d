#!/usr/bin/env bash
# Installs what is missing, builds the simulator and its data/, and starts it.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release
cd build/release
exec ./kelvarro
