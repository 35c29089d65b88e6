#!/usr/bin/env bash
# What the log costs, under 64-bit Wine: silent runs of the built chainer over COUNT prerequisites
# (default 200) that a registry search finds, so that nothing is installed, once with LogFile and
# once without; prints the best wall time of each and their ratio.
# Usage: bench/bench-log.sh [BUILD_DIR]   (default build/x64; needs its OrvantaChainer.exe)
# CHAINER=path measures another build of the chainer (an older one, to compare). Figures only,
# no pass/fail. Each figure is the best of RUNS runs (default 3).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/bench-common.sh
. "$root/bench/bench-common.sh"
build=$(cd "${1:-$root/build/x64}" && pwd)
runs=${RUNS:-3}
count=${COUNT:-200}
prefix="$build/wineprefix"
chainer=${CHAINER:-$build/OrvantaChainer.exe}
[ -f "$chainer" ] || { echo "missing $chainer: build the OrvantaChainer target" >&2; exit 1; }
"$root/scripts/wine-prefix.sh" setup "$prefix"

work=$(mktemp -d /tmp/orvanta-bench-log.XXXXXX)
key='HKEY_CURRENT_USER\Software\OrvantaBenchLog'
in_wine() { "$root/scripts/wine-run.sh" "$prefix" "$@" >"$work/wine.txt" 2>&1; }
cleanup() {
    in_wine reg delete "$key" /f || true
    rm -rf "$work"
}
trap cleanup EXIT

keep_wineserver "$prefix"

# The values the searches find, written in one go.
{
    printf 'REGEDIT4\r\n\r\n[%s]\r\n' "$key"
    for i in $(seq 1 "$count"); do printf '"P%d"="1.0.%d"\r\n' "$i" "$i"; done
} >"$work/values.reg"
in_wine regedit /S "$(windows "$work/values.reg")"

# The package: the chainer and its INI (UTF-16 with a byte-order mark), the INI written anew
# before each run because the run deletes it. Both INI files have the same PREREQ_CHAINER
# section, so the runs differ only in the log; no setup file exists, none is needed.
mkdir -p "$work/package"
cp "$chainer" "$work/package/OrvantaChainer.exe"
log="$work/package/run.log"
write_ini() {  # write_ini FILE LOG_FILE_VALUE
    {
        printf '\xff\xfe'
        {
            printf '%s\r\n' "[GeneralOptions]" "Options=q" "ExtractionFolder=[SETUPEXEDIR]" "[PREREQUISITES]"
            for i in $(seq 1 "$count"); do printf 'App%d=Runtime %d\r\n' "$i" "$i"; done
            for i in $(seq 1 "$count"); do
                printf '%s\r\n' "[Runtime $i]" "SetupFile=runtime-$i.exe" "CommandLine=/quiet" \
                    "SearchType1=2" "SearchString1=HKCU\\Software\\OrvantaBenchLog\\P$i" "VerMin1=1.0"
            done
            printf '%s\r\n' "[PREREQ_CHAINER]" "CleanupFolders=$(windows "$work/package")" "LogFile=$2"
        } | iconv -f UTF-8 -t UTF-16LE
    } >"$1"
}
write_ini "$work/with-log.ini" "$(windows "$log")"
write_ini "$work/without-log.ini" ""

found_lines() {
    iconv -f UTF-16LE -t UTF-8 "$log" 2>/dev/null | grep -c "Search result:An acceptable version was found." || true
}
# best_run LABEL INI (bench/bench-common.sh)
label_width=30
run_prepare() {  # run_prepare INI
    rm -f "$log"
    cp "$1" "$work/package/OrvantaChainer.ini"
}
run_chainer() {  # a hung run ends the figure, not the bench
    timeout 600 "$root/scripts/wine-run.sh" "$prefix" "$work/package/OrvantaChainer.exe" >"$work/wine.txt" 2>&1
}
# A run counts only when it ended with 0, and, with the log, found every prerequisite.
run_accepted() {  # run_accepted LABEL CODE INI
    if [ "$2" -eq 0 ] && { [ "$3" != "$work/with-log.ini" ] || [ "$(found_lines)" -eq "$count" ]; }; then
        return 0
    fi
    printf '%-30s failed: exit code %s, %s prerequisites found in the log\n' "$1" "$2" "$(found_lines)"
    return 1
}

echo "== Silent run, $count prerequisites found by registry search (best of $runs) =="
echo "chainer: $chainer"
cp "$work/without-log.ini" "$work/package/OrvantaChainer.ini"
in_wine "$work/package/OrvantaChainer.exe" || true  # warm-up
best_run "without LogFile" "$work/without-log.ini"
without_ms=$run_ms
best_run "with LogFile" "$work/with-log.ini"
with_ms=$run_ms
if [ -n "$without_ms" ] && [ -n "$with_ms" ]; then
    printf '%-30s %s\n' "time, with log / without" "$(ratio "$with_ms" "$without_ms")"
    printf '%-30s %s\n' "log lines" "$(iconv -f UTF-16LE -t UTF-8 "$log" | grep -c '^[0-9]\{4\}-')"
fi
