// A plugin's shared library, loaded by path, with its entry function
// resolved: load_<name> for a library <name>.so or <name>.dll (see
// entry_name.h), else load_zel_maps, or a name the caller gives. Unloads the
// library when destroyed.
//
//   zel::host::PluginLibrary library = zel::host::PluginLibrary::open(ZEL_PLUGIN_PATH);
//   if (!library.isOpen()) puts(library.error().c_str());
//   PluginLibrary notes = PluginLibrary::open("zel_notes.so", "load_zel_notes");
//
// Move-only; owns the library handle. Everything the plugin handed out
// (texts, tables, its object) dies with the library.
#pragma once

#include <initializer_list>
#include <string>

#include "boundary/host_api.h"
#include "host/entry_name.h"

namespace zel::host {

class PluginLibrary {
 public:
  PluginLibrary() = default;
  ~PluginLibrary();
  PluginLibrary(PluginLibrary&& other) noexcept;
  PluginLibrary& operator=(PluginLibrary&& other) noexcept;
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // Never fails outright: a library that cannot be loaded, or lacks the entry
  // function, comes back closed with the reason in error(). Resolves the name
  // derived from the file name, then kEntryFunctionName; the error names the
  // derived one.
  [[nodiscard]] static PluginLibrary open(const std::string& path);
  // Resolves entryName alone.
  [[nodiscard]] static PluginLibrary open(const std::string& path, const std::string& entryName);

  [[nodiscard]] bool isOpen() const { return entry_ != nullptr; }
  [[nodiscard]] LoadPluginFunction* entry() const { return entry_; }
  [[nodiscard]] const std::string& path() const { return path_; }
  // The entry function resolved; empty while closed.
  [[nodiscard]] const std::string& entryName() const { return entryName_; }
  [[nodiscard]] const std::string& error() const { return error_; }

  void close();

 private:
  // Opens path_ and resolves the first of names that the library exports.
  void resolve(std::initializer_list<std::string> names);

  void* handle_ = nullptr;
  LoadPluginFunction* entry_ = nullptr;
  std::string path_;
  std::string entryName_;
  std::string error_;
};

}  // namespace zel::host
