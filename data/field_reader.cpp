#include "data/field_reader.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

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
  // Check the grammar first: from_chars alone would also take "inf", "nan" and hex forms.
  std::size_t i = 0;
  const std::size_t n = token.size();
  if (i < n && (token[i] == '+' || token[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < n && isDigit(token[i])) ++i, ++digits;
  if (i < n && token[i] == '.') {
    ++i;
    while (i < n && isDigit(token[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  std::size_t exponentAt = n;
  if (i < n && (token[i] == 'E' || token[i] == 'e' || token[i] == 'D' || token[i] == 'd')) {
    exponentAt = i++;
    if (i < n && (token[i] == '+' || token[i] == '-')) ++i;
    std::size_t expDigits = 0;
    while (i < n && isDigit(token[i])) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  if (i != n) return false;

  // from_chars takes no '+' and no Fortran 'D'; a token is short, so mend a copy.
  char copy[FieldReader::kMaxNumberLength];
  if (n > sizeof copy) return false;
  std::size_t len = 0;
  for (std::size_t k = (token[0] == '+') ? 1 : 0; k < n; ++k)
    copy[len++] = (k == exponentAt) ? 'e' : token[k];
  const auto [ptr, ec] = std::from_chars(copy, copy + len, out);
  if (ec == std::errc::result_out_of_range) {
    outOfRange = true;
    return false;
  }
  return ec == std::errc() && ptr == copy + len;
}

FieldReader::FieldReader(ByteSource& source) : source_(source), buffer_(kChunk) {
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
    }
    if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
    const std::size_t got = source_.read(buffer_.data() + end_, buffer_.size() - end_);
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
  }
  return error_.kind == FieldFailure::None;
}

bool FieldReader::atEnd() {
  if (pos_ < end_) return false;
  fill(1);
  return pos_ == end_;
}

bool FieldReader::fail(FieldFailure kind, TextPosition where, std::string_view found) {
  if (error_.kind != FieldFailure::None) return false;
  error_.kind = kind;
  error_.where = where;
  error_.found.assign(found.substr(0, kFoundLength));
  return false;
}

void FieldReader::skipBlanks() {
  while (!atEnd() && isBlank(buffer_[pos_])) ++pos_;
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
  const TextPosition start = fieldStart_ = position();
  if (!fill(kMaxNumberLength + 1)) return false;
  const char* begin = buffer_.data() + pos_;
  const std::size_t limit = std::min(end_ - pos_, kMaxNumberLength + 1);
  std::size_t len = 0;
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
  if (token != nullptr) token->assign(text);
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
  fieldStart_ = position();
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
