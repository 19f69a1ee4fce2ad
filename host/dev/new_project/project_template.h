// The plugin project that `zel-host new NAME` writes: a CMake project that
// builds against the installed SDK at once, with a plugin of one structure
// and three routes (a path argument, an optional query argument, a body), its
// GoogleTest suite on the SDK's fixture, and a README that says how to build,
// test and serve it on Linux and Windows.
//
//   std::optional<ProjectNames> names = projectNames("my-notes");
//   for (const ProjectFile& file : projectFiles(*names, "/opt/zel-sdk")) write(file);
//
// Plain values; writing them is the caller's.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel::host {

struct ProjectNames {
  std::string shortName;  // my-notes: routes, the plugin's short name
  std::string fileName;   // my_notes: the library, namespace my_notes_plugin, entry load_my_notes
  std::string className;  // MyNotes
};

// The names of a project NAME: lower-case letters and digits in words joined
// by single "-", starting with a letter, at most 40 characters; none otherwise.
// A well-formed name may still make a project that cannot build: see
// nameClash (project_name_clash.h).
[[nodiscard]] std::optional<ProjectNames> projectNames(std::string_view name);

struct ProjectFile {
  std::string path;  // relative to the project's folder
  std::string text;
};

// sdkPrefix is named in the README's commands.
[[nodiscard]] std::vector<ProjectFile> projectFiles(const ProjectNames& names,
                                                    std::string_view sdkPrefix);

}  // namespace zel::host
