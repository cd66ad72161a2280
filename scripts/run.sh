#!/usr/bin/env bash
# Builds the editor and starts it under Wine: scripts/run.sh [PICTURE.bmp]
set -euo pipefail
MURKEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$MURKEL_ROOT"

bash scripts/install-deps.sh
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win32 -j2 --target murkel murkel-launch

source scripts/wine-env.sh
if [ -z "${DISPLAY:-}" ]; then
  start_xvfb
  echo "No display: the editor runs on Xvfb $DISPLAY" >&2
fi
init_wine_prefix

args=("$(winepath -w build/win32/bin/murkel.exe)")
if [ $# -ge 1 ]; then
  args+=("$(winepath -w "$(realpath "$1")")")
fi
exec wine build/win32/bin/murkel-launch.exe "${args[@]}"
