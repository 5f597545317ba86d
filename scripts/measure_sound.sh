#!/usr/bin/env bash
# The machine's sound measured as it plays: the program runs under Xvfb with
# SDL's file audio driver, keys held as an operator would, and sox measures
# stretches of what it wrote.
#   scripts/measure_sound.sh [BUILD_DIR] [DISPLAY_NUMBER]
# Stretches (each a few seconds, marked by the file's length when it begins
# and ends): idle; the boom raised against its end (k held: its relief);
# driving (both tracks forward); paused; paused and muted. Checks: relief at
# least 6 dB above idle, paused and muted below -60 dBFS, no sample at full
# scale. Status 1 when a check fails.
set -euo pipefail
build=$(cd "${1:-build/release}" && pwd)
display=${2:-74}
here=$(cd "$(dirname "$0")/.." && pwd)

for p in sox xvfb xdotool; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    if [ "$(id -u)" -eq 0 ]; then sudo_cmd=(); else sudo_cmd=(sudo); fi
    "${sudo_cmd[@]}" apt-get install -y -qq "$p" >/dev/null
  fi
done
[ -x "$build/kelvarro" ] && [ -d "$build/data/sounds" ] || { echo "[measure_sound] Build kelvarro and data first in $build"; exit 1; }

work=$(mktemp -d)
raw=$work/sound.raw
Xvfb ":$display" -screen 0 1280x1024x24 -noreset >/dev/null 2>&1 &
xvfb=$!
program=""
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
sleep 2
export DISPLAY=":$display" LP_NUM_THREADS=0
cd "$build"
# The disk driver writes a block and then sleeps this long: one block's time.
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$raw SDL_DISKAUDIODELAY=46 \
  ./kelvarro --lowres --windowed --no-joystick --no-record --trace "$work/trace.csv" >"$work/log" 2>&1 &
program=$!
source "$here/tests/e2e/common.bash"
E2E_PID=$program
window=$(e2e_wait_window Kelvarro 60) || { cat "$work/log"; exit 1; }
e2e_wait_started "$work/log" 60 || { cat "$work/log"; exit 1; }
xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"

mark() { stat -c %s "$raw"; }         # bytes written so far
press() { xdotool keydown "$1"; sleep 0.1; xdotool keyup "$1"; }
declare -A from to
stretch() {  # name, seconds: the stretch from now
  from[$1]=$(mark); sleep "$2"; to[$1]=$(mark)
}

sleep 2
stretch idle 3
xdotool keydown k
sleep 8                               # the boom rises to its end
stretch relief 3
xdotool keyup k
xdotool keydown KP_5 KP_6
sleep 2
stretch driving 3
xdotool keyup KP_5 KP_6
sleep 1
press p
sleep 1
stretch paused 2
press m
sleep 1
stretch paused_muted 2
e2e_hold_escape "$window" "$program" 20
wait "$program" || true
program=""

level() {  # RMS and peak (dBFS) of bytes [from, to)
  local first=$(( $2 / 2 )) count=$(( ($3 - $2) / 2 ))
  sox -t raw -r 22050 -e signed -b 16 -c 1 "$raw" -n trim "${first}s" "${count}s" stats 2>&1 |
    awk '/^RMS lev dB/ {r=$4} /^Pk lev dB/ {p=$4} END {print r, p}'
}
status=0
declare -A rms
printf '%-14s %10s %10s\n' stretch "RMS dBFS" "peak dBFS"
for s in idle relief driving paused paused_muted; do
  read -r r p < <(level "$s" "${from[$s]}" "${to[$s]}")
  rms[$s]=$r
  printf '%-14s %10s %10s\n' "$s" "$r" "$p"
done
# Full scale is 32767 or -32768: a peak at 0.00 dBFS.
read -r _ peak < <(level all 0 "$(stat -c %s "$raw")")
samples=$(( $(stat -c %s "$raw") / 2 ))
full=$(od -An -v -t d2 -w2 "$raw" | awk '$1 >= 32767 || $1 <= -32768 {n++} END {print n + 0}')
boom=$(awk -F, 'NR == 1 {for (i = 1; i <= NF; i++) if ($i == "monoblock") c = i; next} {m = ($c > m ? $c : m)} END {printf "%.1f", m * 57.29578}' "$work/trace.csv")
echo "whole run: $samples samples, peak $peak dBFS, $full at full scale; boom raised to $boom deg"
above=$(awk -v a="${rms[relief]}" -v b="${rms[idle]}" 'BEGIN {printf "%.1f", a - b}')
echo "relief over idle: $above dB"
awk -v d="$above" 'BEGIN {exit !(d >= 6.0)}' || { echo "FAIL: relief less than 6 dB over idle"; status=1; }
quiet=${rms[paused_muted]}
[ "$quiet" = "-inf" ] || awk -v q="$quiet" 'BEGIN {exit !(q < -60.0)}' ||
  { echo "FAIL: paused and muted at $quiet dBFS"; status=1; }
[ "$full" -eq 0 ] || { echo "FAIL: $full samples at full scale"; status=1; }
grep -F "[Sound]" "$work/log" || true
exit $status
