// The plugin names zel-host new refuses because their project could not
// build, and names beside them that build: keywords and the compiler's or
// the SDK's names among them, since the names only stand in longer tokens
// (namespace class_plugin, fixture plugin_plugin::PluginTest).
#include "host/dev/new_project/project_name_clash.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace zel::host {
namespace {

NameClash clashOf(const std::string& name) {
  const std::optional<ProjectNames> names = projectNames(name);
  EXPECT_TRUE(names.has_value()) << name << " is not even well-formed";
  return names ? nameClash(*names) : NameClash::None;
}

// Every keyword and alternative token of C++20, with "-" where it has "_".
constexpr const char* kCppKeywords[] = {"alignas",       "alignof",     "and",
                                        "and-eq",        "asm",         "auto",
                                        "bitand",        "bitor",       "bool",
                                        "break",         "case",        "catch",
                                        "char",          "char8-t",     "char16-t",
                                        "char32-t",      "class",       "compl",
                                        "concept",       "const",       "consteval",
                                        "constexpr",     "constinit",   "const-cast",
                                        "continue",      "co-await",    "co-return",
                                        "co-yield",      "decltype",    "default",
                                        "delete",        "do",          "double",
                                        "dynamic-cast",  "else",        "enum",
                                        "explicit",      "export",      "extern",
                                        "false",         "float",       "for",
                                        "friend",        "goto",        "if",
                                        "inline",        "int",         "long",
                                        "mutable",       "namespace",   "new",
                                        "noexcept",      "not",         "not-eq",
                                        "nullptr",       "operator",    "or",
                                        "or-eq",         "private",     "protected",
                                        "public",        "register",    "reinterpret-cast",
                                        "requires",      "return",      "short",
                                        "signed",        "sizeof",      "static",
                                        "static-assert", "static-cast", "struct",
                                        "switch",        "template",    "this",
                                        "thread-local",  "throw",       "true",
                                        "try",           "typedef",     "typeid",
                                        "typename",      "union",       "unsigned",
                                        "using",         "virtual",     "void",
                                        "volatile",      "wchar-t",     "while",
                                        "xor",           "xor-eq"};

TEST(ProjectNameClashTest, EveryCppKeywordIsAccepted) {
  for (const char* keyword : kCppKeywords) {
    EXPECT_EQ(clashOf(keyword), NameClash::None) << keyword;
  }
}

TEST(ProjectNameClashTest, NamesTheBuildReservesAreRefusedTheirNeighboursBuild) {
  struct Row {
    int line;
    const char* name;
    NameClash clash;
  };
  const Row rows[] = {
      {__LINE__, "all", NameClash::CMakeTarget},
      {__LINE__, "clean", NameClash::CMakeTarget},
      {__LINE__, "help", NameClash::CMakeTarget},
      {__LINE__, "install", NameClash::CMakeTarget},
      {__LINE__, "preinstall", NameClash::CMakeTarget},
      {__LINE__, "edit-cache", NameClash::CMakeTarget},
      {__LINE__, "rebuild-cache", NameClash::CMakeTarget},
      {__LINE__, "test", NameClash::CMakeTarget},
      {__LINE__, "package", NameClash::CMakeTarget},
      {__LINE__, "package-source", NameClash::CMakeTarget},
      {__LINE__, "list-install-components", NameClash::CMakeTarget},
      {__LINE__, "depend", NameClash::CMakeTarget},
      {__LINE__, "cmake", NameClash::CMakeTarget},
      {__LINE__, "cmake-force", NameClash::CMakeTarget},
      {__LINE__, "cmakelists", NameClash::CMakeTarget},
      {__LINE__, "con", NameClash::WindowsDevice},
      {__LINE__, "prn", NameClash::WindowsDevice},
      {__LINE__, "aux", NameClash::WindowsDevice},
      {__LINE__, "nul", NameClash::WindowsDevice},
      {__LINE__, "com0", NameClash::WindowsDevice},
      {__LINE__, "com9", NameClash::WindowsDevice},
      {__LINE__, "lpt1", NameClash::WindowsDevice},
      {__LINE__, "lpt9", NameClash::WindowsDevice},
      // Words of g++, its C library and the SDK build: the file name stands
      // only in longer tokens (namespace linux_plugin, entry load_linux).
      {__LINE__, "typeof", NameClash::None},
      {__LINE__, "linux", NameClash::None},
      {__LINE__, "unix", NameClash::None},
      {__LINE__, "i386", NameClash::None},
      {__LINE__, "errno", NameClash::None},
      {__LINE__, "stdin", NameClash::None},
      {__LINE__, "stdout", NameClash::None},
      {__LINE__, "stderr", NameClash::None},
      {__LINE__, "std", NameClash::None},
      {__LINE__, "zel", NameClash::None},
      {__LINE__, "failure", NameClash::None},
      {__LINE__, "log", NameClash::None},
      {__LINE__, "va-list", NameClash::None},
      // The fixture plugin_plugin::PluginTest is not the SDK's zel::host::PluginTest.
      {__LINE__, "plugin", NameClash::None},
      // Each of these builds: the words around a keyword, a keyword inside a
      // longer name, the reserved names with more to them.
      {__LINE__, "my-notes", NameClash::None},
      {__LINE__, "classic", NameClash::None},
      {__LINE__, "my-class", NameClash::None},
      {__LINE__, "class2", NameClash::None},
      {__LINE__, "static-assertion", NameClash::None},
      {__LINE__, "co-awaits", NameClash::None},
      {__LINE__, "typeof2", NameClash::None},
      {__LINE__, "linux-maps", NameClash::None},
      {__LINE__, "std2", NameClash::None},
      {__LINE__, "zel-maps", NameClash::None},
      {__LINE__, "logs", NameClash::None},
      {__LINE__, "plugins", NameClash::None},
      {__LINE__, "my-plugin", NameClash::None},
      {__LINE__, "tests", NameClash::None},
      {__LINE__, "test-maps", NameClash::None},
      {__LINE__, "all-maps", NameClash::None},
      {__LINE__, "installer", NameClash::None},
      {__LINE__, "my-cmake", NameClash::None},
      {__LINE__, "cmak", NameClash::None},
      {__LINE__, "cons", NameClash::None},
      {__LINE__, "com", NameClash::None},
      {__LINE__, "com10", NameClash::None},
      {__LINE__, "comx", NameClash::None},
      {__LINE__, "lpt", NameClash::None},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.name);
    EXPECT_EQ(clashOf(row.name), row.clash);
  }
}

}  // namespace
}  // namespace zel::host
