#include "data/field_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "data/numbers.h"

namespace fiberview {

namespace {

constexpr std::size_t kChunk = 64 * 1024;
// How much of an offending field a message quotes: characters shown, and bytes kept to
// find them in (a GB18030 character takes up to 4).
constexpr std::size_t kFoundCharacters = 40;
constexpr std::size_t kFoundLength = 4 * kFoundCharacters;
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
bool beginsNumber(char c) {
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The common number in one pass: one that ends at a delimiter or at `dataEnd`, where the
// byte is 0, and whose value needs a single rounding. The caller makes sure that
// `dataEnd` is the end of the file whenever it lies within kMaxNumberLength of `begin`.
// Returns false, to leave the number to the careful path, otherwise.
bool readPlainNumber(const char* begin, const char* dataEnd, double& out, std::size_t& len) {
  DecimalScan d;
  if (!scanDecimal(begin, d, ExponentLetters::EorD)) return false;
  len = static_cast<std::size_t>(d.end - begin);
  if (len > FieldReader::kMaxNumberLength) return false;
  if (d.end != dataEnd && !endsNumber(*d.end)) return false;
  return exactDecimalValue(d, out);
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

FieldReader::FieldReader(ByteSource& source) : source_(source), buffer_(kChunk + 1) {
  fill(4);
  const auto* b = reinterpret_cast<const unsigned char*>(buffer_.data());
  if (end_ >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    pos_ = 3;
    lineStart_ = 3;
    utf8Checked_ = 3;
  } else if (end_ >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
    fail(ReadFailure::Utf16, position(), {});
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
      checkEncodingUpTo(pos_);
      utf8Checked_ = 0;
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
        return fail(ReadFailure::ReadFailed, position(), {});
      }
      break;
    }
    std::size_t kept = got;
    if (const void* mark = std::memchr(buffer_.data() + end_, kDosEndOfFile, got)) {
      kept = static_cast<std::size_t>(static_cast<const char*>(mark) - (buffer_.data() + end_));
      sourceDone_ = true;
    }
    end_ += kept;
    buffer_[end_] = '\0';
  }
  return error_.kind == ReadFailure::None;
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

bool FieldReader::fail(ReadFailure kind, TextPosition where, std::string_view found) {
  if (error_.kind != ReadFailure::None) return false;
  error_.kind = kind;
  error_.where = where;
  checkEncodingUpTo(pos_);
  error_.found =
      displayableSnippet(found.substr(0, kFoundLength), utf8_.validSoFar(), kFoundCharacters);
  return false;
}

void FieldReader::checkEncodingUpTo(std::size_t pos) {
  if (pos > utf8Checked_) {
    utf8_.feed(buffer_.data() + utf8Checked_, pos - utf8Checked_);
    utf8Checked_ = pos;
  }
}

bool FieldReader::isValidUtf8() {
  checkEncodingUpTo(pos_);
  return utf8_.valid();
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
    if (len > kMaxNumberLength) return fail(ReadFailure::TooLong, start, text);
    bool outOfRange = false;
    if (len == 0) {
      // An empty field between two commas.
      out = 0.0;
    } else if (!parseDecimal(text, out, outOfRange)) {
      return fail(outOfRange ? ReadFailure::OutOfRange : ReadFailure::NotANumber, start, text);
    }
  }
  if (token != nullptr) token->assign(begin, len);
  pos_ += len;
  consumeDelimiterAfterNumber();
  return true;
}

bool FieldReader::readNumber(double& out) {
  if (error_.kind != ReadFailure::None) return false;
  if (!skipBlanksAndLineEnds()) return fail(ReadFailure::EndOfFile, position(), {});
  return readNumberToken(out, nullptr);
}

bool FieldReader::readInt16(std::int16_t& out) {
  if (error_.kind != ReadFailure::None) return false;
  if (!skipBlanksAndLineEnds()) return fail(ReadFailure::EndOfFile, position(), {});
  const TextPosition start = position();
  std::string token;
  double value = 0.0;
  if (!readNumberToken(value, &token)) return false;
  if (!roundToInt16(value, out)) return fail(ReadFailure::OutOfRange, start, token);
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
      return fail(ReadFailure::TooLong, start, out);
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
    if (atEnd()) return fail(ReadFailure::EndInsideQuotes, start, out);
    const char c = buffer_[pos_];
    if (c == '"') {
      ++pos_;
      break;
    }
    if (out.size() >= kMaxTextLength) return fail(ReadFailure::TooLong, start, out);
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
  if (error_.kind != ReadFailure::None) return false;
  skipBlanks();
  markFieldStart();
  if (atEnd()) return fail(ReadFailure::EndOfFile, position(), {});
  if (buffer_[pos_] == '"') return readQuotedText(out);
  return readUnquotedText(out);
}

bool FieldReader::readValue(Value& out) {
  if (error_.kind != ReadFailure::None) return false;
  skipBlanks();
  if (atEnd()) return fail(ReadFailure::EndOfFile, position(), {});
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

bool FieldReader::readValueOrText(Value& out) {
  if (error_.kind != ReadFailure::None) return false;
  skipBlanks();
  if (atEnd()) return fail(ReadFailure::EndOfFile, position(), {});
  if (beginsNumber(buffer_[pos_])) {
    markFieldStart();
    if (end_ - pos_ <= kMaxNumberLength && !fill(kMaxNumberLength + 1)) return false;
    const char* begin = buffer_.data() + pos_;
    double number = 0.0;
    std::size_t len = 0;
    bool isNumber = readPlainNumber(begin, buffer_.data() + end_, number, len);
    if (!isNumber) {
      const std::size_t limit = std::min(end_ - pos_, kMaxNumberLength + 1);
      len = 0;
      while (len < limit && !endsNumber(begin[len])) ++len;
      bool outOfRange = false;
      isNumber =
          len <= kMaxNumberLength && parseDecimal(std::string_view(begin, len), number, outOfRange);
    }
    if (isNumber) {
      pos_ += len;
      consumeDelimiterAfterNumber();
      out = number;
      return true;
    }
    std::string text;
    if (!readText(text)) return false;
    out = std::move(text);
    return true;
  }
  return readValue(out);
}

}  // namespace fiberview
