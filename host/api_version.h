// The plugin API version the host announces in the load handshake, and its
// text form "major.minor.patch" as the command line takes it.
//
//   auto version = zel::host::parseApiVersion("18.3.0");   // 18, 3, 0
//   std::string text = version->text();                    // "18.3.0"
//
// Plain value type; owns nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zel::host {

struct ApiVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t patch = 0;

  [[nodiscard]] std::string text() const;
  bool operator==(const ApiVersion&) const = default;
};

// The version the platform's host speaks today.
inline constexpr ApiVersion kDefaultHostVersion{18, 0, 0};

// Three decimal numbers separated by dots, each fitting 32 bits. A
// pre-release ("-rc.1") or build ("+b7") suffix is accepted and dropped: the
// handshake record carries the three numbers only.
[[nodiscard]] std::optional<ApiVersion> parseApiVersion(std::string_view text);

}  // namespace zel::host
