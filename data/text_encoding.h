// Fiber data files come as UTF-8 or, when written on Chinese Windows, as GB18030/GBK.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace fiberview {

// Checks bytes for well-formed UTF-8, fed in pieces of any size.
class Utf8Validator {
 public:
  void feed(const char* data, std::size_t n);
  // True when everything fed so far is well-formed and no character is left open.
  bool valid() const { return valid_ && pending_ == 0; }
  // True when nothing fed so far breaks the rules, though a character may be left open.
  bool validSoFar() const { return valid_; }

 private:
  int pending_ = 0;  // continuation bytes still expected
  unsigned char low_ = 0x80;
  unsigned char high_ = 0xBF;
  bool valid_ = true;
};

bool isUtf8(std::string_view bytes);

// Whether well-formed UTF-8 `texts`, taken together, are more plausibly UTF-8 than GBK.
// Short GBK texts can be well-formed UTF-8 by chance: 墙 (C7 BD) reads as ǽ. The texts are
// judged GBK when their UTF-8 reading holds no CJK character and some character no title
// uses (Latin Extended-B, IPA, combining marks, Hebrew, Arabic and the like), while their
// GB18030 reading is all GB2312 Han characters besides ASCII. Latin-1, Latin Extended-A,
// Greek, Cyrillic and the symbols of punctuation, units and mathematics stay UTF-8, so
// "KZ1 8Φ25" and "α=0.85" are not read as 桅 and 伪.
bool plausiblyUtf8(std::span<const std::string_view> texts);

// Whether the texts of a file that is not well-formed UTF-8 are UTF-8 all the same: more of
// them are well-formed and hold a CJK character than are not well-formed. A GBK text is
// seldom both. So one stray byte, a Latin-1 ° in one title, spoils that title alone.
bool mostlyUtf8(std::span<const std::string_view> texts);

// `bytes` as UTF-8, each byte that begins no well-formed character made U+FFFD.
std::string repairedUtf8(std::string_view bytes);

// GB18030 (a superset of GBK) to UTF-8. Bytes that form no GB18030 character become
// U+FFFD, so the result is always valid UTF-8.
std::string gb18030ToUtf8(std::string_view bytes);

// A piece of a file made fit for a message. `fileIsUtf8` says how the file's texts are
// decoded so far; a piece that is no UTF-8 itself, or not plausibly, is GB18030 in any case. The
// piece is cut to at most `maxCharacters` characters and never inside one (a character cut off at
// the end is dropped), and control characters show as '?'.
std::string displayableSnippet(std::string_view bytes, bool fileIsUtf8, std::size_t maxCharacters);

}  // namespace fiberview
