# Installs the three libraries, their headers (flat, in include/) and the CMake package
# KQStringArray, whose target KQStringArray::KQStringArray brings the two companion libraries.
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
