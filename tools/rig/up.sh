#!/usr/bin/env bash
# Brings up a private test rig in RUN_DIR: a virtual display, a 32-bit Wine
# prefix with its own wineserver, a private CUPS spooler whose default queue
# writes each job as one PDF file, and pty pairs registered as COM ports.
# Writes RUN_DIR/env (source it) and RUN_DIR/pids (used by down.sh).
#
# usage: up.sh [--xvfb] [--ports "1 3"] [--size WxH] RUN_DIR
#   --xvfb      start our own Xvfb even when $DISPLAY is set
#   --ports     COM port numbers to create (default "1 3")
#   --size      screen size of the Xvfb display (default 1280x1024)
# Environment: ZEL_WINE_TEMPLATE overrides the prefix cache folder
# (default <repo>/build/wine-template).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
own_x=0
ports="1 3"
size=1280x1024
while [ $# -gt 0 ]; do
  case "$1" in
    --xvfb) own_x=1; shift ;;
    --ports) ports=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "up.sh: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
[ $# -eq 1 ] || { echo "usage: up.sh [--xvfb] [--ports \"1 3\"] RUN_DIR" >&2; exit 2; }
mkdir -p "$1"
run=$(cd "$1" && pwd)
template=${ZEL_WINE_TEMPLATE:-$repo/build/wine-template}
queue=ZEL_Label

if [ -s "$run/pids" ]; then
  echo "up.sh: $run/pids exists; running down.sh first" >&2
  "$here/down.sh" "$run" || true
fi
# A new cupsd numbers its jobs from 1 again, so PDFs left by an earlier rig in
# this folder would have the names of this rig's jobs: start with none.
rm -rf "$run/pdf"
mkdir -p "$run"/{home,xdg/config,xdg/cache,xdg/data,ptys,pdf,logs,tmp}
: >"$run/pids"
pidrec() { echo "$1 $2" >>"$run/pids"; }

# Anything below that fails leaves a half rig: take it down again.
fail() { echo "up.sh: $*" >&2; "$here/down.sh" "$run" >/dev/null 2>&1 || true; exit 1; }

export HOME=$run/home XDG_CONFIG_HOME=$run/xdg/config XDG_CACHE_HOME=$run/xdg/cache XDG_DATA_HOME=$run/xdg/data
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset WINESERVER

# --- display -------------------------------------------------------------
if [ "$own_x" = 1 ] || [ -z "${DISPLAY:-}" ]; then
  rm -f "$run/display"
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset \
    3>"$run/display" >"$run/logs/xvfb.log" 2>&1 &
  pidrec xvfb $!
  for _ in $(seq 1 100); do
    [ -s "$run/display" ] && break
    sleep 0.05
  done
  [ -s "$run/display" ] || fail "Xvfb did not start (see $run/logs/xvfb.log)"
  DISPLAY=:$(head -n1 "$run/display")
fi
export DISPLAY

# --- Wine prefix: built once into the template cache, copied per run -----
build_template() {
  local tmp="$template.tmp.$$"
  rm -rf "$tmp"
  mkdir -p "$tmp/home"
  echo "up.sh: building the Wine prefix template (once, ~20 s)" >&2
  HOME="$tmp/home" WINEPREFIX="$tmp/prefix" wineboot -i >"$tmp/wineboot.log" 2>&1 || true
  HOME="$tmp/home" WINEPREFIX="$tmp/prefix" wineserver -w
  [ -f "$tmp/prefix/system.reg" ] || { rm -rf "$tmp"; return 1; }
  echo "$tmp" >"$tmp/origin"
  mv -T "$tmp" "$template" 2>/dev/null || rm -rf "$tmp"
}
mkdir -p "$(dirname "$template")"
(
  flock 9
  [ -f "$template/prefix/system.reg" ] || build_template
) 9>"$template.lock" || fail "could not build the Wine template"
[ -f "$template/prefix/system.reg" ] || fail "Wine template missing"

prefix=$run/wineprefix
rm -rf "$prefix"
cp -a "$template/prefix" "$prefix"
# Shell folder links made at boot point into the template's home: point them
# at this run's home instead, so nothing outside RUN_DIR is written.
origin=$(cat "$template/origin")
find "$prefix/drive_c/users" -type l 2>/dev/null | while read -r l; do
  t=$(readlink "$l")
  case "$t" in
    "$origin"/home*|"$template"/home*)
      rel=${t#"$origin"/home}
      rel=${rel#"$template"/home}
      mkdir -p "$HOME$rel" 2>/dev/null || true
      ln -sfn "$HOME$rel" "$l" ;;
  esac
done
export WINEPREFIX=$prefix

# --- pty pairs as COM ports ------------------------------------------------
# COMn is the end Wine opens; devn is the end the simulator holds.
regs=""
for n in $ports; do
  socat "pty,raw,echo=0,link=$run/ptys/com$n" "pty,raw,echo=0,link=$run/ptys/dev$n" \
    >"$run/logs/socat-com$n.log" 2>&1 &
  pidrec socat $!
  regs="$regs\"COM$n\"=\"$run/ptys/com$n\"\n"
done
for n in $ports; do
  for _ in $(seq 1 100); do
    [ -e "$run/ptys/com$n" ] && [ -e "$run/ptys/dev$n" ] && break
    sleep 0.02
  done
  [ -e "$run/ptys/com$n" ] || fail "socat did not create $run/ptys/com$n"
done
# Registry edits before the server loads the hives: quicker than `wine reg`.
# Paths in .reg strings need their backslashes doubled; ours have none.
# A crashing program must end, not wait on winedbg's dialog on a display
# nobody looks at.
python3 - "$prefix" "$regs" <<'PY'
import sys, time
prefix, ports = sys.argv[1], sys.argv[2].replace("\\n", "\n")

def set_key(path, key, values):
    text = open(path, encoding="latin-1").read()
    head = "[" + key.replace("\\", "\\\\") + "]"
    out, skip = [], False
    for line in text.split("\n"):
        if line.startswith("["):
            skip = line.lower().startswith(head.lower())
        if not skip:
            out.append(line)
    text = "\n".join(out).rstrip("\n") + "\n\n%s %d\n%s\n" % (head, int(time.time()), values.rstrip("\n"))
    open(path, "w", encoding="latin-1").write(text)

set_key(prefix + "/system.reg", "Software\\Wine\\Ports", ports)
set_key(prefix + "/user.reg", "Software\\Wine\\WineDbg", '"ShowCrashDialog"=dword:00000000')
PY

# --- private CUPS ----------------------------------------------------------
cups=$run/cups
rm -rf "$cups"
mkdir -p "$cups"/{etc,spool,tmp,cache,state,log,serverbin/backend}
chmod 755 "$cups" "$cups"/serverbin "$cups"/serverbin/backend
if [ "$(id -u)" = 0 ]; then
  # Filters run as lp and write their temporary files here.
  chgrp lp "$cups/tmp" "$cups/spool" && chmod 1770 "$cups/tmp" && chmod 0710 "$cups/spool"
fi
for d in cgi-bin daemon driver filter monitor notifier; do
  ln -s "/usr/lib/cups/$d" "$cups/serverbin/$d"
done
for b in /usr/lib/cups/backend/*; do ln -s "$b" "$cups/serverbin/backend/"; done
# One PDF per job: the file: backend would overwrite a single file.
cat >"$cups/serverbin/backend/zelpdf" <<'SH'
#!/bin/sh
# usage (by cupsd): zelpdf job user title copies options [file]
if [ $# -eq 0 ]; then echo 'direct zelpdf "Unknown" "ZEL rig PDF files"'; exit 0; fi
dir=${DEVICE_URI#zelpdf:}
title=$(printf '%s' "$3" | tr -c 'A-Za-z0-9._-' '_' | cut -c1-40)
name=$(printf '%s/job-%05d-%s.pdf' "$dir" "$1" "$title")
if [ $# -ge 6 ]; then cat "$6" >"$dir/.$1.part" || exit 1
else cat >"$dir/.$1.part" || exit 1; fi
chmod 644 "$dir/.$1.part" && mv "$dir/.$1.part" "$name"
SH
chmod 700 "$cups/serverbin/backend/zelpdf"
sock=$cups/cups.sock
cat >"$cups/etc/cupsd.conf" <<CONF
Listen $sock
LogLevel warn
MaxLogSize 0
Browsing Off
WebInterface No
DefaultAuthType None
DefaultShared No
JobRetryLimit 0
PreserveJobHistory No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
user_line=""
[ "$(id -u)" = 0 ] || user_line="User $(id -un)
Group $(id -gn)
SystemGroup $(id -gn)"
cat >"$cups/etc/cups-files.conf" <<CONF
FileDevice Yes
ServerRoot $cups/etc
RequestRoot $cups/spool
TempDir $cups/tmp
CacheDir $cups/cache
StateDir $cups/state
ServerBin $cups/serverbin
DataDir /usr/share/cups
DocumentRoot /usr/share/cups/doc-root
AccessLog $cups/log/access_log
ErrorLog $cups/log/error_log
PageLog $cups/log/page_log
Printcap $cups/printcap
$user_line
CONF
chmod 755 "$run/pdf"
cupsd -f -c "$cups/etc/cupsd.conf" -s "$cups/etc/cups-files.conf" >"$run/logs/cupsd.log" 2>&1 &
pidrec cupsd $!
export CUPS_SERVER=$sock
for _ in $(seq 1 200); do
  [ -S "$sock" ] && lpstat -r >/dev/null 2>&1 && break
  sleep 0.05
done
lpstat -r >/dev/null 2>&1 || fail "cupsd did not start (see $cups/log/error_log)"
lpadmin -p "$queue" -E -v "zelpdf:$run/pdf" \
  -P /usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd >/dev/null 2>&1 \
  || fail "lpadmin could not add $queue"
lpadmin -d "$queue" >/dev/null 2>&1 || fail "lpadmin -d $queue failed"

# --- wineserver ------------------------------------------------------------
# A persistent server: otherwise each Wine program waits ~3 s for it to exit.
wineserver -f -p >"$run/logs/wineserver.log" 2>&1 &
pidrec wineserver $!

# --- env ---------------------------------------------------------------------
{
  echo "export ZEL_RUN_DIR='$run'"
  echo "export WINEPREFIX='$prefix' WINEARCH=win32 WINEDEBUG=-all"
  echo "export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'"
  echo "export DISPLAY='$DISPLAY'"
  echo "export CUPS_SERVER='$sock'"
  echo "export HOME='$HOME' XDG_CONFIG_HOME='$XDG_CONFIG_HOME' XDG_CACHE_HOME='$XDG_CACHE_HOME' XDG_DATA_HOME='$XDG_DATA_HOME'"
  echo "export ZEL_PRINTER='$queue' ZEL_PDF_DIR='$run/pdf'"
  list=""
  for n in $ports; do
    echo "export ZEL_COM${n}_DEV='$run/ptys/dev$n'"
    list="$list COM$n"
  done
  echo "export ZEL_COM_PORTS='${list# }'"
} >"$run/env"
echo "$run/env"
