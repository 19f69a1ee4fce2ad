// The routes of the tests' own plugin (zel_test_plugin): one per argument
// source and native form the invocation layer has to serve. The end-to-end
// tests load the library through our host and call these only through the
// boundary records.
#pragma once

#include <cstdint>

namespace zel::api::testing_support {

inline constexpr const char kShortName[] = "zel-test";

// Enumerators of the plugin's enum type "ZelTestColour".
enum class Colour : std::int32_t { Red = 1, Green = 2, Blue = 4 };

}  // namespace zel::api::testing_support
