# Cross build of the 32-bit Windows DLLs with MinGW-w64 (Debian's g++-mingw-w64-i686), with the
# executables run under 32-bit Wine through cmake/wine-run.sh.
#
#   cmake --preset win32        (or -DCMAKE_TOOLCHAIN_FILE=<this file>)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KQ_MINGW_TRIPLET i686-w64-mingw32)
set(KQ_WINE_RUNNER wine-run.sh)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
