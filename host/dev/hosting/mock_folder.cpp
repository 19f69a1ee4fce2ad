#include "host/dev/hosting/mock_folder.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "host/calling/route_match.h"
#include "host/conversions/method_names.h"
#include "host/conversions/text_template.h"
#include "host/dev/hosting/messages.h"

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

// Whether file lies below folder, both with every link followed.
bool isInside(const std::filesystem::path& file, const std::filesystem::path& folder) {
  auto [inFolder, inFile] = std::mismatch(folder.begin(), folder.end(), file.begin(), file.end());
  return inFolder == folder.end() && inFile != file.end();
}

#if defined(_WIN32)
// Where Windows itself says a handle leads, through every symbolic link and
// junction; libstdc++ follows neither when it makes a path canonical there.
std::wstring finalPath(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                             FILE_NAME_NORMALIZED);
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length);
  }
  return {};
}

// Whether the file open as handle lies below the folder as Windows resolves
// both; false when either cannot be told.
bool opensInside(HANDLE handle, const std::filesystem::path& folder) {
  HANDLE folderHandle =
      CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folderHandle == INVALID_HANDLE_VALUE) return false;
  std::wstring folderPath = finalPath(folderHandle);
  CloseHandle(folderHandle);
  std::wstring filePath = finalPath(handle);
  if (folderPath.empty() || filePath.empty()) return false;
  return isInside(std::filesystem::path(filePath), std::filesystem::path(folderPath));
}
#endif

// Opens a regular file only: a FIFO opened for reading would wait for a
// writer, a device may answer without end. None with the reason in error.
std::FILE* openRegularFile(const std::filesystem::path& path, std::string& error) {
  std::error_code statusError;
  std::filesystem::file_status status = std::filesystem::symlink_status(path, statusError);
  // A name that does not exist is left to the open, which says why.
  if (!statusError && std::filesystem::exists(status) &&
      !std::filesystem::is_regular_file(status)) {
    error = std::string(messages::kNotRegularFile);
    return nullptr;
  }
#if defined(_WIN32)
  std::FILE* file = _wfopen(path.c_str(), L"rb");
#else
  // Not blocking and not following a link, should the name have changed
  // since it was checked; the descriptor is checked again below.
  int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  std::FILE* file = descriptor < 0 ? nullptr : ::fdopen(descriptor, "rb");
  if (descriptor >= 0 && file == nullptr) ::close(descriptor);
#endif
  if (file == nullptr) error = std::strerror(errno);
  return file;
}

// What reading a file found in the folder came to.
struct ServedText {
  std::optional<std::string> text;  // none: error says why
  std::string error;
  bool outside = false;  // the open led outside the folder after all
};

// The whole of a file found in the folder, refused when it is not a regular
// file or holds more than maxBytes.
ServedText readServedFile(const std::filesystem::path& path, const std::filesystem::path& folder,
                          std::uint64_t maxBytes) {
  ServedText served;
  std::FILE* file = openRegularFile(path, served.error);
  if (file == nullptr) return served;
#if defined(_WIN32)
  struct _stat64 info;
  bool known = _fstat64(_fileno(file), &info) == 0;
  served.outside = !opensInside(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))), folder);
#else
  // The name was resolved with every link followed and is opened without
  // following a link in its last part: only a folder swapped for a link
  // between the two could lead elsewhere.
  struct stat info;
  bool known = ::fstat(::fileno(file), &info) == 0;
  (void)folder;
#endif
  std::string tooLarge = fillTemplate(messages::kFileTooLarge, {std::to_string(maxBytes)});
  if (served.outside) {
    // The caller refuses the path.
  } else if (!known) {
    served.error = std::strerror(errno);
  } else if ((info.st_mode & S_IFMT) != S_IFREG) {
    served.error = std::string(messages::kNotRegularFile);
  } else if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
    served.error = tooLarge;
  } else {
    std::string text;
    text.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[8192];
    std::size_t count;
    bool fits = true;
    // A file that grows while it is read is still held to the cap.
    while (fits && (count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
      fits = text.size() + count <= maxBytes;
      if (fits) text.append(buffer, count);
    }
    if (!fits) {
      served.error = tooLarge;
    } else if (std::ferror(file) != 0) {
      served.error = fillTemplate(messages::kReadFailed, {path.string()});
    } else {
      served.text = std::move(text);
    }
  }
  std::fclose(file);
  return served;
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

std::optional<MockFolder::FoundFile> MockFolder::find(std::string_view url) const {
  if (!covers(url)) return std::nullopt;
  std::string_view rest = pathWithoutQuery(url).substr(spec_.prefix.size() + 1);
  if (!isPlainRelativePath(rest)) return std::nullopt;
  FoundFile found{spec_.directory + "/" + std::string(rest), {}, {}};
  // Links are followed only as far as names exist, so a missing file is
  // still found (and then reported missing), while a linked folder above it
  // counts where it leads.
  std::error_code error;
  found.folder = std::filesystem::weakly_canonical(spec_.directory, error);
  if (error) return std::nullopt;
  found.resolved = std::filesystem::weakly_canonical(found.name, error);
  if (error || !isInside(found.resolved, found.folder)) return std::nullopt;
  return found;
}

std::optional<std::string> MockFolder::fileFor(std::string_view url) const {
  std::optional<FoundFile> found = find(url);
  if (!found) return std::nullopt;
  return std::move(found->name);
}

std::optional<ScriptedResponse> MockFolder::answer(std::uint32_t method,
                                                   std::string_view url) const {
  if (!covers(url)) return std::nullopt;
  if (method != kGet) {
    return ScriptedResponse::withError(
        fillTemplate(messages::kMockMethod, {spec_.name, methodName(method), url}), 405);
  }
  std::optional<FoundFile> file = find(url);
  ServedText served;
  if (file) served = readServedFile(file->resolved, file->folder, spec_.maxFileBytes);
  if (!file || served.outside) {
    return ScriptedResponse::withError(
        fillTemplate(messages::kMockRefused, {spec_.name, pathWithoutQuery(url)}), 404);
  }
  if (!served.text) {
    return ScriptedResponse::withError(
        fillTemplate(messages::kMockMissing, {capitalised(spec_.name), file->name, served.error}),
        404);
  }
  ScriptedResponse response = ScriptedResponse::withStreamedText(*served.text, kChunkSize);
  response.headers.emplace_back("content-type", std::string(contentTypeForFile(file->name)));
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
