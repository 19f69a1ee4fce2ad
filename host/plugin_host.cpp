#include "host/plugin_host.h"

#include <cstring>
#include <string_view>
#include <utility>

#include "host/conversions/text_template.h"
#include "host/messages.h"

namespace zel::host {

namespace {

std::string openError(const PluginLibrary& library) {
  return library.error().empty() ? std::string(messages::kNotOpen) : library.error();
}

}  // namespace

PluginHost::PluginHost(PluginLibrary library) : library_(std::move(library)) {
  if (!library_.isOpen()) error_ = openError(library_);
}

PluginHost::~PluginHost() {
  if (state_ == State::Loaded || state_ == State::Attached) shutdown();
}

bool PluginHost::load(ApiVersion version) {
  if (!library_.isOpen()) return fail(openError(library_));
  if (state_ != State::Unloaded) return fail(std::string(messages::kLoadedTwice));
  HostLoadInfo info{};
  info.major = version.major;
  info.minor = version.minor;
  info.patch = version.patch;
  library_.entry()(&info);
  loadInfo_ = info;

  std::string_view missing;
  if (info.entryPoints == nullptr) {
    missing = messages::kMissingEntryPoints;
  } else if (info.plugin == nullptr) {
    missing = messages::kMissingObject;
  } else if (info.shortName == nullptr) {
    missing = messages::kMissingShortName;
  } else if (info.description == nullptr) {
    missing = messages::kMissingDescription;
  } else if (info.entryPoints->attach == nullptr || info.entryPoints->shutdown == nullptr ||
             info.entryPoints->getMemoryStats == nullptr) {
    missing = messages::kMissingEntryPoint;
  }
  if (!missing.empty()) return fail(fillTemplate(messages::kIncompleteLoad, {missing}));

  entries_ = *info.entryPoints;
  shortName_ = info.shortName;
  state_ = State::Loaded;
  error_.clear();
  return true;
}

bool PluginHost::attach(HostApi* api, std::uint32_t pluginHandle) {
  if (state_ == State::Attached) return fail(std::string(messages::kAttachedTwice));
  if (state_ != State::Loaded) return fail(std::string(messages::kNotLoaded));
  if (api == nullptr) return fail(std::string(messages::kNullHostApi));
  connection_.api = api;
  connection_.pluginHandle = pluginHandle;
  state_ = State::Attached;
  if (entries_.attach(loadInfo_.plugin, &connection_) == 0) {
    return fail(std::string(messages::kAttachRefused));
  }
  error_.clear();
  return true;
}

void PluginHost::shutdown() {
  if (state_ != State::Loaded && state_ != State::Attached) return;
  entries_.shutdown(loadInfo_.plugin);
  state_ = State::ShutDown;
}

MemoryStats PluginHost::memoryStats() const {
  MemoryStats stats;
  std::memset(&stats, 0xA5, sizeof stats);
  if (entries_.getMemoryStats != nullptr) entries_.getMemoryStats(nullptr, &stats);
  return stats;
}

ApiVersion PluginHost::pluginVersion() const {
  return ApiVersion{loadInfo_.major, loadInfo_.minor, loadInfo_.patch};
}

bool PluginHost::fail(std::string text) {
  error_ = std::move(text);
  return false;
}

}  // namespace zel::host
