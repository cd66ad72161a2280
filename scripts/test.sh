#!/usr/bin/env bash
# Builds everything and runs every test: the core natively (with sanitizers),
# then the Windows build under Wine and Xvfb (core again, Win32 integration,
# end to end), then the BMP reader fuzzer for a bounded time.
set -euo pipefail
MURKEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$MURKEL_ROOT"

bash scripts/install-deps.sh

echo "== native build and core tests"
cmake -S . -B build/native -DMURKEL_SANITIZE=ON >/dev/null
cmake --build build/native -j2
ctest --test-dir build/native --output-on-failure -j2

echo "== Windows build, tests under Wine"
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win32 -j2
source scripts/wine-env.sh
start_xvfb
init_wine_prefix
trap 'wineserver -k 2>/dev/null || true; [ -n "${MURKEL_XVFB_PID:-}" ] && kill "$MURKEL_XVFB_PID" 2>/dev/null || true' EXIT
ctest --test-dir build/win32 --output-on-failure

if [ -x fuzz/run_fuzz.sh ]; then
  echo "== BMP reader fuzzing"
  bash fuzz/run_fuzz.sh "${MURKEL_FUZZ_SECONDS:-60}"
fi
