#!/usr/bin/env bash
# The generated scene renders with the program's meshes, sky, trees and terrain:
# the picture tool must finish and draw more than a blank frame.
set -euo pipefail
build="$2"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# Leaks inside the GL driver at exit are not the picture's concern.
cd "$build"
ASAN_OPTIONS=detect_leaks=0 ./tools/modelshot/modelshot scene.obj "$out/scene.bmp" \
    2 5 14 -7 1 -2 world >/dev/null
colours=$(convert "$out/scene.bmp" -format %k info:)
echo "scene picture: $colours colours"
[ "$colours" -gt 2000 ]
