# Helpers shared by the end-to-end scripts (sourced, not a test itself).

# Waits up to $2 seconds for a window named $1, or $1 and " - " and the
# figures the program adds to its caption; prints its id.
e2e_wait_window() {
  local name=$1 limit=$2 id="" waited=0
  while [ "$waited" -lt $((limit * 5)) ]; do
    id=$(xdotool search --name "^${name}( - .*)?\$" 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    if [ -n "${E2E_PID:-}" ] && ! kill -0 "$E2E_PID" 2>/dev/null; then return 1; fi
    sleep 0.2; waited=$((waited + 1))
  done
  return 1
}

# Waits up to $2 seconds for the render loop to start (its log line in
# file $1): building the world takes a while, and Esc is only seen once
# the loop polls.
e2e_wait_started() {
  local file=$1 limit=$2 waited=0
  while ! grep -qF "[Engine] Starting simulation." "$file"; do
    if [ -n "${E2E_PID:-}" ] && ! kill -0 "$E2E_PID" 2>/dev/null; then return 1; fi
    [ "$waited" -ge $((limit * 5)) ] && return 1
    sleep 0.2; waited=$((waited + 1))
  done
}

# Holds Esc down on window $1 until process $2 ends or $3 seconds pass:
# the program reads the key state once a frame, and a frame of a big world
# under the sanitizers may take longer than a short press.
e2e_hold_escape() {
  local window=$1 pid=$2 limit=$3 waited=0
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window" 2>/dev/null
  xdotool keydown Escape
  while kill -0 "$pid" 2>/dev/null && [ "$waited" -lt $((limit * 10)) ]; do
    sleep 0.1; waited=$((waited + 1))
  done
  xdotool keyup Escape 2>/dev/null || true
}

# Waits up to $2 seconds for process $1 to end; its status goes to E2E_STATUS.
e2e_wait_exit() {
  local pid=$1 limit=$2 waited=0
  while kill -0 "$pid" 2>/dev/null; do
    if [ "$waited" -ge $((limit * 10)) ]; then
      echo "FAIL: still running after ${limit}s"; kill -9 "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true; return 1
    fi
    sleep 0.1; waited=$((waited + 1))
  done
  E2E_STATUS=0
  wait "$pid" || E2E_STATUS=$?
}

# Fails unless file $1 holds the fixed text $2.
e2e_expect() {
  if ! grep -qF -- "$2" "$1"; then
    echo "FAIL: missing in $(basename "$1"): $2"; return 1
  fi
}

e2e_dump() {
  echo "----- stdout"; cat "$1"; echo "----- stderr"; cat "$2"
}
