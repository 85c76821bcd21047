# cmake -P script: configures, builds and installs this source tree as static libraries
# (BUILD_SHARED_LIBS=OFF, the libraries alone) into a prefix of its own, then builds the package
# clients against that prefix with CMake (find_package) and with `pkg-config --static`, and runs
# them.  The prefix holds no shared library of the project, so every client that links and runs
# took the archives alone, with what their link interface and Libs.private name.
set(build ${KQ_WORK_DIR}/build)
set(prefix ${KQ_WORK_DIR}/prefix)
set(client_build ${KQ_WORK_DIR}/client-build)
file(REMOVE_RECURSE ${KQ_WORK_DIR})

include(${CMAKE_CURRENT_LIST_DIR}/KQRunCommand.cmake)

run(${CMAKE_COMMAND} -S ${KQ_SOURCE_DIR} -B ${build} -G ${KQ_GENERATOR}
    -DBUILD_SHARED_LIBS=OFF -DKQ_BUILD_TESTS=OFF -DKQ_BUILD_EXAMPLES=OFF
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=${prefix}
    -DCMAKE_CXX_COMPILER=${KQ_CXX_COMPILER}
    "-DCMAKE_CXX_FLAGS=${KQ_CXX_FLAGS}")
run(${CMAKE_COMMAND} --build ${build})
run(${CMAKE_COMMAND} --install ${build})

file(GLOB_RECURSE archives ${prefix}/*.a)
file(GLOB_RECURSE shared ${prefix}/*.so ${prefix}/*.so.*)
list(LENGTH archives archive_count)
if(NOT archive_count EQUAL 3 OR shared)
  message(FATAL_ERROR "expected the three static libraries alone, found: ${archives} ${shared}")
endif()

# CMake: the exported targets are static, carry the static define and link.
run(${CMAKE_COMMAND} -S ${KQ_CLIENT_DIR} -B ${client_build} -G ${KQ_GENERATOR}
    -DKQ_EXPECT_STATIC=ON
    -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_CXX_COMPILER=${KQ_CXX_COMPILER}
    "-DCMAKE_CXX_FLAGS=${KQ_CXX_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${KQ_EXE_LINKER_FLAGS}"
    -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${client_build})
run(${CMAKE_COMMAND} --build ${client_build} --target check)

# pkg-config --static, with only the installed tree on its path.
file(GLOB_RECURSE pc_file ${prefix}/kqstringarray.pc)
cmake_path(GET pc_file PARENT_PATH pc_dir)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_LIBDIR=${pc_dir}
          ${KQ_PKG_CONFIG} --static --cflags --libs kqstringarray
  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "pkg-config --static --cflags --libs kqstringarray failed (${result})")
endif()
message(STATUS "pkg-config --static --cflags --libs kqstringarray: ${flags}")
foreach(define KQSTRINGARRAY_STATIC_DEFINE KQSTRING_STATIC_DEFINE CKQERROR_STATIC_DEFINE)
  if(NOT flags MATCHES "-D${define}( |$)")
    message(FATAL_ERROR "the static Cflags lack -D${define}: ${flags}")
  endif()
endforeach()
separate_arguments(flags UNIX_COMMAND "${flags}")
separate_arguments(cxx_flags UNIX_COMMAND "${KQ_CXX_FLAGS} ${KQ_EXE_LINKER_FLAGS}")
separate_arguments(c_flags UNIX_COMMAND "${KQ_C_FLAGS} ${KQ_EXE_LINKER_FLAGS}")

# A C++ client through g++, and a C client through the C compiler, which adds no C++ runtime of
# its own: Libs.private must name it.
run(${KQ_CXX_COMPILER} -std=c++20 ${cxx_flags} ${KQ_CLIENT_DIR}/modern.cpp ${flags}
    -o ${KQ_WORK_DIR}/modern_client)
run(${KQ_WORK_DIR}/modern_client)
run(${KQ_C_COMPILER} -std=c11 ${c_flags} ${KQ_C_CLIENT_SOURCE} ${flags} -o ${KQ_WORK_DIR}/c_client)
run(${KQ_WORK_DIR}/c_client)
