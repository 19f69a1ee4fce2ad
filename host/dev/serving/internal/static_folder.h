// StaticFolder: the API browser's files (swagger-ui-dist), served by plain
// file name. A name is one file of the folder itself: letters, digits, '.',
// '-' and '_', not starting with a dot, so that no request can name a path
// outside the folder, a hidden file or a name that ends in another type than
// it seems (a NUL, an escape). Only regular files up to a size are served,
// and each with the type its extension names and nosniff, so that a browser
// never runs one as something else.
//
//   StaticFolder folder(swaggerUiDirectory);
//   if (std::optional<HttpResponse> file = folder.serve("swagger-ui.css")) ...
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "host/dev/serving/http_server.h"

namespace zel::host::internal {

class StaticFolder {
 public:
  static constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{32} << 20;

  // An empty directory: no files.
  explicit StaticFolder(std::filesystem::path directory);

  // Whether the folder holds the file that must be there (checked once).
  bool holds(std::string_view name) const;
  // The file, or none when the name is not a servable file of the folder.
  std::optional<HttpResponse> serve(std::string_view name) const;

 private:
  std::filesystem::path directory_;
};

// "text/css", "text/javascript; charset=utf-8"...; application/octet-stream
// for an extension not known.
std::string_view contentTypeOfFile(std::string_view name);

}  // namespace zel::host::internal
