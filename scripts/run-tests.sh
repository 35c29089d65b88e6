#!/usr/bin/env bash
# Installs what is needed, builds both architectures and runs every test under 64-bit Wine.
# The 32-bit build is compiled only: this machine cannot run 32-bit code. The code that needs
# no Windows is also built and tested natively, and fuzzed briefly.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh

cmake --preset mingw-x86
cmake --build build/x86

cmake --preset mingw-x64
cmake --build build/x64

# Both chainers import nothing but KnownDLLs.
bash scripts/check-imports.sh build/x86 build/x64

# The pure code natively: orvanta-ini, its tests, and a short run of every fuzz target.
cmake --preset native
cmake --build --preset native
ctest --preset native
bash scripts/fuzz.sh 15

# Tests change the prefix's registry and files: they run one at a time.
unset DISPLAY
cd build/x64
ctest --output-on-failure
