#include "data/store_memory.h"

#include <sys/mman.h>

#include <cstdint>

namespace fiberview {

std::shared_ptr<FiberBlock> FiberBlock::reserve(std::size_t bytes) {
  if (bytes < kHugePage) return nullptr;
  const std::size_t size = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  // Huge pages lie on huge-page boundaries: map one more and cut the ends off.
  const std::size_t mapped = size + kHugePage;
  void* const p =
      ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  char* const start = static_cast<char*>(p);
  const auto address = reinterpret_cast<std::uintptr_t>(start);
  const std::size_t head = (kHugePage - address % kHugePage) % kHugePage;
  if (head > 0) ::munmap(start, head);
  ::munmap(start + head + size, mapped - head - size);
  char* const base = start + head;
  // Advice only: where the system has no huge pages to give, the block works with small ones.
  ::madvise(base, size, MADV_HUGEPAGE);
  return std::shared_ptr<FiberBlock>(new FiberBlock(base, size));
}

FiberBlock::~FiberBlock() {
  ::munmap(base_, size_);
}

void* FiberBlock::take(std::size_t bytes, std::size_t alignment) noexcept {
  std::size_t used = used_.load(std::memory_order_relaxed);
  std::size_t start = 0;
  do {
    start = (used + alignment - 1) & ~(alignment - 1);
    if (start > size_ || bytes > size_ - start) return nullptr;
  } while (!used_.compare_exchange_weak(used, start + bytes, std::memory_order_relaxed));
  return base_ + start;
}

}  // namespace fiberview
