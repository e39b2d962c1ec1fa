#!/usr/bin/env bash
# Shows ZEL Manager working without the device: brings up the rig, starts the
# device simulator on COM1 with a few logged records, starts ZELManager.exe
# under Wine with the rig's PDF printer as default printer, takes a
# screenshot, makes the simulator press Print, takes another (and in label
# mode one of the preview window), and says where
# the screenshots and the printed label PDFs are.
#
# usage: tools/demo.sh [--keep] [--mode CPL|SK|DL] [--desktop] [--xvfb] [RUN_DIR]
#   RUN_DIR     default ./run/demo
#   --keep      leave everything running until Ctrl-C
#   --mode      start in this mode (default CPL, the label printer; writes
#               preferences.pref before the start)
#   --desktop   run inside Wine's virtual desktop (windows get title bars)
#   --xvfb      use a private Xvfb even when $DISPLAY is set
# Environment: ZEL_APP, ZEL_PROBE (win32 build) and ZEL_SIM (native build)
# override where the programs are taken from; missing ones are built.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
keep=0 mode=CPL desktop=0 upargs=()
while [ $# -gt 0 ]; do
  case "$1" in
    --keep) keep=1; shift ;;
    --mode) mode=$2; shift 2 ;;
    --desktop) desktop=1; shift ;;
    --xvfb) upargs+=(--xvfb); shift ;;
    -h|--help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "demo.sh: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
case "$mode" in ""|CPL|SK|DL) ;; *) echo "demo.sh: --mode is CPL, SK or DL" >&2; exit 2 ;; esac
run=${1:-$repo/run/demo}

# A fresh machine first gets its packages and the cross-built image libraries.
bash "$here/install-packages.sh"
bash "$here/image-libs/build.sh" >/dev/null

app=${ZEL_APP:-$repo/build/win32/app/ZELManager.exe}
probe=${ZEL_PROBE:-$repo/build/win32/tools/zelprobe/zelprobe.exe}
sim=${ZEL_SIM:-$repo/build/native/tools/zelsim/zelsim}
if [ ! -x "$app" ] || [ ! -f "$probe" ]; then
  echo "demo.sh: building the Windows program (build/win32)" >&2
  (cd "$repo" && cmake --preset win32 >/dev/null && cmake --build build/win32 --target ZELManager zelprobe >/dev/null)
fi
if [ ! -x "$sim" ]; then
  echo "demo.sh: building the simulator (build/native)" >&2
  (cd "$repo" && cmake --preset native >/dev/null && cmake --build build/native --target zelsim >/dev/null)
fi

"$here/rig/up.sh" "${upargs[@]}" "$run" >/dev/null
run=$(cd "$run" && pwd)
# shellcheck disable=SC1091
. "$run/env"
work=$run/work shots=$run/screenshots
mkdir -p "$work" "$shots"

cleanup() {
  trap - EXIT INT TERM
  if [ -n "${app_pid:-}" ] && kill -0 "$app_pid" 2>/dev/null; then
    wine "$probe" close "ZEL Manager" >"$run/logs/probe.log" 2>&1 || true
    for _ in $(seq 1 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  fi
  [ -p "$run/sim1.ctl" ] && echo quit >"$run/sim1.ctl" 2>/dev/null || true
  sleep 0.3
  "$here/rig/down.sh" "$run"
}
trap cleanup EXIT INT TERM

if [ -n "$mode" ]; then
  printf '[Communication Setup]\r\nPort = 1\r\n[Mode]\r\nOption = %s\r\n' "$mode" >"$work/preferences.pref"
fi

"$sim" --dev "$ZEL_COM1_DEV" --log 5 --control "$run/sim1.ctl" --events "$run/sim1.log" --no-stdin \
  >"$run/logs/zelsim.log" 2>&1 &
echo "extra $!" >>"$run/pids"

cd "$work"
if [ "$desktop" = 1 ]; then
  wine explorer /desktop=ZEL,1024x768 "$app" >"$run/logs/app.log" 2>&1 &
else
  wine "$app" >"$run/logs/app.log" 2>&1 &
fi
app_pid=$!
echo "extra $app_pid" >>"$run/pids"
wine "$probe" wait "ZEL Manager" 30000 >"$run/logs/probe.log" 2>&1 || echo "demo.sh: no ZEL Manager window yet" >&2
sleep 1

shot() { import -display "$DISPLAY" -window root "$shots/$1.png" 2>>"$run/logs/import.log" || true; }
shot 01-started
echo "press operator=SMITH quantity=1500 barcode=ABC123" >"$run/sim1.ctl"
sleep 3
if [ "$mode" = CPL ]; then
  # The label goes through CUPS' PDF filter, which takes a few seconds.
  for _ in $(seq 1 200); do
    [ -n "$(find "$ZEL_PDF_DIR" -name '*.pdf' -size +0 2>/dev/null)" ] && break
    sleep 0.1
  done
fi
shot 02-after-print-press
if [ "$mode" = CPL ]; then
  wine "$probe" click "ZEL Manager" 30 >>"$run/logs/probe.log" 2>&1 || true
  wine "$probe" wait "Preview" 10000 >>"$run/logs/probe.log" 2>&1 || true
  sleep 1
  shot 03-preview
  wine "$probe" close "Preview" >>"$run/logs/probe.log" 2>&1 || true
fi

echo "screenshots:     $shots"
echo "printed labels:  $ZEL_PDF_DIR ($(find "$ZEL_PDF_DIR" -name '*.pdf' | wc -l) PDF files)"
echo "simulator:       echo 'press operator=ROSSI' > $run/sim1.ctl   (events in $run/sim1.log)"
echo "program output:  $run/logs/app.log; working folder $work"
if [ "$keep" = 1 ]; then
  echo "running on DISPLAY=$DISPLAY; Ctrl-C ends it (or: . $run/env)"
  while kill -0 "$app_pid" 2>/dev/null; do sleep 1; done
fi
