// Who the plugin is: its kind, the names derived from its short name, and
// the semantic version of the plugin API it and the host speak, with the
// rule that decides whether they fit together. Plain values.
//
//   PluginNames names = PluginNames::derive("zel-maps", backendKind());
//   names.fullName;  // "plx-be-zel-maps"
//   PluginApiVersion host{18, 3, 0};
//   if (!supportedApiVersion().acceptsHost(host)) { ... }
//   host.toString();  // "18.3.0"
#pragma once

#include <cstdint>
#include <string>

namespace zel {

struct PluginKind {
  std::string name;
  std::string detail;
};

// The two predefined kinds; both have an empty detail.
const PluginKind& backendKind();
const PluginKind& frontendKind();

struct PluginNames {
  std::string fullName;
  std::string shortName;
  std::string kindName;
  std::string kindDetail;

  // The full name gets "plx-be-" or "plx-fe-" for the two predefined kinds,
  // "plx-xx-" (reported on the error log) for any other.
  [[nodiscard]] static PluginNames derive(const std::string& shortName, const PluginKind& kind);
};

struct PluginApiVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t patch = 0;
  std::string preRelease;
  std::string build;

  // "major.minor.patch", then "-pre-release" and "+build" when present.
  [[nodiscard]] std::string toString() const;

  // Same major, then a higher host minor, or the same minor and a host
  // patch not below ours; the texts play no part.
  [[nodiscard]] bool acceptsHost(const PluginApiVersion& host) const noexcept;
};

// The plugin API version this plugin is built for.
inline constexpr std::uint32_t kPluginApiMajor = 18;
inline constexpr std::uint32_t kPluginApiMinor = 0;
inline constexpr std::uint32_t kPluginApiPatch = 0;

[[nodiscard]] PluginApiVersion supportedApiVersion();

}  // namespace zel
