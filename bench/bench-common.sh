# shellcheck shell=bash
# What the bench scripts share; sourced by them, not run.

# A Linux path as Wine sees it (Z: is the Linux root).
windows() { echo "Z:${1//\//\\}"; }
ratio() { awk "BEGIN{printf \"%.3f\", $1/$2}"; }

# Keeps the prefix's wineserver up between the runs so that no run pays for starting it. It
# outlives the script, so it must not hold the script's output open (a pipe into tee or tail
# would not end).
keep_wineserver() {  # keep_wineserver PREFIX
    local server=/usr/lib/wine/wineserver64
    [ -x "$server" ] || server=$(command -v wineserver || echo /usr/lib/wine/wineserver)
    WINEPREFIX="$1" "$server" -p 60 </dev/null >/dev/null 2>&1 || true
}

# nginx on a free loopback port serving ROOT, in the foreground of its own background job whose
# life LIFETIME bounds (seconds); LOCATION holds more directives for "location /". Sets port and
# nginx_pid (for the caller's cleanup) and returns once nginx answers.
start_nginx() {  # start_nginx WORK ROOT LIFETIME [LOCATION]
    local work=$1 www=$2 lifetime=$3 location=${4:-}
    mkdir -p "$work/logs"
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    cat >"$work/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/logs/error.log;
$( [ "$(id -u)" = 0 ] && echo "user root;" )
events { worker_connections 64; }
http {
    access_log off;
    sendfile on;
    server {
        listen 127.0.0.1:$port;
        root $www;
        location / { $location }
        location = /ping { return 204; }
    }
}
CONF
    timeout "$lifetime" nginx -p "$work" -c "$work/nginx.conf" >"$work/logs/nginx.out" 2>&1 </dev/null &
    # shellcheck disable=SC2034  # for the caller's cleanup
    nginx_pid=$!
    for _ in $(seq 1 50); do
        curl -s -o /dev/null "http://127.0.0.1:$port/ping" && return 0
        sleep 0.1
    done
    echo "nginx did not start: $(cat "$work/logs/error.log" 2>/dev/null)" >&2
    return 1
}

# The best wall time of $runs chainer runs, in run_ms, printed as "LABEL ms=N" (LABEL padded to
# label_width, 34 unless set). The caller defines three hooks: run_prepare ARGS... (before each
# run, not timed), run_chainer (the timed run; its exit code is the run's) and run_accepted LABEL
# CODE ARGS... (false, after printing why, for a run that does not count: the figure is then
# left out, run_ms empty).
# shellcheck disable=SC2034  # run_ms is the caller's
run_ms=""
best_run() {  # best_run LABEL [ARGS...]
    local label=$1 best="" code ms start
    shift
    # shellcheck disable=SC2154  # runs is the caller's
    for _ in $(seq 1 "$runs"); do
        run_prepare "$@"
        start=$(date +%s%N)
        code=0
        run_chainer || code=$?
        ms=$(( ($(date +%s%N) - start) / 1000000 ))
        if ! run_accepted "$label" "$code" "$@"; then
            run_ms=""
            return
        fi
        if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
    done
    # shellcheck disable=SC2034
    run_ms=$best
    printf "%-${label_width:-34}s ms=%s\n" "$label" "$best"
}
