// The brace-template compiler: one walk over the template, numbering each
// placeholder (and each printf directive written outside braces) in order
// of appearance.
#include "diagnostics/named_template.h"

#include <cstring>
#include <string_view>

#include "diagnostics/internal/format_directive.h"

namespace zel {
namespace {

constexpr std::string_view kTypeSuffixes[] = {"_bool", "_int",  "_long", "_float",
                                              "_str",  "_time", "_ip"};

bool hasTypeSuffix(const std::string& name) {
  const std::size_t underscore = name.rfind('_');
  if (underscore == std::string::npos) return false;
  const std::string_view suffix = std::string_view(name).substr(underscore);
  for (std::string_view known : kTypeSuffixes) {
    if (suffix == known) return true;
  }
  return false;
}

const char* suffixFor(LogFieldKind kind) {
  switch (kind) {
    case LogFieldKind::kBool:
      return "_bool";
    case LogFieldKind::kSigned:
    case LogFieldKind::kUnsigned:
      return "_int";
    case LogFieldKind::kDouble:
      return "_float";
    case LogFieldKind::kText:
      return "_str";
  }
  return "";
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

struct Placeholder {
  bool typeSuffix = false;
  bool silent = false;
  bool hasAlternative = false;
  bool hasDirective = false;
  std::string name;
  std::string alternative;
  std::string directive;
};

// Reads up to the closing brace; returns null when the template ends first.
const char* readPlaceholder(const char* p, Placeholder& placeholder) {
  if (*p == '#') {
    placeholder.typeSuffix = true;
    ++p;
  }
  while (*p != '\0' && *p != '}') {
    char c = *p++;
    switch (c) {
      case '!':
        placeholder.silent = true;
        continue;
      case ':':
        placeholder.hasDirective = true;
        continue;
      case '?':
        placeholder.hasAlternative = true;
        continue;
      case '{':
        continue;
      case '\\':
        if (*p == '\0') continue;
        c = *p++;
        break;
      default:
        break;
    }
    if (placeholder.hasDirective) {
      placeholder.directive += c;
    } else if (placeholder.hasAlternative) {
      placeholder.alternative += c;
    } else {
      placeholder.name += c;
    }
  }
  return *p == '}' ? p + 1 : nullptr;
}

void writePlaceholder(Placeholder& placeholder, std::size_t number, const LogField* values,
                      std::size_t count, FieldMap& fields, std::string& out) {
  if (number > count) return;
  const LogField& value = values[number - 1];
  if (placeholder.typeSuffix && !hasTypeSuffix(placeholder.name)) {
    placeholder.name += suffixFor(value.kind());
  }
  if (placeholder.hasAlternative && value.isEmpty()) {
    // The alternative is literal text: a '%' in it must not become a
    // directive of the compiled template.
    for (char c : placeholder.alternative) {
      out += c;
      if (c == '%') out += '%';
    }
    return;
  }
  if (!placeholder.name.empty()) fields.insert_or_assign(placeholder.name, value);
  if (placeholder.silent) {
    while (!out.empty() && isBlank(out.back())) out.pop_back();
    return;
  }
  out += '%';
  out += std::to_string(number);
  if (placeholder.hasDirective) {
    out += '$';
    out += placeholder.directive;
  }
}

}  // namespace

std::string compileNamedTemplate(const char* tmpl, const LogField* values, std::size_t count,
                                 FieldMap& fields) {
  std::string out;
  if (tmpl == nullptr) return out;
  if (values == nullptr) count = 0;
  out.reserve(std::strlen(tmpl) + 8);
  std::size_t number = 0;
  const char* p = tmpl;
  while (*p != '\0') {
    const char c = *p;
    if (c == '{' && p[1] == '{') {
      out += '{';
      p += 2;
    } else if (c == '{') {
      Placeholder placeholder;
      const char* next = readPlaceholder(p + 1, placeholder);
      if (next == nullptr) break;  // an unclosed placeholder writes nothing
      writePlaceholder(placeholder, ++number, values, count, fields, out);
      p = next;
    } else if (c == '}') {
      out += '}';
      p += p[1] == '}' ? 2 : 1;
    } else if (c == '%' && p[1] == '%') {
      out += "%%";
      p += 2;
    } else if (c == '%') {
      // A printf directive stays as written and takes a number of its own.
      diagnostics::internal::DirectiveText parsed;
      const char* next = diagnostics::internal::readDirective(p, count, parsed);
      out.append(p, next);
      ++number;
      p = next;
    } else {
      out += c;
      ++p;
    }
  }
  return out;
}

}  // namespace zel
