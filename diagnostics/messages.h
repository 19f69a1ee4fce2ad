// Every text the diagnostics subsystem writes, in one place. The assertion
// pieces are templates for formatPositional.
#pragma once

namespace zel::diagnostics::messages {

inline constexpr const char* kMainThreadName = "Main thread";

inline constexpr const char* kAssertionHeading = "Assertion failed!\n\n";
inline constexpr const char* kAssertionFile = "File: %1\n";
inline constexpr const char* kAssertionLine = "Line: %1\n\n";
inline constexpr const char* kAssertionFunction = "Function: %1\n\n";
inline constexpr const char* kAssertionExpression = "Expression: %1";
inline constexpr const char* kAssertionDescription = "\n\nDescription: %1";

}  // namespace zel::diagnostics::messages
