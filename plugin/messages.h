// Every text the plugin runtime produces, in one place. Numbered placeholders
// are filled by formatPositional.
#pragma once

namespace zel::messages {

inline constexpr const char kVersionText[] = "%1.%2.%3";
inline constexpr const char kIncompatibleHost[] =
    "%1 which supports plugin API %2 is not compatible with core's plugin API %3";
inline constexpr const char kIncompatibleHostExpression[] = "ALE-EECF0606";
inline constexpr const char kUnknownPluginKind[] =
    "GetFullNameFromShortNameAndType(\"%1\", \"%2\") called with an unknown type";
inline constexpr const char kPluginManagerLine[] = "            Plugin Manager| %s";
inline constexpr const char kUserAgent[] = "TavikClient/%1 (%2)";
inline constexpr const char kPluginLineTemplate[] = "#D| #L| #G| #M";

}  // namespace zel::messages
