#!/usr/bin/env bash
# Builds the editor's effect benchmark for Windows and runs it under Wine:
#   bench/apply_effect_bench.sh [RUNS]
set -euo pipefail
MURKEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$MURKEL_ROOT"
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win32 -j2 --target apply_effect_bench
source scripts/wine-env.sh
start_xvfb
init_wine_prefix
wine build/win32/bin/apply_effect_bench.exe "${1:-11}"
