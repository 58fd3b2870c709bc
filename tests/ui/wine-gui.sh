#!/usr/bin/env bash
# Runs a command that starts Windows programs with windows under Wine, on a
# private X display:  wine-gui.sh PREFIX COMMAND [ARGS...]
#
# PREFIX is the Wine prefix for window tests (made on first use by the build's
# Wine wrapper, cmake/wine-run.sh, which COMMAND normally is). The command sees
# LUNTEVA_WINEPREFIX=PREFIX and DISPLAY. Set up once per prefix:
# - the Chinese face "微软雅黑" is replaced by WenQuanYi Micro Hei
#   (fonts-wqy-microhei), and "MS Shell Dlg", the face of the default GUI font
#   and of message boxes, is substituted by it, so Chinese captions show;
# - Wine's own Marlett and Tahoma go into the prefix's font folder, since this
#   Wine does not find its font folder by itself (the caption buttons need Marlett);
# - every program runs in a Wine desktop of 1024x768, so windows get frames
#   and a title bar without a window manager.
# A fresh Xvfb serves the command and is stopped after it, together with the
# prefix's wineserver, so no Wine process outlives the run. Exit code: the command's.
set -euo pipefail

if (($# < 2)); then
  echo "usage: $0 PREFIX COMMAND [ARGS...]" >&2
  exit 2
fi
prefix=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
wine_run=${LUNTEVA_WINE_RUN:-$here/../../cmake/wine-run.sh}
export LUNTEVA_WINEPREFIX=$prefix WINEDEBUG=-all

work=$(mktemp -d)
xvfb_pid=
cleanup() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; exit 1; }
  sleep 0.1
done
[ -s "$work/display" ] || { echo "$0: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")

if [ ! -f "$prefix/.lunteva-gui-ready" ]; then
  # "reg" takes its arguments in the Unix locale: UTF-8 for the Chinese face name.
  reg() { LC_ALL=C.UTF-8 "$wine_run" reg add "$@" /f >/dev/null; }
  reg 'HKCU\Software\Wine\Fonts\Replacements' /v '微软雅黑' /t REG_SZ /d 'WenQuanYi Micro Hei'
  reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v 'MS Shell Dlg' /t REG_SZ \
    /d 'WenQuanYi Micro Hei'
  reg 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default
  reg 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768
  for font in marlett.ttf tahoma.ttf tahomabd.ttf; do
    [ -f "/usr/share/wine/fonts/$font" ] && cp "/usr/share/wine/fonts/$font" "$prefix/drive_c/windows/Fonts/"
  done
  WINEPREFIX=$prefix wineserver -w
  touch "$prefix/.lunteva-gui-ready"
fi

set +e
"$@"
status=$?
set -e
exit "$status"
