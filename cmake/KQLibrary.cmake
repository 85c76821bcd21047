# kq_add_library(): every library of the project is declared through this one function, so the
# boilerplate (export header, visibility, version, installed headers, warnings) is written once.
#
#   kq_add_library(<name> <SHARED | INTERNAL | TESTONLY>
#                  [SOURCES <file>...]         # none: a header-only (INTERFACE) library
#                  [INCLUDE_DIRS <dir>...]     # where the library's users find its headers
#                  [PUBLIC_HEADERS <file>...]  # SHARED: installed, flat, in include/
#                  [DEPS <target>...]          # needed by the users of its headers too
#                  [PRIVATE_DEPS <target>...]) # needed by its sources only
#
# SHARED   one of the three installed libraries: KQStringArray::<name> is its alias (the name a
#          client of the installed package uses), <name>_export.h in the generated include
#          folder defines its export macro <NAME>_EXPORT, and everything else is hidden.  Its
#          users get C++17 at least (cxx_std_17), the level its installed headers serve.
# INTERNAL a module of the libraries (static, position-independent, hidden).  Nothing outside
#          this project links it: it is never installed nor exported, and the shared libraries
#          that use it link it privately, so their exported link interface never names it.
# TESTONLY like INTERNAL, for code that only the tests link (their shared helpers).
include_guard(GLOBAL)
include(GenerateExportHeader)
include(${CMAKE_CURRENT_LIST_DIR}/KQWarnings.cmake)

function(kq_add_library name kind)
  cmake_parse_arguments(ARG "" "" "SOURCES;INCLUDE_DIRS;PUBLIC_HEADERS;DEPS;PRIVATE_DEPS" ${ARGN})
  if(NOT kind MATCHES "^(SHARED|INTERNAL|TESTONLY)$")
    message(FATAL_ERROR "kq_add_library(${name}): kind must be SHARED, INTERNAL or TESTONLY")
  endif()

  set(include_dirs "")
  foreach(dir IN LISTS ARG_INCLUDE_DIRS)
    cmake_path(ABSOLUTE_PATH dir BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE)
    list(APPEND include_dirs $<BUILD_INTERFACE:${dir}>)
  endforeach()

  if(NOT ARG_SOURCES)
    if(NOT kind STREQUAL "INTERNAL" OR ARG_PRIVATE_DEPS)
      message(FATAL_ERROR "kq_add_library(${name}): only INTERNAL libraries may be header-only")
    endif()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${include_dirs})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()

  if(kind STREQUAL "SHARED")
    add_library(${name} SHARED ${ARG_SOURCES})
    add_library(KQStringArray::${name} ALIAS ${name})
    string(TOUPPER ${name} base)
    set(export_header ${KQ_GENERATED_INCLUDE_DIR}/${name}_export.h)
    generate_export_header(${name} BASE_NAME ${base} EXPORT_FILE_NAME ${export_header})
    target_include_directories(${name} PUBLIC
      ${include_dirs}
      $<BUILD_INTERFACE:${KQ_GENERATED_INCLUDE_DIR}>
      $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
    set(public_headers "")
    foreach(header IN LISTS ARG_PUBLIC_HEADERS)
      cmake_path(ABSOLUTE_PATH header BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE)
      list(APPEND public_headers ${header})
    endforeach()
    set_target_properties(${name} PROPERTIES
      VERSION ${PROJECT_VERSION}
      SOVERSION ${PROJECT_VERSION_MAJOR}
      PUBLIC_HEADER "${public_headers};${export_header}")
    # The installed headers serve C++17 and later: a client that names no level gets at least
    # C++17 (the library itself builds at the project's level, C++20, which is above it).
    target_compile_features(${name} PUBLIC cxx_std_17)
    if(NOT WIN32)
      # Calls inside the library to its own exported functions (View() from operator==, for
      # instance) bind directly and may be inlined: nothing is meant to interpose them.  Clang
      # does this by default.
      target_compile_options(${name} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-fno-semantic-interposition>)
    endif()
    if(WIN32)
      # Windows names: <name>.dll (MinGW would prefix "lib"); the import library keeps MinGW's
      # lib<name>.dll.a, which -l<name> finds.
      set_target_properties(${name} PROPERTIES PREFIX "")
    endif()
  else()
    add_library(${name} STATIC ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    target_include_directories(${name} PUBLIC ${include_dirs})
  endif()

  set_target_properties(${name} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  kq_set_warnings(${name})
endfunction()
