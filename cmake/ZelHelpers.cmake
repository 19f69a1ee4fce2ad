# Helpers that keep the per-folder CMake files short.

# zel_subsystem(NAME SOURCES ... DEPENDS ...): one object library per
# subsystem folder, added to the static SDK unless it is the maps service.
function(zel_subsystem name)
  cmake_parse_arguments(ARG "NOT_SDK" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} OBJECT ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  target_compile_definitions(${name} PRIVATE ZEL_BUILDING_LIBRARY=1)
  if(NOT ARG_NOT_SDK)
    set_property(GLOBAL APPEND PROPERTY ZEL_SDK_PARTS ${name})
  endif()
endfunction()

# add_zel_test(NAME SOURCES ... [LIBS ...] [LABELS ...]): one GoogleTest
# executable registered with CTest under the given labels.
function(add_zel_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} zel_gtest_main)
  # Tests that run SDK code in their own process count its memory.
  if(zel_sdk IN_LIST ARG_LIBS)
    zel_use_counting_allocator(${name})
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 600)
endfunction()

# zel_subsystem_folder(NAME DEPENDS ... [NOT_SDK] [EXCLUDE FILE ...]): the
# object library of the current folder, from every .cpp in it and in its
# internal/ and platform/ folders, less the excluded files.
function(zel_subsystem_folder name)
  cmake_parse_arguments(ARG "NOT_SDK" "" "DEPENDS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
       ${CMAKE_CURRENT_SOURCE_DIR}/internal/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/platform/*.cpp)
  foreach(excluded IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  set(flags)
  if(ARG_NOT_SDK)
    set(flags NOT_SDK)
  endif()
  zel_subsystem(${name} ${flags} SOURCES ${sources} DEPENDS ${ARG_DEPENDS})
endfunction()

# zel_test_folder(NAME [LIBS ...]): one test executable for the current folder,
# from every .cpp in it, labelled with the folder's name.
function(zel_test_folder name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  get_filename_component(label ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  add_zel_test(${name} SOURCES ${sources} LIBS ${ARG_LIBS} LABELS ${label})
  # Tests that load the real plugin find it through this path.
  add_dependencies(${name} zel_maps)
  target_compile_definitions(${name} PRIVATE
    ZEL_PLUGIN_PATH="$<IF:$<BOOL:${WIN32}>,$<TARGET_FILE_NAME:zel_maps>,$<TARGET_FILE:zel_maps>>"
    ZEL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    ZEL_CONFORMANCE_DIR="${CMAKE_SOURCE_DIR}/../shared/conformance")
endfunction()

# zel_use_counting_allocator(TARGET): links the library's operator new/delete
# into TARGET as an object file rather than from the SDK archive. A linker
# takes an archive member only for a symbol still undefined, and sanitizer
# runtimes, which come first on the link line, already define operator new;
# an object file on the command line always wins.
function(zel_use_counting_allocator target)
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:zel_operator_new>)
endfunction()
