# Binary packages of the installed tree, made with CPack from the install components of
# cmake/KQInstall.cmake (Runtime, Development):
#
#   cpack -G DEB  two Debian packages, from a tree configured with CMAKE_INSTALL_PREFIX=/usr (the
#                 package-deb preset), so that the libraries land in the multiarch folder:
#                   libkqstringarray<SOVERSION>  the shared libraries and their SONAME links
#                   libkqstringarray-dev         headers, .so links, CMake package, pkg-config
#                                                file; depends on the runtime package of the very
#                                                same version
#   cpack -G ZIP  one archive of everything installed (the package-win32 preset: the DLLs, the
#                 MinGW runtime DLLs, import libraries, KQStringArray.def, headers, licence).
set(CPACK_PACKAGE_NAME KQStringArray)
set(CPACK_PACKAGE_VENDOR "KQStringArray developers")
set(CPACK_PACKAGE_CONTACT "KQStringArray developers <kqstringarray@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# Only the two components: nothing may fall into a third, unnamed package.
set(CPACK_COMPONENTS_ALL Runtime Development)
set(CPACK_COMPONENT_RUNTIME_DISPLAY_NAME "Runtime libraries")
set(CPACK_COMPONENT_DEVELOPMENT_DISPLAY_NAME "Development files")
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS Runtime)

# Debian: one package per component, named and sectioned as Debian names library packages.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(kq_runtime_package libkqstringarray${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${kq_runtime_package})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# The descriptions follow the summary line (CPACK_PACKAGE_DESCRIPTION_SUMMARY).
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "The shared libraries KQStringArray (pointer, integer and \
string arrays), KQString (the wide-string class) and CKQError (the error state every array \
carries).")
# The runtime package's own dependencies (libc6, libstdc++6, libgcc-s1) come from
# dpkg-shlibdeps; its shlibs file lets packages built against it depend on it in turn, and its
# ldconfig trigger refreshes the loader's cache.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libkqstringarray-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "Development files: the headers, the CMake package \
KQStringArray and the pkg-config file kqstringarray for building against the KQStringArray \
libraries.")
# The headers match one build of the libraries exactly: the same version and Debian revision.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "${kq_runtime_package} (= ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})")
unset(kq_runtime_package)

# Archives: one, holding both components, under a top-level folder named after the package.
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)

include(CPack)
