# Third-party pieces: threads, RapidJSON, libyaml, GoogleTest, Google Benchmark.
# scripts/setup installs them (and cross-builds the Windows ones into .deps/).

set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)

set(ZEL_DEPS_DIR ${CMAKE_SOURCE_DIR}/.deps)

# RapidJSON is header-only; the cross build sees it through a folder that
# holds nothing else, so the host's system headers stay out of its path.
add_library(zel_rapidjson INTERFACE)
add_library(zel::rapidjson ALIAS zel_rapidjson)
if(CMAKE_CROSSCOMPILING AND WIN32)
  target_include_directories(zel_rapidjson SYSTEM INTERFACE ${ZEL_DEPS_DIR}/rapidjson-include)
endif()

find_path(ZEL_YAML_INCLUDE yaml.h REQUIRED)
if(WIN32)
  find_library(ZEL_YAML_LIBRARY NAMES libyaml.a yaml REQUIRED)
else()
  find_library(ZEL_YAML_LIBRARY NAMES yaml REQUIRED)
endif()
add_library(zel_yaml INTERFACE)
add_library(zel::yaml ALIAS zel_yaml)
target_include_directories(zel_yaml SYSTEM INTERFACE ${ZEL_YAML_INCLUDE})
target_link_libraries(zel_yaml INTERFACE ${ZEL_YAML_LIBRARY})
if(WIN32)
  target_compile_definitions(zel_yaml INTERFACE YAML_DECLARE_STATIC)
endif()

if(ZEL_TESTS)
  find_package(GTest CONFIG REQUIRED)
  add_library(zel_gtest_main INTERFACE)
  target_link_libraries(zel_gtest_main INTERFACE GTest::gtest_main GTest::gmock Threads::Threads)
  if(WIN32 AND CMAKE_CROSSCOMPILING)
    # Tests run under wine, in a prefix of the build tree's own.
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run ${CMAKE_BINARY_DIR}/wineprefix)
  endif()
endif()
if(ZEL_BENCH)
  find_package(benchmark CONFIG REQUIRED)
endif()
