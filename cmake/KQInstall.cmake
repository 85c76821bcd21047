# Installs the three libraries, their headers (flat, in include/), the CMake package
# KQStringArray, whose target KQStringArray::KQStringArray brings the two companion libraries,
# the pkg-config file kqstringarray.pc beside it and the licence.
include(CMakePackageConfigHelpers)

set(KQ_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/KQStringArray)

install(TARGETS CKQError KQString KQStringArray
  EXPORT KQStringArrayTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT KQStringArrayTargets
  NAMESPACE KQStringArray::
  DESTINATION ${KQ_INSTALL_CMAKEDIR})

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
  DESTINATION ${KQ_INSTALL_CMAKEDIR})

# pkg-config: lib/pkgconfig/kqstringarray.pc.  Its prefix is found from the file's own place
# (${pcfiledir}), so an installed tree may be moved or installed with --prefix elsewhere.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  message(FATAL_ERROR "kqstringarray.pc needs a relative CMAKE_INSTALL_LIBDIR")
endif()
set(KQ_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH KQ_PKGCONFIG_TO_PREFIX /prefix/${KQ_PKGCONFIG_DIR} /prefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/kqstringarray.pc.in
               ${PROJECT_BINARY_DIR}/kqstringarray.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kqstringarray.pc DESTINATION ${KQ_PKGCONFIG_DIR})

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Python package over the C interface, where it finds the library three levels up
# (<prefix>/share/KQStringArray/python/kqstringarray -> <prefix>/lib, or <prefix>/bin on
# Windows), with its _version.py written from the project version (the Python build,
# setup.py, takes it from here too).
configure_file(${PROJECT_SOURCE_DIR}/python/_version.py.in
               ${PROJECT_BINARY_DIR}/python/kqstringarray/_version.py @ONLY)
install(FILES ${PROJECT_SOURCE_DIR}/python/kqstringarray/__init__.py
              ${PROJECT_BINARY_DIR}/python/kqstringarray/_version.py
        DESTINATION ${CMAKE_INSTALL_DATADIR}/KQStringArray/python/kqstringarray)
