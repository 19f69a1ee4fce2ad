// PluginLibrary, declared in host/plugin_host.h beside the host that loads it.
#include "host/plugin_host.h"

#include <initializer_list>
#include <utility>

#include "host/conversions/text_template.h"
#include "host/loading/dynamic_library.h"
#include "host/loading/entry_name.h"
#include "host/messages.h"

namespace zel::host {

PluginLibrary::~PluginLibrary() {
  close();
}

PluginLibrary::PluginLibrary(PluginLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      entry_(std::exchange(other.entry_, nullptr)),
      path_(std::move(other.path_)),
      entryName_(std::move(other.entryName_)),
      error_(std::move(other.error_)) {}

PluginLibrary& PluginLibrary::operator=(PluginLibrary&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = std::exchange(other.handle_, nullptr);
    entry_ = std::exchange(other.entry_, nullptr);
    path_ = std::move(other.path_);
    entryName_ = std::move(other.entryName_);
    error_ = std::move(other.error_);
  }
  return *this;
}

PluginLibrary PluginLibrary::open(const std::string& path) {
  std::string derived = entryNameForLibrary(path);
  if (derived == kEntryFunctionName) return open(path, derived);
  PluginLibrary library;
  library.path_ = path;
  library.resolve({derived, kEntryFunctionName});
  return library;
}

PluginLibrary PluginLibrary::open(const std::string& path, const std::string& entryName) {
  PluginLibrary library;
  library.path_ = path;
  library.resolve({entryName});
  return library;
}

void PluginLibrary::resolve(std::initializer_list<std::string> names) {
  std::string reason;
  handle_ = internal::openLibrary(path_.c_str(), reason);
  if (handle_ == nullptr) {
    error_ = fillTemplate(messages::kOpenFailed, {path_, reason});
    return;
  }
  std::string firstReason;
  for (const std::string& name : names) {
    void* symbol = internal::findSymbol(handle_, name.c_str(), reason);
    if (symbol != nullptr) {
      entry_ = reinterpret_cast<LoadPluginFunction*>(symbol);
      entryName_ = name;
      return;
    }
    if (firstReason.empty()) firstReason = reason;
  }
  error_ = fillTemplate(messages::kNoEntry, {path_, *names.begin(), firstReason});
  close();
}

void PluginLibrary::close() {
  entry_ = nullptr;
  entryName_.clear();
  internal::closeLibrary(std::exchange(handle_, nullptr));
}

}  // namespace zel::host
