#!/usr/bin/env bash
# A heightmap cut short (and one that is not square) stops the program with
# the terrain's tagged message naming data/hm02.bmp, and status 1.
set -u
kelvarro=$1 build=$2
work=$(mktemp -d) out=$(mktemp) err=$(mktemp)
trap 'rm -rf "$work" "$out" "$err"' EXIT
[ -f "$build/data/hm02.bmp" ] || { echo "FAIL: no generated data in $build/data"; exit 1; }
cp -r "$build/data" "$work/data"
cd "$work" || exit 1

run() {  # expected message prefix
  printf 'n\nn\n' | timeout 120 "$kelvarro" >"$out" 2>"$err"
  local status=$? tagged
  tagged=$(grep '^\[' "$err")
  # One tagged line and no sanitizer report (leak summaries of the libraries aside).
  if [ "$status" -ne 1 ] || [ "${tagged#"$1"}" = "$tagged" ] || [ "$(grep -c '^\[' "$err")" -ne 1 ] ||
     grep -q 'ERROR: \|runtime error' "$err"; then
    echo "FAIL: status $status, expected 1 and '$1...'"
    echo "----- stdout"; cat "$out"; echo "----- stderr"; cat "$err"
    return 1
  fi
  echo "ok: $tagged"
}

size=$(stat -c %s data/hm02.bmp)
truncate -s $((size / 2)) data/hm02.bmp
run "[Terrain] Heightmap file error. data/hm02.bmp: not a readable BMP" || exit 1

# 12 x 8 pixels, 24 bits: a valid file of the wrong shape.
python3 - <<'PY'
import struct
w, h = 12, 8
row = (w * 3 + 3) & ~3
pixels = bytes(row * h)
header = struct.pack('<2sIHHI', b'BM', 54 + len(pixels), 0, 0, 54)
info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open('data/hm02.bmp', 'wb').write(header + info + pixels)
PY
run "[Terrain] Heightmap size error. data/hm02.bmp is 12 x 8" || exit 1
