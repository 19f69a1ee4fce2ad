# cmake --install: the SDK as the CMake package ZelSdk, for plugins built out
# of this tree (examples/ is one):
#   include/              the public headers by folder (ZEL_PUBLIC_HEADERS)
#                         and the internal/ ones they need
#   lib/                  libzel_sdk.a, libzel_host.a, libzel_host_fakes.a
#   lib/zel-sdk/          the counting operator new/delete as an object file,
#                         and on Windows the libyaml the SDK reads YAML with
#   lib/cmake/ZelSdk/     the package: config, version, targets, ZelPlugin.cmake,
#                         and toolchains/ the toolchain file this build used
#   bin/                  zel-host, and the zel-maps plugin it serves by default
# Targets: ZelSdk::sdk, ZelSdk::operator_new, ZelSdk::host, ZelSdk::host_fakes,
# ZelSdk::boundary; the SDK fakes stay in this tree, for our fuzzers. Debug
# sections are stripped from what is installed: they name this tree's paths.
include(CMakePackageConfigHelpers)
include(GNUInstallDirs)

# The SDK's own version, which plugins ask for in find_package(ZelSdk 1.2):
# a minor step adds, a major step may break.
set(ZEL_SDK_VERSION 1.2.0)
set(ZEL_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZelSdk)

# zel_included_headers(OUT HEADERS ...): HEADERS (relative to the source
# tree) and every header of this tree they include, directly or not. The
# SDK's internal/ headers are installed only when a public one needs them.
function(zel_included_headers out)
  set(pending ${ARGN})
  set(found)
  while(pending)
    list(POP_FRONT pending header)
    if(header IN_LIST found OR NOT EXISTS ${CMAKE_SOURCE_DIR}/${header})
      continue()
    endif()
    list(APPEND found ${header})
    file(STRINGS ${CMAKE_SOURCE_DIR}/${header} lines REGEX "^#include \"")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
      list(APPEND pending ${included})
    endforeach()
  endwhile()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# The headers a plugin author includes: the SDK's public face and the host
# library's. Installed with every header they include, directly or not, so
# the internal/ headers a public template needs come along; the rest of the
# tree's headers are the library's own and stay out of the prefix.
set(ZEL_PUBLIC_HEADERS
    plugin/sdk.h
    plugin/entry.h
    plugin/plugin_base.h
    plugin/identity.h
    plugin/plugin_manager_types.h
    plugin/outgoing_request.h
    plugin/json_api_event.h
    api/route_declarer.h
    api/route_template.h
    api/http_method.h
    api/argument_location.h
    api/handler_adapter.h
    api/call_info.h
    api/call_result.h
    api/outcome.h
    binding/value.h
    binding/convert_native.h
    binding/type_registry.h
    binding/builders.h
    binding/type_identity.h
    diagnostics/format.h
    diagnostics/log_field.h
    diagnostics/log_level.h
    diagnostics/log_tags.h
    diagnostics/logger.h
    boundary/method_codes.h
    host/plugin_host.h
    host/function_caller.h
    host/scripted_response.h
    host/api_version.h
    host/host_value.h
    host/fakes/recording_host_api.h
    host/fakes/plugin_test.h)
foreach(header IN LISTS ZEL_PUBLIC_HEADERS)
  if(NOT EXISTS ${CMAKE_SOURCE_DIR}/${header})
    message(FATAL_ERROR "ZEL_PUBLIC_HEADERS names ${header}, which does not exist")
  endif()
endforeach()
zel_included_headers(installed_headers ${ZEL_PUBLIC_HEADERS})
foreach(header IN LISTS installed_headers)
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${folder})
endforeach()

# What the installed targets need beyond the build tree's include roots.
target_include_directories(zel_sdk INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_include_directories(zel_boundary INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_link_libraries(zel_sdk INTERFACE $<INSTALL_INTERFACE:Threads::Threads>)
# Whatever builds against the package allocates with the alignment this tree
# was built with (ZEL_NEW_ALIGNMENT_OPTION, CMakeLists.txt); zel_boundary
# carries it to the host library and its fakes.
if(ZEL_NEW_ALIGNMENT_OPTION)
  target_compile_options(zel_sdk INTERFACE $<INSTALL_INTERFACE:${ZEL_NEW_ALIGNMENT_OPTION}>)
  target_compile_options(zel_boundary INTERFACE $<INSTALL_INTERFACE:${ZEL_NEW_ALIGNMENT_OPTION}>)
endif()
if(WIN32)
  set(yaml_dir ${CMAKE_INSTALL_LIBDIR}/zel-sdk)
  install(FILES ${ZEL_YAML_LIBRARY} DESTINATION ${yaml_dir} RENAME libyaml.a)
  target_link_libraries(zel_sdk INTERFACE
                        "$<INSTALL_INTERFACE:$<INSTALL_PREFIX>/${yaml_dir}/libyaml.a>")
else()
  target_link_libraries(zel_sdk INTERFACE $<INSTALL_INTERFACE:yaml>)
endif()

set_target_properties(zel_sdk PROPERTIES EXPORT_NAME sdk)
set_target_properties(zel_operator_new PROPERTIES EXPORT_NAME operator_new)
set_target_properties(zel_boundary PROPERTIES EXPORT_NAME boundary)
set_target_properties(zel_host PROPERTIES EXPORT_NAME host)
set_target_properties(zel_host_fakes PROPERTIES EXPORT_NAME host_fakes)
install(TARGETS zel_sdk zel_boundary zel_host zel_host_fakes EXPORT ZelSdkTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS zel_operator_new EXPORT ZelSdkTargets
        OBJECTS DESTINATION ${CMAKE_INSTALL_LIBDIR}/zel-sdk/objects)
if(TARGET zel-host)
  install(TARGETS zel-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # zel-host's default plugin, where it looks for it (host/dev/new_project/sdk_layout.h).
  install(FILES $<TARGET_FILE:zel_maps> DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(EXPORT ZelSdkTargets NAMESPACE ZelSdk:: DESTINATION ${ZEL_PACKAGE_DIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ZelSdkConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/ZelSdkConfig.cmake
                              INSTALL_DESTINATION ${ZEL_PACKAGE_DIR}
                              PATH_VARS CMAKE_INSTALL_BINDIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/ZelSdkConfigVersion.cmake
                                 VERSION ${ZEL_SDK_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/ZelSdkConfig.cmake ${CMAKE_BINARY_DIR}/ZelSdkConfigVersion.cmake
              ${CMAKE_CURRENT_LIST_DIR}/ZelPlugin.cmake DESTINATION ${ZEL_PACKAGE_DIR})
# The toolchain file the SDK was built with: a plugin built against the
# prefix alone names <prefix>/lib/cmake/ZelSdk/toolchains/<file>.
if(CMAKE_TOOLCHAIN_FILE)
  get_filename_component(zel_toolchain ${CMAKE_TOOLCHAIN_FILE} ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
  install(FILES ${zel_toolchain} DESTINATION ${ZEL_PACKAGE_DIR}/toolchains)
endif()

# Runs last: the installed archives, object, program and plugin lose their debug
# sections, which carry the paths of this tree.
install(CODE "
  file(GLOB_RECURSE zel_installed
       \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/*${CMAKE_STATIC_LIBRARY_SUFFIX}\"
       \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/zel-sdk/objects/*\"
       \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/zel-host*\"
       \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/zel_maps*\")
  foreach(file IN LISTS zel_installed)
    if(NOT IS_DIRECTORY \"\${file}\")
      execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug \"\${file}\" COMMAND_ERROR_IS_FATAL ANY)
    endif()
  endforeach()
")
