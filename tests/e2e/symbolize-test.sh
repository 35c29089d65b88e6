#!/usr/bin/env bash
# scripts/symbolize with the chainer's debug file, on a report whose chainer was loaded away
# from its preferred base: the frame in wWinMain must come back with its name and source file,
# frames of other modules unchanged. Usage: symbolize-test.sh SYMBOLIZE DEBUG_FILE
set -euo pipefail
symbolize=$1
debug=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

objdump=x86_64-w64-mingw32-objdump
nm=x86_64-w64-mingw32-nm
image_base=$((16#$($objdump -p "$debug" | awk '/^ImageBase/ {print $2}')))
function_address=$((16#$($nm "$debug" | awk '$2 == "T" && $3 == "wWinMain" {print $1}')))
module_base=$((16#7ff612340000))
frame=$((function_address - image_base + module_base))

printf 'ACCESS_VIOLATION (0xc0000005) at address [0x%x]\r\n\r\n*** Stack Trace (x64) ***\r\n\r\n' "$frame" >"$work/report.txt"
printf '[0x%x]  ----- -> \r\n[0x7b627e49]  BaseThreadInitThunk() -> \r\n' "$frame" >>"$work/report.txt"
printf '[0x%x]  MODULE_BASE_ADDRESS\r\n' "$module_base" >>"$work/report.txt"
iconv -f utf-8 -t utf-16le "$work/report.txt" >"$work/report.log"

"$symbolize" "$debug" "$work/report.log" >"$work/out.txt"
cat "$work/out.txt"
grep -q "=> wWinMain at .*run/Main.cpp:[0-9]" "$work/out.txt"
grep -q "^\[0x7b627e49\]  BaseThreadInitThunk() -> *$" "$work/out.txt"
