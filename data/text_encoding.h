// Fiber data files come as UTF-8 or, when written on Chinese Windows, as GB18030/GBK.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fiberview {

// Checks bytes for well-formed UTF-8, fed in pieces of any size.
class Utf8Validator {
 public:
  void feed(const char* data, std::size_t n);
  // True when everything fed so far is well-formed and no character is left open.
  bool valid() const { return valid_ && pending_ == 0; }

 private:
  int pending_ = 0;  // continuation bytes still expected
  unsigned char low_ = 0x80;
  unsigned char high_ = 0xBF;
  bool valid_ = true;
};

bool isUtf8(std::string_view bytes);

// GB18030 (a superset of GBK) to UTF-8. Bytes that form no GB18030 character become
// U+FFFD, so the result is always valid UTF-8.
std::string gb18030ToUtf8(std::string_view bytes);

// A piece of a file made fit for a message: taken as UTF-8 when it is, else as GB18030,
// with control characters shown as '?'.
std::string displayableSnippet(std::string_view bytes);

}  // namespace fiberview
