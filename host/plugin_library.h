// A plugin's shared library, loaded by path, with its entry function
// load_zel_maps resolved. Unloads the library when destroyed.
//
//   zel::host::PluginLibrary library = zel::host::PluginLibrary::open(ZEL_PLUGIN_PATH);
//   if (!library.isOpen()) puts(library.error().c_str());
//
// Move-only; owns the library handle. Everything the plugin handed out
// (texts, tables, its object) dies with the library.
#pragma once

#include <string>

#include "boundary/host_api.h"

namespace zel::host {

inline constexpr const char* kEntryFunctionName = "load_zel_maps";

class PluginLibrary {
 public:
  PluginLibrary() = default;
  ~PluginLibrary();
  PluginLibrary(PluginLibrary&& other) noexcept;
  PluginLibrary& operator=(PluginLibrary&& other) noexcept;
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // Never fails outright: a library that cannot be loaded, or lacks the entry
  // function, comes back closed with the reason in error().
  static PluginLibrary open(const std::string& path);

  bool isOpen() const { return entry_ != nullptr; }
  LoadPluginFunction* entry() const { return entry_; }
  const std::string& path() const { return path_; }
  const std::string& error() const { return error_; }

  void close();

 private:
  void* handle_ = nullptr;
  LoadPluginFunction* entry_ = nullptr;
  std::string path_;
  std::string error_;
};

}  // namespace zel::host
