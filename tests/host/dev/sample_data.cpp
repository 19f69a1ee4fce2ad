#include "tests/host/dev/sample_data.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "host/calling/response_reader.h"
#include "host/hosting/response_filler.h"

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

namespace zel::host::testing_support {

namespace {

int processId() {
#if defined(_WIN32)
  return _getpid();
#else
  return static_cast<int>(getpid());
#endif
}

}  // namespace

std::filesystem::path artifactDirectory() {
  std::filesystem::path directory(ZEL_ARTIFACT_DIR);
  std::filesystem::create_directories(directory);
  return directory;
}

std::filesystem::path copySampleGameData(const std::string& name) {
  std::filesystem::path target =
      artifactDirectory() / "scratch" / (name + "-" + std::to_string(processId()));
  std::filesystem::remove_all(target);
  std::filesystem::create_directories(target);
  // File by file: a recursive copy into an existing folder fails on Windows.
  std::filesystem::path source(ZEL_GAME_DATA_DIR);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(source)) {
    std::filesystem::path copy = target / std::filesystem::relative(entry.path(), source);
    if (entry.is_directory()) {
      std::filesystem::create_directories(copy);
    } else {
      std::filesystem::copy_file(entry.path(), copy,
                                 std::filesystem::copy_options::overwrite_existing);
    }
  }
  return target;
}

void writeTextFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string readTextFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<std::string> streamedText(const ScriptedResponse& answer) {
  HostResponse response{};
  fillResponse(response, answer, std::make_shared<ResponseJournal>());
  std::optional<std::string> text = drainStream(response);
  releaseResponse(response);
  return text;
}

}  // namespace zel::host::testing_support
