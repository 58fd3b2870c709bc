#!/usr/bin/env bash
# Runs a Windows program under Wine: wine-run.sh PROGRAM.exe [ARGS...]
#
# The Wine prefix is a throwaway one inside the build folder (the nearest
# folder above the program that holds CMakeCache.txt), made on first use;
# LUNTEVA_WINEPREFIX names another. A lock keeps parallel runs from making it
# twice. Wine's own debug output is off (LUNTEVA_WINEDEBUG sets its channels).
# The program's exit code is returned.
set -euo pipefail

if (($# < 1)); then
  echo "usage: $0 PROGRAM.exe [ARGS...]" >&2
  exit 2
fi

find_build_dir() {
  local dir
  dir=$(cd "$(dirname "$1")" && pwd)
  while [ "$dir" != / ]; do
    [ -f "$dir/CMakeCache.txt" ] && { echo "$dir"; return 0; }
    dir=$(dirname "$dir")
  done
  return 1
}

if [ -n "${LUNTEVA_WINEPREFIX:-}" ]; then
  prefix=$LUNTEVA_WINEPREFIX
else
  build_dir=$(find_build_dir "$1" || find_build_dir "$PWD/x") || {
    echo "$0: no build folder above $1; set LUNTEVA_WINEPREFIX" >&2
    exit 2
  }
  prefix=$build_dir/wineprefix
fi

# wine64 directly: Debian's "wine" wrapper warns about a missing wine32.
if command -v wine64 >/dev/null; then
  wine=wine64
elif [ -x /usr/lib/wine/wine64 ]; then
  wine=/usr/lib/wine/wine64
else
  wine=wine
fi
if command -v wineserver >/dev/null; then
  wineserver=wineserver
else
  wineserver=/usr/lib/wine/wineserver64
fi

export WINEPREFIX=$prefix WINEDEBUG=${LUNTEVA_WINEDEBUG:--all} WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.lunteva-ready" ]; then
    rm -rf "$prefix"
    "$wine" wineboot -i >/dev/null 2>&1
    touch "$prefix/.lunteva-ready"
  fi
) 9>"$prefix.lock"

# A cold start of the prefix's server and services costs two seconds; a
# server that lingers half a minute after its last program keeps a run of
# tests warm (it fails, with 2, when one is running already). The services
# that start with a new server live as long as it does, so they are started
# here with no standard streams: else they would hold the caller's pipes open
# (and CTest would wait for them) until the server ends.
# LUNTEVA_WINESERVER_PERSIST sets those seconds.
if "$wineserver" -p"${LUNTEVA_WINESERVER_PERSIST:-30}" </dev/null >/dev/null 2>&1; then
  "$wine" wineboot </dev/null >/dev/null 2>&1 || true
fi

exec "$wine" "$@"
