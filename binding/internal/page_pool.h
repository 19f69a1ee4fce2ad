// PagePool: the one process-wide source of the 4096-byte pages behind the
// cell pools of every value context. It takes memory from the operating
// system 64 KiB at a time (read-write), hands out the 16 pages of each such
// reservation, and gives a reservation back as soon as all its pages are free.
//
//   void* page = PagePool::instance().take();   // 4096-aligned, or null
//   PagePool::instance().give(page);
//
// Pages are 4096-byte aligned, so a cell finds its page by masking its
// address. Every take and give holds the pool's mutex; the pool is created on
// first use and never destroyed, so values that die late still have it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace zel::binding::internal {

class PagePool {
 public:
  static constexpr std::size_t kPageBytes = 4096;
  static constexpr std::size_t kPagesPerReservation = 16;
  static constexpr std::size_t kReservationBytes = kPageBytes * kPagesPerReservation;

  [[nodiscard]] static PagePool& instance() noexcept;

  // A free page; null when the operating system refuses more memory.
  [[nodiscard]] void* take() noexcept;
  // Returns a page from take(); releases its reservation once all 16 are free.
  void give(void* page) noexcept;

  [[nodiscard]] std::size_t reservationCountForTest() const noexcept;
  [[nodiscard]] std::size_t freePageCountForTest() const noexcept;

 private:
  struct Reservation {
    unsigned char* base;
    std::uint32_t freeMask;  // bit i: page i is free
  };

  PagePool() noexcept = default;
  bool addReservation() noexcept;
  [[nodiscard]] std::size_t findReservation(const void* page) const noexcept;

  mutable std::mutex mutex_;
  Reservation* reservations_ = nullptr;  // sorted by base address
  std::size_t count_ = 0;
  std::size_t capacity_ = 0;
  std::size_t freePages_ = 0;
};

}  // namespace zel::binding::internal
