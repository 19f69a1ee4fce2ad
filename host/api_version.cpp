#include "host/api_version.h"

#include <charconv>

namespace zel::host {

std::string ApiVersion::text() const {
  return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

namespace {

// Reads one number at the start of text, which must end there or at `stop`.
bool readNumber(std::string_view& text, char stop, std::uint32_t& number) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first == last || *first < '0' || *first > '9') return false;
  auto [end, error] = std::from_chars(first, last, number);
  if (error != std::errc()) return false;
  if (end != last && *end != stop) return false;
  text.remove_prefix(static_cast<std::size_t>(end - first) + (end != last ? 1 : 0));
  return stop == '\0' ? end == last : end != last;
}

}  // namespace

std::optional<ApiVersion> parseApiVersion(std::string_view text) {
  // The suffix starts at the first "-" or "+"; it must not be empty.
  std::size_t suffix = text.find_first_of("-+");
  if (suffix != std::string_view::npos) {
    if (suffix + 1 == text.size()) return std::nullopt;
    text = text.substr(0, suffix);
  }
  ApiVersion version;
  if (!readNumber(text, '.', version.major) || !readNumber(text, '.', version.minor) ||
      !readNumber(text, '\0', version.patch)) {
    return std::nullopt;
  }
  return version;
}

}  // namespace zel::host
