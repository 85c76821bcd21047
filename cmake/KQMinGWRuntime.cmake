# The MinGW compiler runtime DLLs (libstdc++, libgcc_s, winpthread), shipped beside the project's
# DLLs.
#
# The runtime is linked dynamically on purpose: exceptions cross the DLL boundaries (CKQString
# throws into KQStringArray.dll and into clients), and with a statically linked libgcc every
# module would carry an unwinder of its own that cannot see the others' frames, so such an
# exception would end the process instead of reaching its handler.  One shared runtime also
# gives all modules one operator new and one set of type_info objects.
#
# kq_ship_mingw_runtime() copies the DLLs into the runtime output folder at configure time (the
# tests and the example client run there, under Wine too) and installs them into bin/.  Their
# file names go into the global property KQ_MINGW_RUNTIME_DLLS, from which the installed
# package names them to clients (KQStringArray_RUNTIME_DLLS).
function(kq_ship_mingw_runtime)
  if(NOT MINGW)
    return()
  endif()
  set(dlls "")
  foreach(name libstdc++-6.dll libgcc_s_dw2-1.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${path}" AND EXISTS "${path}")
      file(REAL_PATH "${path}" path)
      list(APPEND dlls ${path})
    endif()
  endforeach()
  if(NOT dlls)
    message(FATAL_ERROR "No MinGW runtime DLLs found beside ${CMAKE_CXX_COMPILER}")
  endif()
  message(STATUS "MinGW runtime DLLs shipped beside the libraries: ${dlls}")
  file(COPY ${dlls} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  install(FILES ${dlls} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
  set(names "")
  foreach(dll IN LISTS dlls)
    cmake_path(GET dll FILENAME name)
    list(APPEND names ${name})
  endforeach()
  set_property(GLOBAL PROPERTY KQ_MINGW_RUNTIME_DLLS ${names})
endfunction()
