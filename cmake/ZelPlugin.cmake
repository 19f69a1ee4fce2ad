# The plugin build rules, one file for the SDK's own tree and for a plugin
# built against the installed SDK (ZelSdkConfig.cmake includes it from the
# package). Both see the SDK as ZelSdk::sdk and its counting operator
# new/delete as ZelSdk::operator_new: aliases in the tree, imported targets
# in the package.

# zel_use_counting_allocator(TARGET): links the library's operator new/delete
# into TARGET as an object file rather than from the SDK archive. A linker
# takes an archive member only for a symbol still undefined, and sanitizer
# runtimes, which come first on the link line, already define operator new;
# an object file on the command line always wins.
function(zel_use_counting_allocator target)
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:ZelSdk::operator_new>)
endfunction()

# zel_plugin_library(TARGET NAME short-name [LIBS ...]): makes the shared
# library TARGET a plugin the host can load, linked with the SDK and LIBS.
# Its file is the short name with '-' as '_' (zel-notes: zel_notes.dll,
# zel_notes.so), and its one exported function is load_ and the same
# (load_zel_notes), which ZEL_PLUGIN_ENTRY in plugin/entry.h defines from the
# compile definitions ZEL_PLUGIN_ENTRY_NAME and ZEL_PLUGIN_SHORT_NAME.
# Windows: a self-contained DLL (libstdc++, libgcc, winpthread and libyaml
# linked in). Linux: only the entry is exported, and the library binds its
# own symbols to itself, so its counting operator new/delete never replace
# the host's.
function(zel_plugin_library target)
  cmake_parse_arguments(ARG "" "NAME" "LIBS" ${ARGN})
  if(NOT ARG_NAME)
    message(FATAL_ERROR "zel_plugin_library(${target}): NAME short-name is required")
  endif()
  string(REPLACE "-" "_" file_name ${ARG_NAME})
  set(entry load_${file_name})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} ZelSdk::sdk)
  target_compile_definitions(${target} PRIVATE ZEL_PLUGIN_ENTRY_NAME=${entry}
                             ZEL_PLUGIN_SHORT_NAME="${ARG_NAME}")
  zel_use_counting_allocator(${target})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${file_name})
  if(WIN32)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++
                        -Wl,--exclude-libs,ALL)
  else()
    set(map ${CMAKE_CURRENT_BINARY_DIR}/${target}.exports.map)
    file(CONFIGURE OUTPUT ${map} CONTENT "{\n  global: ${entry};\n  local: *;\n};\n")
    target_link_options(${target} PRIVATE -Wl,--version-script=${map} -Wl,-Bsymbolic
                        -Wl,--no-undefined -static-libstdc++ -static-libgcc)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${map})
  endif()
endfunction()
