#!/usr/bin/env bash
# Runs a Windows program under Wine for CTest (CMAKE_CROSSCOMPILING_EMULATOR of the win32 build;
# the win64 build's wine64-run.sh calls it with KQ_WINEARCH=win64).
#
#   wine-run.sh PROGRAM [ARG...]   runs PROGRAM under Wine
#   wine-run.sh --start-server     starts one persistent wineserver for the prefix
#   wine-run.sh --stop-server      stops it again
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
export WINEARCH=${KQ_WINEARCH:-win32}
# Debian's `wine` picks the 32-bit loader whenever it is installed, so a 64-bit prefix names the
# 64-bit loader itself (and wineboot, a script that calls `wine`, runs through it).
if [[ "$WINEARCH" == win64 ]]; then
  wine=/usr/lib/wine/wine64
  export WINELOADER=$wine
else
  wine=wine
fi
unset DISPLAY WAYLAND_DISPLAY

marker=$WINEPREFIX/.kq-ready
if [[ ! -f "$marker" ]]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [[ ! -f "$marker" ]]; then
    "$wine" wineboot -i >/dev/null 2>&1
    wineserver -w
    touch "$marker"
  fi
  flock -u 9
  exec 9>&-
fi

# A test run keeps one wineserver alive from its first test to its last (the CTest fixture of
# cmake/KQWineServer.cmake).  Left to itself, each program starts a server that ends as soon as
# the program does, and the next program can meet it while it shuts down ("recvmsg: Connection
# reset by peer").  A server left over from an earlier, interrupted run is replaced.
case "${1:-}" in
--start-server)
  wineserver -k >/dev/null 2>&1 || true
  # The server, and Wine's own background programs (services, devices), which start with the
  # first program and live as long as the server, outlive this script: none of them may hold a
  # test's output open, or CTest waits for them.  So the server starts detached, and wineboot
  # starts the background programs here, with no output to inherit.
  wineserver -p </dev/null >/dev/null 2>&1
  exec "$wine" wineboot </dev/null >/dev/null 2>&1
  ;;
--stop-server)
  exec wineserver -k
  ;;
esac

# A program that fails without printing a byte never reached its own code: Wine failed to start
# it (seen once in many runs on a loaded machine, the test's output empty).  Such a run is
# repeated once, and said so; a program that printed anything keeps its result.  The output is
# held in files and passed on when the program ends.
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
status=0
"$wine" "$@" >"$out" 2>"$err" </dev/null || status=$?
if [[ $status -ne 0 && ! -s "$out" && ! -s "$err" ]]; then
  echo "wine-run.sh: $1 failed with status $status before printing anything; running it again" >&2
  status=0
  "$wine" "$@" >"$out" 2>"$err" </dev/null || status=$?
fi
cat "$out"
cat "$err" >&2
exit "$status"
