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

# Each run: wall time in ms from the clock, CPU time (user + system) in ms from time(1).
run_timed() {  # run_timed WALL_FILE CPU_FILE COMMAND...
  wall_file=$1 cpu_file=$2
  shift 2
  t0=$(date +%s%N)
  /usr/bin/time -f "%U %S" -o "$work/time.txt" "$@"
  t1=$(date +%s%N)
  echo $(( (t1 - t0) / 1000000 )) >> "$wall_file"
  awk '{ printf "%d\n", ($1 + $2) * 1000 + 0.5 }' "$work/time.txt" >> "$cpu_file"
}

for f in cli_wall cli_cpu im_wall im_cpu; do : > "$work/$f"; done
i=0
while [ "$i" -lt "$reps" ]; do
  run_timed "$work/cli_wall" "$work/cli_cpu" "$cli" "$in" "$work/cli.bmp" --rect 500,500,2500,2500 --mosaic 10
  run_timed "$work/im_wall" "$work/im_cpu" "$convert" "$in" -region 2000x2000+500+500 -scale 10% -scale 1000% "$work/im.bmp"
  i=$((i + 1))
done

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
runs() { tr '\n' ' ' < "$1"; }
echo "picture:     4000 x 3000, 24 bpp ($(wc -c < "$in") bytes), $reps repetitions, load: $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo ?)"
echo "murkel-cli:  wall median $(median "$work/cli_wall") ms (runs: $(runs "$work/cli_wall")); CPU median $(median "$work/cli_cpu") ms"
echo "ImageMagick: wall median $(median "$work/im_wall") ms (runs: $(runs "$work/im_wall")); CPU median $(median "$work/im_cpu") ms"
awk -v a="$(median "$work/cli_wall")" -v b="$(median "$work/im_wall")" \
    -v c="$(median "$work/cli_cpu")" -v d="$(median "$work/im_cpu")" 'BEGIN {
  r = a / b
  printf "ratio cli / ImageMagick: wall %.3f, CPU %.3f (goal: wall at most 0.5: %s)\n", r, (d > 0 ? c / d : 0), (r <= 0.5 ? "met" : "NOT met")
}'
