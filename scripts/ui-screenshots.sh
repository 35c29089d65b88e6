#!/usr/bin/env bash
# Regenerates the pictures of the dialogs in the README (docs/screenshots/status.png,
# progress.png, login.png, the progress dialog in German and Arabic, the login question in
# Japanese, and the progress dialog installing while the next file downloads): builds the 64-bit
# chainer and its UI tests, runs the UI tests under Xvfb with screenshots switched on, and
# converts what they saved. Every screenshot they take (also of the error state, the stalled
# download and the restart question) is left in build/x64/screenshots.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh
cmake --preset mingw-x64 >/dev/null
cmake --build build/x64 --target ui_tests

shots="$root/build/x64/screenshots"
rm -rf "$shots"
mkdir -p "$shots"
unset DISPLAY
# The test program runs under Wine: it gets the folder as a Windows path (Z: is the Linux root).
(cd build/x64 && ORVANTA_SCREENSHOT_DIR="Z:${shots//\//\\}" ctest -R '^ui_(tests|language_.*)$' --output-on-failure)

for bmp in "$shots"/*.bmp; do
    python3 scripts/bmp-to-png.py "$bmp" "${bmp%.bmp}.png"
done
mkdir -p docs/screenshots
for name in status progress login progress-de progress-ar login-ja download-ahead; do
    cp "$shots/$name.png" docs/screenshots/
done
echo "Screenshots: $shots; README pictures: docs/screenshots"
