// Reads a byte source ahead of its consumer, in a thread of its own, into buffers that
// the consumer then takes whole: the system's copying of one part of a large file then
// overlaps the work on the part before, and nothing is copied twice.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace fiberview {

class ByteSource;

// Allocates without zeroing: a byte buffer is written before it is read, and zeroing it
// would touch every page of it in the thread that allocates it rather than the one that
// fills it.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  UninitializedAllocator() = default;
  template <typename U>
  explicit UninitializedAllocator(const UninitializedAllocator<U>& /*other*/) noexcept {}
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
using ByteBuffer = std::vector<char, UninitializedAllocator<char>>;

class ReadAhead {
 public:
  struct Chunk {
    // The bytes read lie at [headroom, headroom + size); the rest is the consumer's.
    ByteBuffer buffer;
    std::size_t size = 0;
    bool last = false;  // no chunk follows: the source ended, failed or met the end mark
    int error = 0;      // the source's error, when it failed
  };

  // Starts reading `source` at once; each chunk holds up to `chunkSize` bytes after
  // `headroom` bytes, with `slack` bytes after them, all of which are left for the
  // consumer. The byte `endMark` ends the source as if it ended there.
  ReadAhead(ByteSource& source, std::size_t headroom, std::size_t chunkSize, std::size_t slack,
            char endMark);
  // Stops the thread after the read it is in, if any.
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The next chunk, waiting for it if need be; not to be called after the last.
  Chunk next();
  // Gives a buffer from next() back, to be filled again.
  void recycle(ByteBuffer buffer);

 private:
  void run();

  ByteSource& source_;
  const std::size_t headroom_;
  const std::size_t chunkSize_;
  const char endMark_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Chunk> filled_;
  std::vector<ByteBuffer> spare_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace fiberview
