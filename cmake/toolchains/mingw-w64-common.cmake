# What the two MinGW-w64 toolchain files share; each sets KQ_MINGW_TRIPLET, CMAKE_SYSTEM_PROCESSOR
# and KQ_WINE_RUNNER (the script, in cmake/, that runs the build's programs under Wine) first.
set(CMAKE_SYSTEM_NAME Windows)

# The posix-threads variant: std::thread and std::mutex need it (the tests use both).
set(CMAKE_C_COMPILER ${KQ_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KQ_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KQ_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${KQ_MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB ${KQ_MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "Ranlib")

set(CMAKE_FIND_ROOT_PATH /usr/${KQ_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Config packages are looked up outside the MinGW root too, so that a client finds an installed
# KQStringArray package through CMAKE_PREFIX_PATH as it would natively.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# The compiler runtime stays in its DLLs (libstdc++-6, libgcc_s_*, libwinpthread-1), which the
# project copies beside its own; cmake/KQMinGWRuntime.cmake says why it is not linked in.

# zlib (Debian's libz-mingw-w64-dev, only the tests' CRC-32 oracle) is linked in statically.
set(ZLIB_USE_STATIC_LIBS ON)

# Test executables and the example client run under Wine.
cmake_path(GET CMAKE_CURRENT_LIST_DIR PARENT_PATH KQ_CMAKE_DIR)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KQ_CMAKE_DIR}/${KQ_WINE_RUNNER})
