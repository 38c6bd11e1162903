#include "data/field_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <random>
#include <sstream>

namespace fiberview {
namespace {

// Runs the reads named in `script` over `input` and writes what each gave:
// n = number, i = 16-bit integer, t = text, v = value, N = a hundred numbers in one batch;
// u writes what the reader judges the encoding so far. A failure ends the run with
// "!kind@line:column".
std::vector<std::string> run(std::string_view input, std::string_view script) {
  MemorySource source(input);
  FieldReader reader(source);
  std::vector<std::string> out;
  const auto num = [](double d) {
    std::ostringstream s;
    s.precision(17);
    s << d;
    return s.str();
  };
  for (const char op : script) {
    bool ok = false;
    if (op == 'n') {
      double d = -1;
      ok = reader.readNumber(d);
      if (ok) out.push_back(num(d));
    } else if (op == 'i') {
      std::int16_t i = -1;
      ok = reader.readInt16(i);
      if (ok) out.push_back(std::to_string(i));
    } else if (op == 't') {
      std::string t;
      ok = reader.readText(t);
      if (ok) out.push_back("'" + t + "'");
    } else if (op == 'v') {
      Value v;
      ok = reader.readValue(v);
      if (ok) {
        if (std::holds_alternative<std::monostate>(v)) out.push_back("empty");
        if (auto* d = std::get_if<double>(&v)) out.push_back(num(*d));
        if (auto* t = std::get_if<std::string>(&v)) out.push_back("'" + *t + "'");
      }
    } else if (op == 'N') {
      std::array<double, 100> batch{};
      ok = reader.readNumbers(batch.data(), batch.size()) == batch.size();
      if (ok) out.push_back("100 numbers");
    } else if (op == 'u') {
      ok = true;
      out.push_back(reader.isValidUtf8() ? "UTF-8" : "not UTF-8");
    }
    if (!ok) {
      static const char* const kNames[] = {"None",       "EndOfFile",  "EndInsideQuotes",
                                           "NotANumber", "OutOfRange", "TooLong",
                                           "File",       "Utf16"};
      const FieldError& e = reader.error();
      out.push_back("!" + std::string(kNames[static_cast<int>(e.kind)]) + "@" +
                    std::to_string(e.where.line) + ":" + std::to_string(e.where.column));
      break;
    }
  }
  return out;
}

struct Case {
  const char* name;
  std::string input;
  const char* script;
  std::vector<std::string> expected;
};

class FieldReaderCase : public testing::TestWithParam<Case> {};

const std::string kGbk = "\xBE\xD8\xD0\xCE";  // "矩形" in GBK, not UTF-8
const std::string kHundredNumbers = [] {
  std::string text;
  for (int k = 0; k < 100; ++k) text += "   -12.500000\r\n";
  return text;
}();

TEST_P(FieldReaderCase, ReadsFields) {
  const Case& c = GetParam();
  EXPECT_EQ(run(c.input, c.script), c.expected) << "input: " << testing::PrintToString(c.input);
}

const Case kCases[] = {
    // Delimiters and line ends
    {"SpacesAndCommasSeparateNumbers", "1 2,3\t4", "nnnn", {"1", "2", "3", "4"}},
    {"CrLineEnds", "1\r2\r3", "nnn", {"1", "2", "3"}},
    {"CrLfIsOneLineEnd", "t1\r\n\r\nx", "tt", {"'t1'", "''"}},
    {"BlankLinesBeforeNumberAreSkipped", "\n\n  \r\n 7", "n", {"7"}},
    {"CommaAfterBlanksBelongsToNumber", "1  ,2", "nn", {"1", "2"}},
    {"EmptyNumberBetweenCommasIsZero", "1,,3", "nnn", {"1", "0", "3"}},
    {"CtrlZEndsTheFile", "5\n\x1Agarbage", "nn", {"5", "!EndOfFile@2:1"}},

    // Number notation
    {"SignsFractionsExponents",
     "-12.5 +3 .5 5. 3.0E+05 2e-3",
     "nnnnnn",
     {"-12.5", "3", "0.5", "5", "300000", "0.002"}},
    {"FortranDExponent", "1.5D+03 2d2", "nn", {"1500", "200"}},
    {"TextInNumberFieldFails", "1 COL-B", "nn", {"1", "!NotANumber@1:3"}},
    {"TrailingJunkFails", "12abc", "n", {"!NotANumber@1:1"}},
    {"InfinityIsNotANumber", "inf", "n", {"!NotANumber@1:1"}},
    {"HexIsNotANumber", "0x10", "n", {"!NotANumber@1:1"}},
    {"LoneSignFails", "- 1", "n", {"!NotANumber@1:1"}},
    {"ExponentWithoutDigitsFails", "1e+", "n", {"!NotANumber@1:1"}},
    {"HugeNumberIsOutOfRange", "1e999", "n", {"!OutOfRange@1:1"}},
    {"LongHugeNumberIsOutOfRange", "1" + std::string(200, '0') + "D+200", "n", {"!OutOfRange@1:1"}},
    {"NumberBelowDoublesIsZero", "1e-400 -1D-999 0.000001e-320", "nnn", {"0", "-0", "0"}},
    {"OverlongNumberFails", std::string(300, '1'), "n", {"!TooLong@1:1"}},

    // 16-bit integers
    {"IntegerRoundsHalfToEven", "2.5 3.5 -2.5", "iii", {"2", "4", "-2"}},
    {"IntegerBounds", "32767 -32768", "ii", {"32767", "-32768"}},
    {"IntegerAboveRangeFails", "\n 40000", "i", {"!OutOfRange@2:2"}},

    // Text
    {"TitleEndsAtComma", "COL,A\n", "tt", {"'COL'", "'A'"}},
    {"TitleKeepsInnerSpaces", "  Column KZ 1\n2", "tn", {"'Column KZ 1'", "2"}},
    {"QuotedTitleKeepsComma", "\"COL,A\" rest, 5\n", "tn", {"'COL,A'", "5"}},
    {"QuotedTitleRunsOverLineEndAsSpace", "\"A\r\nB\" x\n7", "tn", {"'A B'", "7"}},
    {"QuotedTitleSkipsRestOfLine", "\"A\" junk\n7", "tn", {"'A'", "7"}},
    {"BlankLineIsEmptyText", "\nB\n", "tt", {"''", "'B'"}},
    {"TextRunsToEndOfFile", "last title", "t", {"'last title'"}},
    {"EndInsideQuotesFails", "x\n \"open", "tt", {"'x'", "!EndInsideQuotes@2:2"}},

    // Values
    {"ValueHoldsNumber", "2.0E+05 x", "v", {"200000"}},
    {"ValueHoldsText", "A 1,2", "vv", {"'A 1'", "2"}},
    {"ValueEmptyAtComma", ",5", "vv", {"empty", "5"}},
    {"ValueEmptyAtLineEnd", "\n5", "vv", {"empty", "5"}},
    {"ValueStartingLikeNumberMustBeOne", "-x", "v", {"!NotANumber@1:1"}},

    // The end of the file
    {"EndBetweenFieldsFails", "1 2\n\n", "nnn", {"1", "2", "!EndOfFile@3:1"}},
    {"EndBeforeTextFails", "1\n   ", "nt", {"1", "!EndOfFile@2:4"}},
    {"EndBeforeValueFails", "", "v", {"!EndOfFile@1:1"}},

    // Byte order marks
    {"Utf8BomIsSkipped", std::string("\xEF\xBB\xBF") + "3 4", "nn", {"3", "4"}},
    {"Utf16IsRefused", std::string("\xFF\xFE") + "3" + '\0', "n", {"!Utf16@1:1"}},
    {"NulBytesAreNotNumbers", std::string("1\0 2", 4), "n", {"!NotANumber@1:1"}},

    // The encoding is judged on the bytes up to the last field read, which hold every text.
    {"GbkTextRead", "1\n" + kGbk + "\n2", "ntnu", {"1", "'" + kGbk + "'", "2", "not UTF-8"}},
    {"Utf8TextRead", "1\n矩形\n2", "ntnu", {"1", "'矩形'", "2", "UTF-8"}},
    // The buffer is refilled inside the blank space; the text after it still counts.
    {"GbkTextAfterARefill",
     "1" + std::string(70000, ' ') + "\n" + kGbk + "\n2",
     "ntnu",
     {"1", "'" + kGbk + "'", "2", "not UTF-8"}},
    // A batch is passed over as ASCII by the check.
    {"GbkTextBeforeABatch",
     "1\n" + kGbk + "\n" + kHundredNumbers,
     "ntNu",
     {"1", "'" + kGbk + "'", "100 numbers", "not UTF-8"}},
    {"GbkTextAfterABatch", kHundredNumbers + kGbk, "Nu", {"100 numbers", "UTF-8"}},
};

INSTANTIATE_TEST_SUITE_P(All, FieldReaderCase, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// A number or a line end cut by the reader's internal buffer must read as if whole.
TEST(FieldReader, FieldsAcrossBufferBoundariesReadWhole) {
  for (const std::size_t pad : {65530u, 65531u, 65532u, 65533u, 65534u, 65535u, 65536u}) {
    SCOPED_TRACE(pad);
    std::string input(pad, ' ');
    input += "12345.678\r\n\"quoted, title\"\r\n-9";
    EXPECT_EQ(run(input, "ntn"), (std::vector<std::string>{"12345.678", "'quoted, title'", "-9"}));
  }
}

// How reading numbers to the first failure went: each value's bits, then where and why it
// stopped, and what the reader made of the encoding.
struct NumberTrace {
  std::vector<std::uint64_t> bits;
  ReadFailure failure = ReadFailure::None;
  long long line = 0;
  long long column = 0;
  bool utf8 = false;
  bool operator==(const NumberTrace&) const = default;
};

void PrintTo(const NumberTrace& t, std::ostream* os) {
  *os << t.bits.size() << " numbers, then failure " << static_cast<int>(t.failure) << " at "
      << t.line << ":" << t.column << (t.utf8 ? ", UTF-8" : "");
}

// Reads with readNumber one at a time when `batch` is 0, else with readNumbers.
NumberTrace readAllNumbers(ByteSource& source, std::size_t batch) {
  FieldReader reader(source);
  NumberTrace t;
  std::vector<double> values(std::max<std::size_t>(batch, 1));
  for (;;) {
    const std::size_t got = batch == 0 ? (reader.readNumber(values[0]) ? 1 : 0)
                                       : reader.readNumbers(values.data(), batch);
    for (std::size_t k = 0; k < got; ++k) t.bits.push_back(std::bit_cast<std::uint64_t>(values[k]));
    if (got < values.size()) break;
  }
  t.failure = reader.error().kind;
  t.line = reader.error().where.line;
  t.column = reader.error().where.column;
  t.utf8 = reader.isValidUtf8();
  return t;
}

// Numbers of every length the tight pass takes apart, between every kind of delimiter, with
// something that is no plain number now and then. The same bytes for the same draw.
std::string numberSoup(unsigned draw, std::size_t bytes) {
  std::mt19937 rng(draw);
  const auto pick = [&rng](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  const char* const between[] = {" ",   "  ",   "   ", "    ",    "       ", "\t",    ",",
                                 " , ", "\r\n", "\n",  " \r\n  ", "\r",      ",\r\n", "\t \t"};
  const char* const odd[] = {"1e5",
                             "-2.5D-3",
                             ".5",
                             "5.",
                             "+7",
                             "-0",
                             "0.000",
                             "123456789012345678",
                             "1234567.12345678",
                             "99999999.9999999",
                             "-.25"};
  std::string text;
  while (text.size() < bytes) {
    if (pick(12) == 0) {
      text += odd[pick(std::size(odd))];
    } else {
      if (pick(2) == 0) text += '-';
      for (std::size_t d = 1 + pick(9); d > 0; --d) text += static_cast<char>('0' + pick(10));
      if (pick(4) != 0) {
        text += '.';
        for (std::size_t d = pick(10); d > 0; --d) text += static_cast<char>('0' + pick(10));
      }
    }
    text += between[pick(std::size(between))];
  }
  return text;
}

// The same bytes, whole or with the size hidden so that nothing is read ahead.
class SizeHidingSource final : public ByteSource {
 public:
  explicit SizeHidingSource(std::string_view bytes) : source_(bytes) {}
  std::size_t read(char* dst, std::size_t n) override { return source_.read(dst, n); }

 private:
  MemorySource source_;
};

// The tight pass must read exactly what the careful path reads, number by number, and stop
// where and why it stops, whatever ends the run. A source large enough is read ahead in
// chunks: numbers, line ends and long runs of blanks cut by a chunk's end, a byte order mark,
// an end mark and a failure near the end read as they do without.
TEST(FieldReader, BatchesAndReadingAheadReadAsSingleNumbersDo) {
  const std::string soup = numberSoup(2, 1100000);
  const std::string texts[] = {
      soup, soup + "  12abc 5", soup + " 1,,2 3", soup + "\n\"title\" 4", soup + " 1-2",
      soup + " " + std::string(300, '9'), "\xEF\xBB\xBF" + soup,
      soup + std::string(600000, ' ') + "\r\n" + soup, soup + "\x1A" + soup,
      soup + " 1\xBE\xD8\xD0\xCE 2",  // GBK
      // Its column counts the bytes of a line that several chunks hold.
      soup + "\n" + std::string(600000, ' ') + "7 x"};
  for (const std::string& text : texts) {
    SCOPED_TRACE(testing::PrintToString(text.substr(text.size() - 20)));
    SizeHidingSource single(text);
    const NumberTrace expected = readAllNumbers(single, 0);
    ASSERT_GT(expected.bits.size(), 10000u);
    for (const std::size_t batch : {1u, 5u, 8u, 1000u}) {
      SCOPED_TRACE(batch);
      SizeHidingSource plain(text);
      EXPECT_EQ(readAllNumbers(plain, batch), expected);
    }
    MemorySource ahead(text);
    ASSERT_GE(ahead.size(), 1024u * 1024u);
    EXPECT_EQ(readAllNumbers(ahead, 1000), expected);
  }
}

// A reader that stops early stops the thread reading ahead with it.
TEST(FieldReader, ReaderLeftEarlyStopsReadingAhead) {
  const std::string text = numberSoup(3, 4000000);
  for (int k = 0; k < 20; ++k) {
    MemorySource source(text);
    FieldReader reader(source);
    double value = 0;
    ASSERT_TRUE(reader.readNumber(value));
  }
}

// ASCII is skipped in long strides: a character that is not ASCII, well-formed or not, must
// be judged wherever it falls in or after them.
TEST(Utf8, JudgedWhereverACharacterFalls) {
  const std::string han = "\xE7\x9F\xA9";  // 矩
  for (std::size_t at = 0; at < 80; ++at) {
    SCOPED_TRACE(at);
    const std::string before(at, 'a');
    const std::string after(80 - at, 'b');
    EXPECT_TRUE(isUtf8(before + han + after));
    EXPECT_FALSE(isUtf8(before + "\xBE\xD8" + after));  // GBK
    EXPECT_FALSE(isUtf8(before + han.substr(0, 2) + after));
    EXPECT_FALSE(isUtf8(before + han.substr(0, 2)));
  }
}

}  // namespace
}  // namespace fiberview
