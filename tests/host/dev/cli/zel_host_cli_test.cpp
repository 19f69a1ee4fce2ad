// The zel-host program, run as a child process against the real plugin.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/wait.h>
#include <csignal>
#endif

#include <httplib.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/host/dev/child_process.h"
#include "tests/host/dev/sample_data.h"
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
    std::string arguments;
    int exitCode;
    std::string message;
  };
  // A value an option takes is parsed before --help prints the usage; a
  // wrongly accepted one then ends there, not in a server.
  const std::string usage = "usage: zel-host [COMMAND]";
  const std::string notAHost = "zel-host: --allow-host takes NAME or NAME:PORT, not: ";
  const std::string longestHost(255, 'h');
  const Row rows[] = {
      {__LINE__, "--version 18.0", 2, "zel-host: not a version (X.Y.Z): 18.0"},
      {__LINE__, "--version", 2, "zel-host: missing value after --version"},
      {__LINE__, "--loud", 2, "zel-host: unknown option: --loud"},
      {__LINE__, "call GET", 2, "zel-host: call takes 2 operands"},
      {__LINE__, "describe extra", 2, "zel-host: describe takes 0 operands"},
      {__LINE__, "serve --port 70000", 2, "zel-host: not a port (0 to 65535): 70000"},
      {__LINE__, "serve --port 0 --help", 0, usage},
      {__LINE__, "serve --port 65535 --help", 0, usage},
      {__LINE__, "serve --port 65536 --help", 2, "zel-host: not a port (0 to 65535): 65536"},
      {__LINE__, "serve --port -1 --help", 2, "zel-host: not a port (0 to 65535): -1"},
      {__LINE__, "serve --port 80x --help", 2, "zel-host: not a port (0 to 65535): 80x"},
      {__LINE__, "serve --port +80 --help", 2, "zel-host: not a port (0 to 65535): +80"},
      {__LINE__, "serve --port \" 80\" --help", 2, "zel-host: not a port (0 to 65535):  80"},
      {__LINE__, "serve --port \"\" --help", 2, "zel-host: not a port (0 to 65535): \n"},
      {__LINE__, "serve --allow-host Proxy-0.test~!:8080 --help", 0, usage},
      {__LINE__, "serve --allow-host " + longestHost + " --help", 0, usage},
      {__LINE__, "serve --allow-host " + longestHost + "h --help", 2, notAHost + longestHost + "h"},
      {__LINE__, "serve --allow-host \"\" --help", 2, notAHost + "\n"},
      {__LINE__, "serve --allow-host \"proxy test\" --help", 2, notAHost + "proxy test"},
      {__LINE__, "serve --allow-host \"proxy\ttest\" --help", 2, notAHost + "proxy\ttest"},
      {__LINE__, "serve --allow-host \"proxy\x7F\" --help", 2, notAHost + "proxy\x7F"},
      {__LINE__, "serve --allow-host user@proxy.test --help", 2, notAHost + "user@proxy.test"},
      {__LINE__, "serve --allow-host \"proxy.test?x\" --help", 2, notAHost + "proxy.test?x"},
      {__LINE__, "serve --allow-host \"proxy.test#x\" --help", 2, notAHost + "proxy.test#x"},
      {__LINE__, "serve --allow-host http://proxy.test --help", 2,
       "zel-host: --allow-host takes NAME or NAME:PORT, not: http://proxy.test"},
      {__LINE__, "serve --allow-host proxy.test/x --help", 2,
       "zel-host: --allow-host takes NAME or NAME:PORT, not: proxy.test/x"},
      {__LINE__, "call GET /x --header novalue", 2, "--header takes name=value, not: novalue"},
      {__LINE__, "call GET /x --header =v --help", 2,
       "zel-host: --header takes name=value, not: =v"},
      // An empty header value and an unnamed (positional) argument are fine.
      {__LINE__, "call GET /x --header x-empty= --arg =1 --help", 0, usage},
      {__LINE__, "call GET /x --arg id=[1,", 2, "zel-host: --arg id is not JSON: Invalid JSON"},
      {__LINE__, "call GET /x --body no-such-body-file", 2,
       "zel-host: cannot read the body file no-such-body-file"},
      {__LINE__, "serve-all", 2, "zel-host: unknown command: serve-all"},
      {__LINE__, "call GET /x --mock no-prefix", 2,
       "zel-host: --mock takes /PREFIX=DIR, not: no-prefix"},
      {__LINE__, "describe --mock /svc", 2, "zel-host: --mock takes /PREFIX=DIR, not: /svc"},
      {__LINE__, "--plugin no-such-plugin-library", 1,
       "zel-host: Cannot load plugin library no-such-plugin-library"},
      {__LINE__, "describe --plugin no-such-plugin-library", 1,
       "zel-host: Cannot load plugin library no-such-plugin-library"},
      {__LINE__, "handshake --help", 0, "usage: zel-host [COMMAND]"},
      {__LINE__, "call --help", 0, "zel-host call METHOD PATH"},
      {__LINE__, "new", 2, "zel-host: new takes 1 to 2 operands"},
      {__LINE__, "new a b c", 2, "zel-host: new takes 1 to 2 operands"},
      {__LINE__, "new My-Notes", 2, "zel-host: not a plugin name"},
      {__LINE__, "new my--notes", 2, "zel-host: not a plugin name"},
      {__LINE__, "new 1notes", 2, "zel-host: not a plugin name"},
      {__LINE__, "new notes- x", 2, "zel-host: not a plugin name"},
      {__LINE__, "new edit-cache", 2,
       "zel-host: cannot name a plugin edit-cache: CMake keeps the target name edit_cache"},
      {__LINE__, "new nul", 2,
       "zel-host: cannot name a plugin nul: nul is a device on Windows, where nul.dll cannot"},
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

namespace zel::host {
namespace {

using testing::HasSubstr;
using testing_support::ChildResult;
using testing_support::ContainsInOrder;
using testing_support::runChild;

TEST(ZelHostCallTest, PrintsTheReplyAsJsonAndExitsByItsOutcome) {
  std::filesystem::path body = testing_support::artifactDirectory() / "call-body.yaml";
  testing_support::writeTextFile(body, "id: 40\nname: Posted\ngameMode: HUNT\n");
  struct Row {
    int line;
    std::string arguments;
    int exitCode;
    std::vector<std::string> output;
  };
  const Row rows[] = {
      {__LINE__,
       "call GET /zel-maps/v1/map/7",
       0,
       {"{\n", "  \"status\": 200,\n", "  \"error\": null,\n", "  \"result\": {\n",
        "\"name\": \"Mirrorlake Ruins\""}},
      {__LINE__,
       "call get /zel-maps/v2/map/4/HUNT/NIGHTFALL",
       0,
       {"\"gameMutator\": \"NIGHTFALL\""}},
      {__LINE__,
       "call GET /zel-maps/v1/map/99",
       1,
       {"\"status\": 404", "\"error\": \"No map with id 99\"", "\"result\": null"}},
      {__LINE__, "call GET /zel-maps/v1/map/x", 1, {"\"status\": 400", "incorrect format"}},
      {__LINE__,
       "call GET /nothing/here",
       1,
       {"\"status\": 404", "\"error\": \"No function for GET /nothing/here\""}},
      // The name ends at the first '=': the value may hold more.
      {__LINE__,
       "call GET /zel-maps/v1/map/1 --arg \"id=\\\"a=b\\\"\"",
       1,
       {"\"error\": \"Value a=b for 'id' of type int64 is in an incorrect format"}},
      // A named host argument is bound after the path, so it wins.
      {__LINE__, "call GET /zel-maps/v1/map/1 --arg id=5", 0, {"\"name\": \"Tidebreak Keep\""}},
      // An unnamed one follows the path arguments: index 1, which this route lacks.
      {__LINE__,
       "call GET /zel-maps/v1/map/1 --arg =5",
       1,
       {"\"error\": \"Unknown argument '1' for 'GetZelMapsV1MapById'.\""}},
      {__LINE__,
       "call POST /zel-maps/v1/map --body " + body.string(),
       0,
       {"\"status\": 200", "\"result\": null"}},
      {__LINE__,
       "call POST /zel-maps/v1/map --body " + body.string() + " --content-type text/csv",
       1,
       {"\"error\": \"Unsupported body content type\""}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.arguments);
    ChildResult child = runChild(ZEL_HOST_PROGRAM, row.arguments);
    ASSERT_TRUE(child.started);
    EXPECT_EQ(child.exitCode, row.exitCode) << child.output;
    EXPECT_THAT(child.output, ContainsInOrder(row.output));
  }
}

TEST(ZelHostCallTest, LogsThePluginsLinesAndWhenVerboseEveryRequest) {
  ChildResult child =
      runChild(ZEL_HOST_PROGRAM, "call GET /zel-maps/v2/maps --verbose --game-data no-such-dir");
  ASSERT_TRUE(child.started);
  EXPECT_EQ(child.exitCode, 0) << child.output;
  EXPECT_THAT(child.output, HasSubstr("GET /zel-game-data/assets/v1/maps.json -> 404 ("));
  EXPECT_THAT(child.output,
              HasSubstr(" ERROR zel-maps: Could not deserialize assets/v1/maps.json"));
  EXPECT_THAT(child.output, HasSubstr("GET /zel-maps/v2/maps -> 200 ("));
  EXPECT_THAT(child.output, HasSubstr("\"result\": []"));

  ChildResult quiet = runChild(ZEL_HOST_PROGRAM, "call GET /zel-maps/v2/maps");
  EXPECT_THAT(quiet.output, testing::Not(HasSubstr(" -> 200")));
}

TEST(ZelHostDescribeTest, PrintsTheDescriptionOrTheOpenApiDocument) {
  ChildResult plain = runChild(ZEL_HOST_PROGRAM, "describe");
  EXPECT_EQ(plain.exitCode, 0) << plain.output;
  EXPECT_THAT(plain.output, ContainsInOrder(std::vector<std::string>{
                                "\"plugin\": \"zel-maps\"", "\"pluginApiVersion\": \"18.0.0\"",
                                "\"functions\"", "\"name\": \"PostZelMapsV1Map\"", "\"types\"",
                                "\"name\": \"ZelMapsMaps\"", "\"events\""}));
  ChildResult openApi = runChild(ZEL_HOST_PROGRAM, "describe --openapi");
  EXPECT_EQ(openApi.exitCode, 0) << openApi.output;
  EXPECT_THAT(openApi.output, ContainsInOrder(std::vector<std::string>{
                                  "\"openapi\": \"3.1.0\"", "\"paths\"",
                                  "\"/zel-maps/v1/map/{id}\"", "\"components\""}));
}

// A plugin whose load logged ERROR lines (here: a route's body type that is
// never registered) fails handshake and describe, which print the lines.
// The project's own build and tests run in scripts/check-sdk, against the
// installed SDK; here, what is written and what is refused.
TEST(ZelHostCliTest, NewWritesAProjectIntoAnEmptyFolderOnly) {
  const std::filesystem::path folder = testing_support::artifactDirectory() / "new-project";
  std::filesystem::remove_all(folder);
  ChildResult child = runChild(ZEL_HOST_PROGRAM, "new my-shop2 " + folder.string());
  ASSERT_TRUE(child.started);
  EXPECT_EQ(child.exitCode, 0) << child.output;
  EXPECT_THAT(child.output, HasSubstr("wrote the plugin project my-shop2 into"));
  for (const char* file : {"CMakeLists.txt", "my_shop2_plugin.h", "my_shop2_plugin.cpp",
                           "my_shop2_test.cpp", "README.md"}) {
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / file)) << file;
  }
  const std::string source = testing_support::readTextFile(folder / "my_shop2_plugin.cpp");
  EXPECT_THAT(source, HasSubstr("ZEL_PLUGIN_ENTRY(my_shop2_plugin::MyShop2Plugin)"));
  EXPECT_THAT(source, HasSubstr("\"/my-shop2/v1/items/{id}\""));
  EXPECT_THAT(source, testing::Not(HasSubstr("@")));

  ChildResult again = runChild(ZEL_HOST_PROGRAM, "new my-shop2 " + folder.string());
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_THAT(again.output, HasSubstr("exists and is not an empty folder"));

  // A folder that cannot be made: its parent is a file.
  const std::string blocked = (folder / "README.md" / "sub").string();
  ChildResult refused = runChild(ZEL_HOST_PROGRAM, "new my-shop2 " + blocked);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_THAT(refused.output, HasSubstr("zel-host: cannot write " + blocked + ": "));

  // A name whose project could not build is refused before anything is made.
  const std::filesystem::path unbuildable = testing_support::artifactDirectory() / "new-test";
  std::filesystem::remove_all(unbuildable);
  ChildResult reserved = runChild(ZEL_HOST_PROGRAM, "new test " + unbuildable.string());
  EXPECT_EQ(reserved.exitCode, 2);
  EXPECT_THAT(reserved.output, HasSubstr("CMake keeps the target name test for itself"));
  EXPECT_FALSE(std::filesystem::exists(unbuildable));

  // A keyword, a macro of g++ or a name of the SDK is written: it only ever
  // stands glued into longer tokens (class_plugin, load_class), and the
  // fixture plugin_plugin::PluginTest is not the SDK's.
  const struct {
    int line;
    std::string name;
    std::string file;
    std::string text;
  } accepted[] = {
      {__LINE__, "class", "class_plugin.cpp", "ZEL_PLUGIN_ENTRY(class_plugin::ClassPlugin)"},
      {__LINE__, "static-assert", "static_assert_plugin.cpp",
       "ZEL_PLUGIN_ENTRY(static_assert_plugin::StaticAssertPlugin)"},
      {__LINE__, "linux", "linux_plugin.cpp", "ZEL_PLUGIN_ENTRY(linux_plugin::LinuxPlugin)"},
      {__LINE__, "std", "std_plugin.cpp", "ZEL_PLUGIN_ENTRY(std_plugin::StdPlugin)"},
      {__LINE__, "plugin", "plugin_test.cpp",
       "class PluginTest : public zel::host::PluginTest {};"},
  };
  for (const auto& row : accepted) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.name);
    const std::filesystem::path written =
        testing_support::artifactDirectory() / ("new-" + row.name);
    std::filesystem::remove_all(written);
    ChildResult made = runChild(ZEL_HOST_PROGRAM, "new " + row.name + " " + written.string());
    EXPECT_EQ(made.exitCode, 0) << made.output;
    EXPECT_THAT(testing_support::readTextFile(written / row.file), HasSubstr(row.text));
  }
}

TEST(ZelHostCliTest, ErrorsLoggedDuringLoadArePrintedAndFail) {
  const std::string plugin = std::string(" --plugin ") + ZEL_TEST_PLUGIN_PATH;
  const std::string line =
      "Function 'PostZelTestV1Unregistered' argument 'body' has type "
      "'zel::api::testing_support::Unregistered', which is not registered";
  const struct {
    int line;
    std::string arguments;
    std::string printed;
  } rows[] = {
      {__LINE__, "handshake" + plugin, "log 2: " + line},
      {__LINE__, "describe" + plugin, " ERROR zel-test: " + line},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(runChild(ZEL_HOST_PROGRAM, row.arguments).exitCode, 0) << "without the mistake";
#if defined(_WIN32)
    _putenv_s("ZEL_TEST_PLUGIN_UNREGISTERED", "1");
#else
    setenv("ZEL_TEST_PLUGIN_UNREGISTERED", "1", 1);
#endif
    ChildResult child = runChild(ZEL_HOST_PROGRAM, row.arguments);
#if defined(_WIN32)
    _putenv_s("ZEL_TEST_PLUGIN_UNREGISTERED", "");
#else
    unsetenv("ZEL_TEST_PLUGIN_UNREGISTERED");
#endif
    EXPECT_EQ(child.exitCode, 1) << child.output;
    EXPECT_THAT(child.output,
                ContainsInOrder(std::vector<std::string>{
                    row.printed, "zel-host: the plugin logged 1 ERROR lines during load"}));
  }
}

#if !defined(_WIN32)
// zel-host serve as its own process: it prints where it serves, answers, and
// stops cleanly on SIGTERM.
TEST(ZelHostServeTest, ServesUntilTerminated) {
  std::string command =
      std::string(ZEL_HOST_PROGRAM) + " serve --port 0 --verbose 2>&1 & echo \"pid:$!\"; wait $!";
  std::FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  int pid = 0;
  int port = 0;
  char line[1024];
  while ((pid == 0 || port == 0) && std::fgets(line, sizeof line, pipe) != nullptr) {
    output += line;
    std::string text(line);
    if (text.rfind("pid:", 0) == 0) pid = std::stoi(text.substr(4));
    std::size_t at = text.find("on http://127.0.0.1:");
    if (at != std::string::npos) port = std::stoi(text.substr(at + 20));
  }
  if (port == 0 && pid > 0) kill(pid, SIGTERM);
  ASSERT_GT(pid, 0) << output;
  ASSERT_GT(port, 0) << output;

  httplib::Client client("127.0.0.1", port);
  httplib::Result answer = client.Get("/zel-maps/v1/map/8");
  kill(pid, SIGTERM);
  while (std::fgets(line, sizeof line, pipe) != nullptr) output += line;
  int status = pclose(pipe);
  ASSERT_TRUE(answer) << httplib::to_string(answer.error());
  EXPECT_EQ(answer->status, 200);
  EXPECT_THAT(answer->body, HasSubstr("\"name\":\"Ashfall Basin\""));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << output;
  EXPECT_THAT(output, ContainsInOrder(std::vector<std::string>{
                          "zel-host: serving zel-maps on http://127.0.0.1:",
                          "API browser: http://127.0.0.1:", "/docs", "zel-host: stopping"}));
  EXPECT_THAT(output, HasSubstr("GET /zel-maps/v1/map/8 -> 200 ("));
}
#endif

}  // namespace
}  // namespace zel::host
