#include "host/dev/new_project/project_template.h"

#include <cstddef>
#include <utility>

#include "host/dev/new_project/project_files.h"

namespace zel::host {

namespace {

// Replaces every @KEY@ of the template by its value.
std::string fill(std::string_view text, const ProjectNames& names, std::string_view sdkPrefix) {
  const std::pair<std::string_view, std::string_view> keys[] = {{"@NAME@", names.shortName},
                                                                {"@FILE@", names.fileName},
                                                                {"@CLASS@", names.className},
                                                                {"@SDK@", sdkPrefix}};
  std::string filled;
  filled.reserve(text.size() + text.size() / 8);
  std::size_t at = 0;
  while (at < text.size()) {
    bool replaced = false;
    if (text[at] == '@') {
      for (const auto& [key, value] : keys) {
        if (text.substr(at, key.size()) == key) {
          filled.append(value);
          at += key.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) filled.push_back(text[at++]);
  }
  return filled;
}

bool isLowerOrDigit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

std::optional<ProjectNames> projectNames(std::string_view name) {
  if (name.empty() || name.size() > 40 || name.front() < 'a' || name.front() > 'z' ||
      name.back() == '-') {
    return std::nullopt;
  }
  ProjectNames names;
  names.shortName = name;
  bool wordStart = true;
  char previous = 0;
  for (char c : name) {
    if (c == '-') {
      if (previous == '-') return std::nullopt;
      names.fileName.push_back('_');
      wordStart = true;
    } else if (isLowerOrDigit(c)) {
      names.fileName.push_back(c);
      names.className.push_back(wordStart && c >= 'a' ? static_cast<char>(c - 'a' + 'A') : c);
      wordStart = false;
    } else {
      return std::nullopt;
    }
    previous = c;
  }
  return names;
}

std::vector<ProjectFile> projectFiles(const ProjectNames& names, std::string_view sdkPrefix) {
  const std::string& file = names.fileName;
  return {{"CMakeLists.txt", fill(kTemplate_CMakeLists_txt, names, sdkPrefix)},
          {file + "_plugin.h", fill(kTemplate_plugin_h, names, sdkPrefix)},
          {file + "_plugin.cpp", fill(kTemplate_plugin_cpp, names, sdkPrefix)},
          {file + "_test.cpp", fill(kTemplate_test_cpp, names, sdkPrefix)},
          {"README.md", fill(kTemplate_README_md, names, sdkPrefix)}};
}

}  // namespace zel::host
