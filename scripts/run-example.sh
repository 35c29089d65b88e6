#!/usr/bin/env bash
# Installs what is needed, builds the 64-bit chainer and runs it under Wine on the example
# package in examples/basic, then prints its exit code and its log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh
cmake --preset mingw-x64 >/dev/null
cmake --build build/x64 --target OrvantaChainer testhelper

prefix="$root/build/example-prefix"
bash scripts/wine-prefix.sh setup "$prefix"

# The package as an installation ships it: the chainer as setup.exe beside setup.ini and the
# prerequisite's setup program.
package="$root/build/example-package"
rm -rf "$package"
mkdir -p "$package"
cp examples/basic/setup.ini "$package/setup.ini"
cp build/x64/OrvantaChainer.exe "$package/setup.exe"
cp build/x64/tests/helpers/testhelper.exe "$package/example-runtime.exe"

# A run that installs: forget what an earlier run of the example installed.
WINEPREFIX="$prefix" WINEDEBUG=-all /usr/lib/wine/wine64 reg delete 'HKCU\Software\OrvantaExample' /f \
    >/dev/null 2>&1 || true

set +e
(cd /tmp && DISPLAY= "$root/scripts/wine-run.sh" "$prefix" "$package/setup.exe")
code=$?
set -e
# The shell sees the low 8 bits of the exit code; the chainer's codes are 0, 1 and -1.
[ "$code" -eq 255 ] && code=-1

echo "Exit code: $code"
if [ -f "$package/setup.log" ]; then
    echo "Log ($package/setup.log):"
    iconv -f UTF-16 -t UTF-8 "$package/setup.log"
fi
bash scripts/wine-prefix.sh stop "$prefix"
