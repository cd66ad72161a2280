#!/usr/bin/env bash
# Seconds and peak memory of finding on the four 1920 x 1080 screens of
# tools/make_screenshots.py: the native murkel-cli, and the Windows
# murkel-cli under the Wine this machine runs (the editor's Find and hide
# reads through the same OCR room, with the same two threads). Then what
# finding covers, by bench/find_accuracy.py. Builds the native program in
# build/release; run after scripts/test.sh, whose Windows build it uses.
#   bench/find_bench.sh [OUTDIR]
set -euo pipefail
MURKEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$MURKEL_ROOT"
source scripts/wine-env.sh
shots=${1:-build/find-shots}
mkdir -p "$shots"
python3 tools/make_screenshots.py "$shots" >/dev/null
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DMURKEL_TESTS=OFF >/dev/null
cmake --build build/release -j2 --target murkel-cli >/dev/null
native=build/release/bin/murkel-cli
windows=$MURKEL_WIN_BUILD/bin/murkel-cli.exe
start_xvfb >/dev/null
init_wine_prefix
trap stop_wine_and_xvfb EXIT
printf '%-9s %22s %34s\n' screen "native: seconds, MB" "Windows under Wine: seconds, MB"
for png in "$shots"/*-??.png; do
  name=$(basename "$png" .png)
  convert "$png" -type TrueColor "BMP3:$shots/$name.bmp"
  n=$( { /usr/bin/time -f '%e %M' "$native" "$png" --find all --list-found >/dev/null; } 2>&1 | tail -1)
  w=$( { /usr/bin/time -f '%e %M' wine "$windows" "$(winepath -w "$shots/$name.bmp")" --find all --list-found \
         >/dev/null; } 2>&1 | tail -1)
  printf '%-9s %14s %6d %26s %6d\n' "$name" "${n% *}" $(( ${n#* } / 1024 )) "${w% *}" $(( ${w#* } / 1024 ))
done
python3 bench/find_accuracy.py "$native" "$shots"
