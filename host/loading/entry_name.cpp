#include "host/loading/entry_name.h"

#include <algorithm>

namespace zel::host {

std::string entryNameForShortName(std::string_view shortName) {
  std::string name(kEntryNamePrefix);
  name += shortName;
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

std::string entryNameForLibrary(std::string_view path) {
  // Both separators: a Windows path may reach the host on either system.
  std::size_t slash = path.find_last_of("/\\");
  std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
  std::size_t dot = file.rfind('.');
  if (dot != std::string_view::npos && dot != 0) file = file.substr(0, dot);
  if (file.empty() || file.front() == '.') return kEntryFunctionName;
  return entryNameForShortName(file);
}

}  // namespace zel::host
