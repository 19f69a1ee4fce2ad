// Why a well-formed plugin name would still write a project that cannot
// build. The names of a project (project_template.h) become a C++ namespace
// (zel::my_notes, opened before the SDK's headers are included), the test
// fixture my_notes_test.cpp derives (MyNotesTest), the two CMake targets
// (my_notes, my_notes_test) and the library's file (my_notes.dll); each has
// names it cannot take.
//
//   if (nameClash(*projectNames("class")) == NameClash::CppKeyword) refuse();
//
// Pure function of the names; the texts that explain a clash are the caller's.
#pragma once

#include <cstdint>

#include "host/dev/new_project/project_template.h"

namespace zel::host {

enum class NameClash : std::uint8_t {
  None,
  CppKeyword,     // the namespace would be a C++20 keyword or alternative token (class, and_eq)
  CompilerWord,   // a keyword or macro of g++ or its C library (typeof, linux, errno)
  SdkName,        // zel::NAME would clash with a name the SDK's headers use (std, zel, log)
  FixtureName,    // the test fixture would be the SDK's own (PluginTest)
  CMakeTarget,    // a target name CMake reserves (test, all, install) or keeps (cmake_*)
  WindowsDevice,  // a device name on Windows (con, nul, com1): no file NAME.dll there
};

[[nodiscard]] NameClash nameClash(const ProjectNames& names);

}  // namespace zel::host
