// Scratch copies of the sample game data for tests that edit it, the folder
// where tests leave artifacts (screenshots, documents) in the build tree, and
// the text a plugin would read from a file-backed answer.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "host/scripted_response.h"

namespace zel::host::testing_support {

// ZEL_ARTIFACT_DIR, created on first use.
std::filesystem::path artifactDirectory();

// A fresh copy of data/game-data under the artifact folder, named after the
// test and the process, so that parallel runs do not meet.
std::filesystem::path copySampleGameData(const std::string& name);

void writeTextFile(const std::filesystem::path& path, const std::string& text);
std::string readTextFile(const std::filesystem::path& path);

// The text the plugin reads from an answer, through the HostResponse record;
// none when the answer streams nothing.
std::optional<std::string> streamedText(const ScriptedResponse& answer);

}  // namespace zel::host::testing_support
