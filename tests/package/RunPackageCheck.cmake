# cmake -P script: install, configure the clients with find_package at the language level
# KQ_CXX_STANDARD, build them, run them.  The clients hold the version they find to
# KQ_PROJECT_VERSION.
set(prefix ${KQ_WORK_DIR}/prefix)
set(client_build ${KQ_WORK_DIR}/client-build)
file(REMOVE_RECURSE ${KQ_WORK_DIR})

include(${CMAKE_CURRENT_LIST_DIR}/KQRunCommand.cmake)

run(${CMAKE_COMMAND} --install ${KQ_BUILD_DIR} --prefix ${prefix})

set(configure_args
  -S ${KQ_CLIENT_DIR} -B ${client_build} -G ${KQ_GENERATOR}
  -DCMAKE_PREFIX_PATH=${prefix}
  -DCMAKE_CXX_STANDARD=${KQ_CXX_STANDARD}
  -DCMAKE_CXX_COMPILER=${KQ_CXX_COMPILER}
  "-DCMAKE_CXX_FLAGS=${KQ_CXX_FLAGS}"
  "-DCMAKE_EXE_LINKER_FLAGS=${KQ_EXE_LINKER_FLAGS}"
  -DCMAKE_BUILD_TYPE=${KQ_BUILD_TYPE}
  -DKQ_EXPECTED_VERSION=${KQ_PROJECT_VERSION})
if(KQ_TOOLCHAIN_FILE)
  list(APPEND configure_args -DCMAKE_TOOLCHAIN_FILE=${KQ_TOOLCHAIN_FILE})
endif()
run(${CMAKE_COMMAND} ${configure_args})
run(${CMAKE_COMMAND} --build ${client_build})
run(${CMAKE_COMMAND} --build ${client_build} --target check)
