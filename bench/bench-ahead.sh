#!/usr/bin/env bash
# What downloading ahead saves, under 64-bit Wine: silent runs of the built chainer over three
# downloaded prerequisites, each a file that nginx on 127.0.0.1 serves in about DOWNLOAD_S
# seconds (limit_rate) and an installer that runs about INSTALL_S seconds (the test helper with
# --sleep, padded with random bytes after its image). Once without DownloadAhead, once with
# DownloadAhead=1; prints the best wall time of each and their ratio.
# Usage: bench/bench-ahead.sh [BUILD_DIR]   (default build/x64; must be built with
#        -DCHAINER_BUILD_TESTS=ON, with the targets OrvantaChainer and testhelper)
# CHAINER=path measures another build of the chainer. Figures only, no pass/fail. Each figure is
# the best of RUNS runs (default 3). DOWNLOAD_S and INSTALL_S default to 2.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/bench-common.sh
. "$root/bench/bench-common.sh"
build=$(cd "${1:-$root/build/x64}" && pwd)
runs=${RUNS:-3}
download_s=${DOWNLOAD_S:-2}
install_s=${INSTALL_S:-2}
count=3
prefix="$build/wineprefix"
chainer=${CHAINER:-$build/OrvantaChainer.exe}
helper="$build/tests/helpers/testhelper.exe"
for program in "$chainer" "$helper"; do
    [ -f "$program" ] || { echo "missing $program: build with -DCHAINER_BUILD_TESTS=ON" >&2; exit 1; }
done
command -v nginx >/dev/null || { echo "nginx is not installed" >&2; exit 1; }
"$root/scripts/wine-prefix.sh" setup "$prefix"

work=$(mktemp -d /tmp/orvanta-bench-ahead.XXXXXX)
nginx_pid=""
cleanup() {
    if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT


# Each installer: the test helper with random bytes after it (Windows loads a program with bytes
# appended to its image), as large as nginx sends in DOWNLOAD_S seconds at 1 MB/s.
rate=1000000
size=$((rate * download_s))
[ "$size" -gt "$(stat -c %s "$helper")" ] || { echo "DOWNLOAD_S is too small for the helper" >&2; exit 1; }
mkdir -p "$work/www" "$work/logs"
sha256=()
for i in $(seq 1 "$count"); do
    { cat "$helper"; head -c $((size - $(stat -c %s "$helper"))) /dev/urandom; } >"$work/www/setup$i.exe"
    sha256+=("$(sha256sum "$work/www/setup$i.exe" | cut -d' ' -f1)")
done

# nginx on a free loopback port; its life is bounded by the longest the runs can take.
run_limit=$(( 4 * count * (download_s + install_s) + 60 ))  # seconds one chainer run may take
start_nginx "$work" "$work/www" $(( (2 * runs + 1) * run_limit + 120 )) "limit_rate $rate;"
url="http://127.0.0.1:$port"

# A package folder with the chainer and its INI (UTF-16 with a byte-order mark), written anew
# before each run because the run deletes it. The prerequisites are not searched for ("i"): all
# three are downloaded and started in every run, touch no registry, and their downloads are
# deleted when the run ends (KeepFiles is not given).
mkdir -p "$work/package"
cp "$chainer" "$work/package/OrvantaChainer.exe"
log="$work/package/run.log"
write_ini() {  # write_ini [GENERAL_OPTION_LINES...]
    {
        printf '\xff\xfe'
        {
            printf '%s\r\n' "[GeneralOptions]" "Options=q" "DownloadFolder=[SETUPEXEDIR]downloads" "$@" \
                "[PREREQUISITES]"
            for i in $(seq 1 "$count"); do printf 'App%d=Runtime %d\r\n' "$i" "$i"; done
            for i in $(seq 1 "$count"); do
                printf '%s\r\n' "[Runtime $i]" "Url=$url/setup$i.exe" "ExactSize=$size" "SHA256=${sha256[i - 1]}" \
                    "CommandLine=--sleep $((install_s * 1000)) --exit 0" "Options=i"
            done
            printf '%s\r\n' "[PREREQ_CHAINER]" "LogFile=$(windows "$log")"
        } | iconv -f UTF-8 -t UTF-16LE
    } >"$work/package/OrvantaChainer.ini"
}
log_count() {
    iconv -f UTF-16LE -t UTF-8 "$log" 2>/dev/null | grep -c "$1" || true
}

keep_wineserver "$prefix"

# best_run LABEL [GENERAL_OPTION_LINES...] (bench/bench-common.sh)
run_prepare() {
    rm -rf "$work/package/downloads" "$log"
    write_ini "$@"
}
run_chainer() {
    timeout "$run_limit" "$root/scripts/wine-run.sh" "$prefix" "$work/package/OrvantaChainer.exe" >"$work/run.txt" 2>&1
}
# A run counts only when it ended with 0 and its log shows every file accepted and started.
run_accepted() {  # run_accepted LABEL CODE
    local accepted started
    accepted=$(log_count "Downloaded file was accepted.")
    started=$(log_count "Return code of launched file:0")
    [ "$2" -eq 0 ] && [ "$accepted" -eq "$count" ] && [ "$started" -eq "$count" ] && return 0
    printf '%-34s failed: exit code %s, %s of %s downloads accepted, %s of %s installers returned 0\n' \
        "$1" "$2" "$accepted" "$count" "$started" "$count"
    iconv -f UTF-16LE -t UTF-8 "$log" 2>/dev/null | tail -n 20 || true
    return 1
}

echo "== Silent run, $count downloads of ${download_s} s and installs of ${install_s} s (best of $runs) =="
echo "chainer: $chainer"
start=$(date +%s%N)
curl -s -o /dev/null "$url/setup1.exe"
printf '%-34s ms=%s\n' "one file by curl (native)" $(( ($(date +%s%N) - start) / 1000000 ))
write_ini
timeout "$run_limit" "$root/scripts/wine-run.sh" "$prefix" "$work/package/OrvantaChainer.exe" \
    >"$work/run.txt" 2>&1 || true  # warm-up
best_run "without DownloadAhead"
without_ms=$run_ms
best_run "with DownloadAhead=1" "DownloadAhead=1"
with_ms=$run_ms
if [ -n "$without_ms" ] && [ -n "$with_ms" ]; then
    printf '%-34s %s (goal: 0.70 or less)\n' "time, ahead / without" "$(ratio "$with_ms" "$without_ms")"
fi
