// The name of a plugin library's exported entry function: "load_" and the
// plugin's short name with '-' as '_'. The host finds it from the library's
// file name, which the plugin build gives the same name.
//
//   entryNameForShortName("zel-notes");          // "load_zel_notes"
//   entryNameForLibrary("plugins/zel_notes.dll"); // "load_zel_notes"
//
// Plain values; nothing owned.
#pragma once

#include <string>
#include <string_view>

namespace zel::host {

// What every derived entry name starts with.
inline constexpr std::string_view kEntryNamePrefix = "load_";

// The entry every plugin built before the names were derived exports, and the
// one the host tries when the derived name is missing.
inline constexpr const char* kEntryFunctionName = "load_zel_maps";

[[nodiscard]] std::string entryNameForShortName(std::string_view shortName);

// From the file name without its folders and its last extension; an empty
// file name gives kEntryFunctionName.
[[nodiscard]] std::string entryNameForLibrary(std::string_view path);

}  // namespace zel::host
