// The progress and the cancel of one piece of long work: a read, a detection, a check of a
// file, a report. The thread that does the work reports how far it is and polls whether it
// should stop; the thread that watches reads the one and sets the other. Every long
// operation takes the same object, so a window's 取消 reaches whatever runs beneath it.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace fiberview {

class Feedback {
 public:
  // Asks the work to stop; it stops at its next poll and returns as cancelled.
  void cancel() noexcept { cancelled_.store(true, std::memory_order_relaxed); }
  bool isCancelled() const noexcept { return cancelled_.load(std::memory_order_relaxed); }

  // Called by the work: `done` of `total` units (bytes, sections); a total of 0 means the
  // work cannot tell how much there is.
  void setProgress(std::uint64_t done, std::uint64_t total) noexcept {
    total_.store(total, std::memory_order_relaxed);
    done_.store(done, std::memory_order_relaxed);
  }
  std::uint64_t done() const noexcept { return done_.load(std::memory_order_relaxed); }
  std::uint64_t total() const noexcept { return total_.load(std::memory_order_relaxed); }
  // How far the work is, in thousandths; -1 while it cannot tell.
  int permille() const noexcept {
    const std::uint64_t total = this->total();
    if (total == 0) return -1;
    const std::uint64_t done = std::min(this->done(), total);
    return static_cast<int>(done * 1000 / total);
  }

 private:
  std::atomic<bool> cancelled_{false};
  std::atomic<std::uint64_t> done_{0};
  std::atomic<std::uint64_t> total_{0};
};

}  // namespace fiberview
