#include "data/field_reader.h"

#include <gtest/gtest.h>

#include <sstream>

namespace fiberview {
namespace {

// Runs the reads named in `script` over `input` and writes what each gave:
// n = number, i = 16-bit integer, t = text, v = value. A failure ends the run with
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
    }
    if (!ok) {
      static const char* const kNames[] = {"None",       "EndOfFile",  "EndInsideQuotes",
                                           "NotANumber", "OutOfRange", "TooLong",
                                           "ReadFailed", "Utf16"};
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

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class FieldReaderCase : public testing::TestWithParam<Case> {};

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
    {"CtrlZEndsTheFile",
     "5\n\x1A"
     "garbage",
     "nn",
     {"5", "!EndOfFile@2:1"}},

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
    {"Utf8BomIsSkipped",
     "\xEF\xBB\xBF"
     "3 4",
     "nn",
     {"3", "4"}},
    {"Utf16IsRefused",
     std::string("\xFF\xFE"
                 "3\0",
                 4),
     "n",
     {"!Utf16@1:1"}},
    {"NulBytesAreNotNumbers", std::string("1\0 2", 4), "n", {"!NotANumber@1:1"}},
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

// The encoding is judged on the bytes up to the last field read, which hold every text.
TEST(FieldReader, EncodingIsJudgedOnTheFieldsRead) {
  const std::string gbkTitle = "\xBE\xD8\xD0\xCE";  // "矩形" in GBK, not UTF-8
  struct {
    const char* name;
    std::string file;
    const char* reads;
    bool utf8;
  } const cases[] = {
      {"GbkTextRead", "1\n" + gbkTitle + "\n2", "ntn", false},
      {"Utf8TextRead", "1\n\xE7\x9F\xA9\xE5\xBD\xA2\n2", "ntn", true},
      // The buffer is refilled inside the blank space; the text after it still counts.
      {"GbkTextAfterARefill", "1" + std::string(70000, ' ') + "\n" + gbkTitle + "\n2", "ntn",
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MemorySource source(c.file);
    FieldReader reader(source);
    double d = 0;
    std::string t;
    for (const char* op = c.reads; *op != 0; ++op) {
      ASSERT_TRUE(*op == 'n' ? reader.readNumber(d) : reader.readText(t));
    }
    EXPECT_EQ(reader.isValidUtf8(), c.utf8);
  }
}

}  // namespace
}  // namespace fiberview
