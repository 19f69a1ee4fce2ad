#include "host/dev/game_data_plugin.h"

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
// The size of the chunks the real game-data plugin streams.
constexpr std::size_t kChunkSize = 4096;

}  // namespace

GameDataPlugin::GameDataPlugin(std::string directory) : directory_(std::move(directory)) {
  while (directory_.size() > 1 && (directory_.back() == '/' || directory_.back() == '\\')) {
    directory_.pop_back();
  }
}

std::optional<std::string> GameDataPlugin::fileFor(std::string_view url) const {
  std::string_view path = pathWithoutQuery(url);
  if (path == kMapsDocument) return directory_ + "/maps.json";
  if (path == kMapAssetsDocument) return directory_ + "/map-assets/map-assets.json";
  return std::nullopt;
}

std::optional<ScriptedResponse> GameDataPlugin::answer(std::uint32_t method,
                                                       std::string_view url) const {
  std::optional<std::string> file = fileFor(url);
  if (!file) return std::nullopt;
  if (method != kGet) {
    return ScriptedResponse::withError(
        fillTemplate(messages::kGameDataMethod, {methodName(method), url}), 405);
  }
  std::string error;
  std::optional<std::string> text = readFileText(*file, error);
  if (!text) {
    return ScriptedResponse::withError(fillTemplate(messages::kGameDataMissing, {*file, error}),
                                       404);
  }
  ScriptedResponse response = ScriptedResponse::withStreamedText(*text, kChunkSize);
  response.headers.emplace_back("content-type", "application/json");
  return response;
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
