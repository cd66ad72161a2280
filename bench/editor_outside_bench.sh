#!/usr/bin/env bash
# Builds the editor and the driver that times it from outside, and runs them
# under the Wine this machine can run (scripts/wine-env.sh):
#   bench/editor_outside_bench.sh [RUNS]
set -euo pipefail
MURKEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$MURKEL_ROOT"
source scripts/wine-env.sh
build_windows "$MURKEL_WINE_BITS" --target editor_outside_bench murkel
echo "$MURKEL_WINE_ABOUT ($(wine --version))"
trap stop_wine_and_xvfb EXIT
start_xvfb
init_wine_prefix
wine "$MURKEL_WIN_BUILD/bin/editor_outside_bench.exe" "${1:-11}"
