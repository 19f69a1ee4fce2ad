// The assertion report: the one multi-line text that names a failed check and
// where it failed, logged at ERROR on the "DBG" channel. Ending the process is
// the caller's step.
//
//   zel::reportAssertion("ALE-EECF0606", message.c_str(), "", 0, "");
//   std::abort();
//
// Any text may be empty (or null); line 0 means no line.
#pragma once

#include <cstdint>
#include <string>

namespace zel {

// Builds the report: "Assertion failed!", then the file, line, function,
// expression and description that are given.
[[nodiscard]] std::string assertionReport(const char* expression, const char* description,
                                          const char* file, std::int32_t line,
                                          const char* function);

// Logs assertionReport(...) at level ERROR with the "DBG" mask; returns.
void reportAssertion(const char* expression, const char* description, const char* file,
                     std::int32_t line, const char* function);

}  // namespace zel
