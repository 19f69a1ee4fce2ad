// zel-host new NAME [DIR]: writes a plugin project that builds against the
// SDK this program belongs to. Nothing is overwritten: DIR must not exist or
// must be an empty folder. A name whose project could not build (a target
// name CMake reserves, a Windows device: project_name_clash.h) writes nothing.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "host/conversions/text_template.h"
#include "host/dev/cli/command_support.h"
#include "host/dev/cli/commands.h"
#include "host/dev/cli/messages.h"
#include "host/dev/new_project/project_name_clash.h"
#include "host/dev/new_project/project_template.h"
#include "host/dev/new_project/sdk_layout.h"
#include "host/loading/program_path.h"

namespace zel::host::cli {

namespace {

namespace fs = std::filesystem;

bool isEmptyFolderOrAbsent(const fs::path& folder) {
  std::error_code error;
  if (!fs::exists(folder, error)) return !error;
  return fs::is_directory(folder, error) && fs::is_empty(folder, error) && !error;
}

// Writes the file; false with the reason reported.
bool writeFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  out.close();
  if (out) return true;
  reportError(fillTemplate(messages::kCannotWrite, {path.string(), "write failed"}));
  return false;
}

// The reason a project of these names could not build; empty when it can.
std::string clashReport(const std::string& name, const ProjectNames& names) {
  switch (nameClash(names)) {
    case NameClash::None:
      return {};
    case NameClash::CMakeTarget:
      return fillTemplate(messages::kNameIsCMakeTarget, {name, names.fileName});
    case NameClash::WindowsDevice:
      return fillTemplate(messages::kNameIsWindowsDevice, {name, names.fileName});
  }
  return {};
}

}  // namespace

int runNew(const CliOptions& options) {
  const std::string& name = options.operands[0];
  const std::optional<ProjectNames> names = projectNames(name);
  if (!names) {
    reportError(fillTemplate(messages::kNotAProjectName, {name}));
    return kExitUsage;
  }
  // Refused before anything is written.
  if (const std::string clash = clashReport(name, *names); !clash.empty()) {
    reportError(clash);
    return kExitUsage;
  }
  const fs::path folder =
      options.operands.size() > 1 ? fs::path(options.operands[1]) : fs::path(name);
  if (!isEmptyFolderOrAbsent(folder)) {
    reportError(fillTemplate(messages::kFolderNotEmpty, {folder.string()}));
    return kExitFailure;
  }
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    reportError(fillTemplate(messages::kCannotWrite, {folder.string(), error.message()}));
    return kExitFailure;
  }
  // PREFIX/share/zel-sdk: the prefix the README's commands name.
  const fs::path prefix = sdkLayout(programPath()).share.parent_path().parent_path();
  for (const ProjectFile& file : projectFiles(*names, prefix.generic_string())) {
    if (!writeFile(folder / file.path, file.text)) return kExitFailure;
  }
  std::printf("%s\n", fillTemplate(messages::kProjectWritten, {name, folder.string()}).c_str());
  return kExitOk;
}

}  // namespace zel::host::cli
