#!/bin/sh
# Builds a reader fuzzer with clang (libFuzzer, ASan, UBSan) and runs it for a
# bounded time over its seed corpus. Usage: run_fuzz.sh [seconds]
# [bmp|dib|png|header|exif]: the bitmap reader on files and on the clipboard's
# packed bitmaps, the PNG reader, the picture header reader, the orientation
# tag reader. Build folder: $MURKEL_FUZZ_BUILD (default build/fuzz). Exits
# non-zero when the fuzzer finds a crash; the input is left in the build folder.
set -eu
seconds=${1:-60}
kind=${2:-bmp}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${MURKEL_FUZZ_BUILD:-$root/build/fuzz}
cxx=${CXX_FUZZ:-clang++-14}
case $kind in
  bmp) sources="bmp_reader.cpp bmp_writer.cpp" libs="" seeds="$here/corpus $here/regressions" dict="" ;;
  # The bitmap files' seeds without their 14-byte file header, as the clipboard holds them.
  dib) sources="bmp_reader.cpp bmp_writer.cpp packed_dib.cpp" libs="" seeds="$build/dib_seeds" dict=""
       mkdir -p "$build/dib_seeds"
       for f in "$here"/corpus/*.bmp "$here"/regressions/*.bmp; do
         tail -c +15 "$f" >"$build/dib_seeds/$(basename "$f")"
       done ;;
  # The PNG reader skips the checksums here, so that mutations reach the decoding.
  png) sources="png_reader.cpp png_writer.cpp" libs="-lpng -ldeflate -lz -pthread -DFUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION"
       seeds="$here/png_corpus" dict="-dict=$here/png.dict" ;;
  header) sources="picture_header.cpp" libs="" seeds="$here/header_corpus $here/png_corpus" dict="" ;;
  exif) sources="orientation.cpp" libs="" seeds="$here/exif_corpus" dict="-dict=$here/exif.dict" ;;
  *) echo "run_fuzz: no fuzzer '$kind' (bmp, dib, png, header or exif)" >&2; exit 2 ;;
esac
mkdir -p "$build/${kind}_corpus" "$build/artifacts"

# shellcheck disable=SC2086 # the lists split into words on purpose
"$cxx" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root/src" "$here/${kind}_reader_fuzz.cpp" $(for s in $sources; do echo "$root/src/core/codecs/$s"; done) \
  $libs -o "$build/${kind}_reader_fuzz"

# New inputs go to the build corpus; the committed seeds and regressions are read only.
# shellcheck disable=SC2086
"$build/${kind}_reader_fuzz" "$build/${kind}_corpus" $seeds $dict \
  -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 -malloc_limit_mb=512 \
  -timeout=10 -print_final_stats=1 -artifact_prefix="$build/artifacts/${kind}-"
