#include "host/dev/new_project/project_name_clash.h"

#include <algorithm>
#include <string_view>

namespace zel::host {

namespace {

// The keywords and alternative tokens of C++20 that a plugin name can spell
// (its words joined by "_": static-assert is static_assert).
constexpr std::string_view kCppKeywords[] = {"alignas",       "alignof",     "and",
                                             "and_eq",        "asm",         "auto",
                                             "bitand",        "bitor",       "bool",
                                             "break",         "case",        "catch",
                                             "char",          "char8_t",     "char16_t",
                                             "char32_t",      "class",       "compl",
                                             "concept",       "const",       "consteval",
                                             "constexpr",     "constinit",   "const_cast",
                                             "continue",      "co_await",    "co_return",
                                             "co_yield",      "decltype",    "default",
                                             "delete",        "do",          "double",
                                             "dynamic_cast",  "else",        "enum",
                                             "explicit",      "export",      "extern",
                                             "false",         "float",       "for",
                                             "friend",        "goto",        "if",
                                             "inline",        "int",         "long",
                                             "mutable",       "namespace",   "new",
                                             "noexcept",      "not",         "not_eq",
                                             "nullptr",       "operator",    "or",
                                             "or_eq",         "private",     "protected",
                                             "public",        "register",    "reinterpret_cast",
                                             "requires",      "return",      "short",
                                             "signed",        "sizeof",      "static",
                                             "static_assert", "static_cast", "struct",
                                             "switch",        "template",    "this",
                                             "thread_local",  "throw",       "true",
                                             "try",           "typedef",     "typeid",
                                             "typename",      "union",       "unsigned",
                                             "using",         "virtual",     "void",
                                             "volatile",      "wchar_t",     "while",
                                             "xor",           "xor_eq"};

// The project builds in g++'s GNU mode (CMake's default): typeof is a
// keyword there, linux, unix and i386 are predefined as 1, and the C library
// defines errno and the standard streams as expressions.
constexpr std::string_view kCompilerWords[] = {"typeof", "linux", "unix",   "i386",
                                               "errno",  "stdin", "stdout", "stderr"};

// zel::std and zel::zel would hide the namespaces the SDK's headers name
// from inside zel; zel::failure and zel::log are the SDK's functions, and
// zel::va_list would hide the type its logger takes.
constexpr std::string_view kSdkNames[] = {"std", "zel", "failure", "log", "va_list"};

// Target names CMake refuses (all, test once testing is enabled, package
// once CPack is included) or whose rules its Makefiles already hold.
constexpr std::string_view kCMakeTargets[] = {"all",
                                              "clean",
                                              "help",
                                              "install",
                                              "preinstall",
                                              "edit_cache",
                                              "rebuild_cache",
                                              "test",
                                              "package",
                                              "package_source",
                                              "list_install_components",
                                              "depend"};

template <std::size_t N>
bool listed(const std::string_view (&list)[N], std::string_view name) {
  return std::find(std::begin(list), std::end(list), name) != std::end(list);
}

// con, prn, aux, nul, com0 to com9 and lpt0 to lpt9, with any extension.
bool isWindowsDevice(std::string_view name) {
  if (name == "con" || name == "prn" || name == "aux" || name == "nul") return true;
  return name.size() == 4 && (name.starts_with("com") || name.starts_with("lpt")) &&
         name[3] >= '0' && name[3] <= '9';
}

}  // namespace

NameClash nameClash(const ProjectNames& names) {
  const std::string_view file = names.fileName;
  if (listed(kCppKeywords, file)) return NameClash::CppKeyword;
  if (listed(kCompilerWords, file)) return NameClash::CompilerWord;
  if (listed(kSdkNames, file)) return NameClash::SdkName;
  if (names.className == "Plugin") return NameClash::FixtureName;
  // CMake names its own rules and targets cmake_check_build_system,
  // cmake_force, cmake_object_order_depends_target_...
  if (listed(kCMakeTargets, file) || file.starts_with("cmake")) return NameClash::CMakeTarget;
  if (isWindowsDevice(file)) return NameClash::WindowsDevice;
  return NameClash::None;
}

}  // namespace zel::host
