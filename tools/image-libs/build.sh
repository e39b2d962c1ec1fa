#!/usr/bin/env bash
# Cross-builds the image libraries (libjpeg-turbo, libpng, OpenJPEG) for
# i686-w64-mingw32 from Debian's source packages into a sysroot of static
# libraries that the win32 CMake build finds with find_package.
#
#   tools/image-libs/build.sh [-jN] [SYSROOT]
#
# SYSROOT defaults to build/sysroot-i686 under the repository. Safe to run
# again: each library is skipped once its stamp exists. The system's apt
# configuration is never touched: the deb-src index lives in a private folder.
set -euo pipefail

JOBS=2
args=()
for a in "$@"; do
  case "$a" in
    -j*) JOBS="${a#-j}" ;;
    *) args+=("$a") ;;
  esac
done
[ -n "$JOBS" ] || JOBS=2

REPO="$(cd "$(dirname "$0")/../.." && pwd)"
SYSROOT="${args[0]:-$REPO/build/sysroot-i686}"
mkdir -p "$SYSROOT"
SYSROOT="$(cd "$SYSROOT" && pwd)"
WORK="$SYSROOT/.work"
HOST=i686-w64-mingw32
MINGW_ROOT=/usr/$HOST
mkdir -p "$WORK"

log() { echo "image-libs: $*" >&2; }

if [ -f "$SYSROOT/.done-all" ]; then
  log "already built in $SYSROOT"
  exit 0
fi

for tool in $HOST-gcc-posix $HOST-g++-posix cmake dpkg-source apt-get; do
  command -v "$tool" >/dev/null || { echo "image-libs: missing $tool (run tools/install-packages.sh)" >&2; exit 1; }
done
[ -f "$MINGW_ROOT/lib/libz.a" ] || { echo "image-libs: missing libz-mingw-w64-dev" >&2; exit 1; }

# --- private deb-src index ---------------------------------------------------
APTDIR="$WORK/apt"
APT_OPTS=(-o "Dir::Etc::SourceParts=$APTDIR/sources.d" -o "Dir::Etc::SourceList=/dev/null"
  -o "Dir::State::Lists=$APTDIR/lists" -o "Dir::Cache=$APTDIR/cache"
  -o "Debug::NoLocking=1" -o "APT::Get::List-Cleanup=0")

setup_apt() {
  [ -f "$APTDIR/.updated" ] && return 0
  mkdir -p "$APTDIR/sources.d" "$APTDIR/lists/partial" "$APTDIR/cache/archives/partial"
  rm -f "$APTDIR/sources.d/"*
  local n=0
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    sed -E 's/^Types:.*/Types: deb-src/' "$f" >"$APTDIR/sources.d/src$n.sources"
    n=$((n + 1))
  done
  # One-line style lists too (older installs keep them).
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    grep -E '^deb[[:space:]]' "$f" | sed -E 's/^deb[[:space:]]/deb-src /' >"$APTDIR/sources.d/src$n.list" || true
    n=$((n + 1))
  done
  log "updating the private deb-src index"
  apt-get "${APT_OPTS[@]}" -qq update
  touch "$APTDIR/.updated"
}

# fetch PKG -> prints the unpacked source folder
fetch() {
  local pkg="$1" dl="$WORK/dl/$1" ver
  if [ -f "$dl/.unpacked" ]; then
    cat "$dl/.unpacked"
    return 0
  fi
  setup_apt
  rm -rf "$dl"
  mkdir -p "$dl"
  # The newest (security) version may be missing from the mirror: newest first
  # until one downloads.
  local versions
  versions="$(apt-cache "${APT_OPTS[@]}" showsrc "$pkg" | awk '/^Version:/ {print $2}' | sort -u |
    while read -r v; do echo "$v"; done | sort -r -V)"
  [ -n "$versions" ] || { echo "image-libs: no source versions of $pkg" >&2; return 1; }
  for ver in $versions; do
    log "downloading $pkg=$ver"
    if (cd "$dl" && apt-get "${APT_OPTS[@]}" -qq source --download-only "$pkg=$ver" >&2); then
      local dsc
      dsc="$(ls "$dl"/*.dsc | head -1)"
      (cd "$dl" && dpkg-source --no-check -x "$dsc" src >&2)
      echo "$dl/src" >"$dl/.unpacked"
      echo "$dl/src"
      return 0
    fi
    rm -f "$dl"/*
  done
  echo "image-libs: no version of $pkg could be downloaded" >&2
  return 1
}

TOOLCHAIN="$WORK/toolchain.cmake"
cat >"$TOOLCHAIN" <<TC
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER $HOST-gcc-posix)
set(CMAKE_CXX_COMPILER $HOST-g++-posix)
set(CMAKE_RC_COMPILER $HOST-windres)
set(CMAKE_FIND_ROOT_PATH $SYSROOT $MINGW_ROOT)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static only: never pick an import library.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
TC

# build NAME PKG LIBFILE cmake-args...
build() {
  local name="$1" pkg="$2" libfile="$3"
  shift 3
  if [ -f "$SYSROOT/.done-$name" ]; then
    log "$name already built"
    return 0
  fi
  local src bdir="$WORK/build-$name"
  src="$(fetch "$pkg")"
  rm -rf "$bdir"
  log "building $name from $src"
  cmake -S "$src" -B "$bdir" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$SYSROOT" -DCMAKE_INSTALL_LIBDIR="$SYSROOT/lib" \
    -DCMAKE_INSTALL_INCLUDEDIR="$SYSROOT/include" \
    -DCMAKE_POSITION_INDEPENDENT_CODE=OFF "$@" >"$WORK/$name.configure.log" 2>&1 ||
    { tail -30 "$WORK/$name.configure.log" >&2; return 1; }
  cmake --build "$bdir" -j "$JOBS" >"$WORK/$name.build.log" 2>&1 ||
    { tail -30 "$WORK/$name.build.log" >&2; return 1; }
  cmake --install "$bdir" >"$WORK/$name.install.log" 2>&1 ||
    { tail -30 "$WORK/$name.install.log" >&2; return 1; }
  [ -f "$SYSROOT/lib/$libfile" ] || { echo "image-libs: $name did not install lib/$libfile" >&2; return 1; }
  touch "$SYSROOT/.done-$name"
}

build jpeg libjpeg-turbo libjpeg.a -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
  -DWITH_SIMD=OFF -DWITH_JAVA=OFF -DCMAKE_C_FLAGS=-O2
build png libpng1.6 libpng16.a -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DPNG_TOOLS=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_EXECUTABLES=ON \
  -DZLIB_LIBRARY="$MINGW_ROOT/lib/libz.a" -DZLIB_INCLUDE_DIR="$MINGW_ROOT/include"
build openjpeg openjpeg2 libopenjp2.a -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_CODEC=OFF \
  -DBUILD_TESTING=OFF -DBUILD_DOC=OFF -DBUILD_JPIP=OFF -DBUILD_JPWL=OFF -DBUILD_MJ2=OFF

touch "$SYSROOT/.done-all"
log "done: $SYSROOT"
