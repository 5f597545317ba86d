#!/usr/bin/env bash
# Every source may include only its own folder and the floors below it:
# prints each include that runs back up a floor and fails if there is one.
# Usage: scripts/check_floors.sh [SOURCE_DIR]
root=${1:-$(dirname "$0")/..}
floors=(math base assets physics terrain excavator world input exercise draw app tools python)
declare -A level
for i in "${!floors[@]}"; do level[${floors[$i]}]=$i; done
bad=0
for dir in "${floors[@]}"; do
  while IFS=: read -r file line text; do
    target=$(sed -n 's/^#include "\([a-z]*\)\/.*/\1/p' <<<"$text")
    [ -n "$target" ] && [ -n "${level[$target]}" ] || continue
    if [ "${level[$target]}" -gt "${level[$dir]}" ]; then
      echo "[floors] $file:$line: $dir/ includes $target/, a floor above it"
      bad=1
    fi
  done < <(grep -rn '^#include "' "$root/$dir" --include='*.h' --include='*.cpp' 2>/dev/null)
done
exit $bad
