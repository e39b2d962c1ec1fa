#!/usr/bin/env bash
# Takes down what up.sh started in RUN_DIR, by the PIDs it recorded:
# wineserver first (so socat's ptys do not hang up under it), then socat,
# cupsd and Xvfb. Leaves the run folder's files (logs, PDFs) in place.
# usage: down.sh RUN_DIR
set -uo pipefail
[ $# -eq 1 ] || { echo "usage: down.sh RUN_DIR" >&2; exit 2; }
run=$(cd "$1" 2>/dev/null && pwd) || exit 0
[ -f "$run/pids" ] || exit 0

# A zombie counts as gone: whoever adopted it may never reap it.
alive() {
  kill -0 "$1" 2>/dev/null || return 1
  local st
  st=$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null) || return 1
  [ "$st" != Z ]
}
stop() { # stop PID...: TERM, wait up to 3 s, then KILL
  local p
  for p in "$@"; do alive "$p" && kill "$p" 2>/dev/null; done
  for _ in $(seq 1 60); do
    local any=0
    for p in "$@"; do alive "$p" && any=1; done
    [ $any = 0 ] && return 0
    sleep 0.05
  done
  for p in "$@"; do alive "$p" && kill -9 "$p" 2>/dev/null; done
  return 0
}
pids_of() { awk -v k="$1" '$1 == k { print $2 }' "$run/pids"; }

if [ -d "$run/wineprefix" ]; then
  # Ends every Wine process of this prefix, then the server itself.
  WINEPREFIX=$run/wineprefix timeout 10 wineserver -k >/dev/null 2>&1 || true
fi
# Programs that the demo registered as "extra" go too, if they are still the
# ones it started (they carry this run's ZEL_RUN_DIR): a PID may be reused.
for p in $(pids_of extra); do
  if { tr '\0' '\n' <"/proc/$p/environ"; } 2>/dev/null | grep -qxF "ZEL_RUN_DIR=$run"; then
    stop "$p"
  fi
done
for kind in wineserver socat cupsd xvfb; do
  # shellcheck disable=SC2046
  stop $(pids_of "$kind")
done
rm -f "$run/pids"
