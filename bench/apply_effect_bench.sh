#!/usr/bin/env bash
# Builds the editor's effect benchmark for Windows and runs it under the
# Wine this machine can run (scripts/wine-env.sh):
#   bench/apply_effect_bench.sh [RUNS]
# or, for the canvas redraw and the zoom on a 1920 x 1080 display, or a drag
# pass and a scroll at fit on a 16384 x 16384 picture there:
#   bench/apply_effect_bench.sh [RUNS] redraw|drag
set -euo pipefail
MURKEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$MURKEL_ROOT"
source scripts/wine-env.sh
build_windows "$MURKEL_WINE_BITS" --target apply_effect_bench
echo "$MURKEL_WINE_ABOUT ($(wine --version))"
trap stop_wine_and_xvfb EXIT
case "${2:-}" in redraw | drag) export MURKEL_XVFB_SCREEN=1920x1080x24 DISPLAY= ;; esac
start_xvfb
init_wine_prefix
wine "$MURKEL_WIN_BUILD/bin/apply_effect_bench.exe" "${1:-11}" ${2:+"$2"}
