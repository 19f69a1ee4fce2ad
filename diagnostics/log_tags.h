// Log channel tags: a process-wide table of 64 three-letter tags, where bit i
// of a channel mask stands for the tag in slot i. The first nine slots are
// fixed ("DBG" ... "TST", then "LOC"); others are handed out by registerTag.
//
//   const std::uint64_t kTagHttp = zel::registerLogTag("HTP");
//   zel::logMessage(zel::kLogWarn, zel::kTagDbg | kTagHttp, "...");
//   zel::renderLogMask(zel::kTagDbg | zel::kTagNet, buffer, sizeof buffer);  // "DBG;NET"
//
// Registration is lock-free and safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel {

inline constexpr std::size_t kLogTagSlots = 64;

inline constexpr std::uint64_t kTagDbg = std::uint64_t{1} << 0;
inline constexpr std::uint64_t kTagGen = std::uint64_t{1} << 1;
inline constexpr std::uint64_t kTagXtr = std::uint64_t{1} << 2;
inline constexpr std::uint64_t kTagPrf = std::uint64_t{1} << 3;
inline constexpr std::uint64_t kTagMem = std::uint64_t{1} << 4;
inline constexpr std::uint64_t kTagDsk = std::uint64_t{1} << 5;
inline constexpr std::uint64_t kTagNet = std::uint64_t{1} << 6;
inline constexpr std::uint64_t kTagTst = std::uint64_t{1} << 7;
// Registered when the library starts, so it always holds slot 8.
inline constexpr std::uint64_t kTagLoc = std::uint64_t{1} << 8;

// Returns the bit of the tag whose first three characters match name,
// taking the next free slot for a new one; 0 for a null or empty name, and
// 0 when all 64 slots are taken.
std::uint64_t registerLogTag(const char* name) noexcept;

// The tag in slot i (up to three characters), "???" for a free slot.
// Writes into the caller's buffer of at least 4 bytes.
void logTagName(std::size_t slot, char (&name)[4]) noexcept;

// The tag names of the set bits, lowest first, separated by ';' (empty for
// 0). Writes at most capacity - 1 characters plus the terminator and returns
// the length written.
std::size_t renderLogMask(std::uint64_t mask, char* buffer, std::size_t capacity) noexcept;

}  // namespace zel
