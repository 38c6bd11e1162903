// Memory for the fiber lists of a large store.
//
// A reader fills tens or hundreds of megabytes of fresh memory, and the system readies each
// new page of it at its first write. With ordinary 4 KiB pages that costs one fault a page,
// which on some machines takes longer than parsing the numbers that fill it. A store's
// fibers therefore go into one block that the system is asked to back with huge pages
// (2 MiB), 512 times fewer faults; the block goes back to the system as a whole when the
// last list in it goes, rather than staying with the allocator for another store.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

namespace fiberview {

class FiberBlock {
 public:
  // The size of a huge page, and the least a block is made for.
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;

  // A block of at least `bytes` bytes, its start and size whole huge pages; nullptr when
  // `bytes` is below kHugePage, for which a whole huge page would mostly go unused, or when
  // the system refuses the memory.
  static std::shared_ptr<FiberBlock> reserve(std::size_t bytes);
  ~FiberBlock();
  FiberBlock(const FiberBlock&) = delete;
  FiberBlock& operator=(const FiberBlock&) = delete;

  // The next `bytes` bytes of the block at a multiple of `alignment` (a power of two), or
  // nullptr when fewer are left. The two readers of a file's halves take from one block.
  void* take(std::size_t bytes, std::size_t alignment) noexcept;
  bool holds(const void* p) const noexcept {
    return reinterpret_cast<std::uintptr_t>(p) - reinterpret_cast<std::uintptr_t>(base_) < size_;
  }

 private:
  FiberBlock(char* base, std::size_t size) : base_(base), size_(size) {}

  char* const base_;
  const std::size_t size_;
  std::atomic<std::size_t> used_ = 0;
};

// Takes a list's memory from a block when it was given one and the block has room, and
// from the heap otherwise. A list keeps its block alive; a copy of a list is an ordinary one
// on the heap, so that one section copied out does not hold a whole store's block.
template <typename T>
class FiberAllocator {
 public:
  using value_type = T;
  using propagate_on_container_move_assignment = std::true_type;
  using propagate_on_container_swap = std::true_type;

  FiberAllocator() noexcept = default;
  explicit FiberAllocator(std::shared_ptr<FiberBlock> block) noexcept : block_(std::move(block)) {}
  template <typename U>
  explicit FiberAllocator(const FiberAllocator<U>& other) noexcept : block_(other.block()) {}

  T* allocate(std::size_t n) {
    if (block_) {
      if (void* p = block_->take(n * sizeof(T), alignof(T))) return static_cast<T*>(p);
    }
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, std::size_t n) noexcept {
    // What the block gave goes back with the block.
    if (block_ && block_->holds(p)) return;
    std::allocator<T>().deallocate(p, n);
  }
  FiberAllocator select_on_container_copy_construction() const noexcept { return {}; }

  const std::shared_ptr<FiberBlock>& block() const noexcept { return block_; }
  template <typename U>
  bool operator==(const FiberAllocator<U>& other) const noexcept {
    return block_ == other.block();
  }

 private:
  std::shared_ptr<FiberBlock> block_;
};

template <typename T>
using FiberList = std::vector<T, FiberAllocator<T>>;

}  // namespace fiberview
