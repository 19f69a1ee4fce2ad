// The plugin's version rule and names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/function_name.h"
#include "diagnostics/logger.h"
#include "diagnostics/logger_control.h"
#include "plugin/identity.h"
#include "tests/plugin/recording_log_target.h"

namespace zel {
namespace {

TEST(PluginApiVersion, AcceptsSameMajorWithMinorOrPatchNotBelowOurs) {
  struct Row {
    int line;
    std::uint32_t major, minor, patch;
    bool accepted;
  };
  const Row rows[] = {
      {__LINE__, 18, 0, 0, true},           {__LINE__, 18, 0, 7, true},  {__LINE__, 18, 3, 0, true},
      {__LINE__, 17, 9, 9, false},          {__LINE__, 19, 0, 0, false}, {__LINE__, 0, 0, 0, false},
      {__LINE__, 0xFFFFFFFFu, 0, 0, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(supportedApiVersion().acceptsHost({row.major, row.minor, row.patch, {}, {}}),
              row.accepted);
  }
  // A higher minor is accepted whatever its patch, when ours needs a patch.
  const PluginApiVersion ours{18, 2, 5, {}, {}};
  EXPECT_TRUE(ours.acceptsHost({18, 3, 0, {}, {}}));
  EXPECT_FALSE(ours.acceptsHost({18, 2, 4, {}, {}}));
  EXPECT_TRUE(ours.acceptsHost({18, 2, 5, {}, {}}));
  // The texts play no part.
  EXPECT_TRUE(supportedApiVersion().acceptsHost({18, 0, 0, "rc.1", "build.7"}));
}

TEST(PluginApiVersion, TextForm) {
  EXPECT_EQ(supportedApiVersion().toString(), "18.0.0");
  EXPECT_EQ((PluginApiVersion{17, 9, 9, {}, {}}.toString()), "17.9.9");
  EXPECT_EQ((PluginApiVersion{1, 2, 3, "beta", {}}.toString()), "1.2.3-beta");
  EXPECT_EQ((PluginApiVersion{1, 2, 3, {}, "42"}.toString()), "1.2.3+42");
  EXPECT_EQ((PluginApiVersion{4294967295u, 0, 1, "rc", "b"}.toString()), "4294967295.0.1-rc+b");
}

TEST(PluginNames, FullNamePrefixByKind) {
  struct Row {
    int line;
    const char* kind;
    const char* fullName;
  };
  const Row rows[] = {
      {__LINE__, "backend", "plx-be-zel-maps"}, {__LINE__, "frontend", "plx-fe-zel-maps"},
      {__LINE__, "Backend", "plx-xx-zel-maps"}, {__LINE__, "backen", "plx-xx-zel-maps"},
      {__LINE__, "", "plx-xx-zel-maps"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const PluginNames names = PluginNames::derive("zel-maps", PluginKind{row.kind, "d"});
    EXPECT_EQ(names.fullName, row.fullName);
    EXPECT_EQ(names.shortName, "zel-maps");
    EXPECT_EQ(names.kindName, row.kind);
    EXPECT_EQ(names.kindDetail, "d");
  }
  EXPECT_EQ(PluginNames::derive("zel-maps", backendKind()).fullName, "plx-be-zel-maps");
  EXPECT_TRUE(backendKind().detail.empty());
  EXPECT_EQ(frontendKind().name, "frontend");
}

TEST(PluginNames, UnknownKindIsReportedOnTheErrorLog) {
  logger::acquire();
  {
    testing_support::RecordingLogTarget target;
    target.configure(kLogOkay, kTagDbg, 0, "#M");
    (void)PluginNames::derive("zel-maps", PluginKind{"Backend", ""});
    (void)PluginNames::derive("zel-maps", backendKind());  // no line
    ASSERT_EQ(target.lines.size(), 1u);
    EXPECT_EQ(target.lines[0],
              "            Plugin Manager| GetFullNameFromShortNameAndType(\"zel-maps\", "
              "\"Backend\") called with an unknown type");
    EXPECT_EQ(target.levels[0], kLogError);
  }
  logger::release();
}

TEST(PluginNames, ApiPrefixFromShortName) {
  EXPECT_EQ(deriveName("", "zel-maps"), "ZelMaps");
  EXPECT_EQ(deriveName("", "a!b+c-d.e/f_g"), "ABCDEFG");
  EXPECT_EQ(deriveName("", "--x"), "X");
}

}  // namespace
}  // namespace zel
