// Log channel tags: a process-wide table of 64 three-letter tags, where bit i
// of a channel mask stands for the tag in slot i. The first nine slots are
// fixed ("DBG" ... "TST", then "LOC"); others are handed out by registerLogTag.
//
//   const std::uint64_t kTagHttp = zel::registerLogTag("HTP");
//   zel::logMessage(zel::kLogWarn, zel::kTagDbg | kTagHttp, "...");
//
// diagnostics/log_names.h renders a mask's names. Registration is lock-free
// and safe from any thread.
#pragma once

#include <cstdint>

namespace zel {

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

}  // namespace zel
