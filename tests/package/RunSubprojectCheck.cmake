# cmake -P script: builds the consumer project in subproject/, which takes this source tree in
# with add_subdirectory(), and runs it.  The consumer's configure step checks that nothing but
# the libraries came in with the tree.
include(${CMAKE_CURRENT_LIST_DIR}/KQRunCommand.cmake)

set(build ${KQ_WORK_DIR}/build)
file(REMOVE_RECURSE ${KQ_WORK_DIR})
run(${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/subproject -B ${build} -G ${KQ_GENERATOR}
    -DKQ_SOURCE_DIR=${KQ_SOURCE_DIR}
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_CXX_COMPILER=${KQ_CXX_COMPILER}
    "-DCMAKE_CXX_FLAGS=${KQ_CXX_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${KQ_EXE_LINKER_FLAGS}"
    "-DCMAKE_SHARED_LINKER_FLAGS=${KQ_SHARED_LINKER_FLAGS}")
run(${CMAKE_COMMAND} --build ${build})
run(${build}/consumer)
