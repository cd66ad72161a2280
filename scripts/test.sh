#!/usr/bin/env bash
# Builds everything and runs every test: the core natively (with sanitizers),
# then both Windows builds, one of them tested under Wine and Xvfb (core
# again, Win32 integration, end to end), then the fuzzers of the readers (bitmap
# files, the clipboard's packed bitmaps, PNG, picture headers, orientation tags)
# for a bounded time each. Ends with one summary line; exits non-zero when
# anything failed.
set -uo pipefail
MURKEL_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$MURKEL_ROOT"
mkdir -p build
passed=0
failed=0
skipped=()

# Runs ctest in a build folder and adds its counts to the totals.
run_ctest() {
  local log=build/ctest-$1.log
  shift
  ctest "$@" --output-on-failure 2>&1 | tee "$log"
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$line" ]; then
    echo "ctest gave no summary" >&2
    failed=$((failed + 1))
    return
  fi
  local bad total
  bad=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* tests failed out of ([0-9]+).*/\1/' <<<"$line")
  # ctest counts a skipped test among the passed ones; here it stands apart.
  local names
  mapfile -t names < <(sed -nE 's/^[[:space:]]*[0-9]+ - ([^ ]+) \(Skipped\)$/\1/p' "$log")
  passed=$((passed + total - bad - ${#names[@]}))
  failed=$((failed + bad))
  skipped+=("${names[@]}")
}

bash scripts/install-deps.sh || exit 1

echo "== native build and core tests"
cmake -S . -B build/native -DMURKEL_SANITIZE=ON >/dev/null &&
  cmake --build build/native -j2 || exit 1
run_ctest native --test-dir build/native -j2

# Both Windows programs are built every time; the tests run on the one this
# machine can run (scripts/wine-env.sh decides, MURKEL_WINE_BITS forces).
source scripts/wine-env.sh || exit 1
for bits in 32 64; do
  echo "== Windows build and package, $bits-bit"
  build_windows $bits --target all package || exit 1
done
echo "== Windows tests: $MURKEL_WINE_ABOUT"
start_xvfb || exit 1
init_wine_prefix
trap stop_wine_and_xvfb EXIT
run_ctest "win$MURKEL_WINE_BITS" --test-dir "$MURKEL_WIN_BUILD"

# Each reader fuzzed for a bounded time (MURKEL_FUZZ_SECONDS each, default 15;
# the two small header readers a third of it).
for kind in bmp dib png header exif; do
  seconds=${MURKEL_FUZZ_SECONDS:-15}
  [ "$kind" = header ] || [ "$kind" = exif ] && seconds=$(((seconds + 2) / 3))
  echo "== ${kind^^} reader fuzzing, $seconds s"
  if bash fuzz/run_fuzz.sh "$seconds" "$kind" >"build/fuzz-$kind.log" 2>&1; then
    grep -E '^Done [0-9]+ runs' "build/fuzz-$kind.log"
    passed=$((passed + 1))
  else
    tail -40 "build/fuzz-$kind.log"
    echo "fuzzing found a failure; see build/fuzz-$kind.log and build/fuzz/artifacts"
    failed=$((failed + 1))
  fi
done

skips=""
[ ${#skipped[@]} -gt 0 ] && skips=", ${#skipped[@]} SKIPPED (${skipped[*]}; 'ctest -V -R NAME' in its build folder tells why)"
echo "tests: $passed passed, $failed failed$skips (Windows tests: $MURKEL_WINE_ABOUT)"
[ "$failed" -eq 0 ]
