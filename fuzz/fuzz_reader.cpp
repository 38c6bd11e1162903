// libFuzzer target over the field reader, both file readers and layout detection.
//
// An input is a header of kHeaderSize bytes followed by the file's bytes:
//   [0]      bit 0: new version, bit 1: title lines
//   [1]      concrete count: b - 1 for b < 103 (-1 ... 101), else one of kConcreteExtremes
//   [2], [3] steel count: [2] - 1 + [3] / 256 for [2] < 103 (-1 ... 101.996, so 100, 100.5
//            and other fractions), else one of kSteelExtremes
//   [4]      the most bytes a second, trickling source hands over per read, minus one
//   [5..12]  32 field reads, two bits each: number, 16-bit integer, text, value
// Layout detection runs on every file: a confident detection must read under its own
// settings without failure, leftover or a value check firing; it must name no line beyond
// the file's last; and how the bytes arrive must not change what it finds.
// Every read of the file must keep the invariants checked below, and each of the first 64
// number tokens must parse as from_chars parses it; a broken invariant aborts, which
// libFuzzer reports as a finding.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <string_view>
#include <variant>

#include "data/field_reader.h"
#include "data/layout_detection.h"
#include "data/section_file.h"
#include "data/text_encoding.h"

namespace fiberview {
namespace {

constexpr std::size_t kHeaderSize = 13;
constexpr std::size_t kFieldReads = 32;

constexpr std::int16_t kConcreteExtremes[] = {-32768, 32767, 1000, -100, 144, 400, 12000};
constexpr double kSteelExtremes[] = {std::numeric_limits<double>::quiet_NaN(),
                                     std::numeric_limits<double>::infinity(),
                                     -std::numeric_limits<double>::infinity(),
                                     1e300,
                                     -0.0,
                                     100.99999999999999,
                                     4.5,
                                     144.5,
                                     12000,
                                     32767.999,
                                     32768};

void check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// Hands the bytes over in pieces of at most `step`, as a pipe or a slow disk might.
class TricklingSource final : public ByteSource {
 public:
  TricklingSource(std::string_view bytes, std::size_t step) : bytes_(bytes), step_(step) {}
  std::size_t read(char* dst, std::size_t n) override {
    const std::size_t count = std::min({n, step_, bytes_.size()});
    std::memcpy(dst, bytes_.data(), count);
    bytes_.remove_prefix(count);
    return count;
  }

 private:
  std::string_view bytes_;
  std::size_t step_;
};

// A budget of its own, so that a count line asking for a huge store is refused the same
// way on every machine, and the fuzzer never allocates much.
constexpr std::uint64_t kFuzzBudget = std::uint64_t{64} << 20;

ReadControl fuzzControl() {
  ReadControl control;
  control.memoryBudget = kFuzzBudget;
  return control;
}

ReadOptions optionsFrom(const std::uint8_t* h) {
  ReadOptions o;
  o.version = (h[0] & 1) != 0 ? FileVersion::New : FileVersion::Old;
  o.hasTitleLine = (h[0] & 2) != 0;
  constexpr std::size_t kConcreteKinds = std::size(kConcreteExtremes);
  o.concreteCount = h[1] < 103 ? static_cast<std::int16_t>(h[1] - 1)
                               : kConcreteExtremes[(h[1] - 103u) % kConcreteKinds];
  constexpr std::size_t kSteelKinds = std::size(kSteelExtremes);
  o.steelCount =
      h[2] < 103 ? (h[2] - 1) + h[3] / 256.0 : kSteelExtremes[(h[2] - 103u) % kSteelKinds];
  return o;
}

bool isDisplayable(const std::string& text) {
  if (!isUtf8(text)) return false;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return false;
  }
  return true;
}

bool isUtf8Value(const Value& v) {
  const auto* text = std::get_if<std::string>(&v);
  return text == nullptr || isUtf8(*text);
}

// The bytes a reader takes from the file: everything before the first 0x1A.
std::string_view untilEndMark(std::string_view file) {
  return file.substr(0, file.find('\x1A'));
}

// The offset of the byte at `where` in the bytes a reader took, worked out afresh from the
// bytes: a line ends at CR, LF or CR LF, which is one line end; a column counts bytes from
// 1 at the line's first byte; a UTF-8 byte order mark at the start is part of no line, so
// column 1 of line 1 is the byte after it. The column after a line's last byte names its
// line end, or on the last line the end of the bytes. Returns npos when `where` names
// nothing.
std::size_t offsetAt(std::string_view read, TextPosition where) {
  constexpr std::size_t npos = std::string_view::npos;
  if (where.line < 1 || where.column < 1) return npos;
  std::size_t lineStart = read.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  for (long long line = 1; line < where.line; ++line) {
    const std::size_t lineEnd = read.find_first_of("\r\n", lineStart);
    if (lineEnd == npos) return npos;
    lineStart = lineEnd + (read.substr(lineEnd, 2) == "\r\n" ? 2 : 1);
  }
  const std::size_t lineEnd = std::min(read.find_first_of("\r\n", lineStart), read.size());
  const auto column = static_cast<unsigned long long>(where.column - 1);
  return column <= lineEnd - lineStart ? lineStart + column : npos;
}

// What a failure's position must name.
enum class FailsAt {
  End,    // the file ended: the end of the bytes read
  Start,  // a UTF-16 file: its first byte
  Field,  // the first byte of the failing field, past the blank space and line ends before it
};

// Checks that `where` names the byte `at` asks for; returns that byte's offset.
std::size_t checkFailurePosition(std::string_view read, TextPosition where, FailsAt at) {
  const std::size_t offset = offsetAt(read, where);
  check(offset != std::string_view::npos, "a failure's line and column lie in the file");
  switch (at) {
    case FailsAt::End:
      check(offset == read.size(), "a file that ended fails at its end");
      break;
    case FailsAt::Start:
      check(offset == 0, "a UTF-16 file fails at its first byte");
      break;
    case FailsAt::Field:
      // An empty field reads as 0 or an empty text, so a failing field has a first byte.
      check(offset < read.size() &&
                std::string_view(" \t,\r\n").find(read[offset]) == std::string_view::npos,
            "a failing field is named by its first byte");
      break;
  }
  return offset;
}

void checkStore(const SectionStore& store, std::string_view file, const ReadOptions& o) {
  const bool withTitle = o.titled();
  check(store.sections.size() <= static_cast<std::size_t>(kMaxSections),
        "no more sections than the store can hold");
  check(store.version == o.version && store.titled == withTitle, "the store says how it was read");

  // The first field of the file names the number of sections.
  MemorySource source(file);
  FieldReader fields(source);
  std::int16_t count = -1;
  check(fields.readInt16(count), "a read file starts with a section count");
  check(static_cast<std::size_t>(count) == store.sections.size(), "N sections for a count of N");

  const std::size_t concrete = o.concreteCount > 0 ? static_cast<std::size_t>(o.concreteCount) : 0;
  const auto steel = static_cast<std::size_t>(steelFibersToRead(o.steelCount));
  for (std::size_t i = 0; i < store.sections.size(); ++i) {
    const Section& s = store.sections[i];
    check(s.concrete.size() == concrete, "each section has the concrete count asked for");
    check(s.steel.size() == steel, "each section has the steel count asked for");
    if (!withTitle) check(s.title.empty(), "an untitled read leaves the title empty");
    check(isUtf8(s.title), "titles are UTF-8");
    check(isUtf8Value(s.properties[0]) && isUtf8Value(s.properties[1]),
          "text properties are UTF-8");
    const auto* third = std::get_if<double>(&s.properties[2]);
    check(third != nullptr && std::isfinite(*third), "the third property is a finite number");
    for (const ConcreteFiber& f : s.concrete) {
      for (const double v : f) check(std::isfinite(v), "concrete values are finite");
    }
    for (const SteelFiber& f : s.steel) {
      for (const double v : f) check(std::isfinite(v), "steel values are finite");
    }
  }
}

void checkError(const ReadError& e, std::string_view file, const ReadOptions& o) {
  check(isDisplayable(e.found), "the text found is fit for a message");
  if (e.kind == ReadFailure::TooManyFibers) {
    check(o.concreteCount > kMaxFibers || steelFibersToRead(o.steelCount) > kMaxFibers,
          "too many fibers only when the options ask for more than the store holds");
    return;
  }
  check(e.kind != ReadFailure::File, "bytes in memory always open and read");

  const std::string_view read = untilEndMark(file);
  const FailsAt at = e.kind == ReadFailure::EndOfFile ? FailsAt::End
                     : e.kind == ReadFailure::Utf16   ? FailsAt::Start
                                                      : FailsAt::Field;
  const std::size_t offset = checkFailurePosition(read, e.where, at);
  if (at == FailsAt::Field) {
    // A first byte of some field is not enough: the bytes before it must read as every
    // field before the failing one and end just where the failing one should begin.
    MemorySource before(read.substr(0, offset));
    const ReadResult cut = readSections(before, o, fuzzControl());
    const auto* end = std::get_if<ReadError>(&cut);
    check(end != nullptr && end->kind == ReadFailure::EndOfFile && end->role == e.role &&
              end->section == e.section && end->fiber == e.fiber && end->value == e.value,
          "the bytes before a failure read up to the failing field");
  }

  switch (e.role) {
    case FieldRole::None:
      check(false, "a failure inside the file names the field being read");
      break;
    case FieldRole::SectionCount:
      check(e.section == 0, "no section before the count");
      break;
    case FieldRole::Title:
      check(e.section >= 1 && e.fiber == 0, "a title belongs to a section");
      break;
    case FieldRole::Property:
      check(e.section >= 1 && e.value >= 1 && e.value <= 3, "three properties");
      break;
    case FieldRole::ConcreteValue:
      check(e.fiber >= 1 && e.fiber <= o.concreteCount && e.value >= 1 && e.value <= 8,
            "eight values per concrete fiber");
      break;
    case FieldRole::SteelValue:
      check(e.fiber >= 1 && e.fiber <= steelFibersToRead(o.steelCount) && e.value >= 1 &&
                e.value <= 5,
            "five values per steel fiber");
      break;
  }
  check(e.section <= kMaxSections, "no failure beyond the last section the store can hold");
  if (e.kind == ReadFailure::MemoryBudget) {
    check(e.memoryNeeded > e.memoryBudget && e.memoryBudget == kFuzzBudget,
          "a store is refused only beyond the budget");
  }
}

// Reads fields one by one as `script` says and checks what each read gives.
void readFields(std::string_view file, const std::uint8_t* script) {
  MemorySource source(file);
  FieldReader fields(source);
  TextPosition last = fields.position();
  bool failed = false;
  for (std::size_t k = 0; k < kFieldReads; ++k) {
    const int op = (script[k / 4] >> (2 * (k % 4))) & 3;
    bool ok = false;
    if (op == 0) {
      double d = 0;
      ok = fields.readNumber(d);
      if (ok) check(std::isfinite(d), "a number field gives a finite number");
    } else if (op == 1) {
      std::int16_t i = 0;
      ok = fields.readInt16(i);
    } else if (op == 2) {
      std::string t;
      ok = fields.readText(t);
      if (ok) {
        check(t.find_first_of("\r\n\x1A") == std::string::npos, "a text holds no line end");
        check(t.size() <= FieldReader::kMaxTextLength, "a text is no longer than the limit");
      }
    } else {
      Value v;
      ok = fields.readValue(v);
      if (const auto* d = std::get_if<double>(&v)) {
        check(std::isfinite(*d), "a number value is finite");
      }
    }
    check(!(failed && ok), "a spent reader reads nothing");
    if (!ok) {
      const FieldError& error = fields.error();
      check(error.kind != ReadFailure::None, "a failed read says why");
      if (!failed) {
        checkFailurePosition(untilEndMark(file), error.where,
                             error.kind == ReadFailure::EndOfFile ? FailsAt::End
                             : error.kind == ReadFailure::Utf16   ? FailsAt::Start
                                                                  : FailsAt::Field);
      }
      failed = true;
      continue;
    }
    const TextPosition now = fields.position();
    check(now.line > last.line || (now.line == last.line && now.column >= last.column),
          "reading moves forward");
    const TextPosition start = fields.lastFieldStart();
    check(start.line < now.line || (start.line == now.line && start.column <= now.column),
          "a field starts before the reader's position");
    last = now;
  }
  // The encoding is judged on the bytes read so far, a prefix of the file ending at a
  // field boundary, so a file that is UTF-8 throughout is judged UTF-8.
  if (!failed && isUtf8(untilEndMark(file))) {
    check(fields.isValidUtf8(), "a UTF-8 file is judged UTF-8");
  }
}

// The plain way to read a number token: check the grammar, then hand it to from_chars
// with '+' dropped and a Fortran 'D' made an 'e'. The reader's own parse must agree with it
// to the last bit, however it gets there. A number closer to zero than any double is zero.
bool plainDecimal(std::string_view token, double& out, bool& outOfRange) {
  outOfRange = false;
  std::size_t i = 0;
  const std::size_t n = token.size();
  const auto digitsAt = [&] {
    std::size_t count = 0;
    while (i < n && token[i] >= '0' && token[i] <= '9') ++i, ++count;
    return count;
  };
  if (i < n && (token[i] == '+' || token[i] == '-')) ++i;
  std::size_t digits = digitsAt();
  if (i < n && token[i] == '.') {
    ++i;
    digits += digitsAt();
  }
  if (digits == 0) return false;
  std::string copy(token.substr(token[0] == '+' ? 1 : 0, i - (token[0] == '+' ? 1 : 0)));
  if (i < n && (token[i] == 'E' || token[i] == 'e' || token[i] == 'D' || token[i] == 'd')) {
    copy += 'e';
    const std::size_t exponentStart = ++i;
    if (i < n && (token[i] == '+' || token[i] == '-')) ++i;
    if (digitsAt() == 0) return false;
    copy += token.substr(exponentStart, i - exponentStart);
  }
  if (i != n) return false;
  const auto [ptr, ec] = std::from_chars(copy.data(), copy.data() + copy.size(), out);
  if (ec == std::errc::result_out_of_range) {
    // strtod tells overflow (infinity) from underflow (a signed zero); this program never
    // leaves the "C" locale, so its decimal point is '.'.
    const double rounded = std::strtod(copy.c_str(), nullptr);
    if (std::isinf(rounded)) {
      outOfRange = true;
      return false;
    }
    out = rounded;
    return ptr == copy.data() + copy.size();
  }
  return ec == std::errc() && ptr == copy.data() + copy.size();
}

// Holds parseDecimal against plainDecimal on the first tokens of the file.
void parseTokens(std::string_view file) {
  constexpr std::size_t kTokens = 64;
  std::size_t checked = 0;
  std::size_t at = 0;
  while (checked < kTokens && at < file.size()) {
    const std::size_t start = file.find_first_not_of(" \t,\r\n", at);
    if (start == std::string_view::npos) break;
    const std::size_t stop = std::min(file.find_first_of(" \t,\r\n", start), file.size());
    at = stop;
    const std::string_view token = file.substr(start, stop - start);
    if (token.size() > FieldReader::kMaxNumberLength) continue;
    ++checked;
    double fast = 0.0;
    double plain = 0.0;
    bool fastOutOfRange = false;
    bool plainOutOfRange = false;
    const bool fastOk = parseDecimal(token, fast, fastOutOfRange);
    const bool plainOk = plainDecimal(token, plain, plainOutOfRange);
    check(fastOk == plainOk, "a token is a number exactly when from_chars takes it");
    check(fastOutOfRange == plainOutOfRange,
          "a number is out of range exactly when from_chars says");
    if (fastOk) {
      check(std::memcmp(&fast, &plain, sizeof fast) == 0, "a number reads as from_chars reads it");
    }
  }
}

// The lines of the bytes a reader takes: CR, LF and CR LF each end one.
long long lineCount(std::string_view read) {
  long long lines = 1;
  for (std::size_t i = 0; i < read.size(); ++i) {
    if (read[i] == '\n' || (read[i] == '\r' && (i + 1 == read.size() || read[i + 1] != '\n'))) {
      ++lines;
    }
  }
  return lines;
}

void checkDetection(std::string_view file, std::size_t step) {
  int reads = 0;
  const auto readWith = [&](const ReadOptions& o) {
    ++reads;
    MemorySource again(file);
    return readSections(again, o);
  };
  MemorySource source(file);
  const DetectedLayout d = detectLayout(source, readWith);
  // Once, and again only where a big file's first sections fit a cut its whole does not.
  check(reads <= 2, "detection confirms two layouts at most");
  const long long lines = lineCount(untilEndMark(file));
  check(d.linesRead >= 1 && d.linesRead <= lines, "detection reads no further than the file");
  check(d.line <= d.linesRead, "a problem lies where detection read");
  check(!d.leftoverLine || *d.leftoverLine <= d.linesRead, "leftover lies where detection read");
  if (d.confident) {
    check(d.plausible.size() == 1 && d.hasTitleLine && d.concreteCount && d.steelCount,
          "a confident detection sets one layout");
    ReadOptions o;
    o.version = d.version.value_or(versionWithoutTitles());
    o.hasTitleLine = *d.hasTitleLine;
    o.concreteCount = static_cast<std::int16_t>(*d.concreteCount);
    o.steelCount = *d.steelCount;
    TricklingSource trickle(file, step);
    const ReadResult read = readSections(trickle, o);
    const auto* store = std::get_if<SectionStore>(&read);
    check(store != nullptr, "a confident detection reads without failure");
    check(!store->leftoverAt, "a confident detection reads without leftover");
    check(!checkValues(*store), "a confident detection reads values that pass the checks");
    check(d.store && d.store->sections.size() == store->sections.size(),
          "a confident detection hands over the read it confirmed with");
  }
  // With the same confirming reads: a big file's first sections may settle it without them.
  TricklingSource trickle(file, step);
  const DetectedLayout t = detectLayout(trickle, readWith);
  check(t.plausible == d.plausible && t.problem == d.problem,
        "a trickling source detects the same");
}

bool sameError(const ReadError& a, const ReadError& b) {
  return a.kind == b.kind && a.where.line == b.where.line && a.where.column == b.where.column &&
         a.role == b.role && a.section == b.section && a.fiber == b.fiber && a.value == b.value &&
         a.found == b.found;
}

}  // namespace
}  // namespace fiberview

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fiberview;
  if (size < kHeaderSize) return 0;
  const ReadOptions options = optionsFrom(data);
  const std::string_view file(reinterpret_cast<const char*>(data) + kHeaderSize,
                              size - kHeaderSize);

  // Read as two parts at once wherever the file allows, against one reader below.
  MemorySource whole(file);
  ReadControl split = fuzzControl();
  split.splitFrom = 1;
  const ReadResult result = readSections(whole, options, split);
  if (const auto* store = std::get_if<SectionStore>(&result)) {
    checkStore(*store, file, options);
    checkValues(*store);
  } else {
    checkError(std::get<ReadError>(result), file, options);
  }

  // How the bytes arrive, and whether two readers take them, must not change what is read.
  TricklingSource trickle(file, std::size_t{data[4]} + 1);
  const ReadResult again = readSections(trickle, options, fuzzControl());
  check(again.index() == result.index(), "a trickling source reads the same");
  if (const auto* store = std::get_if<SectionStore>(&again)) {
    const SectionStore& first = std::get<SectionStore>(result);
    check(store->sections.size() == first.sections.size(),
          "a trickling source reads as many sections");
    for (std::size_t k = 0; k < store->sections.size(); ++k) {
      const Section& a = store->sections[k];
      const Section& b = first.sections[k];
      check(a.title == b.title && a.properties == b.properties && a.concrete == b.concrete &&
                a.steel == b.steel && a.ends.steel.last.line == b.ends.steel.last.line &&
                a.ends.steel.last.column == b.ends.steel.last.column,
            "a trickling source reads the same sections");
    }
    check(store->leftoverAt.has_value() == first.leftoverAt.has_value(),
          "a trickling source finds the same leftover");
  } else {
    check(sameError(std::get<ReadError>(again), std::get<ReadError>(result)),
          "a trickling source fails in the same place");
  }

  readFields(file, data + 5);
  parseTokens(file);
  checkDetection(file, std::size_t{data[4]} + 1);
  return 0;
}
