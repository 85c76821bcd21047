# Cross build of the 64-bit Windows DLLs with MinGW-w64 (Debian's g++-mingw-w64-x86-64), with the
# executables run under 64-bit Wine through cmake/wine64-run.sh.  The same sources and tests as
# the 32-bit build; it is how the Windows side is run on a host that cannot execute 32-bit code.
#
#   cmake --preset win64        (or -DCMAKE_TOOLCHAIN_FILE=<this file>)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(KQ_MINGW_TRIPLET x86_64-w64-mingw32)
set(KQ_WINE_RUNNER wine64-run.sh)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
