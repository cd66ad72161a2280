#!/usr/bin/env bash
# A batch of 24 pictures with murkel-cli --out-dir --jobs 2 against 24
# single calls; best of N runs. (The single-picture figures against
# ImageMagick and libvips are bench/cli_vs_imagemagick.sh's.)
# usage: bench/cli_batch.sh path/to/murkel-cli [runs]
# Environment: CONVERT (default /usr/bin/convert, Debian's ImageMagick), which
# makes the pictures.
set -euo pipefail
cli=$1
runs=${2:-3}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
convert=${CONVERT:-/usr/bin/convert}
for i in $(seq 1 24); do "$convert" -size 800x600 "plasma:fractal" -seed "$i" -depth 8 "$dir/in$i.png"; done

best() {  # best wall time in ms of "$@" over $runs runs
  local best=999999 t0 t1 ms
  for _ in $(seq 1 "$runs"); do
    t0=$(date +%s%N); "$@" >/dev/null; t1=$(date +%s%N)
    ms=$(((t1 - t0) / 1000000)); [ "$ms" -lt "$best" ] && best=$ms
  done
  echo "$best"
}
singles() { for i in $(seq 1 24); do "$cli" "$dir/in$i.png" "$dir/s$i.png" --rect 0,0,400,300 --mosaic 10; done; }

s=$(best singles)
b=$(best "$cli" --out-dir "$dir/out" --jobs 2 "$dir"/in*.png --rect 0,0,400,300 --mosaic 10)
printf '| 24 PNG of 800 x 600, mosaic | --out-dir --jobs 2: %d ms | 24 single calls: %d ms | speed-up %.2f |\n' \
  "$b" "$s" "$(echo "$s / $b" | bc -l)"
