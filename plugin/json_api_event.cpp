#include "plugin/json_api_event.h"

#include <cstddef>

#include "plugin/messages.h"

namespace zel {
namespace {

constexpr std::size_t kEntries = 4;
constexpr std::size_t kPlatformConfigEntries = 6;

// The next non-empty segment at or after position, or an empty view at the
// end; position moves past it.
std::string_view nextSegment(std::string_view uri, std::size_t& position) {
  while (position < uri.size() && uri[position] == '/') ++position;
  const std::size_t start = position;
  while (position < uri.size() && uri[position] != '/') ++position;
  return uri.substr(start, position - start);
}

}  // namespace

std::string jsonApiEventName(std::string_view uri) {
  namespace text = plugin::messages;
  std::string name(text::kJsonApiEvent);
  name.reserve(name.size() + uri.size() + 1);

  std::size_t position = 0;
  std::size_t entries = 1;
  std::size_t limit = kEntries;
  for (std::string_view segment = nextSegment(uri, position); !segment.empty();
       segment = nextSegment(uri, position)) {
    if (entries == 1 && segment == text::kPlatformConfigSegment) limit = kPlatformConfigEntries;
    if (entries == limit) break;
    name += text::kJsonApiNameSeparator;
    name += segment;
    ++entries;
  }
  return name;
}

}  // namespace zel
