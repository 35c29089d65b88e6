#!/usr/bin/env bash
# Starts (start) or stops (stop) an X server for the tests that open windows, on a display
# number the server picks itself; the number goes to STATE/display for scripts/wine-run.sh.
# The server's screen is also kept as STATE/Xvfb_screen0 (XWD format), for screenshots.
# Usage: xvfb.sh start|stop STATE PREFIX
set -euo pipefail
action=$1
state=$2
export WINEPREFIX=$3
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

stop_server() {
    if [ -f "$state/pid" ]; then
        kill "$(cat "$state/pid")" 2>/dev/null || true
        rm -f "$state/pid"
    fi
    rm -f "$state/display"
}

case "$action" in
start)
    stop_server
    mkdir -p "$state"
    # The server ends by itself after half an hour should the stop never come.
    timeout 1800 Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -fbdir "$state" \
        3>"$state/display.tmp" >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/pid"
    for _ in $(seq 100); do
        [ -s "$state/display.tmp" ] && break
        sleep 0.1
    done
    [ -s "$state/display.tmp" ] || { echo "Xvfb did not start" >&2; stop_server; exit 1; }
    echo ":$(head -n1 "$state/display.tmp")" >"$state/display"
    # Wine's desktop process keeps the display of the process that started it: the next Wine
    # program must start a new one, with the display.
    "$wineserver" -k 2>/dev/null || true
    ;;
stop)
    "$wineserver" -k 2>/dev/null || true
    stop_server
    ;;
*)
    echo "usage: $0 start|stop STATE PREFIX" >&2
    exit 2
    ;;
esac
