#include "host/dev/mock_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/response_filler.h"
#include "host/response_reader.h"
#include "tests/host/dev/sample_data.h"

namespace zel::host {
namespace {

constexpr std::uint32_t kGet = 2;
constexpr std::uint32_t kPost = 6;

using testing_support::streamedText;

std::string contentType(const ScriptedResponse& answer) {
  for (const auto& [name, value] : answer.headers) {
    if (name == "content-type") return value;
  }
  return "";
}

// A folder with a file at its top, one in a subfolder, and a secret beside it.
std::filesystem::path mockTree(const std::string& name) {
  std::filesystem::path root = testing_support::artifactDirectory() / "scratch" / name;
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root / "served" / "deep");
  testing_support::writeTextFile(root / "served" / "top.json", "{\"top\": true}");
  testing_support::writeTextFile(root / "served" / "deep" / "notes.txt", "deep notes");
  testing_support::writeTextFile(root / "secret.txt", "not to be served");
  return root;
}

TEST(MockFolderTest, MapsTheRestOfThePathBelowThePrefixToAFile) {
  std::filesystem::path root = mockTree("mock-folder-map");
  MockFolder mock({"/svc/v1/", (root / "served").string()});
  struct Row {
    int line;
    const char* url;
    const char* text;  // null: not under the prefix
    const char* type;
  };
  const Row rows[] = {
      {__LINE__, "/svc/v1/top.json", "{\"top\": true}", "application/json"},
      {__LINE__, "/svc/v1/top.json?lang=en", "{\"top\": true}", "application/json"},
      {__LINE__, "/svc/v1/deep/notes.txt", "deep notes", "text/plain"},
      {__LINE__, "/svc/v1", nullptr, nullptr},            // the prefix alone names no file
      {__LINE__, "/svc/v10/top.json", nullptr, nullptr},  // a prefix ends at a slash
      {__LINE__, "/svc/top.json", nullptr, nullptr},
      {__LINE__, "/other/v1/top.json", nullptr, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.url);
    std::optional<ScriptedResponse> answer = mock.answer(kGet, row.url);
    EXPECT_EQ(mock.covers(row.url), row.text != nullptr);
    if (row.text == nullptr) {
      EXPECT_FALSE(answer);
      continue;
    }
    ASSERT_TRUE(answer);
    EXPECT_FALSE(answer->error) << *answer->error;
    EXPECT_EQ(streamedText(*answer), row.text);
    EXPECT_EQ(contentType(*answer), row.type);
  }
}

TEST(MockFolderTest, PathsThatWouldLeaveTheFolderAreRefusedUnopened) {
  std::filesystem::path root = mockTree("mock-folder-escape");
  MockFolder mock({"/svc", (root / "served").string()});
  const char* urls[] = {
      "/svc/../secret.txt",
      "/svc/deep/../../secret.txt",
      "/svc/./top.json",
      "/svc//top.json",
      "/svc/deep/",
      "/svc/..",
      "/svc/%2e%2e/secret.txt",
      "/svc/..%2fsecret.txt",
      "/svc/..\\secret.txt",
      "/svc/C:/Windows/win.ini",
      "/svc/deep\\..\\..\\secret.txt",
  };
  for (const char* url : urls) {
    SCOPED_TRACE(url);
    EXPECT_FALSE(mock.fileFor(url));
    std::optional<ScriptedResponse> answer = mock.answer(kGet, url);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 404u);
    EXPECT_THAT(answer->error.value_or(""), testing::StartsWith("The mock refuses the path /svc/"));
    EXPECT_FALSE(answer->stream);
  }
}

TEST(MockFolderTest, MissingFilesAndOtherMethodsAnswerErrors) {
  std::filesystem::path root = mockTree("mock-folder-missing");
  MockFolder mock({"/svc", (root / "served").string(), "files"});

  std::optional<ScriptedResponse> missing = mock.answer(kGet, "/svc/nothing.json");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404u);
  EXPECT_THAT(missing->error.value_or(""),
              testing::StartsWith("Files file " + (root / "served").string() +
                                  "/nothing.json cannot be read: "));

  std::optional<ScriptedResponse> folder = mock.answer(kGet, "/svc/deep");
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->status, 404u);

  std::optional<ScriptedResponse> posted = mock.answer(kPost, "/svc/top.json");
  ASSERT_TRUE(posted);
  EXPECT_EQ(posted->status, 405u);
  EXPECT_EQ(posted->error, "The files has no POST /svc/top.json");
}

TEST(MockFolderTest, TheRootPrefixCoversEveryPath) {
  std::filesystem::path root = mockTree("mock-folder-root");
  MockFolder mock({"/", (root / "served").string()});
  std::optional<ScriptedResponse> answer = mock.answer(kGet, "/deep/notes.txt");
  ASSERT_TRUE(answer);
  EXPECT_EQ(streamedText(*answer), "deep notes");
  EXPECT_FALSE(mock.fileFor("/../secret.txt"));
}

TEST(MockFolderTest, ParsesPrefixEqualsDirectory) {
  struct Row {
    int line;
    const char* text;
    const char* prefix;  // null: refused
    const char* directory;
  };
  const Row rows[] = {
      {__LINE__, "/svc=dir", "/svc", "dir"},   {__LINE__, "/a/b/=/tmp/x=y", "/a/b/", "/tmp/x=y"},
      {__LINE__, "svc=dir", nullptr, nullptr}, {__LINE__, "/svc", nullptr, nullptr},
      {__LINE__, "/svc=", nullptr, nullptr},   {__LINE__, "=dir", nullptr, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.text);
    std::optional<MockFolderSpec> spec = parseMockSpec(row.text);
    ASSERT_EQ(spec.has_value(), row.prefix != nullptr);
    if (!spec) continue;
    EXPECT_EQ(spec->prefix, row.prefix);
    EXPECT_EQ(spec->directory, row.directory);
  }
}

}  // namespace
}  // namespace zel::host
