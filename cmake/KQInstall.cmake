# Installs the three libraries, their headers (flat, in include/), the CMake package
# KQStringArray, whose target KQStringArray::KQStringArray brings the two companion libraries,
# the pkg-config file kqstringarray.pc beside it and the licence.
#
# Every file belongs to one of two install components, which the packages follow
# (cmake/KQPackage.cmake):
#   Runtime      what a program needs to run: the shared libraries (with their SONAME links)
#                or DLLs, the MinGW runtime DLLs, the licence, the Python module;
#   Development  what a client needs to build: headers, the .so links, import or static
#                libraries, the CMake package, the pkg-config file, KQStringArray.def.
include(CMakePackageConfigHelpers)

set(KQ_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/KQStringArray)

install(TARGETS CKQError KQString KQStringArray
  EXPORT KQStringArrayTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)

install(EXPORT KQStringArrayTargets
  NAMESPACE KQStringArray::
  DESTINATION ${KQ_INSTALL_CMAKEDIR}
  COMPONENT Development)

# Static libraries carry their dependencies to the client: the package config then finds the
# thread library that the exported targets name.
if(BUILD_SHARED_LIBS)
  set(KQ_STATIC_LIBRARIES OFF)
else()
  set(KQ_STATIC_LIBRARIES ON)
endif()

# The compiler runtime DLLs that cmake/KQMinGWRuntime.cmake installed into bin/ (none outside
# MinGW builds), for KQStringArray_RUNTIME_DLLS.
get_property(KQ_RUNTIME_DLL_NAMES GLOBAL PROPERTY KQ_MINGW_RUNTIME_DLLS)

configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/KQStringArrayConfig.cmake.in
  ${PROJECT_BINARY_DIR}/KQStringArrayConfig.cmake
  INSTALL_DESTINATION ${KQ_INSTALL_CMAKEDIR})
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/KQStringArrayConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)

install(FILES
  ${PROJECT_BINARY_DIR}/KQStringArrayConfig.cmake
  ${PROJECT_BINARY_DIR}/KQStringArrayConfigVersion.cmake
  DESTINATION ${KQ_INSTALL_CMAKEDIR}
  COMPONENT Development)

# pkg-config: lib/pkgconfig/kqstringarray.pc.  Its prefix is found from the file's own place
# (${pcfiledir}), so an installed tree may be moved or installed with --prefix elsewhere.  A tree
# configured for /usr (the Debian packages) names /usr itself instead: pkg-config then sees the
# system folders and leaves -I/usr/include and -L/usr/lib/<multiarch> out of the flags.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  message(FATAL_ERROR "kqstringarray.pc needs a relative CMAKE_INSTALL_LIBDIR")
endif()
set(KQ_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(CMAKE_INSTALL_PREFIX MATCHES "^/usr/?$")
  set(KQ_PKGCONFIG_PREFIX /usr)
else()
  file(RELATIVE_PATH KQ_PKGCONFIG_TO_PREFIX /prefix/${KQ_PKGCONFIG_DIR} /prefix)
  set(KQ_PKGCONFIG_PREFIX "\${pcfiledir}/${KQ_PKGCONFIG_TO_PREFIX}")
endif()
# Static libraries: the export macros expand to nothing in the client too, and a static link
# (pkg-config --static) adds what the libraries themselves link: the thread library where it is
# not part of libc, and the C++ runtime, for C clients linking with cc.
set(KQ_PKGCONFIG_CFLAGS "")
set(KQ_PKGCONFIG_LIBS_PRIVATE "")
if(NOT BUILD_SHARED_LIBS)
  foreach(library IN ITEMS KQStringArray KQString CKQError)
    string(TOUPPER ${library} base)
    string(APPEND KQ_PKGCONFIG_CFLAGS " -D${base}_STATIC_DEFINE")
  endforeach()
  set(runtime_libraries "")
  foreach(library IN LISTS CMAKE_CXX_IMPLICIT_LINK_LIBRARIES)
    # The C library and the compiler's support library come with any link driver.
    if(NOT library MATCHES "^(c|gcc|gcc_s|gcc_eh)$")
      list(APPEND runtime_libraries -l${library})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES runtime_libraries)
  list(JOIN runtime_libraries " " KQ_PKGCONFIG_LIBS_PRIVATE)
  string(STRIP "${CMAKE_THREAD_LIBS_INIT} ${KQ_PKGCONFIG_LIBS_PRIVATE}" KQ_PKGCONFIG_LIBS_PRIVATE)
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/kqstringarray.pc.in
               ${PROJECT_BINARY_DIR}/kqstringarray.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kqstringarray.pc DESTINATION ${KQ_PKGCONFIG_DIR}
        COMPONENT Development)

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR}
        COMPONENT Runtime)

# The Python package over the C interface (it loads the shared library only, so it goes with
# the runtime files), where it finds the library three levels up
# (<prefix>/share/KQStringArray/python/kqstringarray -> <prefix>/lib, or <prefix>/bin on
# Windows), with its _version.py written from the project version (the Python build,
# setup.py, takes it from here too).
configure_file(${PROJECT_SOURCE_DIR}/python/_version.py.in
               ${PROJECT_BINARY_DIR}/python/kqstringarray/_version.py @ONLY)
install(FILES ${PROJECT_SOURCE_DIR}/python/kqstringarray/__init__.py
              ${PROJECT_BINARY_DIR}/python/kqstringarray/_version.py
        DESTINATION ${CMAKE_INSTALL_DATADIR}/KQStringArray/python/kqstringarray
        COMPONENT Runtime)
