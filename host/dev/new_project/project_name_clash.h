// Why a well-formed plugin name would still write a project that cannot
// build. The names of a project (project_template.h) become the two CMake
// targets (my_notes, my_notes_test) and the library's file (my_notes.dll),
// which have names they cannot take. In C++ the names only ever stand glued
// into longer tokens (namespace my_notes_plugin, entry load_my_notes,
// fixture my_notes_plugin::MyNotesTest), so keywords, the compiler's and
// the SDK's names (class, linux, std, plugin) build.
//
//   if (nameClash(*projectNames("test")) == NameClash::CMakeTarget) refuse();
//
// Pure function of the names; the texts that explain a clash are the caller's.
#pragma once

#include <cstdint>

#include "host/dev/new_project/project_template.h"

namespace zel::host {

enum class NameClash : std::uint8_t {
  None,
  CMakeTarget,    // a target name CMake reserves (test, all, install) or keeps (cmake_*)
  WindowsDevice,  // a device name on Windows (con, nul, com1): no file NAME.dll there
};

[[nodiscard]] NameClash nameClash(const ProjectNames& names);

}  // namespace zel::host
