// The tag table. Each slot is one atomic word holding up to three characters
// and a "taken" bit, so a slot is claimed and named in a single
// compare-and-swap: two threads registering the same new tag get the same
// slot, and a reader never sees half a name.
#include "diagnostics/log_tags.h"
#include "diagnostics/log_names.h"

#include <atomic>

namespace zel {
namespace {

constexpr std::uint32_t kTaken = 0x01000000u;

constexpr std::uint32_t pack(const char* name) {
  std::uint32_t word = kTaken;
  for (int i = 0; i < 3 && name[i] != '\0'; ++i) {
    word |= static_cast<std::uint32_t>(static_cast<unsigned char>(name[i])) << (8 * i);
  }
  return word;
}

constinit std::atomic<std::uint32_t> gSlots[kLogTagSlots] = {
    pack("DBG"), pack("GEN"), pack("XTR"), pack("PRF"), pack("MEM"),
    pack("DSK"), pack("NET"), pack("TST"), pack("LOC"),
};

}  // namespace

std::uint64_t registerLogTag(const char* name) noexcept {
  if (name == nullptr || name[0] == '\0') return 0;
  const std::uint32_t wanted = pack(name);
  for (std::size_t slot = 0; slot < kLogTagSlots; ++slot) {
    std::uint32_t current = gSlots[slot].load(std::memory_order_acquire);
    if (current == 0 &&
        gSlots[slot].compare_exchange_strong(current, wanted, std::memory_order_acq_rel)) {
      return std::uint64_t{1} << slot;
    }
    // Either taken before, or just taken by another thread: current holds it.
    if (current == wanted) return std::uint64_t{1} << slot;
  }
  return 0;
}

void logTagName(std::size_t slot, char (&name)[4]) noexcept {
  const std::uint32_t word = slot < kLogTagSlots ? gSlots[slot].load(std::memory_order_acquire) : 0;
  if (word == 0) {
    name[0] = name[1] = name[2] = '?';
    name[3] = '\0';
    return;
  }
  for (int i = 0; i < 3; ++i) name[i] = static_cast<char>((word >> (8 * i)) & 0xFF);
  name[3] = '\0';
}

std::size_t renderLogMask(std::uint64_t mask, char* buffer, std::size_t capacity) noexcept {
  if (buffer == nullptr || capacity == 0) return 0;
  std::size_t length = 0;
  const std::size_t limit = capacity - 1;
  for (std::size_t slot = 0; slot < kLogTagSlots && length < limit; ++slot) {
    if ((mask & (std::uint64_t{1} << slot)) == 0) continue;
    if (length != 0) buffer[length++] = ';';
    char name[4];
    logTagName(slot, name);
    for (const char* c = name; *c != '\0' && length < limit; ++c) buffer[length++] = *c;
  }
  buffer[length] = '\0';
  return length;
}

}  // namespace zel
