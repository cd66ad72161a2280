#!/bin/sh
# Times murkel-cli's mosaic against ImageMagick's on a 4000 x 3000 24-bit
# bitmap, side by side in one run, and prints both medians and their ratio.
# Usage: cli_vs_imagemagick.sh [murkel-cli path] [repetitions]
# Environment: CONVERT (default /usr/bin/convert, Debian's ImageMagick),
# BENCH_DIR (scratch folder, default a new one under /tmp).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/release/bin/murkel-cli}
reps=${2:-7}
convert=${CONVERT:-/usr/bin/convert}
[ -x "$cli" ] || { echo "cli_vs_imagemagick: no murkel-cli at $cli (build it first)" >&2; exit 2; }
[ -x "$convert" ] || { echo "cli_vs_imagemagick: no ImageMagick convert at $convert" >&2; exit 2; }

work=${BENCH_DIR:-$(mktemp -d /tmp/murkel-bench.XXXXXX)}
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
in=$work/in.bmp

# A 4000 x 3000 24-bit bottom-up file of varied pixels: each row is a turn of one random row.
python3 - "$in" <<'PY'
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

now_ns() { date +%s%N; }
cli_times=$work/cli.txt
im_times=$work/im.txt
: > "$cli_times"
: > "$im_times"
i=0
while [ "$i" -lt "$reps" ]; do
  t0=$(now_ns)
  "$cli" "$in" "$work/cli.bmp" --rect 500,500,2500,2500 --mosaic 10
  t1=$(now_ns)
  "$convert" "$in" -region 2000x2000+500+500 -scale 10% -scale 1000% "$work/im.bmp"
  t2=$(now_ns)
  echo $(( (t1 - t0) / 1000000 )) >> "$cli_times"
  echo $(( (t2 - t1) / 1000000 )) >> "$im_times"
  i=$((i + 1))
done

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
cli_ms=$(median "$cli_times")
im_ms=$(median "$im_times")
echo "picture:            4000 x 3000, 24 bpp ($(wc -c < "$in") bytes), $reps repetitions"
echo "murkel-cli mosaic:  median $cli_ms ms   (runs: $(tr '\n' ' ' < "$cli_times"))"
echo "ImageMagick:        median $im_ms ms   (runs: $(tr '\n' ' ' < "$im_times"))"
awk -v a="$cli_ms" -v b="$im_ms" 'BEGIN {
  r = a / b
  printf "ratio cli / ImageMagick: %.3f (goal: at most 0.5) %s\n", r, (r <= 0.5 ? "met" : "NOT met")
}'
