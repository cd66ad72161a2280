#!/bin/sh
# Times murkel-cli's mosaic against ImageMagick's, side by side in one run, on
# three 4000 x 3000 pictures: a 24-bit bitmap of noise, a PNG screenshot (a
# window with text, panels and a photo) and a PNG of noise. PNG is written at
# the same zlib level by both (murkel-cli's, 6). Prints the medians and ratios.
# Usage: cli_vs_imagemagick.sh [murkel-cli path] [repetitions]
# Environment: CONVERT (default /usr/bin/convert, Debian's ImageMagick),
# BENCH_DIR (scratch folder, default a new one under /tmp).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/release/bin/murkel-cli}
reps=${2:-7}
convert=${CONVERT:-/usr/bin/convert}
level=6
[ -x "$cli" ] || { echo "cli_vs_imagemagick: no murkel-cli at $cli (build it first)" >&2; exit 2; }
[ -x "$convert" ] || { echo "cli_vs_imagemagick: no ImageMagick convert at $convert" >&2; exit 2; }

work=${BENCH_DIR:-$(mktemp -d /tmp/murkel-bench.XXXXXX)}
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

# Noise: a 24-bit bottom-up file, each row a turn of one random row.
python3 - "$work/noise.bmp" <<'PY'
import os, struct, sys
w, h = 4000, 3000
row = os.urandom(3 * w)  # 12000 bytes: a multiple of 4, no padding
size = 54 + len(row) * h
header = b"BM" + struct.pack("<IHHI", size, 0, 0, 54) + struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(row) * h, 0, 0, 0, 0)
with open(sys.argv[1], "wb") as f:
    f.write(header)
    for y in range(h):
        k = (y * 37) % len(row)
        f.write(row[k:] + row[:k])
PY
"$convert" "$work/noise.bmp" -define png:compression-level=$level "$work/noise.png"

# A screenshot: title bar, side panel, a page of text, a photo-like plasma.
python3 - > "$work/text.txt" <<'PY'
import random
random.seed(5)
words = ("account balance transfer invoice customer address phone number secret password meeting "
         "schedule report project status update contact email private confidential total amount payment").split()
for i in range(95):
    print(" ".join(random.choice(words) for _ in range(random.randint(8, 24))),
          "%d-%04d" % (random.randint(100, 999), random.randint(0, 9999)))
PY
"$convert" -size 4000x3000 xc:'#f3f3f3' \
  \( -size 4000x60 xc:'#2b579a' \) -geometry +0+0 -composite \
  \( -size 600x2940 xc:'#e8e8e8' \) -geometry +0+60 -composite \
  \( -size 3300x2000 xc:white -fill '#1a1a1a' -font IPAGothic -pointsize 18 -annotate +10+30 "$(cat "$work/text.txt")" \) \
  -geometry +650+100 -composite \
  \( -seed 7 -size 1200x800 plasma:steelblue-orange \) -geometry +2700+2150 -composite \
  -depth 8 -type TrueColor -define png:compression-level=$level "$work/screenshot.png"

# Each run: wall time in ms from the clock, CPU time (user + system) in ms from time(1).
run_timed() {  # run_timed NAME COMMAND...
  name=$1
  shift
  t0=$(date +%s%N)
  /usr/bin/time -f "%U %S" -o "$work/time.txt" "$@"
  t1=$(date +%s%N)
  echo $(( (t1 - t0) / 1000000 )) >> "$work/$name.wall"
  awk '{ printf "%d\n", ($1 + $2) * 1000 + 0.5 }' "$work/time.txt" >> "$work/$name.cpu"
}
median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
runs() { tr '\n' ' ' < "$1"; }

echo "4000 x 3000 pictures, $reps repetitions each, load before: $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo ?)"
echo "murkel-cli IN OUT --rect 500,500,2500,2500 --mosaic 10"
echo "convert IN [-define png:compression-level=$level] -region 2000x2000+500+500 -scale 10% -scale 1000% OUT"
for case in noise.bmp screenshot.png noise.png; do
  in=$work/$case
  ext=${case##*.}
  : > "$work/cli.wall"; : > "$work/cli.cpu"; : > "$work/im.wall"; : > "$work/im.cpu"
  i=0
  while [ "$i" -lt "$reps" ]; do
    run_timed cli "$cli" "$in" "$work/cli.$ext" --rect 500,500,2500,2500 --mosaic 10
    run_timed im "$convert" "$in" -define png:compression-level=$level \
      -region 2000x2000+500+500 -scale 10% -scale 1000% "$work/im.$ext"
    i=$((i + 1))
  done
  echo "$case ($(wc -c < "$in") bytes; outputs: murkel-cli $(wc -c < "$work/cli.$ext"), ImageMagick $(wc -c < "$work/im.$ext") bytes)"
  echo "  murkel-cli:  wall median $(median "$work/cli.wall") ms (runs: $(runs "$work/cli.wall")); CPU median $(median "$work/cli.cpu") ms"
  echo "  ImageMagick: wall median $(median "$work/im.wall") ms (runs: $(runs "$work/im.wall")); CPU median $(median "$work/im.cpu") ms"
  awk -v a="$(median "$work/cli.wall")" -v b="$(median "$work/im.wall")" \
      -v c="$(median "$work/cli.cpu")" -v d="$(median "$work/im.cpu")" 'BEGIN {
    r = a / b
    printf "  ratio murkel-cli / ImageMagick: wall %.3f, CPU %.3f (goal: wall at most 0.5: %s)\n", r, (d > 0 ? c / d : 0), (r <= 0.5 ? "met" : "NOT met")
  }'
done
