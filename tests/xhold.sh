#!/usr/bin/env bash
# Keeps one client connected to the test X server for the whole ctest run.
# A server without clients resets itself (unless started with -noreset), and
# a program that connects during the reset is refused: one test's exit could
# make the next test's window fail. Usage: xhold.sh start|stop <pid-file>
set -u
case "$1" in
  start)
    [ -n "${DISPLAY:-}" ] || exit 0
    xprop -root -spy >/dev/null 2>&1 </dev/null &
    echo $! >"$2"
    sleep 0.3  # connected before the first test starts
    ;;
  stop)
    if [ -f "$2" ]; then kill "$(cat "$2")" 2>/dev/null; rm -f "$2"; fi
    ;;
esac
exit 0
