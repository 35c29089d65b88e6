#!/usr/bin/env bash
# Download and MD5 figures under 64-bit Wine, in one run:
#   - a 200 MB file from nginx on 127.0.0.1: the chainer's engine and download stage against a
#     plain synchronous WinINet loop that reads 51200-byte blocks; the stage once checking
#     ExactSize only and once ExactSize, MD5 and SHA-256 (hashed while the bytes arrive), and the
#     ratio of the two;
#   - ComputeFileMd5 against md5sum on the same file;
#   - the peak working set of a download and of an MD5 for 50 MB and 200 MB (it stays flat).
# Usage: bench/bench-download.sh [BUILD_DIR]   (default build/x64; must be built with
#        -DCHAINER_BUILD_TESTS=ON, which builds bench/bench_download.exe)
# Figures only, no pass/fail. Each figure is the best of RUNS runs (default 3).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/x64}" && pwd)
runs=${RUNS:-3}
bench="$build/bench/bench_download.exe"
prefix="$build/wineprefix"
[ -f "$bench" ] || { echo "missing $bench: build with -DCHAINER_BUILD_TESTS=ON" >&2; exit 1; }
command -v nginx >/dev/null || { echo "nginx is not installed" >&2; exit 1; }
"$root/scripts/wine-prefix.sh" setup "$prefix"

work=$(mktemp -d /tmp/orvanta-bench.XXXXXX)
nginx_pid=""
cleanup() {
    if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

windows() { echo "Z:${1//\//\\}"; }
run_bench() { "$root/scripts/wine-run.sh" "$prefix" "$bench" "$@" >"$work/out.txt" 2>&1 || true; cat "$work/out.txt"; }
field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p"; }

mkdir -p "$work/www" "$work/dl" "$work/logs"
head -c 200000000 /dev/urandom >"$work/www/big.bin"
head -c 50000000 /dev/urandom >"$work/www/small.bin"
big_md5=$(md5sum "$work/www/big.bin" | cut -d' ' -f1)
big_sha256=$(sha256sum "$work/www/big.bin" | cut -d' ' -f1)

# nginx on a free loopback port, in the foreground of its own background job.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/nginx.conf" <<EOF
daemon off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/logs/error.log;
$( [ "$(id -u)" = 0 ] && echo "user root;" )
events { worker_connections 64; }
http {
    access_log off;
    sendfile on;
    server { listen 127.0.0.1:$port; root $work/www; }
}
EOF
timeout 1800 nginx -p "$work" -c "$work/nginx.conf" >"$work/logs/nginx.out" 2>&1 </dev/null &
nginx_pid=$!
for _ in $(seq 1 50); do
    curl -s -o /dev/null "http://127.0.0.1:$port/small.bin" && break
    sleep 0.1
done
url="http://127.0.0.1:$port"

# Keep wineserver up between the runs so that no run pays for starting it.
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
WINEPREFIX="$prefix" "$wineserver" -p 60 || true
run_bench plain "$url/small.bin" "$(windows "$work/dl/warmup.bin")" >/dev/null

best_ms=""
best() {  # best MB/s and its line over $runs runs of: best LABEL ARGS...; its ms in best_ms
    local label=$1; shift
    local best_rate=0 best_line="" line=""
    for _ in $(seq 1 "$runs"); do
        rm -f "$work/dl/"*
        line=$(run_bench "$@")
        local rate; rate=$(echo "$line" | field MBps)
        if [ -n "$rate" ] && echo "$line" | grep -q 'result=0' && awk "BEGIN{exit !($rate > $best_rate)}"; then
            best_rate=$rate; best_line=$line
        fi
    done
    best_ms=$(echo "$best_line" | field ms)
    printf '%-34s %s\n' "$label" "${best_line:-failed: $line}"
}

echo "== 200 MB from nginx on 127.0.0.1 (best of $runs) =="
best "plain WinINet loop (51200 B reads)" plain "$url/big.bin" "$(windows "$work/dl/big.bin")"
best "chainer engine (InternetDownloader)" engine "$url/big.bin" "$(windows "$work/dl/big.bin")"
best "chainer stage (ExactSize)" stage "$url/big.bin" "$(windows "$work/dl")\\" 200000000
size_ms=$best_ms
best "chainer stage (ExactSize+MD5+SHA-256)" stage "$url/big.bin" "$(windows "$work/dl")\\" 200000000 \
    "$big_md5" "$big_sha256"
hash_ms=$best_ms
if [ -n "$size_ms" ] && [ -n "$hash_ms" ]; then
    printf '%-34s %s\n' "stage time, hashes / size only" "$(awk "BEGIN{printf \"%.3f\", $hash_ms/$size_ms}")"
fi

echo "== MD5 of the 200 MB file (best of $runs) =="
best "ComputeFileMd5 under Wine" md5 "$(windows "$work/www/big.bin")"
md5_best=""
for _ in $(seq 1 "$runs"); do
    start=$(date +%s%N)
    md5sum "$work/www/big.bin" >/dev/null
    ms=$(( ($(date +%s%N) - start) / 1000000 ))
    if [ -z "$md5_best" ] || [ "$ms" -lt "$md5_best" ]; then md5_best=$ms; fi
done
printf '%-34s ms=%s MBps=%s\n' "md5sum (native)" "$md5_best" \
    "$(awk "BEGIN{printf \"%.1f\", 200000000/1e6/($md5_best/1000)}")"

echo "== Peak working set, 50 MB vs 200 MB =="
for size in small big; do
    rm -f "$work/dl/"*
    printf '%-34s %s\n' "engine download $size.bin" "$(run_bench engine "$url/$size.bin" "$(windows "$work/dl/$size.bin")")"
done
for size in small big; do
    printf '%-34s %s\n' "ComputeFileMd5 $size.bin" "$(run_bench md5 "$(windows "$work/www/$size.bin")")"
done
