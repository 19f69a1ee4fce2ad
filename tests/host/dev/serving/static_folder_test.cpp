// The API browser's files: only plain names of regular files of the folder,
// each with the type its extension names.
#include "host/dev/serving/internal/static_folder.h"

#include <gtest/gtest.h>

#include "tests/host/dev/sample_data.h"

namespace zel::host {
namespace {

using internal::contentTypeOfFile;
using internal::StaticFolder;

using testing_support::artifactDirectory;
using testing_support::writeTextFile;

TEST(StaticFolderTest, ServesPlainNamesOfRegularFilesOnly) {
  std::filesystem::path root = artifactDirectory() / "static-folder";
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root / "ui" / "sub.js");
  writeTextFile(root / "ui" / "swagger-ui.css", "body{}");
  writeTextFile(root / "ui" / "app_1.js", "let a;");
  writeTextFile(root / "ui" / ".hidden.js", "secret");
  writeTextFile(root / "secret.txt", "outside");
  StaticFolder folder(root / "ui");
  struct Row {
    int line;
    const char* name;
    const char* contentType;  // nullptr: not served
    const char* body;
  };
  const Row rows[] = {
      {__LINE__, "swagger-ui.css", "text/css; charset=utf-8", "body{}"},
      {__LINE__, "app_1.js", "text/javascript; charset=utf-8", "let a;"},
      {__LINE__, ".hidden.js", nullptr, ""},
      {__LINE__, "../secret.txt", nullptr, ""},
      {__LINE__, "..%2fsecret.txt", nullptr, ""},
      {__LINE__, "sub.js", nullptr, ""},  // a folder
      {__LINE__, "missing.js", nullptr, ""},
      {__LINE__, "", nullptr, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.name);
    std::optional<HttpResponse> file = folder.serve(row.name);
    ASSERT_EQ(file.has_value(), row.contentType != nullptr);
    if (!file) continue;
    EXPECT_EQ(file->contentType, row.contentType);
    EXPECT_EQ(file->body, row.body);
  }
  // A NUL before another extension does not make the file that type.
  EXPECT_FALSE(folder.serve(std::string_view("app_1.js\0.html", 14)).has_value());
  EXPECT_FALSE(StaticFolder("").serve("app_1.js").has_value());
  EXPECT_EQ(contentTypeOfFile("a.html"), "text/html; charset=utf-8");
  EXPECT_EQ(contentTypeOfFile("a.js.exe"), "application/octet-stream");

  // Sparse where the file system allows: 32 MiB is served, one byte more is refused
  // before a byte is read.
  constexpr std::uintmax_t kLimit = std::uintmax_t{32} << 20;
  std::filesystem::resize_file(root / "ui" / "app_1.js", kLimit);
  const std::optional<HttpResponse> largest = folder.serve("app_1.js");
  ASSERT_TRUE(largest.has_value());
  EXPECT_EQ(largest->body.size(), kLimit);
  std::filesystem::resize_file(root / "ui" / "app_1.js", kLimit + 1);
  EXPECT_FALSE(folder.serve("app_1.js").has_value());
}

}  // namespace
}  // namespace zel::host
