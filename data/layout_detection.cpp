#include "data/layout_detection.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <tuple>
#include <vector>

#include "data/numbers.h"

namespace fiberview {

namespace {

constexpr std::size_t kBufferSize = 256 * 1024;
constexpr char kDosEndOfFile = 0x1A;
constexpr int kConcreteFields = static_cast<int>(std::tuple_size_v<ConcreteFiber>);
constexpr int kSteelFields = static_cast<int>(std::tuple_size_v<SteelFiber>);
constexpr int kPropertyFields = 3;

// The field reader's delimiters, looked up once per byte in the loops that see every byte.
enum : unsigned char { kBlank = 1, kLineEnd = 2, kComma = 4, kDigit = 8, kPoint = 16 };
constexpr unsigned char kEndsNumber = kBlank | kLineEnd | kComma;
constexpr std::array<unsigned char, 256> kClasses = [] {
  std::array<unsigned char, 256> c{};
  c[' '] = c['\t'] = kBlank;
  c['\r'] = c['\n'] = kLineEnd;
  c[','] = kComma;
  for (unsigned char d = '0'; d <= '9'; ++d) c[d] = kDigit;
  c['.'] = kPoint;
  return c;
}();

unsigned char classOf(char c) {
  return kClasses[static_cast<unsigned char>(c)];
}
bool isBlank(char c) {
  return classOf(c) == kBlank;
}
bool isLineEnd(char c) {
  return classOf(c) == kLineEnd;
}
bool endsNumber(char c) {
  return (classOf(c) & kEndsNumber) != 0;
}
bool beginsNumber(char c) {
  return (classOf(c) & (kDigit | kPoint)) != 0 || c == '+' || c == '-';
}

std::string str(long long n) {
  return std::to_string(n);
}

std::string systemText(int error) {
  switch (error) {
    case ENOENT:
      return "文件不存在";
    case EACCES:
    case EPERM:
      return "没有读取这个文件的权限";
    case EIO:
      return "输入输出错误";
    default:
      return "系统错误 " + str(error);
  }
}

// A line's fields as the readers read numbers: a number takes the blanks and the one comma
// after it, and a comma with no number before it is an empty field, which reads as 0.
struct LineShape {
  int fields = 0;
  bool numeric = true;  // every field reads as a number
  // The last field took a comma, so the line end is left for the next field: a number skips
  // it, but a title or a property reads it as an empty field.
  bool endsWithComma = false;
  // The first fields as they stand, empty for an empty field.
  std::array<std::string_view, 3> first;

  // Field i (below 3) of a numeric line.
  double value(std::size_t i) const {
    double out = 0.0;
    bool outOfRange = false;
    if (!first[i].empty()) parseDecimal(first[i], out, outOfRange);
    return out;
  }
};

// Cuts the line starting at s into fields, up to its line end or n bytes; returns where it
// stopped.
std::size_t shapeOf(const char* s, std::size_t n, LineShape& shape) {
  shape = LineShape{};
  std::size_t p = 0;
  for (;;) {
    while (p < n && isBlank(s[p])) ++p;
    if (p == n || isLineEnd(s[p])) return p;
    std::string_view field;
    if (s[p] == ',') {
      ++p;
      shape.endsWithComma = true;
    } else {
      // A sign, digits and at most one point make a number that parseDecimal always takes,
      // so only other fields need its verdict. Most fields are such numbers and their values
      // are not needed: this keeps detection cheaper than reading the file.
      std::size_t q = p + (s[p] == '+' || s[p] == '-' ? 1 : 0);
      const std::size_t digitsFrom = q;
      std::size_t points = 0;
      bool other = false;
      for (unsigned char c; q < n && ((c = classOf(s[q])) & kEndsNumber) == 0; ++q) {
        points += c == kPoint;
        other = other || c == 0;
      }
      field = std::string_view(s + p, q - p);
      const bool plain = !other && points <= 1 && q - digitsFrom > points &&
                         field.size() <= FieldReader::kMaxNumberLength;
      double value = 0.0;
      bool outOfRange = false;
      if (!plain && !parseDecimal(field, value, outOfRange)) shape.numeric = false;
      p = q;
      while (p < n && isBlank(s[p])) ++p;
      shape.endsWithComma = p < n && s[p] == ',';
      if (shape.endsWithComma) ++p;
    }
    if (static_cast<std::size_t>(shape.fields) < shape.first.size()) {
      shape.first[static_cast<std::size_t>(shape.fields)] = field;
    }
    ++shape.fields;
  }
}

enum class ScanFailure { None, ReadFailed, Utf16, LineTooLong, OpenQuote };

// A line with something on it, and the blank lines just before it: the readers skip those
// before a number, but take the first for an empty field before a title or a property.
struct TextLine {
  std::string_view text;  // without its line end; valid until the next line is taken
  long long number = 0;   // 1-based, CR, LF and CR LF each ending one line, as the readers count
  LineShape shape;
  int blanksBefore = 0;
  long long firstBlank = 0;
};

// Cuts a file into lines through a buffer that holds one whole line at a time, seeing the
// bytes the field reader sees: a UTF-8 byte order mark is skipped and 0x1A ends the file.
class LineScanner {
 public:
  explicit LineScanner(ByteSource& source) : source_(source), buffer_(kBufferSize) {
    while (end_ < 3 && more()) {
    }
    const auto* b = reinterpret_cast<const unsigned char*>(buffer_.data());
    if (end_ >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
      pos_ = 3;
    } else if (end_ >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
      failure_ = ScanFailure::Utf16;
    }
  }

  // Takes the next line that is not blank; false at the end of the file or on a failure.
  bool next(TextLine& line) {
    line.blanksBefore = 0;
    while (takeLine(line)) {
      if (line.shape.fields > 0) return true;
      if (line.blanksBefore++ == 0) line.firstBlank = line.number;
    }
    return false;
  }

  ScanFailure failure() const { return failure_; }
  int systemError() const { return systemError_; }
  // The line being taken when a failure stopped the scan.
  long long lineNumber() const { return line_; }

 private:
  // Moves the unread bytes to the front and reads more behind them. Returns false when
  // nothing came: at the end of the file, on a failure, or with the buffer full.
  bool more() {
    if (done_) return false;
    if (pos_ > 0) {
      std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
      end_ -= pos_;
      pos_ = 0;
    }
    if (end_ == buffer_.size()) return false;
    const std::size_t got = source_.read(buffer_.data() + end_, buffer_.size() - end_);
    if (got == 0) {
      done_ = true;
      if (source_.error() != 0) {
        failure_ = ScanFailure::ReadFailed;
        systemError_ = source_.error();
      }
      return false;
    }
    std::size_t kept = got;
    if (const void* mark = std::memchr(buffer_.data() + end_, kDosEndOfFile, got)) {
      kept = static_cast<std::size_t>(static_cast<const char*>(mark) - (buffer_.data() + end_));
      done_ = true;
    }
    end_ += kept;
    return kept > 0;
  }

  // The next line, cut into fields as it is found. One whose first field opens a quote runs
  // on to the closing quote, across line ends, as a quoted title does; it is one text field.
  bool takeLine(TextLine& line) {
    for (;;) {
      if (failure_ != ScanFailure::None) return false;
      const char* const b = buffer_.data() + pos_;
      const std::size_t n = end_ - pos_;
      if (n == 0 && done_) return false;
      std::size_t i = 0;
      while (i < n && isBlank(b[i])) ++i;
      const std::size_t quoteOpen = i;
      std::size_t quoteClose = i;
      bool complete = true;
      if (i < n && b[i] == '"') {
        const void* close = std::memchr(b + i + 1, '"', n - i - 1);
        quoteClose =
            close != nullptr ? static_cast<std::size_t>(static_cast<const char*>(close) - b) : n;
        complete = close != nullptr;
        i = complete ? quoteClose + 1 : n;
        while (i < n && !isLineEnd(b[i])) ++i;
        line.shape = LineShape{};
        line.shape.fields = 1;
        line.shape.numeric = false;
      } else {
        i = shapeOf(b, n, line.shape);
      }
      // A CR at the end of the bytes read so far may be the first half of a CR LF.
      if (i == n || (b[i] == '\r' && i + 1 == n)) complete = complete && done_;
      if (!complete) {
        if (done_) {
          failure_ = ScanFailure::OpenQuote;
          return false;
        }
        if (!more() && !done_ && failure_ == ScanFailure::None) {
          failure_ = ScanFailure::LineTooLong;
        }
        continue;
      }
      line.number = line_;
      line.text = std::string_view(b, i);
      for (std::size_t q = quoteOpen; q < quoteClose; ++q) {
        if (b[q] == '\n' || (b[q] == '\r' && b[q + 1] != '\n')) ++line_;
      }
      if (i < n) {
        i += b[i] == '\r' && i + 1 < n && b[i + 1] == '\n' ? 2 : 1;
        ++line_;
      }
      pos_ += i;
      return true;
    }
  }

  ByteSource& source_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool done_ = false;
  long long line_ = 1;  // the number of the line that starts at pos_
  ScanFailure failure_ = ScanFailure::None;
  int systemError_ = 0;
};

bool isFiberLine(const LineShape& shape, int fields) {
  return shape.numeric && shape.fields == fields;
}

// Whether the readers would take the whole line as one title: a title ends at a comma, or
// after a closing quote at the next comma. A line of several numbers is data, not a title.
bool readsAsTitle(std::string_view s, const LineShape& shape) {
  if (shape.numeric && shape.fields > 1) return false;
  std::size_t p = s.find_first_not_of(" \t");
  if (s[p] == '"') p = s.find('"', p + 1);
  return p != std::string_view::npos && s.find(',', p) == std::string_view::npos;
}

// The length of the title the readers take from a line that reads as one (a line end inside
// quotes, which they keep as one space, counts here as it stands).
std::size_t titleLength(std::string_view s) {
  const std::size_t p = s.find_first_not_of(" \t");
  if (s[p] != '"') return s.size() - p;
  return s.find('"', p + 1) - p - 1;
}

// A section's properties as the readers read them: two values that may be text, then a
// number. Text and empty values hold no number.
struct PropertyLine {
  std::array<std::optional<double>, kPropertyFields> values;
  bool endsWithComma = false;
};

// Whether the readers would take exactly this line for the three properties.
bool readsAsProperties(std::string_view s, PropertyLine& out) {
  std::size_t p = 0;
  const std::size_t n = s.size();
  const auto skipBlanks = [&] {
    while (p < n && isBlank(s[p])) ++p;
  };
  for (std::size_t v = 0; v < kPropertyFields; ++v) {
    const bool last = v + 1 == kPropertyFields;
    skipBlanks();
    // At the line end a value is empty and the next field comes from the next line; the
    // last property, a number, would come from the next line itself.
    if (p == n) return false;
    if (s[p] == ',') {
      ++p;
      out.values[v] = last ? std::optional<double>(0.0) : std::nullopt;
    } else if (last || beginsNumber(s[p])) {
      std::size_t q = p;
      while (q < n && !endsNumber(s[q])) ++q;
      double value = 0.0;
      bool outOfRange = false;
      if (!parseDecimal(s.substr(p, q - p), value, outOfRange)) return false;
      out.values[v] = value;
      p = q;
      skipBlanks();
      if (p == n) return last;
      if (s[p] == ',') ++p;
    } else {
      if (s[p] == '"') {
        p = s.find('"', p + 1);
        if (p == std::string_view::npos) return false;
      }
      p = s.find(',', p);
      if (p == std::string_view::npos) return false;
      ++p;
      out.values[v] = std::nullopt;
    }
  }
  // The last property took a comma: the line must hold nothing more.
  skipBlanks();
  out.endsWithComma = true;
  return p == n;
}

bool near(double ratio) {
  return ratio >= 0.5 && ratio <= 2.0;
}

// What a section's concrete fibers say about its first two properties.
class FiberGeometry {
 public:
  void add(double x, double y, double area) {
    const double half = std::sqrt(std::max(area, 0.0)) / 2.0;
    left_ = std::min(left_, x - half);
    right_ = std::max(right_, x + half);
    bottom_ = std::min(bottom_, y - half);
    top_ = std::max(top_, y + half);
    a_ += area;
    ax_ += area * x;
    ay_ += area * y;
    axx_ += area * x * x;
    ayy_ += area * y * y;
  }

  // Old version: H and B are about the height and width of the fibers, each taken as a
  // square of its own area.
  bool matchesSize(double h, double b) const {
    return near(h / (top_ - bottom_)) && near(b / (right_ - left_));
  }

  // New version: EIxx/EA and EIyy/EA are about Ixx/A and Iyy/A of the fibers, taken about
  // the origin or about the centroid. Against H, B and E0 these ratios miss by orders of
  // magnitude, so a loose match decides.
  bool matchesStiffness(double ea, double eixx, double eiyy) const {
    if (!(ea > 0.0) || !(a_ > 0.0)) return false;
    const double rx = eixx / ea;
    const double ry = eiyy / ea;
    const double ix = ayy_ / a_;
    const double iy = axx_ / a_;
    const double cx = ax_ / a_;
    const double cy = ay_ / a_;
    return (near(rx / ix) && near(ry / iy)) ||
           (near(rx / (ix - cy * cy)) && near(ry / (iy - cx * cx)));
  }

 private:
  static constexpr double kInf = std::numeric_limits<double>::infinity();
  double left_ = kInf;
  double right_ = -kInf;
  double bottom_ = kInf;
  double top_ = -kInf;
  double a_ = 0.0;
  double ax_ = 0.0;
  double ay_ = 0.0;
  double axx_ = 0.0;
  double ayy_ = 0.0;
};

// Walks the file section by section. The first section's lines set the pattern: its first
// line is a title or the property line, then come its runs of 8-number and 5-number lines.
// Every later section must repeat it exactly.
class Detector {
 public:
  explicit Detector(ByteSource& source) : lines_(source) {}
  DetectedLayout run();

 private:
  void take();
  bool readCount();
  bool readSection(int k);
  bool readFibers(int k, FiberGeometry& geometry);
  void judgeVersion(int k, const PropertyLine& props, const FiberGeometry& geometry);
  std::string versionNote(DetectedLayout& result) const;
  std::string describeLine() const;
  bool notOneFiberPerLine();
  bool unexpected(const std::string& expected);
  bool fewerFibers(int k, int found, int expected, int fields);
  bool moreFibers(int k);
  bool fail(std::string why);
  std::string emptyFieldAt(int skip) const;

  LineScanner lines_;
  TextLine line_;
  bool atEnd_ = false;
  // The line before line_ ends in a comma, which leaves an empty field for a title or a
  // property.
  bool leftEmptyField_ = false;
  long long leftEmptyFieldAt_ = 0;
  int sections_ = 0;
  bool titles_ = false;
  bool titlesAllEmpty_ = true;
  int concrete_ = 0;
  int steel_ = 0;
  int oldSections_ = 0;
  int newSections_ = 0;
  int firstUnclear_ = 0;
  std::string reason_;
};

void Detector::take() {
  atEnd_ = !lines_.next(line_);
}

bool Detector::fail(std::string why) {
  switch (lines_.failure()) {
    case ScanFailure::None:
      reason_ = std::move(why);
      break;
    case ScanFailure::ReadFailed:
      reason_ = "读取文件时出错：" + systemText(lines_.systemError());
      break;
    case ScanFailure::Utf16:
      reason_ = "文件是 UTF-16 编码，本程序读不了";
      break;
    case ScanFailure::LineTooLong:
      reason_ = "第 " + str(lines_.lineNumber()) + " 行超过 256 KiB，不像纤维数据";
      break;
    case ScanFailure::OpenQuote:
      reason_ = "第 " + str(lines_.lineNumber()) + " 行的引号没有配对";
      break;
  }
  return false;
}

std::string Detector::describeLine() const {
  if (line_.shape.numeric) return "有 " + str(line_.shape.fields) + " 个数";
  return "是文字";
}

// A run of numbers that no line of a section holds says that the fields are not laid out
// one fiber to a line; fails with that when line_ is one.
bool Detector::notOneFiberPerLine() {
  const int n = line_.shape.fields;
  if (!line_.shape.numeric || n == 1 || n == kPropertyFields || n == kConcreteFields ||
      n == kSteelFields) {
    return false;
  }
  return !fail("第 " + str(line_.number) + " 行有 " + str(n) + " 个数，不像每行一根纤维的排列");
}

// A line that does not fit where it stands.
bool Detector::unexpected(const std::string& expected) {
  if (notOneFiberPerLine()) return false;
  return fail("第 " + str(line_.number) + " 行应是" + expected + "，却" + describeLine());
}

// Where the readers find empty field number `skip` (from 0) before line_: a comma left at
// the end of the line before comes first, then each blank line.
std::string Detector::emptyFieldAt(int skip) const {
  if (leftEmptyField_) {
    if (skip == 0) return "第 " + str(leftEmptyFieldAt_) + " 行末尾的逗号";
    --skip;
  }
  return "第 " + str(line_.firstBlank + skip) + " 行的空行";
}

bool Detector::readCount() {
  if (atEnd_) return fail("文件是空的");
  if (!line_.shape.numeric || line_.shape.fields != 1) {
    return fail("第 " + str(line_.number) + " 行应是节数（一个数），却" + describeLine());
  }
  std::int16_t count = 0;
  if (!roundToInt16(line_.shape.value(0), count)) {
    return fail("第 " + str(line_.number) + " 行的节数超出 -32768 到 32767 的范围");
  }
  if (count < 0) return fail("第 " + str(line_.number) + " 行的节数是负数");
  sections_ = count;
  leftEmptyField_ = line_.shape.endsWithComma;
  leftEmptyFieldAt_ = line_.number;
  take();
  return true;
}

bool Detector::readSection(int k) {
  if (atEnd_) {
    return fail("节数写的是 " + str(sections_) + "，文件里只有 " + str(k - 1) + " 节");
  }
  const std::string section = "第 " + str(k) + " 节";
  int empties = line_.blanksBefore + (leftEmptyField_ ? 1 : 0);
  if (k == 1) titles_ = empties > 0 || readsAsTitle(line_.text, line_.shape);
  bool emptyTitle = false;
  if (titles_ && empties > 0) {
    emptyTitle = true;
  } else if (titles_) {
    if (isFiberLine(line_.shape, kConcreteFields) || isFiberLine(line_.shape, kSteelFields)) {
      return moreFibers(k - 1);
    }
    if (!readsAsTitle(line_.text, line_.shape)) return unexpected(section + "的说明行");
    if (titleLength(line_.text) > FieldReader::kMaxTextLength) {
      return fail("第 " + str(line_.number) + " 行的说明长于 64 KiB，本程序读不了");
    }
    titlesAllEmpty_ = false;
    take();
    if (atEnd_) return fail("文件在" + section + "的说明行之后就结束了");
    leftEmptyField_ = false;
    empties = line_.blanksBefore;
  }
  const int skip = emptyTitle ? 1 : 0;
  if (empties > skip) {
    return fail(emptyFieldAt(skip) + "使" + section + "的第一个性质读成空值，其后各字段错位");
  }
  PropertyLine props;
  if (!readsAsProperties(line_.text, props)) {
    if (emptyTitle && readsAsTitle(line_.text, line_.shape)) {
      return fail(emptyFieldAt(0) + "使" + section + "的说明读成空的，其后各字段错位");
    }
    if (k > 1 &&
        (isFiberLine(line_.shape, kConcreteFields) || isFiberLine(line_.shape, kSteelFields))) {
      return moreFibers(k - 1);
    }
    return unexpected(section + (k == 1 && !titles_ ? "的说明行或 3 个性质" : "的 3 个性质"));
  }
  leftEmptyField_ = props.endsWithComma;
  leftEmptyFieldAt_ = line_.number;
  take();
  FiberGeometry geometry;
  if (!readFibers(k, geometry)) return false;
  judgeVersion(k, props, geometry);
  return true;
}

// Section 1 takes as many fiber lines as stand in a row; the others must have as many.
bool Detector::readFibers(int k, FiberGeometry& geometry) {
  int concrete = 0;
  while (!atEnd_ && isFiberLine(line_.shape, kConcreteFields) && (k == 1 || concrete < concrete_)) {
    geometry.add(line_.shape.value(0), line_.shape.value(1), line_.shape.value(2));
    ++concrete;
    leftEmptyField_ = line_.shape.endsWithComma;
    leftEmptyFieldAt_ = line_.number;
    take();
  }
  if (k == 1) concrete_ = concrete;
  if (concrete < concrete_) return fewerFibers(k, concrete, concrete_, kConcreteFields);
  int steel = 0;
  while (!atEnd_ && isFiberLine(line_.shape, kSteelFields) && (k == 1 || steel < steel_)) {
    ++steel;
    leftEmptyField_ = line_.shape.endsWithComma;
    leftEmptyFieldAt_ = line_.number;
    take();
  }
  if (k == 1) steel_ = steel;
  if (steel < steel_) return fewerFibers(k, steel, steel_, kSteelFields);
  return true;
}

bool Detector::fewerFibers(int k, int found, int expected, int fields) {
  if (atEnd_) return fail("节数写的是 " + str(sections_) + "，文件在第 " + str(k) + " 节中途结束");
  if (notOneFiberPerLine()) return false;
  const std::string kind = " 行 " + str(fields) + " 个数";
  return fail("各节的纤维数量不同：第 1 节有 " + str(expected) + kind + "，第 " + str(k) +
              " 节只有 " + str(found) + kind + "（第 " + str(line_.number) + " 行" +
              describeLine() + "）");
}

bool Detector::moreFibers(int k) {
  return fail("各节的纤维数量不同：第 " + str(k) + " 节比第 1 节多，第 " + str(line_.number) +
              " 行还有 " + str(line_.shape.fields) + " 个数");
}

void Detector::judgeVersion(int k, const PropertyLine& props, const FiberGeometry& geometry) {
  const auto& [first, second, third] = props.values;
  const bool old = first && second && geometry.matchesSize(*first, *second);
  const bool isNew = first && second && geometry.matchesStiffness(*first, *second, *third);
  if (old != isNew) {
    ++(old ? oldSections_ : newSections_);
  } else if (firstUnclear_ == 0) {
    firstUnclear_ = k;
  }
}

std::string Detector::versionNote(DetectedLayout& result) const {
  if (!titles_) {
    result.version = FileVersion::Old;
    return "无说明行，是老版本";
  }
  if (concrete_ == 0) return "没有混凝土纤维可与性质比较，看不出版本";
  if (firstUnclear_ != 0) {
    return "第 " + str(firstUnclear_) + " 节的性质看不出是 H、B 还是刚度，看不出版本";
  }
  if (newSections_ == 0) {
    result.version = FileVersion::Old;
    return "各节前两个性质与混凝土纤维的高、宽相符，是老版本";
  }
  if (oldSections_ == 0) {
    result.version = FileVersion::New;
    return "各节的 EIxx/EA、EIyy/EA 与混凝土纤维的 Ixx/A、Iyy/A 相符，是新版本";
  }
  return "有的节像老版本，有的节像新版本，看不出版本";
}

DetectedLayout Detector::run() {
  DetectedLayout result;
  take();
  if (!readCount()) {
    result.reason = reason_;
    return result;
  }
  if (sections_ == 0) {
    result.reason = "节数为 0，文件里没有截面，看不出排列";
    return result;
  }
  for (int k = 1; k <= sections_; ++k) {
    if (!readSection(k)) {
      result.reason = reason_;
      return result;
    }
  }
  // Past the last section the readers only check the encoding, so whatever stands there
  // does not matter, except a failure to read it.
  if (lines_.failure() == ScanFailure::ReadFailed) {
    fail({});
    result.reason = reason_;
    return result;
  }

  result.hasTitleLine = titles_;
  std::string& r = result.reason;
  r = str(sections_) + " 节，每节 ";
  if (titles_) r += titlesAllEmpty_ ? "1 行空行（读作说明）、" : "1 行说明、";
  r += "1 行 3 个数、" + str(concrete_) + " 行 8 个数、" + str(steel_) + " 行 5 个数";
  r += "；" + versionNote(result);
  if (concrete_ <= kMaxFibers) result.concreteCount = concrete_;
  if (steel_ <= kMaxFibers) result.steelCount = steel_;
  const std::pair<int, const char*> counts[] = {{concrete_, "混凝土纤维"}, {steel_, "钢筋纤维"}};
  for (const auto& [count, kind] : counts) {
    if (count > kMaxFibers) {
      r += "；每节 " + str(count) + " 根" + kind + "，本程序最多读 " + str(kMaxFibers) + " 根";
    }
  }
  // Data after the last section may be sections the counts did not reach, so a layout that
  // leaves some over is not sure of them.
  const bool leftover = !atEnd_ || lines_.failure() != ScanFailure::None;
  result.confident = result.concreteCount.has_value() && result.steelCount.has_value() && !leftover;
  if (leftover) {
    const long long at = atEnd_ ? lines_.lineNumber() : line_.number;
    r += "；第 " + str(at) + " 行起是最后一节之后的数据，读取时略过";
  }
  return result;
}

}  // namespace

DetectedLayout detectLayout(ByteSource& source) {
  return Detector(source).run();
}

DetectedLayout detectLayoutOfFile(const std::string& path) {
  DetectedLayout nothing;
  // Opened as the reader opens it, so that a pipe is refused instead of waited on.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    nothing.reason = "无法打开文件：" + systemText(errno);
    return nothing;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    nothing.reason = S_ISDIR(info.st_mode) ? "选中的是文件夹，不是文件"
                                           : "不是普通文件（可能是设备或管道），无法读取";
    ::close(fd);
    return nothing;
  }
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(::fdopen(fd, "rb"), &std::fclose);
  if (!file) {
    nothing.reason = "无法打开文件：" + systemText(errno);
    ::close(fd);
    return nothing;
  }
  FileSource source(file.get());
  return detectLayout(source);
}

}  // namespace fiberview
