// ResourceListeners: the callables that resource events reach inside the
// plugin, by exact URI or by URI pattern. A pattern's "*" stands for one
// non-empty segment or for nothing right before a "/".
//
//   listeners.setExact("/zel-maps/v1/maps", onMaps);
//   listeners.setPattern("/zel-maps/v1/*", onAnyList);
//   listeners.collect("/zel-maps/v1/maps", matches);   // onMaps, then onAnyList
//
// Owns the callables (shared, so a caller can run them after letting go of
// its lock). No lock of its own: the plugin object guards it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/internal/events_text_table.h"
#include "plugin/plugin_manager_types.h"

namespace zel::plugin::internal {

using SharedResourceListener = std::shared_ptr<const ResourceListener>;

class ResourceListeners {
 public:
  ResourceListeners();

  // Stores the listener under the URI or pattern, "/" prefixed when it does
  // not start with one, replacing any listener stored there. An empty
  // callable is refused (false).
  bool setExact(std::string_view uri, ResourceListener listener);
  bool setPattern(std::string_view pattern, ResourceListener listener);
  // False when nothing was stored there.
  bool removeExact(std::string_view uri);
  bool removePattern(std::string_view pattern);

  // Appends the listeners that uri (already "/" prefixed) reaches: the exact
  // one first, then each matching pattern's in table order.
  void collect(std::string_view uri, std::vector<SharedResourceListener>& matches) const;

  // The URIs of the exact listeners, in table order.
  [[nodiscard]] std::vector<std::string> exactUris() const;

  bool empty() const noexcept { return exact_.empty() && patterns_.empty(); }
  // Empties both tables.
  void clear();

 private:
  TextTable<SharedResourceListener> exact_;
  TextTable<SharedResourceListener> patterns_;
};

// Whether pattern matches all of uri. A pattern character other than "*"
// matches itself. At "*": an exhausted URI fails; a "/" in the URI lets "*"
// match nothing; any other character starts a run that "*" takes up to, not
// including, the next "/" or the end.
[[nodiscard]] bool matchesUriPattern(std::string_view pattern, std::string_view uri) noexcept;

// The URI with a leading "/" added when it has none.
[[nodiscard]] std::string rootedUri(std::string_view uri);

}  // namespace zel::plugin::internal
