#!/bin/sh
# Builds the bitmap reader fuzzer with clang (libFuzzer, ASan, UBSan) and runs
# it for a bounded time over the seed corpus. Usage: run_fuzz.sh [seconds]
# Build folder: $MURKEL_FUZZ_BUILD (default /work/main/build/fuzz). Exits
# non-zero when the fuzzer finds a crash; the input is left in the build folder.
set -eu
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${MURKEL_FUZZ_BUILD:-$root/build/fuzz}
cxx=${CXX_FUZZ:-clang++-14}
mkdir -p "$build/corpus" "$build/artifacts"

"$cxx" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root/src" \
  "$here/bmp_reader_fuzz.cpp" \
  "$root/src/imagefile/bmp_reader.cpp" \
  "$root/src/imagefile/bmp_writer.cpp" \
  -o "$build/bmp_reader_fuzz"

# New inputs go to the build corpus; the committed seeds and regressions are read only.
"$build/bmp_reader_fuzz" "$build/corpus" "$here/corpus" "$here/regressions" \
  -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 -malloc_limit_mb=512 \
  -timeout=10 -print_final_stats=1 -artifact_prefix="$build/artifacts/"
