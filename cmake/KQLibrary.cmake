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
#          folder defines its export macro <NAME>_EXPORT, and everything else is hidden.
#          With BUILD_SHARED_LIBS OFF it is a static library instead: the export macro then
#          expands to nothing (<NAME>_STATIC_DEFINE, a compile definition of the library and of
#          everything that links it), and the objects of the INTERNAL modules it links are
#          archived into it, so that its clients need the three libraries and nothing else.
#          Its users get C++17 at least (cxx_std_17), the level its installed headers serve.
# INTERNAL a module of the libraries (static, position-independent, hidden).  Nothing outside
#          this project links it: it is never installed nor exported, and the shared libraries
#          that use it link it privately, so their exported link interface never names it.
# TESTONLY like INTERNAL, for code that only the tests link (their shared helpers).
include_guard(GLOBAL)
include(GenerateExportHeader)
include(${CMAKE_CURRENT_LIST_DIR}/KQWarnings.cmake)

# kq_internal_closure(<out> <item>...): the INTERNAL modules with sources among <item>... and
# among everything they link, directly or not, each once; <out>_OTHERS receives the rest of what
# they link (system libraries, the project's installed libraries).
function(kq_internal_closure out)
  set(modules "")
  set(others "")
  set(pending ${ARGN})
  while(pending)
    list(POP_FRONT pending item)
    if(NOT TARGET ${item})
      list(APPEND others ${item})
      continue()
    endif()
    get_target_property(internal ${item} KQ_INTERNAL)
    if(NOT internal)
      list(APPEND others ${item})
      continue()
    endif()
    if(item IN_LIST modules)
      continue()
    endif()
    list(APPEND modules ${item})
    get_target_property(type ${item} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(links ${item} INTERFACE_LINK_LIBRARIES)
    else()
      get_target_property(links ${item} LINK_LIBRARIES)
    endif()
    if(links)
      list(APPEND pending ${links})
    endif()
  endwhile()
  set(with_sources "")
  foreach(module IN LISTS modules)
    get_target_property(type ${module} TYPE)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      list(APPEND with_sources ${module})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES others)
  set(${out} ${with_sources} PARENT_SCOPE)
  set(${out}_OTHERS ${others} PARENT_SCOPE)
endfunction()

# kq_fold_internal_modules(<library> <private dep>...): archives the objects of the INTERNAL
# modules that the static <library> links, directly or not, into <library>, and links what those
# modules link besides (Threads::Threads, the companion libraries), which its clients link too.
function(kq_fold_internal_modules name)
  kq_internal_closure(modules ${ARGN})
  foreach(module IN LISTS modules)
    target_sources(${name} PRIVATE $<TARGET_OBJECTS:${module}>)
  endforeach()
  if(modules_OTHERS)
    target_link_libraries(${name} PRIVATE ${modules_OTHERS})
  endif()
endfunction()

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
    set_target_properties(${name} PROPERTIES KQ_INTERNAL ON)
    target_include_directories(${name} INTERFACE ${include_dirs})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()

  set(private_deps ${ARG_PRIVATE_DEPS})
  if(kind STREQUAL "SHARED")
    if(BUILD_SHARED_LIBS)
      add_library(${name} SHARED ${ARG_SOURCES})
    else()
      add_library(${name} STATIC ${ARG_SOURCES})
    endif()
    add_library(KQStringArray::${name} ALIAS ${name})
    string(TOUPPER ${name} base)
    set(export_header ${KQ_GENERATED_INCLUDE_DIR}/${name}_export.h)
    generate_export_header(${name} BASE_NAME ${base} EXPORT_FILE_NAME ${export_header})
    if(NOT BUILD_SHARED_LIBS)
      # The export macro is empty in the library and in its clients alike.
      target_compile_definitions(${name} PUBLIC ${base}_STATIC_DEFINE)
      # A static library's private dependencies stay in its link interface: the INTERNAL
      # modules, which are neither installed nor exported, are linked for their usage
      # requirements in this build tree only, and their objects go into the archive itself
      # (kq_fold_internal_modules(), once every module of the project is declared).
      set(private_deps "")
      foreach(dep IN LISTS ARG_PRIVATE_DEPS)
        list(APPEND private_deps $<BUILD_INTERFACE:${dep}>)
      endforeach()
      # (A deferred call reads its variables when it runs: EVAL puts their values in now.)
      cmake_language(EVAL CODE "cmake_language(DEFER DIRECTORY [[${PROJECT_SOURCE_DIR}]] \
        CALL kq_fold_internal_modules ${name} ${ARG_PRIVATE_DEPS})")
    endif()
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
    set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON KQ_INTERNAL ON)
    target_include_directories(${name} PUBLIC ${include_dirs})
  endif()

  set_target_properties(${name} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${private_deps})
  kq_set_warnings(${name})
endfunction()
