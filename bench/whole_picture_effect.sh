#!/usr/bin/env bash
# Builds bench/whole_picture_effect.cpp for Windows and runs it under the Wine
# this machine can run (MURKEL_WINE_BITS=64 forces the x86-64 build), one
# process per picture side:
#   bench/whole_picture_effect.sh 13000 14000 16384
set -euo pipefail
MURKEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$MURKEL_ROOT"
source scripts/wine-env.sh
build_windows "$MURKEL_WINE_BITS" --target whole_picture_effect
echo "$MURKEL_WINE_ABOUT; free memory: $(free -g | awk '/^Mem/ {print $7}') GB"
start_xvfb
trap stop_wine_and_xvfb EXIT
init_wine_prefix
for side in "$@"; do
  wine "$MURKEL_WIN_BUILD/bin/whole_picture_effect.exe" "$side"
done
