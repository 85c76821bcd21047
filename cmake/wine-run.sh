#!/usr/bin/env bash
# Runs a Windows program under Wine for CTest (CMAKE_CROSSCOMPILING_EMULATOR of the win32 build).
#
# The Wine prefix lives in the build tree (the outermost directory holding a CMakeCache.txt above
# the current directory, so that a build nested in it, such as the package check's client, shares
# it; or KQ_WINEPREFIX when set), is created once by the first run, behind a lock so that parallel
# test runs wait for it instead of racing, and is shared by all later runs.  No window opens:
# DISPLAY is unset and the Mono and Gecko installers are switched off.
set -euo pipefail

if [[ -z "${KQ_WINEPREFIX:-}" ]]; then
  top=$PWD
  dir=$PWD
  while [[ "$dir" != / ]]; do
    if [[ -f "$dir/CMakeCache.txt" ]]; then
      top=$dir
    fi
    dir=$(dirname "$dir")
  done
  KQ_WINEPREFIX=$top/wineprefix
fi
export WINEPREFIX=$KQ_WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32
unset DISPLAY WAYLAND_DISPLAY

marker=$WINEPREFIX/.kq-ready
if [[ ! -f "$marker" ]]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [[ ! -f "$marker" ]]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
    touch "$marker"
  fi
  flock -u 9
  exec 9>&-
fi

exec wine "$@"
