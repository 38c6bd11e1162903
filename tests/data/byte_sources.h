// Byte sources that hand a file over as a disk under load might, for the tests of the readers
// and of detection.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "data/feedback.h"
#include "data/field_reader.h"

namespace fiberview {

// Hands the bytes over a few at a time, so that fields, CR LF pairs and the byte order mark
// straddle refills.
class TricklingSource final : public ByteSource {
 public:
  explicit TricklingSource(std::string_view bytes) : bytes_(bytes) {}
  std::size_t read(char* dst, std::size_t n) override {
    const std::size_t count = std::min({n, bytes_.size(), std::size_t{1} + calls_++ % 7});
    std::copy_n(bytes_.data(), count, dst);
    bytes_.remove_prefix(count);
    return count;
  }

 private:
  std::string_view bytes_;
  std::size_t calls_ = 0;
};

// Hands its bytes over 64 at a time, as a slow disk would, and cancels `feedback` once half
// of them are out.
class CancellingSource final : public ByteSource {
 public:
  CancellingSource(std::string_view bytes, Feedback& feedback)
      : bytes_(bytes), feedback_(feedback) {}
  std::size_t read(char* dst, std::size_t n) override {
    n = std::min({n, std::size_t{64}, bytes_.size() - at_});
    std::copy_n(bytes_.data() + at_, n, dst);
    at_ += n;
    if (at_ >= bytes_.size() / 2) feedback_.cancel();
    return n;
  }
  std::uint64_t size() const override { return bytes_.size(); }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
  Feedback& feedback_;
};

}  // namespace fiberview
