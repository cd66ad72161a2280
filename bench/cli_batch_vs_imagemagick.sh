#!/usr/bin/env bash
# murkel-cli against ImageMagick on a 12 MP JPEG mosaic, and a batch of 24
# pictures with --out-dir --jobs 2 against 24 single calls; best of N runs.
# usage: bench/cli_batch_vs_imagemagick.sh path/to/murkel-cli [runs]
set -euo pipefail
cli=$1
runs=${2:-3}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
convert -size 4000x3000 plasma:fractal -seed 7 -quality 92 "$dir/photo.jpg"
for i in $(seq 1 24); do convert -size 800x600 "plasma:fractal" -seed "$i" -depth 8 "$dir/in$i.png"; done

best() {  # best wall time in ms of "$@" over $runs runs
  local best=999999 t0 t1 ms
  for _ in $(seq 1 "$runs"); do
    t0=$(date +%s%N); "$@" >/dev/null; t1=$(date +%s%N)
    ms=$(((t1 - t0) / 1000000)); [ "$ms" -lt "$best" ] && best=$ms
  done
  echo "$best"
}
singles() { for i in $(seq 1 24); do "$cli" "$dir/in$i.png" "$dir/s$i.png" --rect 0,0,400,300 --mosaic 10; done; }

m=$(best "$cli" "$dir/photo.jpg" "$dir/m.jpg" --rect 500,500,2500,2500 --mosaic 10)
i=$(best convert "$dir/photo.jpg" -region 2000x2000+500+500 -scale 10% -scale 1000% +region -quality 92 "$dir/i.jpg")
s=$(best singles)
b=$(best "$cli" --out-dir "$dir/out" --jobs 2 "$dir"/in*.png --rect 0,0,400,300 --mosaic 10)
printf '| 12 MP JPEG, mosaic, JPEG out | %d ms | ImageMagick %d ms | ratio %.2f |\n' "$m" "$i" "$(echo "$m / $i" | bc -l)"
printf '| 24 PNG of 800 x 600, mosaic | --out-dir --jobs 2: %d ms | 24 single calls: %d ms | speed-up %.2f |\n' \
  "$b" "$s" "$(echo "$s / $b" | bc -l)"
