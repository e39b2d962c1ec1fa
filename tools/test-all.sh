#!/usr/bin/env bash
# Runs every test of ZEL Manager on a Debian 12 machine, installing what is
# missing first:
#   1. native unit tests under AddressSanitizer and UndefinedBehaviorSanitizer
#   2. the threaded tests under ThreadSanitizer
#   3. each libFuzzer target for a short while (clang)
#   4. the Win32 build, its tests under Wine and the end-to-end tests of the
#      real ZELManager.exe, inside a private rig (Xvfb, Wine prefix, CUPS, ptys)
# Usage: tools/test-all.sh [--fuzz-seconds N] [--skip-fuzz]
set -uo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
fuzz_seconds=10
skip_fuzz=0
while [ $# -gt 0 ]; do
  case "$1" in
    --fuzz-seconds) fuzz_seconds=$2; shift 2 ;;
    --skip-fuzz) skip_fuzz=1; shift ;;
    *) echo "usage: $0 [--fuzz-seconds N] [--skip-fuzz]" >&2; exit 2 ;;
  esac
done
jobs=$(nproc 2>/dev/null || echo 2)

step() { printf '\n=== %s\n' "$*"; }
die() { echo "test-all: $*" >&2; exit 1; }

total_pass=0
total_fail=0
# Adds the counts of one ctest run (its log file) to the totals.
count_ctest() {
  local line passed failed
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$1" | tail -1)
  if [ -z "$line" ]; then
    return 0
  fi
  failed=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
  local all
  all=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((all - failed))
  total_pass=$((total_pass + passed))
  total_fail=$((total_fail + failed))
}

step "packages"
bash tools/install-packages.sh || die "package installation failed"

step "format check"
fmt_bad=$(git ls-files '*.cpp' '*.h' | xargs -r clang-format --dry-run 2>&1 | grep -c 'warning:' || true)
if [ "${fmt_bad:-0}" != 0 ]; then
  git ls-files '*.cpp' '*.h' | xargs -r clang-format --dry-run 2>&1 | grep 'warning:' | cut -d: -f1 | sort -u | head -20
  echo "format: $fmt_bad places differ from .clang-format"
  total_fail=$((total_fail + 1))
else
  echo "format: clean"
fi

step "native build and tests (ASan, UBSan)"
cmake --preset native >build-native-configure.log 2>&1 || { cat build-native-configure.log; die "native configure failed"; }
rm -f build-native-configure.log
cmake --build --preset native -j"$jobs" || die "native build failed"
log=$(mktemp)
ctest --preset native -j"$jobs" 2>&1 | tee "$log"
count_ctest "$log"

step "threaded tests (TSan)"
cmake --preset native-tsan >/dev/null || die "tsan configure failed"
cmake --build --preset native-tsan -j"$jobs" || die "tsan build failed"
ctest --preset native-tsan -L tsan -j"$jobs" 2>&1 | tee "$log"
count_ctest "$log"

if [ "$skip_fuzz" = 0 ]; then
  step "fuzzers ($fuzz_seconds s each)"
  cmake --preset fuzz >/dev/null || die "fuzz configure failed"
  cmake --build build/fuzz --target fuzzers -j"$jobs" || die "fuzz build failed"
  while read -r exe corpus; do
    [ -n "$exe" ] || continue
    name=$(basename "$exe")
    work=$(mktemp -d)
    [ -n "$corpus" ] && [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
    if "$exe" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -print_final_stats=0 "$work" >"build/fuzz/$name.log" 2>&1; then
      echo "fuzz $name: ok"
      total_pass=$((total_pass + 1))
    else
      tail -30 "build/fuzz/$name.log"
      echo "fuzz $name: FAILED (log build/fuzz/$name.log)"
      total_fail=$((total_fail + 1))
    fi
    rm -rf "$work"
  done <build/fuzz/fuzzers.txt
fi

step "image libraries for Windows"
bash tools/image-libs/build.sh -j"$jobs" || die "cross-build of the image libraries failed"

step "win32 build"
cmake --preset win32 >/dev/null || die "win32 configure failed"
cmake --build --preset win32 -j"$jobs" || die "win32 build failed"

step "Wine rig"
run="$repo/build/run-tests"
bash tools/rig/up.sh --xvfb "$run" || die "the rig did not come up"
trap 'bash "$repo/tools/rig/down.sh" "$run" >/dev/null 2>&1' EXIT
# shellcheck disable=SC1091
source "$run/env"
export ZEL_SIM="$repo/build/native/tools/zelsim/zelsim"
# Wine starts its service and desktop processes with the first program that
# needs them, and they inherit that program's output. Start them here with
# output to a file, or ctest would wait for them to close its pipe.
wine "$repo/build/win32/tools/zelprobe/zelprobe.exe" dump "ZEL Manager" </dev/null >"$run/logs/warmup.log" 2>&1 || true

step "Win32 tests under Wine and end-to-end tests"
ctest --preset win32 2>&1 | tee "$log"
count_ctest "$log"

rm -f "$log"
echo
echo "tests: $total_pass passed, $total_fail failed"
[ "$total_fail" = 0 ]
