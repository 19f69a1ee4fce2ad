// MockFolder: answers the plugin's outgoing requests under a URL prefix with
// the files of a directory, the way a sibling plugin would serve them: the
// rest of the path names the file, a GET streams its text in chunks.
//
//   MockFolder gameData({.prefix = "/zel-game-data/assets/v1", .directory = "data/game-data"});
//   gameData.answer(2, "/zel-game-data/assets/v1/maps.json");   // DIR/maps.json, streamed
//   gameData.answer(2, "/zel-maps/v1/maps");                     // none: not under the prefix
//
// A path that would leave the directory ("..", ".", empty segments, back
// slashes, drive letters, percent escapes) is refused, never opened; so is a
// file that a link (a symbolic link, a junction) takes outside it, however
// deep the link sits. Only regular files of at most maxFileBytes are served:
// a FIFO, a device or a folder is never read. Reads the file on every
// request, so edits show at once. Holds only names; safe to use from several
// threads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "host/scripted_response.h"

namespace zel::host {

// The largest file a mock serves: far above any document a sibling plugin
// sends, far below what would strain the 32-bit process that holds it whole.
inline constexpr std::uint64_t kMaxMockFileBytes = 64u << 20;

struct MockFolderSpec {
  std::string prefix;         // "/zel-game-data/assets/v1"; a trailing slash is ignored
  std::string directory;      // where the files are
  std::string name = "mock";  // how its errors call it ("game data")
  std::uint64_t maxFileBytes = kMaxMockFileBytes;
};

class MockFolder {
 public:
  explicit MockFolder(MockFolderSpec spec);

  const std::string& prefix() const { return spec_.prefix; }
  const std::string& directory() const { return spec_.directory; }

  // Whether the url's path (its query ignored) lies under the prefix.
  bool covers(std::string_view url) const;
  // The file behind a url under the prefix (named in the directory as
  // given); none when it is not under the prefix or its path is refused.
  // Windows tells where a link leads only once the file is open, so there a
  // link out of the folder is refused by answer alone.
  std::optional<std::string> fileFor(std::string_view url) const;

  // None when the url is not under the prefix. A GET answers the file's text
  // streamed in chunks with a content type from its extension; a refused
  // path, a missing, unreadable, non-regular or too large file answer an
  // error with status 404; any other method answers status 405.
  std::optional<ScriptedResponse> answer(std::uint32_t method, std::string_view url) const;

 private:
  // A file a url names: as messages call it, and as it is opened, with every
  // link followed (so that what was checked to lie inside is what is read),
  // beside the directory so resolved.
  struct FoundFile {
    std::string name;
    std::filesystem::path resolved;
    std::filesystem::path folder;
  };
  std::optional<FoundFile> find(std::string_view url) const;

  MockFolderSpec spec_;
};

// Parses "PREFIX=DIR" as given to --mock; none when there is no '=', the
// prefix does not start with '/', or either side is empty.
std::optional<MockFolderSpec> parseMockSpec(std::string_view text);

// The content type a file's extension suggests (JSON, YAML, MessagePack,
// text, HTML); application/octet-stream for any other.
std::string_view contentTypeForFile(std::string_view file);

// The whole file, or none with the reason in error.
std::optional<std::string> readFileText(const std::string& path, std::string& error);

}  // namespace zel::host
