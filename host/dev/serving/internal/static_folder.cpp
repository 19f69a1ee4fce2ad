#include "host/dev/serving/internal/static_folder.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace zel::host::internal {

namespace {

bool isPlainFileName(std::string_view name) {
  if (name.empty() || name.size() > 128 || name.front() == '.') return false;
  for (char c : name) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '.' || c == '-' || c == '_';
    if (!plain) return false;
  }
  return true;
}

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace

std::string_view contentTypeOfFile(std::string_view name) {
  struct Type {
    std::string_view extension;
    std::string_view contentType;
  };
  static constexpr Type kTypes[] = {
      {".js", "text/javascript; charset=utf-8"},
      {".mjs", "text/javascript; charset=utf-8"},
      {".css", "text/css; charset=utf-8"},
      {".html", "text/html; charset=utf-8"},
      {".json", "application/json"},
      {".map", "application/json"},
      {".png", "image/png"},
      {".svg", "image/svg+xml"},
      {".txt", "text/plain; charset=utf-8"},
      {".md", "text/plain; charset=utf-8"},
  };
  for (const Type& type : kTypes) {
    if (endsWith(name, type.extension)) return type.contentType;
  }
  return "application/octet-stream";
}

StaticFolder::StaticFolder(std::filesystem::path directory) : directory_(std::move(directory)) {}

bool StaticFolder::holds(std::string_view name) const {
  std::error_code error;
  return !directory_.empty() && isPlainFileName(name) &&
         std::filesystem::is_regular_file(directory_ / std::string(name), error);
}

std::optional<HttpResponse> StaticFolder::serve(std::string_view name) const {
  if (!holds(name)) return std::nullopt;
  std::filesystem::path path = directory_ / std::string(name);
  std::error_code error;
  std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size > kMaxFileBytes) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  HttpResponse response;
  response.contentType = std::string(contentTypeOfFile(name));
  response.body.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  if (file.bad()) return std::nullopt;
  return response;
}

}  // namespace zel::host::internal
