// The public conformance suites of the three formats, read from the shared
// data folder (never copied into the project): every input must give a value
// or an error as its manifest expects, or either one where the manifest allows
// both, and never crash or hang.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "formats/yaml_reader.h"

namespace zel {
namespace {

struct Entry {
  std::string file;
  std::string expect;  // "accept", "reject" or "either"
};

std::string suiteFolder(const char* format) {
  return std::string(ZEL_CONFORMANCE_DIR) + "/" + format + "/";
}

// The manifest's rows, or nothing when the data is absent.
std::vector<Entry> readManifest(const std::string& folder) {
  std::vector<Entry> entries;
  std::ifstream manifest(folder + "manifest.tsv");
  std::string line;
  if (!std::getline(manifest, line)) return entries;  // header
  while (std::getline(manifest, line)) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    entries.push_back(Entry{line.substr(0, tab), line.substr(tab + 1)});
  }
  return entries;
}

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Runs `read` on every input of the suite and checks the outcome.
template <typename Read>
void checkSuite(const char* format, Read read, const std::set<std::string>& eitherToo = {}) {
  const std::string folder = suiteFolder(format);
  const std::vector<Entry> entries = readManifest(folder);
  if (entries.empty()) GTEST_SKIP() << "no conformance data in " << folder;
  std::size_t accepted = 0;
  for (const Entry& entry : entries) {
    SCOPED_TRACE(entry.file);
    const BindingValue value = read(readFile(folder + entry.file));
    if (value.ok()) {
      ++accepted;
    } else {
      EXPECT_FALSE(value.errorMessage().empty());
    }
    if (entry.expect == "either" || eitherToo.count(entry.file) != 0) continue;
    ASSERT_TRUE(entry.expect == "accept" || entry.expect == "reject") << entry.expect;
    EXPECT_EQ(value.ok(), entry.expect == "accept") << value.errorMessage();
  }
  ::testing::Test::RecordProperty("accepted", static_cast<int>(accepted));
  ::testing::Test::RecordProperty("inputs", static_cast<int>(entries.size()));
}

TEST(ConformanceTest, Json) {
  // A body is read as text up to its first NUL.
  checkSuite("json", [](const std::string& bytes) { return readJson(bytes.c_str()); });
}

TEST(ConformanceTest, Yaml) {
  checkSuite("yaml", [](const std::string& bytes) { return readYaml(bytes); });
}

TEST(ConformanceTest, MessagePack) {
  // The trailing byte is refused by the body check after decoding, not by the decoder.
  checkSuite("msgpack",
             [](const std::string& bytes) {
               MessagePackReader reader(bytes.data(), bytes.size());
               return reader.read();
             },
             {"hand-trailing-byte.bin"});
}

}  // namespace
}  // namespace zel
