// PluginApiVersion: the semantic version of the plugin API that the host and
// the plugin speak, and the rule that decides whether they fit together.
//
//   PluginApiVersion host{18, 3, 0};
//   if (!supportedApiVersion().acceptsHost(host)) { ... }
//   host.toString();  // "18.3.0"
#pragma once

#include <cstdint>
#include <string>

namespace zel {

struct PluginApiVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t patch = 0;
  std::string preRelease;
  std::string build;

  // "major.minor.patch", then "-pre-release" and "+build" when present.
  [[nodiscard]] std::string toString() const;

  // Same major; then a higher host minor, or the same minor and a host patch
  // not below ours. All comparisons unsigned; the texts play no part.
  [[nodiscard]] bool acceptsHost(const PluginApiVersion& host) const noexcept;
};

// The plugin API version this plugin is built for.
inline constexpr std::uint32_t kPluginApiMajor = 18;
inline constexpr std::uint32_t kPluginApiMinor = 0;
inline constexpr std::uint32_t kPluginApiPatch = 0;

[[nodiscard]] PluginApiVersion supportedApiVersion();

}  // namespace zel
