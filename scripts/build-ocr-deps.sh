#!/usr/bin/env bash
# Builds the OCR libraries (Tesseract over Leptonica) for the two Windows
# builds, statically, with the mingw-w64 cross compilers, from Debian's own
# source packages. Debian ships no mingw build of them. Run by
# install-deps.sh as root; idempotent: a finished build is kept, keyed by
# the versions and the compiler, outside any build tree, so that a test run
# never rebuilds them.
#   build-ocr-deps.sh            builds what is missing and prints nothing else
#   build-ocr-deps.sh --prefix   prints the folder of the builds (for CMake)
set -euo pipefail

tesseract_version=5.3.0
leptonica_version=1.82.0
root=${MURKEL_DEPS_ROOT:-/opt/murkel-deps}
key=tesseract-$tesseract_version-leptonica-$leptonica_version-gcc-$(i686-w64-mingw32-g++-posix -dumpfullversion 2>/dev/null || echo none)
prefix=$root/$key

if [ "${1:-}" = --prefix ]; then
  echo "$prefix"
  exit 0
fi

triplets=(i686-w64-mingw32 x86_64-w64-mingw32)
missing=()
for t in "${triplets[@]}"; do
  [ -f "$prefix/$t/.complete" ] || missing+=("$t")
done
[ ${#missing[@]} -eq 0 ] && exit 0

work=$root/work
mkdir -p "$work"
cd "$work"

# The sources, through an apt configuration of our own: the deb-src form of
# the machine's Debian source, with its own lists and cache, so that the
# system's apt state is left as it was.
if [ ! -d tesseract-$tesseract_version ] || [ ! -d leptonlib-$leptonica_version ]; then
  uri=http://deb.debian.org/debian suite=bookworm
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    u=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources)
    s=$(awk '/^Suites:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources)
    [ -n "$u" ] && uri=$u
    [ -n "$s" ] && suite=$s
  elif [ -f /etc/apt/sources.list ]; then
    line=$(awk '$1 == "deb" && $0 !~ /security/ {print; exit}' /etc/apt/sources.list | sed 's/\[[^]]*\]//')
    if [ -n "$line" ]; then
      uri=$(awk '{print $2}' <<<"$line")
      suite=$(awk '{print $3}' <<<"$line")
    fi
  fi
  state=$work/apt
  mkdir -p "$state/lists/partial" "$state/cache/archives/partial"
  echo "deb-src $uri $suite main" >"$state/sources.list"
  apt_opts=(-o "Dir::Etc::SourceList=$state/sources.list" -o Dir::Etc::SourceParts=/dev/null
            -o "Dir::State::Lists=$state/lists" -o "Dir::Cache=$state/cache" -o APT::Sandbox::User=root)
  apt-get "${apt_opts[@]}" -q update
  apt-get "${apt_opts[@]}" -q source --download-only tesseract=$tesseract_version-2 leptonlib=$leptonica_version-3 ||
    apt-get "${apt_opts[@]}" -q source --download-only tesseract leptonlib
  rm -rf tesseract-$tesseract_version leptonlib-$leptonica_version
  dpkg-source --no-check -x tesseract_$tesseract_version-*.dsc tesseract-$tesseract_version >/dev/null
  dpkg-source --no-check -x leptonlib_$leptonica_version-*.dsc leptonlib-$leptonica_version >/dev/null
  # The Windows socket library is named in the case of Windows' own file
  # system; the cross linker's is case-sensitive and has it in lower case.
  sed -i 's/set(LIB_Ws2_32 Ws2_32)/set(LIB_Ws2_32 ws2_32)/' tesseract-$tesseract_version/CMakeLists.txt
fi

jobs=$(nproc)
# The machine's own (Linux) libraries must not be found by the cross builds:
# pkg-config would hand them the host's include folders.
export PKG_CONFIG_LIBDIR=/nonexistent PKG_CONFIG_PATH=
for t in "${missing[@]}"; do
  out=$prefix/$t
  rm -rf "$work/build-$t"
  toolchain=$work/build-$t/toolchain.cmake
  mkdir -p "$work/build-$t"
  arch_flags=""
  [ "$t" = i686-w64-mingw32 ] && arch_flags="-msse2 -mfpmath=sse"
  cat >"$toolchain" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${t%%-*})
set(CMAKE_C_COMPILER $t-gcc-posix)
set(CMAKE_CXX_COMPILER $t-g++-posix)
set(CMAKE_RC_COMPILER $t-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$t $out)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_C_FLAGS_INIT "$arch_flags")
set(CMAKE_CXX_FLAGS_INIT "$arch_flags")
EOF
  if [ ! -f "$out/.leptonica-complete" ]; then
    echo "== Leptonica $leptonica_version for $t"
    cmake -S leptonlib-$leptonica_version -B "$work/build-$t/leptonica" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$out" -DBUILD_SHARED_LIBS=OFF -DBUILD_PROG=OFF \
      -DSW_BUILD=OFF -DCMAKE_DISABLE_FIND_PACKAGE_GIF=ON -DCMAKE_DISABLE_FIND_PACKAGE_JPEG=ON \
      -DCMAKE_DISABLE_FIND_PACKAGE_PNG=ON -DCMAKE_DISABLE_FIND_PACKAGE_TIFF=ON -DCMAKE_DISABLE_FIND_PACKAGE_ZLIB=ON \
      -DCMAKE_DISABLE_FIND_PACKAGE_PkgConfig=ON >/dev/null
    cmake --build "$work/build-$t/leptonica" -j"$jobs" --target install >/dev/null
    touch "$out/.leptonica-complete"
  fi
  echo "== Tesseract $tesseract_version for $t"
  cmake -S tesseract-$tesseract_version -B "$work/build-$t/tesseract" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$out" -DBUILD_SHARED_LIBS=OFF -DSW_BUILD=OFF \
    -DBUILD_TRAINING_TOOLS=OFF -DBUILD_TESTS=OFF -DDISABLED_LEGACY_ENGINE=ON -DGRAPHICS_DISABLED=ON \
    -DOPENMP_BUILD=OFF -DDISABLE_ARCHIVE=ON -DDISABLE_CURL=ON -DENABLE_LTO=OFF \
    -DCMAKE_DISABLE_FIND_PACKAGE_TIFF=ON -DCMAKE_DISABLE_FIND_PACKAGE_PkgConfig=ON \
    -DLeptonica_DIR="$out/lib/cmake/leptonica" >/dev/null
  cmake --build "$work/build-$t/tesseract" -j"$jobs" --target install >/dev/null
  # Their licences travel with the programs that contain them.
  mkdir -p "$out/licences"
  cp tesseract-$tesseract_version/LICENSE "$out/licences/Tesseract-LICENSE.txt"
  cp leptonlib-$leptonica_version/leptonica-license.txt "$out/licences/Leptonica-LICENSE.txt"
  rm -rf "$work/build-$t"
  touch "$out/.complete"
done
