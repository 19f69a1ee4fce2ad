#include "host/dev/mock_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/dev/messages.h"
#include "host/method_names.h"
#include "host/route_match.h"
#include "host/text_template.h"

namespace zel::host {

namespace {

constexpr std::uint32_t kGet = 2;
// The size of the chunks the real sibling plugins stream.
constexpr std::size_t kChunkSize = 4096;

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string trimmedSlashes(std::string text) {
  while (text.size() > 1 && (text.back() == '/' || text.back() == '\\')) text.pop_back();
  return text;
}

// One segment of the path below the prefix that names a file or folder
// inside the directory and nothing else.
bool isPlainSegment(std::string_view segment) {
  if (segment.empty() || segment == "." || segment == "..") return false;
  return segment.find_first_of(std::string_view("\\:%\0", 4)) == std::string_view::npos;
}

bool isPlainRelativePath(std::string_view path) {
  while (true) {
    std::size_t slash = path.find('/');
    if (!isPlainSegment(path.substr(0, slash))) return false;
    if (slash == std::string_view::npos) return true;
    path.remove_prefix(slash + 1);
  }
}

std::string capitalised(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 32);
  return text;
}

}  // namespace

MockFolder::MockFolder(MockFolderSpec spec) : spec_(std::move(spec)) {
  spec_.prefix = trimmedSlashes(std::move(spec_.prefix));
  if (spec_.prefix == "/") spec_.prefix.clear();  // the root: every path
  spec_.directory = trimmedSlashes(std::move(spec_.directory));
}

bool MockFolder::covers(std::string_view url) const {
  std::string_view path = pathWithoutQuery(url);
  return path.size() > spec_.prefix.size() && path.substr(0, spec_.prefix.size()) == spec_.prefix &&
         path[spec_.prefix.size()] == '/';
}

std::optional<std::string> MockFolder::fileFor(std::string_view url) const {
  if (!covers(url)) return std::nullopt;
  std::string_view rest = pathWithoutQuery(url).substr(spec_.prefix.size() + 1);
  if (!isPlainRelativePath(rest)) return std::nullopt;
  return spec_.directory + "/" + std::string(rest);
}

std::optional<ScriptedResponse> MockFolder::answer(std::uint32_t method,
                                                   std::string_view url) const {
  if (!covers(url)) return std::nullopt;
  if (method != kGet) {
    return ScriptedResponse::withError(
        fillTemplate(messages::kMockMethod, {spec_.name, methodName(method), url}), 405);
  }
  std::optional<std::string> file = fileFor(url);
  if (!file) {
    return ScriptedResponse::withError(
        fillTemplate(messages::kMockRefused, {spec_.name, pathWithoutQuery(url)}), 404);
  }
  std::string error;
  std::optional<std::string> text = readFileText(*file, error);
  if (!text) {
    return ScriptedResponse::withError(
        fillTemplate(messages::kMockMissing, {capitalised(spec_.name), *file, error}), 404);
  }
  ScriptedResponse response = ScriptedResponse::withStreamedText(*text, kChunkSize);
  response.headers.emplace_back("content-type", std::string(contentTypeForFile(*file)));
  return response;
}

std::optional<MockFolderSpec> parseMockSpec(std::string_view text) {
  std::size_t equals = text.find('=');
  if (equals == std::string_view::npos || equals == 0 || equals + 1 == text.size() ||
      text[0] != '/') {
    return std::nullopt;
  }
  return MockFolderSpec{std::string(text.substr(0, equals)), std::string(text.substr(equals + 1))};
}

std::string_view contentTypeForFile(std::string_view file) {
  if (endsWith(file, ".json")) return "application/json";
  if (endsWith(file, ".yaml") || endsWith(file, ".yml")) return "application/x-yaml";
  if (endsWith(file, ".msgpack") || endsWith(file, ".mp")) return "application/x-msgpack";
  if (endsWith(file, ".txt")) return "text/plain";
  if (endsWith(file, ".html")) return "text/html";
  return "application/octet-stream";
}

std::optional<std::string> readFileText(const std::string& path, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  std::string text;
  char buffer[8192];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    error = fillTemplate(messages::kReadFailed, {path});
    return std::nullopt;
  }
  return text;
}

}  // namespace zel::host
