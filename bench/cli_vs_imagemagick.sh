#!/bin/sh
# Times murkel-cli against ImageMagick (at its defaults) and libvips, side by
# side in one run, the commands taking turns: a mosaic over 2000 x 2000 of
# 4000 x 3000 pictures (a PNG screenshot: a window with text, panels and a
# photo; a PNG of noise; a 24-bit bitmap of noise; a 12 MP JPEG photo), and a
# 1920 x 1080 text screenshot copied PNG to PNG against `vips copy`. Prints
# the medians of wall and CPU time, their ratios, the output sizes and the
# goals.
# Usage: cli_vs_imagemagick.sh [murkel-cli path] [repetitions]
# Environment: CONVERT (default /usr/bin/convert, Debian's ImageMagick), VIPS
# (default /usr/bin/vips, Debian's libvips-tools), BENCH_DIR (scratch folder,
# default a new one under /tmp).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/release/bin/murkel-cli}
reps=${2:-7}
convert=${CONVERT:-/usr/bin/convert}
vips=${VIPS:-/usr/bin/vips}
for tool in "$cli" "$convert" "$vips"; do
  [ -x "$tool" ] || { echo "cli_vs_imagemagick: no $tool (build murkel-cli; scripts/install-deps.sh installs the others)" >&2; exit 2; }
done

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
"$convert" "$work/noise.bmp" "$work/noise.png"

# A page of text lines with phone numbers, for both screenshots.
python3 - > "$work/text.txt" <<'PY'
import random
random.seed(5)
words = ("account balance transfer invoice customer address phone number secret password meeting "
         "schedule report project status update contact email private confidential total amount payment").split()
for i in range(95):
    print(" ".join(random.choice(words) for _ in range(random.randint(8, 24))),
          "%d-%04d" % (random.randint(100, 999), random.randint(0, 9999)))
PY
# 4000 x 3000: title bar, side panel, the page, a photo-like plasma.
"$convert" -size 4000x3000 xc:'#f3f3f3' \
  \( -size 4000x60 xc:'#2b579a' \) -geometry +0+0 -composite \
  \( -size 600x2940 xc:'#e8e8e8' \) -geometry +0+60 -composite \
  \( -size 3300x2000 xc:white -fill '#1a1a1a' -font IPAGothic -pointsize 18 -annotate +10+30 "$(cat "$work/text.txt")" \) \
  -geometry +650+100 -composite \
  \( -seed 7 -size 1200x800 plasma:steelblue-orange \) -geometry +2700+2150 -composite \
  -depth 8 -type TrueColor "$work/screenshot.png"
# 1920 x 1080: title bar, side panel and the page's first lines.
"$convert" -size 1920x1080 xc:'#f3f3f3' \
  \( -size 1920x32 xc:'#2b579a' \) -geometry +0+0 -composite \
  \( -size 280x1048 xc:'#e8e8e8' \) -geometry +0+32 -composite \
  \( -size 1600x1000 xc:white -fill '#1a1a1a' -font IPAGothic -pointsize 15 -annotate +10+24 "$(head -n 52 "$work/text.txt")" \) \
  -geometry +300+60 -composite -depth 8 -type TrueColor "$work/shot.png"
# A 12 MP photo-like JPEG at quality 92.
"$convert" -size 4000x3000 -seed 7 plasma:fractal -quality 92 "$work/photo.jpg"

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

# compare LABEL GOAL OTHER_NAME EXT "OTHER COMMAND" MURKEL-CLI ARGUMENTS...:
# both take turns $reps times; OUT in either command is its own output file,
# named with the extension EXT.
compare() {
  label=$1 goal=$2 other=$3 ext=$4 other_command=$5
  shift 5
  : > "$work/a.wall"; : > "$work/a.cpu"; : > "$work/b.wall"; : > "$work/b.cpu"
  i=0
  while [ "$i" -lt "$reps" ]; do
    # shellcheck disable=SC2046 # the arguments are split on purpose
    run_timed a "$cli" $(echo "$*" | sed "s|OUT|$work/a.$ext|")
    # shellcheck disable=SC2046
    run_timed b $(echo "$other_command" | sed "s|OUT|$work/b.$ext|")
    i=$((i + 1))
  done
  echo "$label"
  awk -v a="$(median "$work/a.wall")" -v b="$(median "$work/b.wall")" \
      -v c="$(median "$work/a.cpu")" -v d="$(median "$work/b.cpu")" \
      -v sa="$(wc -c < "$work/a.$ext")" -v sb="$(wc -c < "$work/b.$ext")" -v other="$other" -v goal="$goal" 'BEGIN {
    r = a / b
    printf "  murkel-cli %d ms (CPU %d ms), %s %d ms (CPU %d ms): ratio wall %.3f, CPU %.3f (goal: at most %s: %s)\n",
           a, c, other, b, d, r, (d > 0 ? c / d : 0), goal, (r <= goal ? "met" : "NOT met")
    printf "  output sizes: murkel-cli %d, %s %d bytes (%.3f)\n", sa, other, sb, sa / sb
  }'
}

echo "$reps repetitions each, medians; load before: $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo ?)"
mosaic="--rect 500,500,2500,2500 --mosaic 10"
im_mosaic="-region 2000x2000+500+500 -scale 10% -scale 1000% +region"
compare "4000 x 3000 PNG screenshot ($(wc -c < "$work/screenshot.png") bytes), mosaic, PNG out" 0.25 ImageMagick png \
  "$convert $work/screenshot.png $im_mosaic OUT" "$work/screenshot.png" OUT $mosaic
compare "4000 x 3000 PNG of noise ($(wc -c < "$work/noise.png") bytes), mosaic, PNG out" 0.25 ImageMagick png \
  "$convert $work/noise.png $im_mosaic OUT" "$work/noise.png" OUT $mosaic
compare "4000 x 3000 24-bit bitmap of noise, mosaic, bitmap out" 0.5 ImageMagick bmp \
  "$convert $work/noise.bmp $im_mosaic OUT" "$work/noise.bmp" OUT $mosaic
compare "12 MP JPEG ($(wc -c < "$work/photo.jpg") bytes), mosaic, JPEG out at quality 92" 0.5 ImageMagick jpg \
  "$convert $work/photo.jpg $im_mosaic -quality 92 OUT" "$work/photo.jpg" OUT $mosaic
compare "1920 x 1080 text screenshot ($(wc -c < "$work/shot.png") bytes), copied PNG to PNG" 1 libvips png \
  "$vips copy $work/shot.png OUT" "$work/shot.png" OUT
"$convert" "$work/shot.png" "$work/im.png"
awk -v a="$(wc -c < "$work/a.png")" -v b="$(wc -c < "$work/im.png")" 'BEGIN {
  printf "  murkel-cli %d bytes, ImageMagick %d bytes at its defaults: %.3f of it (goal: at most 1.1: %s)\n",
         a, b, a / b, (a / b <= 1.1 ? "met" : "NOT met") }'
