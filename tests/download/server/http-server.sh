#!/usr/bin/env bash
# Starts (start) or stops (stop) the download tests' HTTP server on 127.0.0.1.
# Usage: http-server.sh start|stop STATE_DIR
# STATE_DIR receives port (the port number), requests.log, pid and the served folder www/.
set -euo pipefail
action=$1
state=$2
here=$(cd "$(dirname "$0")" && pwd)

stop_server() {
    if [ -f "$state/pid" ]; then
        kill "$(cat "$state/pid")" 2>/dev/null || true
        rm -f "$state/pid"
    fi
}

case "$action" in
start)
    stop_server
    mkdir -p "$state/www"
    rm -f "$state/port" "$state/requests.log"
    : >"$state/requests.log"
    # Bounded life: the server ends by itself even when the stop step never runs.
    nohup timeout 900 python3 "$here/serve_files.py" --root "$state/www" --port-file "$state/port" \
        --log "$state/requests.log" >"$state/server.out" 2>&1 </dev/null &
    echo $! >"$state/pid"
    for _ in $(seq 1 100); do
        [ -s "$state/port" ] && exit 0
        sleep 0.1
    done
    echo "the HTTP server did not start" >&2
    cat "$state/server.out" >&2 || true
    stop_server
    exit 1
    ;;
stop)
    stop_server
    ;;
*)
    echo "usage: $0 start|stop STATE_DIR" >&2
    exit 2
    ;;
esac
