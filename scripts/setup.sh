#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need,
# but only those that are missing. Sourced by run.sh and test.sh.
kelvarro_packages=(
  build-essential cmake ninja-build ccache pkg-config
  libsdl1.2-dev libsdl-ttf2.0-dev libsdl-mixer1.2-dev fonts-dejavu-core libgl-dev libglu1-mesa-dev libgl1-mesa-dri
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth xdotool imagemagick x11-utils
  nlohmann-json3-dev
  python3-pybind11 pybind11-dev python3-numpy python3-pytest
  python3-dask python3-distributed
)
kelvarro_missing=()
for p in "${kelvarro_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || kelvarro_missing+=("$p")
done
if [ ${#kelvarro_missing[@]} -gt 0 ]; then
  echo "[setup] installing: ${kelvarro_missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then sudo_cmd=(); else sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${kelvarro_missing[@]}" >/dev/null
fi
