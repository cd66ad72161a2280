#!/usr/bin/env bash
# Builds the editor and starts it under Wine: scripts/run.sh [PICTURE.bmp]
# In Japanese (the default), or with MURKEL_LANGUAGE=en in English.
set -euo pipefail
MURKEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$MURKEL_ROOT"

bash scripts/install-deps.sh
source scripts/wine-env.sh
if [ "${MURKEL_LANGUAGE:-ja}" = en ]; then export LC_ALL=C.UTF-8 LANG=C.UTF-8; fi
build_windows "$MURKEL_WINE_BITS" --target murkel murkel-launch murkel_help murkel_tessdata
echo "Running $MURKEL_WINE_ABOUT" >&2
if [ -z "${DISPLAY:-}" ]; then
  start_xvfb
  echo "No display: the editor runs on Xvfb $DISPLAY" >&2
fi
init_wine_prefix

args=("$(winepath -w "$MURKEL_WIN_BUILD/bin/murkel.exe")")
if [ $# -ge 1 ]; then
  args+=("$(winepath -w "$(realpath "$1")")")
fi
exec wine "$MURKEL_WIN_BUILD/bin/murkel-launch.exe" "${args[@]}"
