#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine.
# Idempotent: a second run only checks and returns. Both Wines are installed:
# the 32-bit one is harmless where the machine cannot execute it, and
# scripts/wine-env.sh then takes the 64-bit one.
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
  exec sudo -E bash "$0" "$@"
fi

export DEBIAN_FRONTEND=noninteractive

packages=(
  cmake make g++ clang libclang-rt-14-dev
  googletest libgtest-dev libbenchmark-dev
  libpng-dev zlib1g-dev
  libjpeg62-turbo-dev libturbojpeg0-dev libwebp-dev libtiff-dev libgif-dev libheif-dev liblcms2-dev libdeflate-dev
  pkg-config libtesseract-dev tesseract-ocr-eng tesseract-ocr-jpn dpkg-dev
  g++-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine64 wine32:i386
  xvfb x11-utils imagemagick libvips-tools
  nginx
  locales fonts-ipafont-gothic fonts-dejavu-core
  python3
)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  missing=(update)
fi
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -q
  # No service may start while installing: a system nginx would take port 80,
  # which the tests start their own servers on.
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d
    chmod +x /usr/sbin/policy-rc.d
    trap 'rm -f /usr/sbin/policy-rc.d' EXIT
  fi
  apt-get install -y -q --no-install-recommends "${packages[@]}"
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen
fi

# The OCR libraries of the Windows programs, built once per machine from
# Debian's sources (a few minutes on two cores the first time).
bash "$(dirname "$0")/build-ocr-deps.sh"
