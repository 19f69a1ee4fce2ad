#include "host/dev/hosting/mock_folder.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "boundary/method_codes.h"
#include "host/calling/response_reader.h"
#include "host/hosting/response_filler.h"
#include "tests/host/dev/sample_data.h"

namespace zel::host {
namespace {

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
    std::optional<ScriptedResponse> answer = mock.answer(kMethodGet, row.url);
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
    std::optional<ScriptedResponse> answer = mock.answer(kMethodGet, url);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 404u);
    EXPECT_THAT(answer->error.value_or(""), testing::StartsWith("The mock refuses the path /svc/"));
    EXPECT_FALSE(answer->stream);
  }
}

TEST(MockFolderTest, MissingFilesAndOtherMethodsAnswerErrors) {
  std::filesystem::path root = mockTree("mock-folder-missing");
  MockFolder mock({"/svc", (root / "served").string(), "files"});

  std::optional<ScriptedResponse> missing = mock.answer(kMethodGet, "/svc/nothing.json");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404u);
  EXPECT_THAT(missing->error.value_or(""),
              testing::StartsWith("Files file " + (root / "served").string() +
                                  "/nothing.json cannot be read: "));

  std::optional<ScriptedResponse> folder = mock.answer(kMethodGet, "/svc/deep");
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->status, 404u);

  std::optional<ScriptedResponse> posted = mock.answer(kMethodPost, "/svc/top.json");
  ASSERT_TRUE(posted);
  EXPECT_EQ(posted->status, 405u);
  EXPECT_EQ(posted->error, "The files has no POST /svc/top.json");
}

// Each row's url answers its text, or the error that starts with its error.
struct ServedRow {
  int line;
  std::string url;
  const char* text;   // null: an error
  std::string error;  // how the error starts
};

void expectServed(const MockFolder& mock, const ServedRow& row) {
  SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.url);
  std::optional<ScriptedResponse> answer = mock.answer(kMethodGet, row.url);
  ASSERT_TRUE(answer);
  if (row.text != nullptr) {
    EXPECT_FALSE(answer->error) << *answer->error;
    EXPECT_EQ(streamedText(*answer), row.text);
    return;
  }
  EXPECT_EQ(answer->status, 404u);
  EXPECT_THAT(answer->error.value_or(""), testing::StartsWith(row.error));
  EXPECT_FALSE(answer->stream);
}

TEST(MockFolderTest, ServesOnlyRegularFilesUpToTheCap) {
  std::filesystem::path root = mockTree("mock-folder-cap");
  std::filesystem::path served = root / "served";
  testing_support::writeTextFile(served / "ten.txt", "0123456789");
  testing_support::writeTextFile(served / "eleven.txt", "0123456789A");
  MockFolder small({"/svc", served.string(), "mock", 10});
  std::string missing = "Mock file " + served.string();
  const ServedRow rows[] = {
      {__LINE__, "/svc/ten.txt", "0123456789", ""},
      {__LINE__, "/svc/eleven.txt", nullptr,
       missing + "/eleven.txt cannot be read: larger than 10 bytes"},
      {__LINE__, "/svc/deep", nullptr, missing + "/deep cannot be read: not a regular file"},
  };
  for (const ServedRow& row : rows) expectServed(small, row);

  // Sparse where the file system allows: its size is refused before a byte is read.
  std::filesystem::resize_file(served / "ten.txt", kMaxMockFileBytes + 1);
  MockFolder mock({"/svc", served.string()});
  expectServed(mock, {__LINE__, "/svc/ten.txt", nullptr,
                      missing + "/ten.txt cannot be read: larger than 67108864 bytes"});
  std::filesystem::remove(served / "ten.txt");
}

#if !defined(_WIN32)
TEST(MockFolderTest, LinksAreFollowedOnlyAsFarAsTheFolder) {
  std::filesystem::path root = mockTree("mock-folder-links");
  std::filesystem::path served = root / "served";
  std::filesystem::create_directories(root / "elsewhere");
  testing_support::writeTextFile(root / "elsewhere" / "notes.txt", "elsewhere");
  std::filesystem::create_symlink("top.json", served / "same.json");
  std::filesystem::create_directory_symlink("deep", served / "also-deep");
  std::filesystem::create_symlink("../secret.txt", served / "secret.txt");
  std::filesystem::create_symlink(root / "secret.txt", served / "absolute.txt");
  std::filesystem::create_symlink("deep/../../secret.txt", served / "winding.txt");
  std::filesystem::create_directory_symlink("../elsewhere", served / "elsewhere");
  std::filesystem::create_symlink("elsewhere/notes.txt", served / "via-elsewhere.txt");
  MockFolder mock({"/svc", served.string()});
  const std::string refused = "The mock refuses the path ";
  const ServedRow rows[] = {
      {__LINE__, "/svc/same.json", "{\"top\": true}", ""},
      {__LINE__, "/svc/also-deep/notes.txt", "deep notes", ""},
      {__LINE__, "/svc/secret.txt", nullptr, refused + "/svc/secret.txt"},
      {__LINE__, "/svc/absolute.txt", nullptr, refused + "/svc/absolute.txt"},
      {__LINE__, "/svc/winding.txt", nullptr, refused + "/svc/winding.txt"},
      {__LINE__, "/svc/elsewhere/notes.txt", nullptr, refused + "/svc/elsewhere/notes.txt"},
      {__LINE__, "/svc/elsewhere/absent.txt", nullptr, refused + "/svc/elsewhere/absent.txt"},
      {__LINE__, "/svc/via-elsewhere.txt", nullptr, refused + "/svc/via-elsewhere.txt"},
  };
  for (const ServedRow& row : rows) {
    expectServed(mock, row);
    EXPECT_EQ(mock.fileFor(row.url).has_value(), row.text != nullptr) << row.line;
  }
  // A folder that is itself a link serves what lies in its target.
  MockFolder linked({"/svc", (served / "also-deep").string()});
  expectServed(linked, {__LINE__, "/svc/notes.txt", "deep notes", ""});
}

TEST(MockFolderTest, FifosAndDevicesAreNeverRead) {
  std::filesystem::path root = mockTree("mock-folder-special");
  std::filesystem::path served = root / "served";
  // Opened for reading, a FIFO without a writer would hold the request forever.
  ASSERT_EQ(mkfifo((served / "fifo.json").c_str(), 0600), 0);
  std::filesystem::create_symlink("fifo.json", served / "to-fifo.json");
  MockFolder mock({"/svc", served.string()});
  std::string missing = "Mock file " + served.string();
  expectServed(mock, {__LINE__, "/svc/fifo.json", nullptr,
                      missing + "/fifo.json cannot be read: not a regular file"});
  expectServed(mock, {__LINE__, "/svc/to-fifo.json", nullptr,
                      missing + "/to-fifo.json cannot be read: not a regular file"});
  // /dev/zero would never end, /dev/null is empty; neither is a file to serve.
  MockFolder devices({"/dev", "/dev"});
  for (const char* url : {"/dev/zero", "/dev/null"}) {
    expectServed(devices,
                 {__LINE__, url, nullptr,
                  "Mock file " + std::string(url) + " cannot be read: not a regular file"});
  }
}
#endif

TEST(MockFolderTest, TheRootPrefixCoversEveryPath) {
  std::filesystem::path root = mockTree("mock-folder-root");
  MockFolder mock({"/", (root / "served").string()});
  std::optional<ScriptedResponse> answer = mock.answer(kMethodGet, "/deep/notes.txt");
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
      {__LINE__, "/svc=dir", "/svc", "dir"},
      {__LINE__, "/a/b/=/tmp/x=y", "/a/b/", "/tmp/x=y"},
      {__LINE__, "svc=dir", nullptr, nullptr},
      {__LINE__, "/svc", nullptr, nullptr},
      {__LINE__, "/svc=", nullptr, nullptr},
      {__LINE__, "=dir", nullptr, nullptr},
      {__LINE__, "/=d", "/", "d"},
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
