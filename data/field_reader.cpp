#include "data/field_reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "data/numbers.h"
#include "data/read_ahead.h"

namespace fiberview {

namespace {

constexpr std::size_t kChunk = 64 * 1024;
// After the data, its terminating 0 and room for a word read that starts at it.
constexpr std::size_t kSlack = 1 + 3;
// A source this large is read ahead, in chunks larger than a plain read's, each with room
// before it for the unread bytes of the chunk before; the reader only asks for more when
// fewer than a number's length of those are left.
constexpr std::uint64_t kReadAheadFrom = 1024 * 1024;
constexpr std::size_t kReadAheadChunk = 256 * 1024;
constexpr std::size_t kHeadroom = 512;
static_assert(kHeadroom > FieldReader::kMaxNumberLength + 1);
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
  // One test for the five bytes, all below 64.
  constexpr std::uint64_t kEnds = (std::uint64_t{1} << ' ') | (std::uint64_t{1} << '\t') |
                                  (std::uint64_t{1} << ',') | (std::uint64_t{1} << '\r') |
                                  (std::uint64_t{1} << '\n');
  const auto u = static_cast<unsigned char>(c);
  return u < 64 && ((kEnds >> u) & 1) != 0;
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

std::uint32_t loadFour(const char* p) {
  std::uint32_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap32(word);
  return word;
}

// Column-aligned files pad their fields with runs of spaces: take them four at a time.
// The 0 after the data stops the run, and the buffer has room for a word read from it.
std::size_t skipBlanksFrom(const char* data, std::size_t p) {
  while (loadFour(data + p) == 0x20202020U) p += 4;
  while (isBlank(data[p])) ++p;
  return p;
}

// Adds the digits at p to m, four at a time while there are four; returns the first byte
// after them. A byte is a digit when its high half is 3 and adding 6 keeps it so.
const char* takeDigits(const char* p, std::uint64_t& m) {
  for (std::uint32_t word; ((word = loadFour(p)) & 0xF0F0F0F0U) == 0x30303030U &&
                           ((word + 0x06060606U) & 0xF0F0F0F0U) == 0x30303030U;
       p += 4) {
    // The first digit is the lowest byte: join neighbours into two numbers below 100,
    // then those into one below 10,000.
    std::uint32_t v = word - 0x30303030U;
    v = (v * 10 + (v >> 8)) & 0x00FF00FFU;
    m = m * 10000 + (v & 0xFFU) * 100 + (v >> 16);
  }
  return decimal_detail::takeDigits(p, m);
}

// The most common number of all, digits with an optional point and no exponent, ending at a
// delimiter: with at most 15 digits its digits and its power of ten are exact doubles, so
// one division rounds it correctly. Otherwise the number goes through scanDecimal, and when
// that cannot read it in one pass either, nullptr leaves it to the careful path. Returns
// the end of the number. The bytes from `p` on must end in a 0 within kMaxNumberLength.
const char* readSimpleNumber(const char* p, double& out) {
  using decimal_detail::kPowersOfTen;
  const char* const begin = p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  const char* const digits = p;
  std::uint64_t m = 0;
  p = takeDigits(p, m);
  int fractionDigits = 0;
  const bool point = *p == '.';
  if (point) {
    const char* const fraction = ++p;
    p = takeDigits(p, m);
    fractionDigits = static_cast<int>(p - fraction);
  }
  const auto count = p - digits - (point ? 1 : 0);
  if (decimal_detail::kExactArithmetic && count > 0 && count <= 15 && endsNumber(*p)) {
    const double value = static_cast<double>(m) / kPowersOfTen[fractionDigits];
    out = negative ? -value : value;
    return p;
  }
  std::size_t len = 0;
  if (!readPlainNumber(begin, nullptr, out, len)) return nullptr;
  return begin + len;
}

}  // namespace

std::size_t MemorySource::read(char* dst, std::size_t n) {
  const std::size_t count = std::min(n, bytes_.size());
  std::memcpy(dst, bytes_.data(), count);
  bytes_.remove_prefix(count);
  return count;
}

std::unique_ptr<ByteSource> MemorySource::from(std::uint64_t offset) const {
  return std::make_unique<MemorySource>(all_.substr(std::min<std::uint64_t>(offset, all_.size())));
}

std::size_t FileSource::read(char* dst, std::size_t n) {
  const std::size_t count = std::fread(dst, 1, n, file_);
  if (count == 0 && std::ferror(file_)) error_ = errno != 0 ? errno : EIO;
  return count;
}

namespace {

// A part of a regular file, read by offset, so that it leaves the position of the file's
// other readers alone.
class FilePartSource final : public ByteSource {
 public:
  FilePartSource(int descriptor, std::uint64_t offset, std::uint64_t end)
      : descriptor_(descriptor), offset_(offset), end_(end) {}
  std::size_t read(char* dst, std::size_t n) override {
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, end_ - offset_));
    while (n > 0) {
      const ssize_t got = ::pread(descriptor_, dst, n, static_cast<off_t>(offset_));
      if (got >= 0) {
        offset_ += static_cast<std::uint64_t>(got);
        return static_cast<std::size_t>(got);
      }
      if (errno != EINTR) {
        error_ = errno;
        return 0;
      }
    }
    return 0;
  }
  int error() const override { return error_; }
  std::uint64_t size() const override { return end_ - offset_; }

 private:
  int descriptor_;
  std::uint64_t offset_;
  std::uint64_t end_;
  int error_ = 0;
};

}  // namespace

std::unique_ptr<ByteSource> FileSource::from(std::uint64_t offset) const {
  struct stat info {};
  if (size_ == 0 || descriptor_ < 0 || ::fstat(descriptor_, &info) != 0 || !S_ISREG(info.st_mode)) {
    return nullptr;
  }
  return std::make_unique<FilePartSource>(descriptor_, std::min(offset, size_), size_);
}

FieldReader::FieldReader(ByteSource& source) : source_(source), buffer_(kChunk + kSlack) {
  buffer_[0] = '\0';
  if (source.size() >= kReadAheadFrom) {
    readAhead_ =
        std::make_unique<ReadAhead>(source, kHeadroom, kReadAheadChunk, kSlack, kDosEndOfFile);
  }
  fill(4);
  const auto* b = reinterpret_cast<const unsigned char*>(buffer_.data() + pos_);
  if (end_ - pos_ >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    pos_ += 3;
    lineStart_ = 3;
    utf8Checked_ = pos_;
  } else if (end_ - pos_ >= 2 &&
             ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
    fail(ReadFailure::Utf16, position(), {});
  }
}

FieldReader::~FieldReader() = default;

TextPosition FieldReader::position() const {
  return {line_, bufferBase_ + static_cast<long long>(pos_) - lineStart_ + 1};
}

// Makes at least `wanted` unread bytes available when the file has them. Unread bytes
// stay together with the new ones, so a token shorter than the buffer stays contiguous.
bool FieldReader::fill(std::size_t wanted) {
  while (end_ - pos_ < wanted && !sourceDone_) {
    checkEncodingUpTo(pos_);
    int error = 0;
    const std::size_t got = readAhead_ ? takeChunk(error) : readMore(error);
    if (error != 0) {
      error_.file = {.kind = FileFailure::ReadFailed, .systemError = error};
      return fail(ReadFailure::File, position(), {});
    }
    end_ += got;
    buffer_[end_] = '\0';
  }
  return error_.kind == ReadFailure::None;
}

// Moves the unread bytes to the front of the buffer and reads after them.
std::size_t FieldReader::readMore(int& error) {
  if (pos_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
    bufferBase_ += static_cast<long long>(pos_);
    end_ -= pos_;
    pos_ = 0;
    utf8Checked_ = 0;
  }
  char* const data = buffer_.data() + end_;
  const std::size_t got = source_.read(data, kChunk - end_);
  if (got == 0) {
    sourceDone_ = true;
    error = source_.error();
  } else if (const void* mark = std::memchr(data, kDosEndOfFile, got)) {
    sourceDone_ = true;
    return static_cast<std::size_t>(static_cast<const char*>(mark) - data);
  }
  return got;
}

// Takes the next chunk read ahead as the buffer, the unread bytes copied into the room
// before its data; a fill never leaves more of them than that room holds.
std::size_t FieldReader::takeChunk(int& error) {
  ReadAhead::Chunk chunk = readAhead_->next();
  sourceDone_ = chunk.last;
  error = chunk.error;
  const std::size_t unread = end_ - pos_;
  const std::size_t start = kHeadroom - unread;
  std::memcpy(chunk.buffer.data() + start, buffer_.data() + pos_, unread);
  bufferBase_ += static_cast<long long>(pos_) - static_cast<long long>(start);
  pos_ = start;
  end_ = kHeadroom;
  utf8Checked_ = start;
  std::swap(buffer_, chunk.buffer);
  if (chunk.buffer.size() == buffer_.size()) readAhead_->recycle(std::move(chunk.buffer));
  return chunk.size;
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

std::size_t FieldReader::readNumbers(double* out, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    i += readPlainNumbers(out + i, n - i);
    if (i == n) break;
    // Whatever the tight pass leaves, the careful path reads, refilling as it goes.
    if (!readNumber(out[i])) return i;
    ++i;
  }
  return i;
}

// The tight pass of readNumbers: works on the buffered bytes alone and stops, leaving the
// reader as readNumber would have left it, before anything it does not handle.
std::size_t FieldReader::readPlainNumbers(double* out, std::size_t n, long long* lines) {
  if (error_.kind != ReadFailure::None) return 0;
  // Far enough from the end of the buffered data that no number, nor a CR LF, runs past it.
  constexpr std::size_t kMargin = kMaxNumberLength + 2;
  const char* const data = buffer_.data();
  const std::size_t safe = end_ > kMargin ? end_ - kMargin : 0;
  const long long base = bufferBase_;
  std::size_t p = pos_;
  const auto takeLineEnd = [&] {
    p += data[p] == '\r' && data[p + 1] == '\n' ? 2 : 1;
    ++line_;
    lineStart_ = base + static_cast<long long>(p);
  };
  // Every byte this pass takes is ASCII, so the encoding check may pass over them all,
  // unless a character before them is left open: the first of them would break it.
  checkEncodingUpTo(p);
  const bool asciiNeedsNoCheck = utf8_.valid() || !utf8_.validSoFar();
  const auto leave = [&] {
    pos_ = p;
    if (asciiNeedsNoCheck) utf8Checked_ = p;
  };
  std::size_t i = 0;
  // Whether blanks and line ends may stand before the next number; not when the blanks
  // after the last one led straight to it.
  bool skip = true;
  for (; i < n; ++i) {
    while (skip) {
      p = skipBlanksFrom(data, p);
      if (p >= safe || !isLineEnd(data[p])) break;
      takeLineEnd();
    }
    if (p >= safe) break;
    if (lines != nullptr) lines[i] = line_;
    const char* const end = readSimpleNumber(data + p, out[i]);
    if (end == nullptr) break;
    p = static_cast<std::size_t>(end - data);
    p = skipBlanksFrom(data, p);
    if (p >= safe) {
      leave();
      consumeDelimiterAfterNumber();
      return i + 1;
    }
    skip = true;
    if (data[p] == ',') {
      ++p;
    } else if (isLineEnd(data[p])) {
      takeLineEnd();
    } else {
      skip = false;
    }
  }
  leave();
  return i;
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
