#include "diagnostics/assertion.h"

#include "diagnostics/format.h"
#include "diagnostics/logger.h"
#include "diagnostics/messages.h"

namespace zel {
namespace {

namespace messages = diagnostics::messages;

bool given(const char* text) {
  return text != nullptr && text[0] != '\0';
}

}  // namespace

std::string assertionReport(const char* expression, const char* description, const char* file,
                            std::int32_t line, const char* function) {
  std::string report = formatPositional(messages::kAssertionHeading);
  if (given(file)) report += formatPositional(messages::kAssertionFile, file);
  if (line != 0) report += formatPositional(messages::kAssertionLine, line);
  if (given(function)) report += formatPositional(messages::kAssertionFunction, function);
  if (given(expression)) report += formatPositional(messages::kAssertionExpression, expression);
  if (given(description)) report += formatPositional(messages::kAssertionDescription, description);
  return report;
}

void reportAssertion(const char* expression, const char* description, const char* file,
                     std::int32_t line, const char* function) {
  const std::string report = assertionReport(expression, description, file, line, function);
  logText(kLogError, kTagDbg, report.c_str());
}

}  // namespace zel
