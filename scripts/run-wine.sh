#!/usr/bin/env bash
# SPDX-License-Identifier: AGPL-3.0-or-later
# Runs a program of a Windows build under Wine: CTest's emulator for the
# mingw64 and mingw32 presets. The first run of a build starts what every
# later run reuses, so that a run costs a program start, not a Wine start:
#   - a throw-away Wine prefix, made once and kept between runs: the build
#     folder's wine-prefix/, or VX_WINE_PREFIX when set (`make test` has both
#     Windows builds share one: a prefix holds 1.3 GB of Wine's DLLs, and a
#     64-bit one runs 32-bit programs too);
#   - a virtual X display (Xvfb) on a free display number, for the real
#     window system's dialogs, left running for the next runs;
#   - one wineserver kept alive (`wineserver -p`) for the whole suite.
# The program is the first argument, a path in the build folder.
# `run-wine.sh --stop BUILD` ends that build's wineserver and display once
# the suite is done (the prefix stays). One prefix serves one suite at a time.
set -u

# The Wine prefix of the build folder $1.
prefix_of() { echo "${VX_WINE_PREFIX:-$1/wine-prefix}"; }

if [ "${1:-}" = --stop ]; then
  build=$(cd "$2" && pwd)
  prefix=$(prefix_of "$build")
  if [ -d "$prefix" ]; then
    WINEPREFIX=$prefix wineserver -k 2>/dev/null
  fi
  if [ -f "$build/wine-state/xvfb.pid" ]; then
    kill "$(cat "$build/wine-state/xvfb.pid")" 2>/dev/null
    rm -f "$build/wine-state/xvfb.pid" "$build/wine-state/display"
  fi
  exit 0
fi

program=$1
shift

build=$(cd "$(dirname "$program")/.." && pwd)
state=$build/wine-state
WINEPREFIX=$(prefix_of "$build")
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$state"

# Debian's `wine` starts through its 32-bit loader, which a kernel built
# without 32-bit support cannot execute; 64-bit programs then go straight
# to the 64-bit one.
wine=wine
if ! /usr/lib/wine/wine --version >/dev/null 2>&1 && [ -x /usr/lib/wine/wine64 ]; then
  wine=/usr/lib/wine/wine64
fi

# One runner at a time sets things up; the rest wait for it. The lock is the
# prefix's, which two builds may share.
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9

# A display of our own: the first free number from 90 on, kept in the state
# folder while its server lives.
display= fresh=
if [ -f "$state/display" ] && kill -0 "$(cat "$state/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
  display=$(cat "$state/display")
else
  for n in $(seq 90 199); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1920x1200x24 -nolisten tcp </dev/null >/dev/null 2>&1 9>&- &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    if [ -e "/tmp/.X11-unix/X$n" ]; then display=:$n fresh=1; break; fi
  done
  [ -n "$display" ] || { echo "run-wine.sh: no free X display for Xvfb" >&2; exit 1; }
  echo "$display" >"$state/display"
fi
export DISPLAY=$display

if [ ! -f "$WINEPREFIX/.made" ]; then
  "$wine" wineboot --init </dev/null >/dev/null 2>&1 9>&-
  wineserver -w
  touch "$WINEPREFIX/.made"
fi
# Persistent: the server stays up between runs (-p), started detached.
wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
# With a new display the session's own processes (services, the desktop)
# start now, while the lock is held, not in two test programs at once.
if [ -n "$fresh" ]; then
  "$wine" cmd /c exit </dev/null >/dev/null 2>&1 9>&-
fi
flock -u 9
exec 9>&-

exec "$wine" "$program" "$@"
