#include "host/dev/hosting/internal/plugin_copy.h"

#include <atomic>
#include <chrono>
#include <system_error>

#include "host/conversions/text_template.h"
#include "host/dev/hosting/messages.h"

namespace zel::host::internal {

namespace {

std::atomic<unsigned> copies{0};

}  // namespace

std::optional<std::filesystem::path> copyForLoading(const std::filesystem::path& original,
                                                    std::string& error) {
  std::error_code failure;
  std::filesystem::path temporary = std::filesystem::temp_directory_path(failure);
  if (failure) temporary = ".";
  // The clock and a counter keep the folders of several zel-host processes
  // and of several reloads apart.
  auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  std::filesystem::path folder =
      temporary / ("zel-host-" + std::to_string(now) + "-" + std::to_string(copies++));
  std::filesystem::create_directories(folder, failure);
  std::filesystem::path copy = folder / original.filename();
  if (!failure) {
    std::filesystem::copy_file(original, copy, failure);  // a fresh folder: nothing to overwrite
  }
  if (failure) {
    error = fillTemplate(messages::kCannotCopyPlugin, {original.string(), failure.message()});
    std::filesystem::remove_all(folder, failure);
    return std::nullopt;
  }
  return copy;
}

void removeLoadedCopy(const std::filesystem::path& copy) {
  std::error_code ignored;
  std::filesystem::remove(copy, ignored);
  std::filesystem::remove(copy.parent_path(), ignored);
}

}  // namespace zel::host::internal
