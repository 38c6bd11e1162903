#include "data/field_reader.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cstring>
#include <limits>

#include "data/numbers.h"

namespace fiberview {

namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kFoundLength = 40;
constexpr char kDosEndOfFile = 0x1A;

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}
bool isLineEnd(char c) {
  return c == '\r' || c == '\n';
}
bool endsNumber(char c) {
  return c == ' ' || c == '\t' || c == ',' || c == '\r' || c == '\n';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool beginsNumber(char c) {
  return isDigit(c) || c == '+' || c == '-' || c == '.';
}

// A decimal with at most 19 significant digits fits a 64-bit integer; up to 2^53 that
// integer is an exact double, and so are the powers of ten up to 1e22.
constexpr std::size_t kMaxExactDigits = 19;
constexpr std::uint64_t kMaxExactMantissa = std::uint64_t{1} << 53;
constexpr int kMaxExactPower = 22;
constexpr double kPowersOfTen[kMaxExactPower + 1] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
// Exact rounding of one operation needs doubles computed as doubles, not in wider registers.
constexpr bool kExactArithmetic = FLT_EVAL_METHOD == 0 && std::numeric_limits<double>::is_iec559;

// A decimal number as written: its sign, its digits as one integer and a power of ten.
struct Decimal {
  bool negative = false;
  std::uint64_t mantissa = 0;
  bool exact = true;  // whether mantissa holds every significant digit
  int power = 0;
  const char* exponentAt = nullptr;  // the exponent letter, if any
};

// Adds the digits at p to mantissa; returns the first byte after them.
inline const char* takeDigits(const char* p, std::uint64_t& mantissa) {
  std::uint64_t m = mantissa;
  for (unsigned digit; (digit = static_cast<unsigned char>(*p) - unsigned{'0'}) <= 9; ++p) {
    m = m * 10 + digit;
  }
  mantissa = m;
  return p;
}

// Reads the longest number that the grammar allows at p: optional sign, digits with an
// optional point, an optional exponent introduced by E, e, D or d. The text must go on
// with a byte that no number contains, such as 0. Sets `stop` where the number ended.
// Returns false when no number starts at p, or when an exponent letter has no digits
// after it. Inline, as it runs once for every number read.
inline bool scanDecimal(const char* p, Decimal& d, const char*& stop) {
  d.negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  // Digits beyond 19 wrap the mantissa around; the count below marks such numbers inexact.
  std::uint64_t mantissa = 0;
  const char* const digitsStart = p;
  p = takeDigits(p, mantissa);
  std::size_t digits = static_cast<std::size_t>(p - digitsStart);
  int fractionDigits = 0;
  if (*p == '.') {
    const char* const fractionStart = ++p;
    p = takeDigits(p, mantissa);
    fractionDigits = static_cast<int>(p - fractionStart);
    digits += static_cast<std::size_t>(fractionDigits);
  }
  if (digits == 0) return false;
  d.mantissa = mantissa;
  d.exact = digits <= kMaxExactDigits;
  if (!d.exact) {
    // Leading zeros do not count against the mantissa.
    std::size_t leadingZeros = 0;
    for (const char* q = digitsStart; q != p && (*q == '0' || *q == '.'); ++q) {
      if (*q == '0') ++leadingZeros;
    }
    d.exact = digits - leadingZeros <= kMaxExactDigits;
  }
  int exponent = 0;
  if (*p == 'E' || *p == 'e' || *p == 'D' || *p == 'd') {
    d.exponentAt = p++;
    const bool negativeExponent = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    const char* const exponentDigits = p;
    for (; isDigit(*p); ++p) {
      // Only whether the power is small matters here; from_chars reads a large one itself.
      if (exponent < kMaxExactPower * 1000) exponent = exponent * 10 + (*p - '0');
    }
    if (p == exponentDigits) return false;
    if (negativeExponent) exponent = -exponent;
  }
  d.power = exponent - fractionDigits;
  stop = p;
  return true;
}

// The value of a decimal when the digits and the power of ten are both exact doubles:
// then one multiplication or division rounds correctly, as from_chars would. Returns
// false for the other numbers.
bool exactValue(const Decimal& d, double& out) {
  if (!kExactArithmetic || !d.exact || d.mantissa > kMaxExactMantissa ||
      d.power < -kMaxExactPower || d.power > kMaxExactPower) {
    return false;
  }
  const double m = static_cast<double>(d.mantissa);
  const double value = d.power < 0 ? m / kPowersOfTen[-d.power] : m * kPowersOfTen[d.power];
  out = d.negative ? -value : value;
  return true;
}

// The common number in one pass: one that ends at a delimiter or at `dataEnd`, where the
// byte is 0, and whose value needs a single rounding. The caller makes sure that
// `dataEnd` is the end of the file whenever it lies within kMaxNumberLength of `begin`.
// Returns false, to leave the number to the careful path, otherwise.
bool readPlainNumber(const char* begin, const char* dataEnd, double& out, std::size_t& len) {
  Decimal d;
  const char* stop = nullptr;
  if (!scanDecimal(begin, d, stop)) return false;
  len = static_cast<std::size_t>(stop - begin);
  if (len > FieldReader::kMaxNumberLength) return false;
  if (stop != dataEnd && !endsNumber(*stop)) return false;
  return exactValue(d, out);
}

}  // namespace

std::size_t MemorySource::read(char* dst, std::size_t n) {
  const std::size_t count = std::min(n, bytes_.size());
  std::memcpy(dst, bytes_.data(), count);
  bytes_.remove_prefix(count);
  return count;
}

std::size_t FileSource::read(char* dst, std::size_t n) {
  const std::size_t count = std::fread(dst, 1, n, file_);
  if (count == 0 && std::ferror(file_)) error_ = errno != 0 ? errno : EIO;
  return count;
}

bool parseDecimal(std::string_view token, double& out, bool& outOfRange) {
  outOfRange = false;
  // A copy ends in the 0 that the scan needs, and can be mended for from_chars below.
  char text[FieldReader::kMaxNumberLength + 1];
  const std::size_t n = token.size();
  if (n > FieldReader::kMaxNumberLength) return false;
  std::memcpy(text, token.data(), n);
  text[n] = '\0';
  // The scan checks the grammar: from_chars alone would also take "inf", "nan" and hex forms.
  Decimal d;
  const char* stop = nullptr;
  if (!scanDecimal(text, d, stop) || stop != text + n) return false;
  if (exactValue(d, out)) return true;

  // from_chars takes no '+' and no Fortran 'D'.
  if (d.exponentAt != nullptr) text[d.exponentAt - text] = 'e';
  const char* const first = text[0] == '+' ? text + 1 : text;
  const auto [ptr, ec] = std::from_chars(first, text + n, out);
  if (ec == std::errc::result_out_of_range) {
    // Closer to zero than any double is zero; only a number too large is refused.
    if (isTooSmallForDouble(token)) {
      out = d.negative ? -0.0 : 0.0;
      return true;
    }
    outOfRange = true;
    return false;
  }
  return ec == std::errc() && ptr == text + n;
}

FieldReader::FieldReader(ByteSource& source) : source_(source), buffer_(kChunk + 1) {
  fill(4);
  const auto* b = reinterpret_cast<const unsigned char*>(buffer_.data());
  if (end_ >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    pos_ = 3;
    lineStart_ = 3;
  } else if (end_ >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
    fail(FieldFailure::Utf16, position(), {});
  }
}

TextPosition FieldReader::position() const {
  return {line_, bufferBase_ + static_cast<long long>(pos_) - lineStart_ + 1};
}

// Makes at least `wanted` unread bytes available when the file has them. Unread bytes
// move to the front of the buffer, so a token shorter than the buffer stays contiguous.
bool FieldReader::fill(std::size_t wanted) {
  while (end_ - pos_ < wanted && !sourceDone_) {
    if (pos_ > 0) {
      std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
      bufferBase_ += static_cast<long long>(pos_);
      end_ -= pos_;
      pos_ = 0;
      buffer_[end_] = '\0';
    }
    const std::size_t got = source_.read(buffer_.data() + end_, buffer_.size() - 1 - end_);
    if (got == 0) {
      sourceDone_ = true;
      if (source_.error() != 0) {
        error_.systemError = source_.error();
        return fail(FieldFailure::ReadFailed, position(), {});
      }
      break;
    }
    std::size_t kept = got;
    if (const void* mark = std::memchr(buffer_.data() + end_, kDosEndOfFile, got)) {
      kept = static_cast<std::size_t>(static_cast<const char*>(mark) - (buffer_.data() + end_));
      sourceDone_ = true;
    }
    utf8_.feed(buffer_.data() + end_, kept);
    end_ += kept;
    buffer_[end_] = '\0';
  }
  return error_.kind == FieldFailure::None;
}

bool FieldReader::atEnd() {
  if (pos_ < end_) return false;
  fill(1);
  return pos_ == end_;
}

void FieldReader::markFieldStart() {
  fieldLine_ = line_;
  fieldLineStart_ = lineStart_;
  fieldOffset_ = bufferBase_ + static_cast<long long>(pos_);
}

bool FieldReader::fail(FieldFailure kind, TextPosition where, std::string_view found) {
  if (error_.kind != FieldFailure::None) return false;
  error_.kind = kind;
  error_.where = where;
  error_.found.assign(found.substr(0, kFoundLength));
  return false;
}

void FieldReader::skipBlanks() {
  do {
    const char* const data = buffer_.data();
    std::size_t p = pos_;
    while (isBlank(data[p])) ++p;
    pos_ = p;
  } while (pos_ == end_ && !atEnd());
}

void FieldReader::consumeLineEnd() {
  const char c = buffer_[pos_++];
  if (c == '\r' && !atEnd() && buffer_[pos_] == '\n') ++pos_;
  ++line_;
  lineStart_ = bufferBase_ + static_cast<long long>(pos_);
}

bool FieldReader::skipBlanksAndLineEnds() {
  while (!atEnd()) {
    const char c = buffer_[pos_];
    if (isBlank(c)) {
      ++pos_;
    } else if (isLineEnd(c)) {
      consumeLineEnd();
    } else {
      return true;
    }
  }
  return false;
}

void FieldReader::consumeDelimiterAfterNumber() {
  skipBlanks();
  if (atEnd()) return;
  if (buffer_[pos_] == ',') {
    ++pos_;
  } else if (isLineEnd(buffer_[pos_])) {
    consumeLineEnd();
  }
}

bool FieldReader::readNumberToken(double& out, std::string* token) {
  markFieldStart();
  // The buffer nearly always holds a whole number already; refill only near its end.
  if (end_ - pos_ <= kMaxNumberLength && !fill(kMaxNumberLength + 1)) return false;
  const char* begin = buffer_.data() + pos_;
  std::size_t len = 0;
  if (!readPlainNumber(begin, buffer_.data() + end_, out, len)) {
    const TextPosition start = position();
    const std::size_t limit = std::min(end_ - pos_, kMaxNumberLength + 1);
    while (len < limit && !endsNumber(begin[len])) ++len;
    const std::string_view text(begin, len);
    if (len > kMaxNumberLength) return fail(FieldFailure::TooLong, start, text);
    bool outOfRange = false;
    if (len == 0) {
      // An empty field between two commas.
      out = 0.0;
    } else if (!parseDecimal(text, out, outOfRange)) {
      return fail(outOfRange ? FieldFailure::OutOfRange : FieldFailure::NotANumber, start, text);
    }
  }
  if (token != nullptr) token->assign(begin, len);
  pos_ += len;
  consumeDelimiterAfterNumber();
  return true;
}

bool FieldReader::readNumber(double& out) {
  if (error_.kind != FieldFailure::None) return false;
  if (!skipBlanksAndLineEnds()) return fail(FieldFailure::EndOfFile, position(), {});
  return readNumberToken(out, nullptr);
}

bool FieldReader::readInt16(std::int16_t& out) {
  if (error_.kind != FieldFailure::None) return false;
  if (!skipBlanksAndLineEnds()) return fail(FieldFailure::EndOfFile, position(), {});
  const TextPosition start = position();
  std::string token;
  double value = 0.0;
  if (!readNumberToken(value, &token)) return false;
  if (!roundToInt16(value, out)) return fail(FieldFailure::OutOfRange, start, token);
  return true;
}

bool FieldReader::readUnquotedText(std::string& out) {
  const TextPosition start = position();
  while (!atEnd()) {
    // Take the run up to the next delimiter straight from the buffer.
    const char* begin = buffer_.data() + pos_;
    std::size_t len = 0;
    const std::size_t avail = end_ - pos_;
    while (len < avail && begin[len] != ',' && !isLineEnd(begin[len])) ++len;
    if (out.size() + len > kMaxTextLength) {
      out.append(begin, std::min(len, kFoundLength));
      return fail(FieldFailure::TooLong, start, out);
    }
    out.append(begin, len);
    pos_ += len;
    if (pos_ < end_) {
      if (buffer_[pos_] == ',') {
        ++pos_;
      } else {
        consumeLineEnd();
      }
      return true;
    }
  }
  return true;
}

bool FieldReader::readQuotedText(std::string& out) {
  const TextPosition start = position();
  ++pos_;
  for (;;) {
    if (atEnd()) return fail(FieldFailure::EndInsideQuotes, start, out);
    const char c = buffer_[pos_];
    if (c == '"') {
      ++pos_;
      break;
    }
    if (out.size() >= kMaxTextLength) return fail(FieldFailure::TooLong, start, out);
    if (isLineEnd(c)) {
      // A quoted text may run over a line end; keep it as one space in the title.
      consumeLineEnd();
      out.push_back(' ');
    } else {
      out.push_back(c);
      ++pos_;
    }
  }
  // Whatever follows the closing quote on its line is not part of the field.
  while (!atEnd()) {
    const char c = buffer_[pos_];
    if (c == ',') {
      ++pos_;
      break;
    }
    if (isLineEnd(c)) {
      consumeLineEnd();
      break;
    }
    ++pos_;
  }
  return true;
}

bool FieldReader::readText(std::string& out) {
  out.clear();
  if (error_.kind != FieldFailure::None) return false;
  skipBlanks();
  markFieldStart();
  if (atEnd()) return fail(FieldFailure::EndOfFile, position(), {});
  if (buffer_[pos_] == '"') return readQuotedText(out);
  return readUnquotedText(out);
}

bool FieldReader::readValue(Value& out) {
  if (error_.kind != FieldFailure::None) return false;
  skipBlanks();
  if (atEnd()) return fail(FieldFailure::EndOfFile, position(), {});
  const char c = buffer_[pos_];
  if (c == ',') {
    ++pos_;
    out = std::monostate{};
    return true;
  }
  if (isLineEnd(c)) {
    consumeLineEnd();
    out = std::monostate{};
    return true;
  }
  if (beginsNumber(c)) {
    double number = 0.0;
    if (!readNumberToken(number, nullptr)) return false;
    out = number;
    return true;
  }
  std::string text;
  if (!readText(text)) return false;
  out = std::move(text);
  return true;
}

bool FieldReader::skipToEnd() {
  pos_ = end_;
  while (fill(1) && pos_ < end_) pos_ = end_;
  return error_.kind == FieldFailure::None;
}

}  // namespace fiberview
