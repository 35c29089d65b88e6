#!/usr/bin/env bash
# Download and MD5 figures under 64-bit Wine, in one run:
#   - a 200 MB file from nginx on 127.0.0.1: the chainer's engine and download stage against a
#     plain synchronous WinINet loop that reads 51200-byte blocks; the stage once checking
#     ExactSize only and once ExactSize, MD5 and SHA-256 (hashed while the bytes arrive), and the
#     ratio of the two;
#   - whole silent runs of the built chainer whose one prerequisite is that file (a test helper
#     padded to 200 MB that exits 0), once with ExactSize only and once with ExactSize, MD5
#     and SHA-256, and the ratio of their times;
#   - the signer check (Signer=) on that installer signed at bench time by a throw-away test
#     authority: the download stage with ExactSize only against the same stage checking Signer=
#     too, and whole silent runs likewise, with their ratios; CheckSigner alone on the file on
#     disk and on a small program;
#   - MD5 and SHA-256 (the processor's SHA extensions and the plain code) over 256 MiB in memory;
#   - ComputeFileMd5 against md5sum on the same file;
#   - the peak working set of a download and of an MD5 for 50 MB and 200 MB (it stays flat).
# Usage: bench/bench-download.sh [BUILD_DIR]   (default build/x64; must be built with
#        -DCHAINER_BUILD_TESTS=ON, with the targets bench_download, OrvantaChainer and testhelper)
# Figures only, no pass/fail. Each figure is the best of RUNS runs (default 3). PARTS picks the
# parts (default "download run signer digest md5 memory"). The signer part also needs openssl,
# osslsigncode and the mingw-w64 C compilers (tests/support/make-signed-files.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/bench-common.sh
. "$root/bench/bench-common.sh"
build=$(cd "${1:-$root/build/x64}" && pwd)
runs=${RUNS:-3}
parts=" ${PARTS:-download run signer digest md5 memory} "
wants() { [[ "$parts" == *" $1 "* ]]; }
bench="$build/bench/bench_download.exe"
prefix="$build/wineprefix"
chainer=${CHAINER:-$build/OrvantaChainer.exe}  # CHAINER: another build of it, to compare
helper="$build/tests/helpers/testhelper.exe"
for program in "$bench" "$chainer" "$helper"; do
    [ -f "$program" ] || { echo "missing $program: build with -DCHAINER_BUILD_TESTS=ON" >&2; exit 1; }
done
command -v nginx >/dev/null || { echo "nginx is not installed" >&2; exit 1; }
"$root/scripts/wine-prefix.sh" setup "$prefix"

work=$(mktemp -d /tmp/orvanta-bench.XXXXXX)
nginx_pid=""
cleanup() {
    if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

run_bench() { "$root/scripts/wine-run.sh" "$prefix" "$bench" "$@" >"$work/out.txt" 2>&1 || true; cat "$work/out.txt"; }
field() { sed -n "s/.*[[:space:]]$1=\([0-9.]*\).*/\1/p"; }

mkdir -p "$work/www" "$work/dl" "$work/logs"
head -c 200000000 /dev/urandom >"$work/www/big.bin"
# The run's installer: the test helper with the random bytes after it (Windows loads a program
# with bytes appended to its image).
{ cat "$helper"; head -c $((200000000 - $(stat -c %s "$helper"))) "$work/www/big.bin"; } >"$work/www/setup.exe"
setup_md5=$(md5sum "$work/www/setup.exe" | cut -d' ' -f1)
setup_sha256=$(sha256sum "$work/www/setup.exe" | cut -d' ' -f1)
head -c 50000000 /dev/urandom >"$work/www/small.bin"
big_md5=$(md5sum "$work/www/big.bin" | cut -d' ' -f1)
big_sha256=$(sha256sum "$work/www/big.bin" | cut -d' ' -f1)

start_nginx "$work" "$work/www" 1800
url="http://127.0.0.1:$port"

keep_wineserver "$prefix"
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


if wants download; then
echo "== 200 MB from nginx on 127.0.0.1 (best of $runs) =="
best "plain WinINet loop (51200 B reads)" plain "$url/big.bin" "$(windows "$work/dl/big.bin")"
best "chainer engine (InternetDownloader)" engine "$url/big.bin" "$(windows "$work/dl/big.bin")"
best "chainer stage (ExactSize)" stage "$url/big.bin" "$(windows "$work/dl")\\" 200000000
size_ms=$best_ms
best "chainer stage (ExactSize+MD5+SHA-256)" stage "$url/big.bin" "$(windows "$work/dl")\\" 200000000 \
    "$big_md5" "$big_sha256"
hash_ms=$best_ms
if [ -n "$size_ms" ] && [ -n "$hash_ms" ]; then
    printf '%-34s %s\n' "stage time, hashes / size only" "$(ratio "$hash_ms" "$size_ms")"
fi
fi

# A package folder with the chainer and its INI (UTF-16 with a byte order mark). The
# prerequisite is not searched for ("i"): it is downloaded and started in every run, touches
# no registry, and the run deletes the download and its folder, and its INI, when it ends. A
# run counts only when its log shows the file accepted and started.
mkdir -p "$work/package"
cp "$chainer" "$work/package/OrvantaChainer.exe"
setup_name=setup.exe setup_size=200000000  # the signer part runs the signed installer
write_ini() {  # write_ini [DIGEST_LINES...]
    { printf '\xff\xfe'; printf '%s\r\n' "[GeneralOptions]" "Options=q" \
        "DownloadFolder=[SETUPEXEDIR]downloads" "[PREREQUISITES]" "App1=Setup" "[Setup]" \
        "Url=$url/$setup_name" "ExactSize=$setup_size" "$@" "CommandLine=--exit 0" "Options=i" \
        "[PREREQ_CHAINER]" "LogFile=$(windows "$work/package/run.log")" \
        | iconv -f UTF-8 -t UTF-16LE; } >"$work/package/OrvantaChainer.ini"
}
run_log_shows() {
    iconv -f UTF-16LE -t UTF-8 "$work/package/run.log" >"$work/run-log.txt" 2>/dev/null || true
    grep -q "$1" "$work/run-log.txt"
}
# best_run LABEL [DIGEST_LINES...] (bench/bench-common.sh)
run_prepare() {
    rm -rf "$work/package/downloads" "$work/package/run.log"
    write_ini "$@"
}
run_chainer() {  # a hung run ends the figure, not the bench
    timeout 600 "$root/scripts/wine-run.sh" "$prefix" "$work/package/OrvantaChainer.exe" >"$work/run.txt" 2>&1
}
run_accepted() {  # run_accepted LABEL CODE
    if [ "$2" -eq 0 ] && run_log_shows "Downloaded file was accepted." &&
        run_log_shows "Return code of launched file:0"; then
        return 0
    fi
    printf '%-34s failed: exit code %s, see the log below\n' "$1" "$2"
    tail -n 20 "$work/run-log.txt"
    return 1
}
if wants run; then
echo "== Silent chainer run, 200 MB prerequisite from nginx (best of $runs) =="
write_ini
run_chainer || true  # warm-up
best_run "chainer run (ExactSize)"
size_run_ms=$run_ms
best_run "chainer run (ExactSize+MD5+SHA-256)" "MD5=$setup_md5" "SHA256=$setup_sha256"
if [ -n "$size_run_ms" ] && [ -n "$run_ms" ]; then
    printf '%-34s %s\n' "run time, hashes / size only" "$(ratio "$run_ms" "$size_run_ms")"
fi
fi

if wants signer; then
echo "== Signer= on the 200 MB installer, signed here (best of $runs) =="
# A throw-away authority (root, intermediate, signer) signs the run's installer; the signer
# certificate's key is pinned, and the whole chain is read whichever key is pinned.
bash "$root/tests/support/make-signed-files.sh" "$work/sign" >/dev/null
osslsigncode sign -certs "$work/sign/chain.pem" -key "$work/sign/signer.key" -h sha256 \
    -n "Orvanta bench installer" -in "$work/www/setup.exe" -out "$work/www/signed-setup.exe" >/dev/null
signed_size=$(stat -c %s "$work/www/signed-setup.exe")
signer_pin=$(sed -n 's/^signer //p' "$work/sign/keys.txt")
best "chainer stage (ExactSize)" stage "$url/signed-setup.exe" "$(windows "$work/dl")\\" "$signed_size"
size_ms=$best_ms
best "chainer stage (ExactSize+Signer)" stage-signer "$url/signed-setup.exe" "$(windows "$work/dl")\\" \
    "$signed_size" "$signer_pin"
signer_ms=$best_ms
if [ -n "$size_ms" ] && [ -n "$signer_ms" ]; then
    printf '%-34s %s\n' "stage time, signer / size only" "$(ratio "$signer_ms" "$size_ms")"
fi
# Whole silent runs: the installer's signature checked as it arrives, then started.
setup_name=signed-setup.exe setup_size=$signed_size
best_run "chainer run (ExactSize)"
size_run_ms=$run_ms
best_run "chainer run (ExactSize+Signer)" "Signer=$signer_pin"
if [ -n "$size_run_ms" ] && [ -n "$run_ms" ]; then
    printf '%-34s %s\n' "run time, signer / size only" "$(ratio "$run_ms" "$size_run_ms")"
fi
best "CheckSigner on the file on disk" signer "$(windows "$work/www/signed-setup.exe")" "$signer_pin"
# What the check costs whatever the file's size (loading and starting the trust providers).
best "CheckSigner on a small program" signer "$(windows "$work/sign/signed.exe")" "$signer_pin"
fi

if wants digest; then
echo "== Digests of 256 MiB in memory (best of $runs) =="
for algorithm in md5 sha256 sha256-portable both; do
    best "digest $algorithm" digest "$algorithm" 256
done
fi

if wants md5; then
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
fi

if wants memory; then
echo "== Peak working set, 50 MB vs 200 MB =="
for size in small big; do
    rm -f "$work/dl/"*
    printf '%-34s %s\n' "engine download $size.bin" "$(run_bench engine "$url/$size.bin" "$(windows "$work/dl/$size.bin")")"
done
for size in small big; do
    printf '%-34s %s\n' "ComputeFileMd5 $size.bin" "$(run_bench md5 "$(windows "$work/www/$size.bin")")"
done
fi
