#!/usr/bin/env bash
# Runs one command inside a fresh rig and always takes the rig down after,
# e.g.  tools/rig/with-rig.sh run/e2e ctest --test-dir build/win32 -L e2e
# usage: with-rig.sh [up.sh options] RUN_DIR COMMAND [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
opts=()
while [ $# -gt 0 ]; do
  case "$1" in
    --xvfb) opts+=("$1"); shift ;;
    --ports|--size) opts+=("$1" "$2"); shift 2 ;;
    *) break ;;
  esac
done
[ $# -ge 2 ] || { echo "usage: with-rig.sh [up.sh options] RUN_DIR COMMAND [ARGS...]" >&2; exit 2; }
run=$1
shift
"$here/up.sh" "${opts[@]}" "$run" >/dev/null
trap '"$here/down.sh" "$run"' EXIT
# shellcheck disable=SC1091
. "$(cd "$run" && pwd)/env"
"$@"
