#include "data/text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace fiberview {

void Utf8Validator::feed(const char* data, std::size_t n) {
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  std::size_t i = 0;
  while (i < n && valid_) {
    if (pending_ == 0) {
      // Most of a fiber file is ASCII: step over it 32 bytes at a time, then eight.
      while (i + 32 <= n) {
        std::uint64_t words[4];
        std::memcpy(words, p + i, sizeof words);
        if (((words[0] | words[1] | words[2] | words[3]) & 0x8080808080808080ULL) != 0) break;
        i += 32;
      }
      while (i + 8 <= n) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if ((word & 0x8080808080808080ULL) != 0) break;
        i += 8;
      }
      if (i >= n) break;
      const unsigned char c = p[i++];
      if (c < 0x80) continue;
      low_ = 0x80;
      high_ = 0xBF;
      if (c >= 0xC2 && c <= 0xDF) {
        pending_ = 1;
      } else if (c >= 0xE0 && c <= 0xEF) {
        pending_ = 2;
        if (c == 0xE0) low_ = 0xA0;   // no overlong forms
        if (c == 0xED) high_ = 0x9F;  // no surrogates
      } else if (c >= 0xF0 && c <= 0xF4) {
        pending_ = 3;
        if (c == 0xF0) low_ = 0x90;
        if (c == 0xF4) high_ = 0x8F;  // nothing above U+10FFFF
      } else {
        valid_ = false;
      }
    } else {
      const unsigned char c = p[i++];
      if (c < low_ || c > high_) {
        valid_ = false;
      } else {
        --pending_;
        low_ = 0x80;
        high_ = 0xBF;
      }
    }
  }
}

bool isUtf8(std::string_view bytes) {
  Utf8Validator v;
  v.feed(bytes.data(), bytes.size());
  return v.valid();
}

namespace {

bool isCjk(char32_t c) {
  return (c >= 0x3000 && c <= 0x303F) ||  // CJK symbols and punctuation
         (c >= 0x3400 && c <= 0x9FFF) ||  // Han, extension A and the unified block
         (c >= 0xF900 && c <= 0xFAFF) ||  // Han compatibility
         (c >= 0xFF00 && c <= 0xFFEF) ||  // full-width forms
         (c >= 0x20000 && c <= 0x3FFFF);  // Han, supplementary planes
}

// Characters a structural title holds besides Chinese: 400×600, 20°, 8Φ25, α=0.85, Сила,
// ≤, ∅, ⌀, ①. GBK's Han characters that happen to be well-formed UTF-8 read mostly as what
// lies outside these: Latin Extended-B (墙 is ǽ), IPA, spacing modifiers, combining marks,
// Armenian, Hebrew, Arabic, Syriac, Thaana and NKo, which no engineering title uses.
bool titleCharacter(char32_t c) {
  return c < 0x180 ||                   // ASCII, Latin-1 and Latin Extended-A
         (c >= 0x370 && c <= 0x4FF) ||  // Greek and Cyrillic
         (c >= 0x2000 && c <= 0x27BF);  // punctuation, letterlike symbols, arrows, mathematical
                                        // and technical symbols, shapes, dingbats
}

}  // namespace

bool plausiblyUtf8(std::span<const std::string_view> texts) {
  bool foreign = false;
  for (const std::string_view text : texts) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
      const unsigned char b = p[i];
      const std::size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
      if (i + length > text.size()) return true;  // not well-formed: not the question here
      auto c = static_cast<char32_t>(length == 1 ? b : b & (0x7F >> length));
      for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (p[i + k] & 0x3Fu);
      if (isCjk(c)) return true;
      foreign |= !titleCharacter(c);
      i += length;
    }
  }
  if (!foreign) return true;
  // GB2312 places its Han characters at first bytes B0 to F7, second bytes A1 to FE.
  for (const std::string_view text : texts) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (p[i] < 0x80) continue;
      if (i + 1 >= text.size() || p[i] < 0xB0 || p[i] > 0xF7 || p[i + 1] < 0xA1 ||
          p[i + 1] == 0xFF) {
        return true;
      }
      ++i;
    }
  }
  return false;
}

namespace {

// The length of the well-formed UTF-8 character at p, of at most `left` bytes; 0 for none.
std::size_t characterLength(const unsigned char* p, std::size_t left) {
  const unsigned char b = p[0];
  if (b < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (left < length || p[1] < low || p[1] > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (p[k] < 0x80 || p[k] > 0xBF) return 0;
  }
  return length;
}

}  // namespace

bool mostlyUtf8(std::span<const std::string_view> texts) {
  int chinese = 0;
  int broken = 0;
  for (const std::string_view text : texts) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    bool cjk = false;
    bool wellFormed = true;
    for (std::size_t i = 0; i < text.size();) {
      const std::size_t length = characterLength(p + i, text.size() - i);
      if (length == 0) {
        wellFormed = false;
        break;
      }
      if (length == 3) {
        const auto c = static_cast<char32_t>(((p[i] & 0x0Fu) << 12) | ((p[i + 1] & 0x3Fu) << 6) |
                                             (p[i + 2] & 0x3Fu));
        cjk = cjk || isCjk(c);
      }
      i += length;
    }
    if (!wellFormed) {
      ++broken;
    } else if (cjk) {
      ++chinese;
    }
  }
  return chinese > broken;
}

std::string repairedUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = characterLength(p + i, bytes.size() - i);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(bytes.substr(i, length));
      i += length;
    }
  }
  return out;
}

std::string gb18030ToUtf8(std::string_view bytes) {
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";
  std::string out;
  iconv_t cd = iconv_open("UTF-8", "GB18030");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // No converter on this system: keep the ASCII and mark the rest.
    for (const char c : bytes) {
      if (static_cast<unsigned char>(c) < 0x80) {
        out.push_back(c);
      } else {
        out += kReplacement;
      }
    }
    return out;
  }
  std::string in(bytes);
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  char chunk[1024];
  while (inLeft > 0) {
    char* outPtr = chunk;
    std::size_t outLeft = sizeof chunk;
    const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(chunk, sizeof chunk - outLeft);
    if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // EILSEQ or a character cut off at the end: mark one byte and go on.
      out += kReplacement;
      ++inPtr;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

namespace {

// The length of the GB18030 character that starts at p (1, 2 or 4 bytes), as its first
// bytes tell; 0 when fewer than that many bytes are left.
std::size_t gb18030CharLength(std::string_view rest) {
  const auto b0 = static_cast<unsigned char>(rest[0]);
  std::size_t n = 1;
  if (b0 >= 0x81 && b0 <= 0xFE) {
    n = 2;
    if (rest.size() >= 2) {
      const auto b1 = static_cast<unsigned char>(rest[1]);
      if (b1 >= 0x30 && b1 <= 0x39) n = 4;
    }
  }
  return n <= rest.size() ? n : 0;
}

std::size_t utf8CharLength(std::string_view rest) {
  const auto b0 = static_cast<unsigned char>(rest[0]);
  const std::size_t n = b0 < 0x80 ? 1 : b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : 4;
  return n <= rest.size() ? n : 0;
}

}  // namespace

std::string displayableSnippet(std::string_view bytes, bool fileIsUtf8, std::size_t maxCharacters) {
  // A piece cut to length may end inside a UTF-8 character; that alone makes no GBK. Bytes
  // that break UTF-8 before the end do, though dropping a few last ones would leave UTF-8:
  // 斜柱 (D0 B1 D6 F9) is no "б".
  Utf8Validator validator;
  validator.feed(bytes.data(), bytes.size());
  std::string_view utf8 = bytes;
  if (!validator.valid()) {
    while (!utf8.empty() && (static_cast<unsigned char>(utf8.back()) & 0xC0) == 0x80) {
      utf8.remove_suffix(1);
    }
    if (!utf8.empty()) utf8.remove_suffix(1);  // the lead byte of the character left open
  }
  const bool asUtf8 = fileIsUtf8 && validator.validSoFar() && plausiblyUtf8({&utf8, 1});
  const std::string_view source = asUtf8 ? utf8 : bytes;
  std::size_t kept = 0;
  for (std::size_t chars = 0; kept < source.size() && chars < maxCharacters; ++chars) {
    const std::string_view rest = source.substr(kept);
    const std::size_t n = asUtf8 ? utf8CharLength(rest) : gb18030CharLength(rest);
    if (n == 0) break;
    kept += n;
  }
  std::string text =
      asUtf8 ? std::string(source.substr(0, kept)) : gb18030ToUtf8(source.substr(0, kept));
  for (char& c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = '?';
  }
  return text;
}

}  // namespace fiberview
