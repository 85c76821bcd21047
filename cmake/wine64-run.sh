#!/usr/bin/env bash
# Runs a 64-bit Windows program under 64-bit Wine for CTest (the win64 build's
# CMAKE_CROSSCOMPILING_EMULATOR); the same commands as wine-run.sh, with a 64-bit prefix.
KQ_WINEARCH=win64 exec "$(dirname "${BASH_SOURCE[0]}")/wine-run.sh" "$@"
