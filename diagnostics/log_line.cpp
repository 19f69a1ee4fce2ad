#include "diagnostics/log_line.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "diagnostics/log_level.h"
#include "diagnostics/log_names.h"
#include "diagnostics/log_tags.h"

namespace zel {
namespace {

constexpr std::size_t kProcessNameSize = 260;
char gProcessNameBuffer[kProcessNameSize];
std::atomic<const char*> gProcessName{"<unknown>"};

std::atomic<std::int64_t> gFirstCounterReading{0};

std::int64_t firstCounterReading(std::int64_t now) {
  std::int64_t first = gFirstCounterReading.load(std::memory_order_acquire);
  if (first == 0 &&
      !gFirstCounterReading.compare_exchange_strong(first, now, std::memory_order_acq_rel)) {
    return first;
  }
  return first == 0 ? now : first;
}

// Appends within the line's content limit.
struct LineWriter {
  char* buffer;
  std::size_t limit;
  std::size_t length = 0;

  void put(char c) {
    if (length < limit) buffer[length++] = c;
  }
  void put(const char* text) {
    while (*text != '\0' && length < limit) buffer[length++] = *text++;
  }
  template <typename... Args>
  void print(const char* format, Args... args) {
    char piece[64];
    const int written = std::snprintf(piece, sizeof piece, format, args...);
    if (written > 0) put(piece);
  }
};

std::size_t printTime(const char* format, const platform::LocalTime& time, char* buffer,
                      std::size_t capacity, bool milliseconds) {
  if (buffer == nullptr || capacity == 0) return 0;
  const int written = milliseconds
                          ? std::snprintf(buffer, capacity, format, time.year, time.month, time.day,
                                          time.hour, time.minute, time.second, time.millisecond)
                          : std::snprintf(buffer, capacity, format, time.year, time.month, time.day,
                                          time.hour, time.minute, time.second);
  if (written < 0) {
    buffer[0] = '\0';
    return 0;
  }
  return static_cast<std::size_t>(written) < capacity ? static_cast<std::size_t>(written)
                                                      : capacity - 1;
}

}  // namespace

std::size_t renderLogTime(const platform::LocalTime& time, char* buffer,
                          std::size_t capacity) noexcept {
  return printTime("%04d-%02d-%02dT%02d:%02d:%02d.%03d", time, buffer, capacity, true);
}

std::size_t renderLogFileTime(const platform::LocalTime& time, char* buffer,
                              std::size_t capacity) noexcept {
  return printTime("%04d-%02d-%02dT%02d-%02d-%02d", time, buffer, capacity, false);
}

const char* logProcessName() noexcept {
  return gProcessName.load(std::memory_order_acquire);
}

void diagnostics::internal::learnProcessName() noexcept {
  static std::once_flag once;
  std::call_once(once, [] {
    char path[kProcessNameSize];
    if (platform::moduleFileName(path, sizeof path) == 0) return;
    const char* name = path;
    for (const char* c = path; *c != '\0'; ++c) {
      if (*c == '\\' || *c == '/') name = c + 1;
    }
    std::snprintf(gProcessNameBuffer, sizeof gProcessNameBuffer, "%s", name);
    gProcessName.store(gProcessNameBuffer, std::memory_order_release);
  });
}

std::size_t renderLogLine(const char* lineTemplate, const LogRecord& record, char* buffer,
                          std::size_t capacity) noexcept {
  if (buffer == nullptr || capacity < 2) {
    if (buffer != nullptr && capacity == 1) buffer[0] = '\0';
    return 0;
  }
  // One byte stays free for the closing line feed, one for the terminator.
  LineWriter out{buffer, capacity - 2};
  const char* p = lineTemplate == nullptr ? "" : lineTemplate;
  while (*p != '\0' && out.length < out.limit) {
    if (*p != '#') {
      out.put(*p++);
      continue;
    }
    const char letter = p[1];
    if (letter == '\0') {
      out.put('#');
      break;
    }
    p += 2;
    switch (letter) {
      case 'D': {
        char time[32];
        renderLogTime(record.time, time, sizeof time);
        out.put(time);
        break;
      }
      case 'E':
        out.put(logProcessName());
        break;
      case 'G': {
        char tags[kLogTagSlots * 4];
        renderLogMask(record.mask, tags, sizeof tags);
        out.put(tags);
        break;
      }
      case 'H': {
        const std::int64_t now = platform::performanceCounter();
        const std::int64_t frequency = platform::performanceFrequency();
        const std::int64_t ticks = now - firstCounterReading(now);
        const std::int64_t milliseconds =
            frequency > 0 ? ticks / frequency * 1000 + ticks % frequency * 1000 / frequency : 0;
        out.print("%06d.%03d", static_cast<int>(milliseconds / 1000),
                  static_cast<int>(milliseconds % 1000));
        break;
      }
      case 'L':
        out.put(logLevelName(record.level));
        break;
      case 'M':
        out.put(record.message == nullptr ? "" : record.message);
        break;
      case 'T':
        out.print("%08X", static_cast<unsigned int>(platform::currentThreadId()));
        break;
      default:
        out.put(letter);
        break;
    }
  }
  if (out.length == 0 || buffer[out.length - 1] != '\n') buffer[out.length++] = '\n';
  buffer[out.length] = '\0';
  return out.length;
}

}  // namespace zel
