// Cuts a fiber data file into fields.
//
// A file is one sequence of fields; line ends (CR, LF or CR LF) matter only as delimiters
// and as the end of a title. Number fields skip blank space and line ends before them;
// text fields end at a comma or a line end, so a title with a comma is cut there. A byte
// 0x1A ends the file, as the end-of-file mark of old DOS programs did.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/decimal.h"
#include "data/open_file.h"
#include "data/read_ahead.h"
#include "data/section_store.h"
#include "data/text_encoding.h"

namespace fiberview {

// Where the bytes of a file come from. Reading stops at the first call that returns 0.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Copies up to n bytes into dst; returns how many, 0 at the end or on a failure.
  virtual std::size_t read(char* dst, std::size_t n) = 0;
  // The errno of a failed read, 0 when reading simply reached the end.
  virtual int error() const { return 0; }
  // How many bytes the source holds in all, or 0 when it cannot tell; for progress only.
  virtual std::uint64_t size() const { return 0; }
  // A new source of this one's bytes from `offset` on, read apart from this one, so that two
  // readers can take two parts of a file at once; nullptr where the source cannot give one.
  virtual std::unique_ptr<ByteSource> from(std::uint64_t /*offset*/) const { return nullptr; }
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : all_(bytes), bytes_(bytes) {}
  std::size_t read(char* dst, std::size_t n) override;
  std::uint64_t size() const override { return all_.size(); }
  std::unique_ptr<ByteSource> from(std::uint64_t offset) const override;

 private:
  std::string_view all_;
  std::string_view bytes_;
};

// Reads an open stdio file; the caller keeps ownership of the FILE.
class FileSource final : public ByteSource {
 public:
  // `size` is the file's size when the caller knows it, for progress.
  explicit FileSource(std::FILE* file, std::uint64_t size = 0)
      : file_(file), descriptor_(::fileno(file)), size_(size) {}
  std::size_t read(char* dst, std::size_t n) override;
  int error() const override { return error_; }
  std::uint64_t size() const override { return size_; }
  // For a regular file of known size only.
  std::unique_ptr<ByteSource> from(std::uint64_t offset) const override;

 private:
  std::FILE* file_;
  int descriptor_;
  std::uint64_t size_;
  int error_ = 0;
};

// Why a read failed. The field reader meets the first group; the section readers add the
// rest.
enum class ReadFailure {
  None,
  EndOfFile,        // the file ended where a field should begin
  EndInsideQuotes,  // the file ended inside a quoted text
  NotANumber,       // a number field holds something else
  OutOfRange,       // a number too large for a double, or the section count beyond 16 bits
  TooLong,          // a number or text longer than any real file writes
  File,             // the file could not be opened or read; `file` tells how
  Utf16,            // the file starts with a UTF-16 byte order mark
  NegativeSectionCount,
  TooManyFibers,  // the options ask for more fibers of a kind than the store can hold
  MemoryBudget,   // the store would take more memory than the read may use
  Cancelled,      // the caller asked the read to stop
};

// What the field reader knows of a failure.
struct FieldError {
  ReadFailure kind = ReadFailure::None;
  TextPosition where;
  // The offending field as it stands in the file, decoded as the file's texts are and cut
  // between characters to a readable length; control characters show as '?'.
  std::string found;
  FileError file;  // with File
};

class FieldReader {
 public:
  static constexpr std::size_t kMaxNumberLength = 256;
  static constexpr std::size_t kMaxTextLength = 64 * 1024;

  // A large source is read ahead in a second thread, which the reader stops when it goes.
  explicit FieldReader(ByteSource& source);
  ~FieldReader();
  FieldReader(const FieldReader&) = delete;
  FieldReader& operator=(const FieldReader&) = delete;

  // Each read returns false on a failure, which error() then describes. After a failure
  // the reader is spent.
  bool readNumber(double& out);
  // Reads `n` numbers into out[0], out[1], ... as readNumber would, faster: the common
  // number between blanks, commas and line ends is taken in one tight pass. Returns how
  // many were read, fewer than n after a failure. Leaves lastFieldStart() as it was.
  std::size_t readNumbers(double* out, std::size_t n);
  // Reads at most `n` of the numbers that come next as readNumbers' tight pass takes them
  // (digits with an optional sign, point and exponent, between blanks, commas and line
  // ends), and stops without failing before anything else, leaving that to the other reads. When
  // `lines` is given, lines[k] is the line that out[k] stands on. Returns how many were read.
  std::size_t readPlainNumbers(double* out, std::size_t n, long long* lines = nullptr);
  bool readInt16(std::int16_t& out);
  bool readText(std::string& out);
  bool readValue(Value& out);
  // As readValue, except that a field that begins like a number but is not one (such as
  // "3F") is read as a text instead of failing: for looking at a file's fields before
  // knowing which of them are titles.
  bool readValueOrText(Value& out);

  // Skips blank space and line ends; returns false at the end of the file. Tells whether
  // anything follows the last field read.
  bool skipBlanksAndLineEnds();

  // Whether the bytes up to the last field read (after a UTF-8 byte order mark) are
  // well-formed UTF-8. They hold every text read, and bytes beyond them are never read
  // just to decide this.
  bool isValidUtf8();

  // The position of the next unread byte.
  TextPosition position() const;
  // How many bytes of the source lie before the next unread byte.
  std::uint64_t bytesConsumed() const { return static_cast<std::uint64_t>(bufferBase_) + pos_; }
  // Where the last field read began, after the blank space before it.
  TextPosition lastFieldStart() const { return {fieldLine_, fieldOffset_ - fieldLineStart_ + 1}; }
  const FieldError& error() const { return error_; }

 private:
  bool fill(std::size_t wanted);
  std::size_t readMore(int& error);
  std::size_t takeChunk(int& error);
  bool atEnd();
  bool fail(ReadFailure kind, TextPosition where, std::string_view found);
  void checkEncodingUpTo(std::size_t pos);
  void markFieldStart();
  void skipBlanks();
  void consumeLineEnd();
  void consumeDelimiterAfterNumber();
  bool readNumberToken(double& out, std::string* token);
  bool readUnquotedText(std::string& out);
  bool readQuotedText(std::string& out);

  ByteSource& source_;
  // buffer_[end_] is always 0, which no blank, digit or delimiter test accepts, so a scan
  // stops at the end without counting; a few bytes after it may be read, never used.
  ByteBuffer buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool sourceDone_ = false;
  long long bufferBase_ = 0;  // file offset of buffer_[0]
  long long lineStart_ = 0;   // file offset of the current line's first byte
  long long line_ = 1;
  FieldError error_;
  // The start of the last field, kept as offsets so that marking it costs no arithmetic.
  long long fieldLine_ = 1;
  long long fieldLineStart_ = 0;
  long long fieldOffset_ = 0;
  Utf8Validator utf8_;
  std::size_t utf8Checked_ = 0;  // buffer_ index up to which utf8_ has seen the bytes
  std::unique_ptr<ReadAhead> readAhead_;
};

}  // namespace fiberview
