#include "plugin/internal/resource_listeners.h"

#include <cstddef>
#include <utility>

namespace zel::plugin::internal {
namespace {

bool store(TextTable<SharedResourceListener>& table, std::string_view key,
           ResourceListener listener) {
  if (!listener) return false;
  table.insert_or_assign(rootedUri(key),
                         std::make_shared<const ResourceListener>(std::move(listener)));
  return true;
}

bool remove(TextTable<SharedResourceListener>& table, std::string_view key) {
  const auto found = table.find(rootedUri(key));
  if (found == table.end()) return false;
  table.erase(found);
  return true;
}

}  // namespace

ResourceListeners::ResourceListeners() : exact_(kTableBuckets), patterns_(kTableBuckets) {}

bool ResourceListeners::setExact(std::string_view uri, ResourceListener listener) {
  return store(exact_, uri, std::move(listener));
}

std::vector<std::string> ResourceListeners::exactUris() const {
  std::vector<std::string> uris;
  uris.reserve(exact_.size());
  for (const auto& entry : exact_) uris.push_back(entry.first);
  return uris;
}

bool ResourceListeners::setPattern(std::string_view pattern, ResourceListener listener) {
  return store(patterns_, pattern, std::move(listener));
}

bool ResourceListeners::removeExact(std::string_view uri) {
  return remove(exact_, uri);
}

bool ResourceListeners::removePattern(std::string_view pattern) {
  return remove(patterns_, pattern);
}

void ResourceListeners::collect(std::string_view uri,
                                std::vector<SharedResourceListener>& matches) const {
  if (const auto found = exact_.find(uri); found != exact_.end()) matches.push_back(found->second);
  for (const auto& [pattern, listener] : patterns_) {
    if (matchesUriPattern(pattern, uri)) matches.push_back(listener);
  }
}

void ResourceListeners::clear() {
  resetTable(exact_);
  resetTable(patterns_);
}

bool matchesUriPattern(std::string_view pattern, std::string_view uri) noexcept {
  std::size_t u = 0;
  for (const char p : pattern) {
    if (p != '*') {
      if (u == uri.size() || uri[u] != p) return false;
      ++u;
      continue;
    }
    if (u == uri.size()) return false;
    if (uri[u] == '/') continue;  // "*" matches nothing here
    while (u < uri.size() && uri[u] != '/') ++u;
  }
  return u == uri.size();
}

std::string rootedUri(std::string_view uri) {
  std::string rooted;
  rooted.reserve(uri.size() + 1);
  if (uri.empty() || uri.front() != '/') rooted += '/';
  rooted += uri;
  return rooted;
}

}  // namespace zel::plugin::internal
