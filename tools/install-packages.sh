#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Safe to run again: it only installs what is missing.
set -euo pipefail

PKGS=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev libbenchmark-dev
  clang-format
  g++-mingw-w64-i686-posix mingw-w64-tools libz-mingw-w64-dev
  libjpeg-dev libpng-dev libopenjp2-7-dev zlib1g-dev
  wine wine32:i386 wine64 libcups2:i386
  fonts-liberation xvfb xauth x11-utils socat xdotool
  cups cups-client cups-bsd cups-filters ghostscript poppler-utils
  zbar-tools imagemagick dpkg-dev python3 xz-utils
)

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_update=1
fi
for p in "${PKGS[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
