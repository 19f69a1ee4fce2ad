#include "host/plugin_library.h"

#include <utility>

#include "host/dynamic_library.h"
#include "host/messages.h"
#include "host/text_template.h"

namespace zel::host {

PluginLibrary::~PluginLibrary() {
  close();
}

PluginLibrary::PluginLibrary(PluginLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      entry_(std::exchange(other.entry_, nullptr)),
      path_(std::move(other.path_)),
      error_(std::move(other.error_)) {}

PluginLibrary& PluginLibrary::operator=(PluginLibrary&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = std::exchange(other.handle_, nullptr);
    entry_ = std::exchange(other.entry_, nullptr);
    path_ = std::move(other.path_);
    error_ = std::move(other.error_);
  }
  return *this;
}

PluginLibrary PluginLibrary::open(const std::string& path) {
  PluginLibrary library;
  library.path_ = path;
  std::string reason;
  library.handle_ = internal::openLibrary(path.c_str(), reason);
  if (library.handle_ == nullptr) {
    library.error_ = fillTemplate(messages::kOpenFailed, {path, reason});
    return library;
  }
  void* symbol = internal::findSymbol(library.handle_, kEntryFunctionName, reason);
  if (symbol == nullptr) {
    library.error_ = fillTemplate(messages::kNoEntry, {path, kEntryFunctionName, reason});
    library.close();
    return library;
  }
  library.entry_ = reinterpret_cast<LoadPluginFunction*>(symbol);
  return library;
}

void PluginLibrary::close() {
  entry_ = nullptr;
  internal::closeLibrary(std::exchange(handle_, nullptr));
}

}  // namespace zel::host
