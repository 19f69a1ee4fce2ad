// Rendering log lines. A line template copies its characters and replaces
// "#" and a letter:
//   #D the record's time   #E the process name   #G the record's tag names
//   #H seconds since the first counter reading   #L the level name
//   #M the message         #T the current thread id
// any other character after "#" stands for itself ("##" gives "#").
//
//   char line[zel::kLogLineBufferSize];
//   zel::renderLogLine("#D| #L| #G| #M", record, line, sizeof line);
//
// Every rendered line ends with exactly one line feed, even when cut to fit.
#pragma once

#include <cstddef>

#include "diagnostics/log_record.h"
#include "diagnostics/platform/platform.h"

namespace zel {

inline constexpr std::size_t kLogLineBufferSize = 4096;

inline constexpr const char* kDefaultLineTemplate = "#D| #L| #G| #M";
inline constexpr const char* kConsoleLineTemplate = "#E(#T): #L| #M";

// Writes the line, terminated, into buffer and returns its length (at most
// capacity - 1, and the last character is always a line feed). Needs a
// capacity of at least 2; returns 0 otherwise.
std::size_t renderLogLine(const char* lineTemplate, const LogRecord& record, char* buffer,
                          std::size_t capacity) noexcept;

// "2024-05-01T13:04:05.123"
std::size_t renderLogTime(const platform::LocalTime& time, char* buffer,
                          std::size_t capacity) noexcept;
// "2024-05-01T13-04-05", for file names.
std::size_t renderLogFileTime(const platform::LocalTime& time, char* buffer,
                              std::size_t capacity) noexcept;

// The executable's file name without its directory; "<unknown>" until the
// logger has been created. The text lives as long as the process.
const char* logProcessName() noexcept;

namespace diagnostics::internal {
// Reads the executable's name once; the logger calls it when it is created.
void learnProcessName() noexcept;
}  // namespace diagnostics::internal

}  // namespace zel
