# cmake -P script: install, then build a client at the language level KQ_CXX_STANDARD with the
# flags that `pkg-config --cflags --libs kqstringarray` gives for the installed tree, and run it.
# `pkg-config --modversion kqstringarray` must be KQ_PROJECT_VERSION, and the version client,
# built the same way, holds the installed header and the library to it.
set(prefix ${KQ_WORK_DIR}/prefix)
set(client ${KQ_WORK_DIR}/modern_client)
set(version_client ${KQ_WORK_DIR}/version_client)
file(REMOVE_RECURSE ${KQ_WORK_DIR})

include(${CMAKE_CURRENT_LIST_DIR}/KQRunCommand.cmake)

# pkg-config with only the installed tree on its path.
function(pkg_config out)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_LIBDIR=${prefix}/${KQ_LIBDIR}/pkgconfig
            ${KQ_PKG_CONFIG} ${ARGN} kqstringarray
    OUTPUT_VARIABLE output OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "pkg-config ${ARGN} kqstringarray failed (${result})")
  endif()
  set(${out} "${output}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${KQ_BUILD_DIR} --prefix ${prefix})

# The flags name no language level: the client's own -std must stand.
pkg_config(cflags --cflags)
if(cflags MATCHES "-std=")
  message(FATAL_ERROR "pkg-config --cflags kqstringarray sets the language level: ${cflags}")
endif()
pkg_config(flags --cflags --libs)
pkg_config(libdir --variable=libdir)
pkg_config(modversion --modversion)
message(STATUS "pkg-config --cflags --libs kqstringarray: ${flags}")
message(STATUS "pkg-config --modversion kqstringarray: ${modversion}")
if(NOT modversion STREQUAL KQ_PROJECT_VERSION)
  message(FATAL_ERROR "pkg-config says version ${modversion}, the project is ${KQ_PROJECT_VERSION}")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
separate_arguments(cxx_flags UNIX_COMMAND "${KQ_CXX_FLAGS} ${KQ_EXE_LINKER_FLAGS}")

run(${KQ_CXX_COMPILER} -std=c++${KQ_CXX_STANDARD} -DKQ_EXPECTED_CXX_LEVEL=${KQ_CXX_STANDARD}
    ${cxx_flags} ${KQ_CLIENT_SOURCE} ${flags}
    -Wl,-rpath,${libdir} -o ${client})
run(${client})
run(${KQ_CXX_COMPILER} -std=c++17 ${cxx_flags} "-DKQ_PACKAGE_VERSION=\"${modversion}\""
    ${KQ_VERSION_CLIENT_SOURCE} ${flags} -Wl,-rpath,${libdir} -o ${version_client})
run(${version_client})
