#!/usr/bin/env bash
# A virtual X display for the UI tests.
#   xvfb.sh start STATE   starts Xvfb on a free display; writes STATE/display and STATE/pid
#   xvfb.sh stop STATE    stops it
#   xvfb.sh run STATE COMMAND [ARGS...]   runs COMMAND with DISPLAY set to that display
set -euo pipefail
action=$1
state=$2
shift 2

case "$action" in
start)
    mkdir -p "$state"
    "$0" stop "$state"
    rm -f "$state/display" "$state/display.tmp"
    # Xvfb picks a free display itself and writes its number to the descriptor; it listens
    # only on its local socket, and its own lifetime is bounded by the timeout.
    setsid timeout 3600 Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
        3>"$state/display.tmp" >"$state/xvfb.log" 2>&1 </dev/null &
    echo $! >"$state/pid"
    for _ in $(seq 100); do
        if [ -s "$state/display.tmp" ]; then
            echo ":$(tr -d '[:space:]' <"$state/display.tmp")" >"$state/display"
            echo "display $(cat "$state/display")"
            exit 0
        fi
        sleep 0.1
    done
    echo "Xvfb did not start; see $state/xvfb.log" >&2
    exit 1
    ;;
stop)
    if [ -f "$state/pid" ]; then
        pid=$(cat "$state/pid")
        # The process group of the setsid above: the timeout and Xvfb under it.
        kill -TERM -- "-$pid" 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL -- "-$pid" 2>/dev/null || true
        rm -f "$state/pid"
    fi
    ;;
run)
    DISPLAY=$(cat "$state/display")
    export DISPLAY
    exec "$@"
    ;;
*)
    echo "usage: $0 start|stop|run STATE [COMMAND...]" >&2
    exit 2
    ;;
esac
