#!/usr/bin/env bash
# Builds the libFuzzer targets natively (clang, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for SECONDS seconds over its seed corpus in fuzz/corpus/<target>/. Prints
# libFuzzer's own summary of every target and the total number of executions; exits non-zero
# on any crash, leak or sanitizer report (the reproducer is left in build/fuzz/findings/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

seconds=${1:-15}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

targets=(fuzz_ini_config fuzz_version fuzz_url_names fuzz_realm fuzz_references fuzz_check)
work=build/fuzz/work
findings=build/fuzz/findings
mkdir -p "$findings"
total=0
failed=0
for target in "${targets[@]}"; do
    # New inputs go to a scratch corpus; the committed seeds are only read.
    rm -rf "${work:?}/$target"
    mkdir -p "$work/$target"
    log=build/fuzz/$target.log
    status=0
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "build/fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/$target-" \
        "$work/$target" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
    summary=$(grep -E '^Done [0-9]+ runs' "$log" || true)
    echo "$target: ${summary:-no summary}"
    runs=$(grep -oE '^stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo 0)
    total=$((total + runs))
    if [ "$status" -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:' "$log"; then
        failed=1
        echo "$target: FAILED (exit $status), see $log"
        grep -E 'ERROR:|runtime error:|SUMMARY:|Test unit written' "$log" | head -n 20 || true
    fi
done
echo "fuzzing: $total executions in total over ${#targets[@]} targets"
exit "$failed"
