#include "data/read_ahead.h"

#include <cstring>

#include "data/field_reader.h"

namespace fiberview {

namespace {

// Each wake-up of the thread costs the system time, so the thread sleeps until half the
// chunks are free again and then fills them in one go. Four keep the reader fed; each more
// adds to the memory of a read, of which a file read in two halves has two.
constexpr std::size_t kChunks = 4;
constexpr std::size_t kWakeAt = kChunks / 2;

}  // namespace

ReadAhead::ReadAhead(ByteSource& source, std::size_t headroom, std::size_t chunkSize,
                     std::size_t slack, char endMark)
    : source_(source), headroom_(headroom), chunkSize_(chunkSize), endMark_(endMark) {
  // Each made on its own: copies of one would touch every page here.
  spare_.reserve(kChunks);
  for (std::size_t k = 0; k < kChunks; ++k) spare_.emplace_back(headroom + chunkSize + slack);
  thread_ = std::thread(&ReadAhead::run, this);
}

ReadAhead::~ReadAhead() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void ReadAhead::run() {
  for (;;) {
    Chunk chunk;
    {
      std::unique_lock lock(mutex_);
      if (spare_.empty()) {
        changed_.wait(lock, [this] { return stopping_ || spare_.size() >= kWakeAt; });
      }
      if (stopping_) return;
      chunk.buffer = std::move(spare_.back());
      spare_.pop_back();
    }
    const char* const data = chunk.buffer.data() + headroom_;
    chunk.size = source_.read(chunk.buffer.data() + headroom_, chunkSize_);
    if (chunk.size == 0) {
      chunk.last = true;
      chunk.error = source_.error();
    } else if (const void* mark = std::memchr(data, endMark_, chunk.size)) {
      chunk.size = static_cast<std::size_t>(static_cast<const char*>(mark) - data);
      chunk.last = true;
    }
    const bool last = chunk.last;
    {
      const std::lock_guard lock(mutex_);
      filled_.push_back(std::move(chunk));
    }
    changed_.notify_all();
    if (last) return;
  }
}

ReadAhead::Chunk ReadAhead::next() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !filled_.empty(); });
  Chunk chunk = std::move(filled_.front());
  filled_.pop_front();
  return chunk;
}

void ReadAhead::recycle(ByteBuffer buffer) {
  bool wake = false;
  {
    const std::lock_guard lock(mutex_);
    spare_.push_back(std::move(buffer));
    wake = spare_.size() == kWakeAt;
  }
  if (wake) changed_.notify_all();
}

}  // namespace fiberview
