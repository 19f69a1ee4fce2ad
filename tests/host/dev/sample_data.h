// Scratch copies of the sample game data for tests that edit it, and the
// folder where tests leave artifacts (screenshots, documents) in the build
// tree.
#pragma once

#include <filesystem>
#include <string>

namespace zel::host::testing_support {

// ZEL_ARTIFACT_DIR, created on first use.
std::filesystem::path artifactDirectory();

// A fresh copy of data/game-data under the artifact folder, named after the
// test and the process, so that parallel runs do not meet.
std::filesystem::path copySampleGameData(const std::string& name);

void writeTextFile(const std::filesystem::path& path, const std::string& text);
std::string readTextFile(const std::filesystem::path& path);

}  // namespace zel::host::testing_support
