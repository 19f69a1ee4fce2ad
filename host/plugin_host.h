// PluginHost: drives one plugin through its boundary the way the platform's
// host does: the library's entry (load_zel_maps, or load_<name> for another
// plugin; see PluginLibrary below) with a chosen plugin API version, then
// attach with a HostConnection, getMemoryStats, and shutdown.
//
//   PluginHost host(PluginLibrary::open(ZEL_PLUGIN_PATH));
//   if (!host.load({18, 0, 0})) puts(host.error().c_str());
//   RecordingHostApi api;
//   host.attach(api.api(), 7);
//   MemoryStats stats = host.memoryStats();
//   host.shutdown();
//
// Owns the library and the HostConnection the plugin keeps a pointer to; the
// destructor shuts a still loaded plugin down before the library unloads.
// The HostApi given to attach must outlive the shutdown.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "boundary/host_api.h"
#include "host/api_version.h"

namespace zel::host {

// A plugin's shared library, loaded by path, with its entry function
// resolved: load_<name> for a library <name>.so or <name>.dll (the name
// derived as host/loading/entry_name.h says), else load_zel_maps, or a name
// the caller gives. Unloads the library when destroyed.
//
//   zel::host::PluginLibrary library = zel::host::PluginLibrary::open(ZEL_PLUGIN_PATH);
//   if (!library.isOpen()) puts(library.error().c_str());
//   PluginLibrary notes = PluginLibrary::open("zel_notes.so", "load_zel_notes");
//
// Move-only; owns the library handle. Everything the plugin handed out
// (texts, tables, its object) dies with the library.
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
  // derived from the file name, then load_zel_maps; the error names the
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

class PluginHost {
 public:
  enum class State { Unloaded, Loaded, Attached, ShutDown };

  explicit PluginHost(PluginLibrary library);
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  // Calls the entry with the version in words 0-2. A plugin that finds
  // the version incompatible ends the process here. False when the library
  // is not open, the plugin is loaded already, or the plugin left any of
  // words 3-6 (or an entry point) empty.
  [[nodiscard]] bool load(ApiVersion version);

  // Calls attach with a connection of api and pluginHandle; returns the
  // plugin's answer. Only once, after load.
  [[nodiscard]] bool attach(HostApi* api, std::uint32_t pluginHandle);

  // Calls shutdown, which destroys the plugin object: the object, its entry
  // point table, its short name text and its description are gone afterwards.
  void shutdown();

  // Calls getMemoryStats (first argument null, as it is ignored). The record
  // is filled with the byte 0xA5 first, so words the plugin leaves alone show.
  // Works after shutdown too: the counters are the library's.
  [[nodiscard]] MemoryStats memoryStats() const;

  [[nodiscard]] State state() const { return state_; }
  [[nodiscard]] const std::string& error() const { return error_; }
  [[nodiscard]] const PluginLibrary& library() const { return library_; }

  // Words 0-6 as the plugin left them on return from its entry.
  [[nodiscard]] const HostLoadInfo& loadInfo() const { return loadInfo_; }
  [[nodiscard]] ApiVersion pluginVersion() const;
  // A copy of word 5, valid after shutdown.
  [[nodiscard]] const std::string& shortName() const { return shortName_; }
  void* plugin() const { return loadInfo_.plugin; }
  [[nodiscard]] const PluginEntryPoints* entryPoints() const { return loadInfo_.entryPoints; }
  [[nodiscard]] const ApiDescription* description() const { return loadInfo_.description; }

 private:
  bool fail(std::string text);

  PluginLibrary library_;
  State state_ = State::Unloaded;
  std::string error_;
  HostLoadInfo loadInfo_{};
  // Copied at load: getMemoryStats stays callable once the object is gone.
  PluginEntryPoints entries_{};
  std::string shortName_;
  HostConnection connection_{};
};

}  // namespace zel::host
