# Helpers that keep the per-folder CMake files short.

# zel_folder_headers(TARGET FOLDER [INTERFACE] [SEPARATE_SUBFOLDERS]): gives
# TARGET, and everything that links it, the headers of FOLDER as
# "FOLDER/..." and no other folder's. Each folder has an include root of its
# own in the build tree that holds one link, to the folder; with no include
# root for the whole source tree, a file can include only the folders its
# target links, so an include of a folder above it fails to build.
# SEPARATE_SUBFOLDERS: for a folder some of whose sub-folders are folders of
# their own, with a CMakeLists.txt and a target each (host/fakes, host/dev):
# the root holds a link to each header of FOLDER and to each of its other
# sub-folders (host/loading, ...) instead, and none to those.
function(zel_folder_headers target folder)
  cmake_parse_arguments(ARG "INTERFACE;SEPARATE_SUBFOLDERS" "" "" ${ARGN})
  # A folder of a folder (host/dev, host/dev/serving) gets a root of its own that shows only it.
  string(REPLACE "/" "_" root_name ${folder})
  set(root ${CMAKE_BINARY_DIR}/include/${root_name})
  set(source ${CMAKE_SOURCE_DIR}/${folder})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(ARG_SEPARATE_SUBFOLDERS)
    if(IS_SYMLINK ${root}/${folder})
      file(REMOVE ${root}/${folder})
    endif()
    file(MAKE_DIRECTORY ${root}/${folder})
    file(GLOB entries CONFIGURE_DEPENDS LIST_DIRECTORIES true RELATIVE ${source} ${source}/*)
    set(shown)
    foreach(entry IN LISTS entries)
      if(IS_DIRECTORY ${source}/${entry})
        if(NOT EXISTS ${source}/${entry}/CMakeLists.txt)
          list(APPEND shown ${entry})
        endif()
      elseif(entry MATCHES "\\.h$")
        list(APPEND shown ${entry})
      endif()
    endforeach()
    # Links of headers or sub-folders that have gone (moved or renamed).
    file(GLOB linked LIST_DIRECTORIES true RELATIVE ${root}/${folder} ${root}/${folder}/*)
    foreach(link IN LISTS linked)
      if(NOT link IN_LIST shown)
        file(REMOVE ${root}/${folder}/${link})
      endif()
    endforeach()
    foreach(entry IN LISTS shown)
      if(NOT IS_SYMLINK ${root}/${folder}/${entry})
        file(CREATE_LINK ${source}/${entry} ${root}/${folder}/${entry} SYMBOLIC)
      endif()
    endforeach()
  elseif(NOT IS_SYMLINK ${root}/${folder})
    file(CREATE_LINK ${source} ${root}/${folder} SYMBOLIC)
  endif()
  # The installed package has one include root of its own (ZelInstall.cmake).
  if(ARG_INTERFACE)
    set(scope INTERFACE)
  else()
    set(scope PUBLIC)
  endif()
  target_include_directories(${target} ${scope} $<BUILD_INTERFACE:${root}>)
  # Coverage names a header by its file in the source tree, not by the link
  # in the include root it was read through.
  if(ZEL_COVERAGE)
    target_compile_options(${target} ${scope}
                           $<BUILD_INTERFACE:-fcoverage-prefix-map=${root}/=${CMAKE_SOURCE_DIR}/>)
  endif()
endfunction()

# zel_subsystem(NAME FOLDER SOURCES ... DEPENDS ... [NOT_SDK]): one object
# library per library folder, linked to exactly the targets it uses, and added
# to the static SDK unless it is the maps service.
function(zel_subsystem name folder)
  cmake_parse_arguments(ARG "NOT_SDK" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} OBJECT ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  target_compile_definitions(${name} PRIVATE ZEL_BUILDING_LIBRARY=1)
  zel_folder_headers(${name} ${folder})
  if(NOT ARG_NOT_SDK)
    set_property(GLOBAL APPEND PROPERTY ZEL_SDK_PARTS ${name})
  endif()
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
  file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  zel_subsystem(${name} ${folder} ${flags} SOURCES ${sources} DEPENDS ${ARG_DEPENDS})
endfunction()

# zel_use_counting_allocator and zel_plugin_library: in ZelPlugin.cmake, which
# the installed SDK carries too.
include(${CMAKE_CURRENT_LIST_DIR}/ZelPlugin.cmake)

# add_zel_test(NAME SOURCES ... [LIBS ...] [LABELS ...]): one GoogleTest
# executable registered with CTest under the given labels.
function(add_zel_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} zel_gtest_main)
  zel_folder_headers(${name} tests)
  # Tests that run SDK code in their own process count its memory.
  if(zel_sdk IN_LIST ARG_LIBS)
    zel_use_counting_allocator(${name})
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 600)
endfunction()

# zel_test_folder(NAME [PLUGIN] [CONFORMANCE] [LIBS ...]): one test
# executable for the current folder, from every .cpp in it, labelled with the
# folder's name. PLUGIN: its tests load the real plugin, found through
# ZEL_PLUGIN_PATH (and rebuilt with it); CONFORMANCE: they read the public
# conformance suites from ZEL_CONFORMANCE_DIR. LIBS given zel_sdk also count
# the test's own memory; zel_memory alone gets the counting allocator too.
function(zel_test_folder name)
  cmake_parse_arguments(ARG "PLUGIN;CONFORMANCE" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  get_filename_component(label ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  add_zel_test(${name} SOURCES ${sources} LIBS ${ARG_LIBS} LABELS ${label})
  if(zel_memory IN_LIST ARG_LIBS AND NOT zel_sdk IN_LIST ARG_LIBS)
    zel_use_counting_allocator(${name})
  endif()
  if(ARG_PLUGIN)
    add_dependencies(${name} zel_maps)
    target_compile_definitions(${name} PRIVATE
      ZEL_PLUGIN_PATH="$<IF:$<BOOL:${WIN32}>,$<TARGET_FILE_NAME:zel_maps>,$<TARGET_FILE:zel_maps>>")
  endif()
  if(ARG_CONFORMANCE)
    target_compile_definitions(${name} PRIVATE
      ZEL_CONFORMANCE_DIR="${CMAKE_SOURCE_DIR}/../shared/conformance")
  endif()
endfunction()
