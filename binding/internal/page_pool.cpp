#include "binding/internal/page_pool.h"

#include <bit>
#include <cstring>
#include <new>

#include "diagnostics/platform/platform.h"
#include "memory/memory.h"

namespace zel::binding::internal {
namespace {

constexpr std::uint32_t kAllFree = (1u << PagePool::kPagesPerReservation) - 1;

std::uintptr_t addressOf(const void* pointer) noexcept {
  return reinterpret_cast<std::uintptr_t>(pointer);
}

}  // namespace

PagePool& PagePool::instance() noexcept {
  alignas(PagePool) static unsigned char storage[sizeof(PagePool)];
  static PagePool* pool = new (storage) PagePool();
  return *pool;
}

void* PagePool::take() noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  if (freePages_ == 0 && !addReservation()) return nullptr;
  // The lowest reservation with a free page: filling the low ones first lets
  // the high ones drain and go back to the system.
  for (std::size_t r = 0; r < count_; ++r) {
    Reservation& reservation = reservations_[r];
    if (reservation.freeMask == 0) continue;
    const int page = std::countr_zero(reservation.freeMask);
    reservation.freeMask &= ~(1u << page);
    --freePages_;
    return reservation.base + static_cast<std::size_t>(page) * kPageBytes;
  }
  return nullptr;
}

void PagePool::give(void* page) noexcept {
  if (page == nullptr) return;
  std::lock_guard<std::mutex> lock(mutex_);
  const std::size_t r = findReservation(page);
  if (r == count_) return;
  Reservation& reservation = reservations_[r];
  const auto offset =
      static_cast<std::size_t>(static_cast<unsigned char*>(page) - reservation.base);
  reservation.freeMask |= 1u << (offset / kPageBytes);
  ++freePages_;
  if (reservation.freeMask != kAllFree) return;

  platform::freePages(reservation.base, kReservationBytes);
  freePages_ -= kPagesPerReservation;
  std::memmove(&reservations_[r], &reservations_[r + 1], (count_ - r - 1) * sizeof(Reservation));
  if (--count_ == 0) {
    memory::release(reservations_);
    reservations_ = nullptr;
    capacity_ = 0;
  }
}

bool PagePool::addReservation() noexcept {
  if (count_ == capacity_) {
    const std::size_t capacity = capacity_ == 0 ? 4 : capacity_ * 2;
    void* grown = memory::reallocate(reservations_, capacity * sizeof(Reservation));
    if (grown == nullptr) return false;
    reservations_ = static_cast<Reservation*>(grown);
    capacity_ = capacity;
  }
  auto* base = static_cast<unsigned char*>(platform::allocatePages(kReservationBytes));
  if (base == nullptr) return false;
  std::size_t at = 0;
  while (at < count_ && addressOf(reservations_[at].base) < addressOf(base)) ++at;
  std::memmove(&reservations_[at + 1], &reservations_[at], (count_ - at) * sizeof(Reservation));
  reservations_[at] = Reservation{base, kAllFree};
  ++count_;
  freePages_ += kPagesPerReservation;
  return true;
}

std::size_t PagePool::findReservation(const void* page) const noexcept {
  const std::uintptr_t address = addressOf(page);
  std::size_t low = 0;
  std::size_t high = count_;
  while (low < high) {  // the last reservation whose base is not above the page
    const std::size_t middle = (low + high) / 2;
    if (addressOf(reservations_[middle].base) <= address) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  if (low == 0) return count_;
  const Reservation& reservation = reservations_[low - 1];
  return address < addressOf(reservation.base) + kReservationBytes ? low - 1 : count_;
}

std::size_t PagePool::reservationCountForTest() const noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  return count_;
}

std::size_t PagePool::freePageCountForTest() const noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  return freePages_;
}

}  // namespace zel::binding::internal
