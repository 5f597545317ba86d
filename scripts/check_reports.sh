#!/usr/bin/env bash
# Report pages and a trainee's progress page, made by the scenario runner and
# kelvarro-report, open in headless Chromium without a console message;
# with SHOT_DIR, screenshots of the trench's and the hopper's pages and of
# the progress page.
# Installs Debian's chromium when it is missing.
# Usage: scripts/check_reports.sh BUILD_DIR [SHOT_DIR]
set -u
build=$(cd "${1:?usage: scripts/check_reports.sh BUILD_DIR [SHOT_DIR]}" && pwd) || exit 1
shots=${2:+$(mkdir -p "$2" && cd "$2" && pwd)}
if ! command -v chromium >/dev/null; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  { "${sudo_cmd[@]}" apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends chromium >/dev/null; } ||
    { echo "[check_reports] Cannot install chromium."; exit 1; }
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trainee="Ann Lee"
fail=0

chrome() {
  timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$(mktemp -d "$work/profile.XXXXXX")" "$@"
}
url() { local p=$1; echo "file://${p// /%20}"; }
# Whether a page loads whole with no console message: "" when so, else what was said.
console() {
  chrome --enable-logging=stderr --v=0 --dump-dom "$(url "$1")" >"$work/dom" 2>"$work/log"
  grep -h 'CONSOLE' "$work/log"
  grep -q '</html>' "$work/dom" || echo "the page did not load"
}

# The check itself must see a console error where there is one.
printf '<!DOCTYPE html><html><body><script>console.error("probe")</script></body></html>\n' >"$work/probe.html"
[ -n "$(console "$work/probe.html")" ] || { echo "FAIL: a console error went unseen"; fail=1; }

cd "$build" || exit 1
# Attempts a second apart, so that the progress page orders them by their start.
for run in "trench idle 40" "trench cycles 60" "trench reference" "hopper cycles 60" "hopper reference" \
  "precision idle 10" "precision reference"; do
  set -- $run
  ./kelvarro-scenario --exercise "$1" --operator "$2" ${3:+--seconds "$3"} --report "$work/reports" \
    --trainee "$trainee" >/dev/null || { echo "FAIL: kelvarro-scenario $run"; fail=1; }
  sleep 1
done
folder="$work/reports/$trainee"
index=$(./kelvarro-report --trainee "$trainee" --reports "$work/reports") || { echo "FAIL: kelvarro-report"; exit 1; }
# An earlier report's page made again by the tool.
first=$(ls "$folder"/*.json | head -n 1)
rm "${first%.json}.html"
./kelvarro-report "$first" >/dev/null && [ -s "${first%.json}.html" ] || { echo "FAIL: kelvarro-report $first"; fail=1; }

pages=0
for page in "$folder"/*.html; do
  said=$(console "$page")
  [ -z "$said" ] || { echo "FAIL: $page: $said"; fail=1; }
  grep -q '<svg' "$work/dom" || { echo "FAIL: $page: no picture"; fail=1; }
  grep -qi '<script\|src="http\|href="http' "$page" && { echo "FAIL: $page: a script or an outside file"; fail=1; }
  pages=$((pages + 1))
done
[ "$index" = "$folder/index.html" ] || { echo "FAIL: the index is '$index'"; fail=1; }

if [ -n "$shots" ]; then
  trench=$(grep -l 'goal met' "$folder"/*-trench.json | head -n 1)
  chrome --window-size=900,3000 --hide-scrollbars --screenshot="$shots/report_trench.png" "$(url "${trench%.json}.html")" \
    >/dev/null 2>&1 || fail=1
  hopper=$(grep -l 'goal met' "$folder"/*-hopper.json | head -n 1)
  chrome --window-size=900,4000 --hide-scrollbars --screenshot="$shots/report_hopper.png" "$(url "${hopper%.json}.html")" \
    >/dev/null 2>&1 || fail=1
  chrome --window-size=900,1900 --hide-scrollbars --screenshot="$shots/report_progress.png" "$(url "$index")" \
    >/dev/null 2>&1 || fail=1
  # Cut to the page's own height.
  for shot in "$shots"/report_trench.png "$shots"/report_hopper.png "$shots"/report_progress.png; do
    convert "$shot" -trim +repage -bordercolor white -border 12 "$shot" 2>/dev/null || true
  done
  echo "screenshots in $shots"
fi
[ "$fail" -eq 0 ] && echo "ok: $pages pages (reports and the progress index) open in chromium with no console message"
exit "$fail"
