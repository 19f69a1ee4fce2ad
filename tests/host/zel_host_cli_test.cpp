// The zel-host program, run as a child process against the real plugin.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/host/child_process.h"
#include "tests/host/text_matchers.h"

namespace zel::host {
namespace {

using testing::HasSubstr;
using testing_support::ChildResult;
using testing_support::ContainsInOrder;
using testing_support::incompatibleVersionReport;
using testing_support::runChild;

TEST(ZelHostCliTest, PrintsTheHandshakeAttachesAndShutsDown) {
  ChildResult child = runChild(ZEL_HOST_PROGRAM, "--version 18.3.0");
  ASSERT_TRUE(child.started);
  EXPECT_EQ(child.exitCode, 0) << child.output;
  EXPECT_THAT(
      child.output,
      ContainsInOrder(std::vector<std::string>{
          "host plugin API: 18.3.0\n", "handshake: plugin API 18.0.0, short name \"zel-maps\"\n",
          "entry points: attach present, shutdown present, getMemoryStats present\n",
          "description: ", "attach: ok\n", "memory: peak live bytes ", "reserved 0 0\n",
          "shutdown: done\n"}));
  EXPECT_THAT(child.output, testing::Not(HasSubstr("the description's records link")));
}

TEST(ZelHostCliTest, AnIncompatibleVersionEndsTheProgramAfterTheReport) {
  const char* versions[] = {"17.9.9", "19.0.0"};
  for (const char* version : versions) {
    SCOPED_TRACE(version);
    ChildResult child = runChild(ZEL_HOST_PROGRAM, std::string("--version ") + version);
    ASSERT_TRUE(child.started);
    EXPECT_TRUE(child.aborted) << "exit code " << child.exitCode << "\n" << child.output;
    EXPECT_THAT(child.output, ContainsInOrder(incompatibleVersionReport(version)));
    EXPECT_THAT(child.output, testing::Not(HasSubstr("handshake:")));
  }
}

TEST(ZelHostCliTest, BadCommandLinesAndMissingLibrariesFail) {
  struct Row {
    int line;
    const char* arguments;
    int exitCode;
    const char* message;
  };
  const Row rows[] = {
      {__LINE__, "--version 18.0", 2, "zel-host: not a version (X.Y.Z): 18.0"},
      {__LINE__, "--version", 2, "zel-host: missing value after --version"},
      {__LINE__, "--verbose", 2, "zel-host: unknown option: --verbose"},
      {__LINE__, "serve-all", 2, "zel-host: unknown command: serve-all"},
      {__LINE__, "--plugin no-such-plugin-library", 1,
       "zel-host: Cannot load plugin library no-such-plugin-library"},
      {__LINE__, "handshake --help", 0, "usage: zel-host [COMMAND]"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.arguments);
    ChildResult child = runChild(ZEL_HOST_PROGRAM, row.arguments);
    ASSERT_TRUE(child.started);
    EXPECT_EQ(child.exitCode, row.exitCode) << child.output;
    EXPECT_THAT(child.output, HasSubstr(row.message));
  }
}

}  // namespace
}  // namespace zel::host
