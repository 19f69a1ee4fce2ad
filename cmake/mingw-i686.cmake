# Windows i686 cross build with mingw-w64 (posix threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
# Packages are searched under the mingw root and, in this repository, the
# cross-built libraries of .deps/mingw32 (libyaml, GoogleTest); installed with
# the SDK (<prefix>/lib/cmake/ZelSdk/toolchains/), under the SDK's prefix
# instead, so that find_package(ZelSdk) finds the package beside this file.
if(EXISTS "${CMAKE_CURRENT_LIST_DIR}/../ZelSdkConfig.cmake")
  get_filename_component(_zel_search_root "${CMAKE_CURRENT_LIST_DIR}/../../../.." ABSOLUTE)
else()
  get_filename_component(_zel_search_root "${CMAKE_CURRENT_LIST_DIR}/../.deps/mingw32" ABSOLUTE)
endif()
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32 "${_zel_search_root}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Everything linked statically: the DLL and the test programs need no runtime DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
