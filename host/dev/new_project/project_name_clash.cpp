#include "host/dev/new_project/project_name_clash.h"

#include <algorithm>
#include <string_view>

namespace zel::host {

namespace {

// Target names CMake refuses (all, test once testing is enabled, package
// once CPack is included) or whose rules its Makefiles already hold.
constexpr std::string_view kCMakeTargets[] = {"all",
                                              "clean",
                                              "help",
                                              "install",
                                              "preinstall",
                                              "edit_cache",
                                              "rebuild_cache",
                                              "test",
                                              "package",
                                              "package_source",
                                              "list_install_components",
                                              "depend"};

template <std::size_t N>
bool listed(const std::string_view (&list)[N], std::string_view name) {
  return std::find(std::begin(list), std::end(list), name) != std::end(list);
}

// con, prn, aux, nul, com0 to com9 and lpt0 to lpt9, with any extension.
bool isWindowsDevice(std::string_view name) {
  if (name == "con" || name == "prn" || name == "aux" || name == "nul") return true;
  return name.size() == 4 && (name.starts_with("com") || name.starts_with("lpt")) &&
         name[3] >= '0' && name[3] <= '9';
}

}  // namespace

NameClash nameClash(const ProjectNames& names) {
  const std::string_view file = names.fileName;
  // CMake names its own rules and targets cmake_check_build_system,
  // cmake_force, cmake_object_order_depends_target_...
  if (listed(kCMakeTargets, file) || file.starts_with("cmake")) return NameClash::CMakeTarget;
  if (isWindowsDevice(file)) return NameClash::WindowsDevice;
  return NameClash::None;
}

}  // namespace zel::host
