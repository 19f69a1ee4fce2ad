// The temporary copy of a plugin library that zel-host loads when it watches
// the library for rebuilds: Windows will not let the build overwrite a loaded
// DLL, so the host never loads the built file itself (on Linux too, so that
// both behave alike). Each copy lies in a folder of its own under the
// system's temporary folder and keeps the original's file name, from which
// the host derives the entry function's name.
//
//   std::string error;
//   std::optional<std::filesystem::path> copy = copyForLoading("bin/zel_maps.so", error);
//   ... load *copy, and once unloaded:
//   removeLoadedCopy(*copy);
//
// The caller owns the copy and removes it once its library is unloaded.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zel::host::internal {

// None with the reason in error when the file cannot be copied.
std::optional<std::filesystem::path> copyForLoading(const std::filesystem::path& original,
                                                    std::string& error);

// Removes the copy and its folder; quietly leaves what cannot be removed.
void removeLoadedCopy(const std::filesystem::path& copy);

}  // namespace zel::host::internal
