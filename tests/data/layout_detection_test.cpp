#include "data/layout_detection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "bench/fiber_files.h"
#include "data/section_file.h"

namespace fiberview {
namespace {

enum class Props { Old, New, Neither };

// A 400 x 600 section: `concrete` fibers on a grid and `steel` bars, one to a line, fields
// between single spaces, LF line ends; its properties H, B, E0 or EA, EIxx, EIyy or neither.
std::string section(const std::string& title, Props props, int concrete, int steel) {
  constexpr double b = 400.0, h = 600.0, e = 30000.0;
  const int columns = std::max(1, static_cast<int>(std::ceil(std::sqrt(concrete))));
  const int rows = std::max(1, (concrete + columns - 1) / columns);
  const double w = b / columns, d = h / rows;
  char line[160];
  std::string fibers;
  double area = 0.0, ixx = 0.0, iyy = 0.0;
  for (int j = 0; j < concrete; ++j) {
    const double x = -b / 2 + (j % columns + 0.5) * w, y = -h / 2 + (j / columns + 0.5) * d;
    area += w * d, ixx += w * d * y * y, iyy += w * d * x * x;
    std::snprintf(line, sizeof line, "%g %g %g 1 -30 0.002 0.0035 0\n", x, y, w * d);
    fibers += line;
  }
  for (int j = 0; j < steel; ++j)
    fibers += (j % 2 ? "150 " : "-150 ") + std::to_string(j) + " 490.9 2 400\n";
  if (props == Props::Old) std::snprintf(line, sizeof line, "%g %g %g\n", h, b, e);
  if (props == Props::New)
    std::snprintf(line, sizeof line, "%.4E %.4E %.4E\n", e * area, e * ixx, e * iyy);
  if (props == Props::Neither) std::snprintf(line, sizeof line, "1 2 3\n");
  return (title.empty() ? "" : title + "\n") + line + fibers;
}

std::string replaced(std::string text, char from, const std::string& to) {
  std::string out;
  for (char c : text) out += c == from ? to : std::string(1, c);
  return out;
}

std::string repeated(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

const std::string kOld42 = section("", Props::Old, 4, 2);  // 7 lines
const std::string kNoTitles = "2\n" + kOld42 + kOld42;
const std::string kNoTitlesReason =
    "2 节，每节 1 行 3 个数、4 行 8 个数、2 行 5 个数；无说明行，是老版本";
constexpr auto kOld = FileVersion::Old;
constexpr auto kNew = FileVersion::New;
constexpr auto kNone = std::nullopt;

struct Case {
  const char* name;
  std::string bytes;
  std::optional<bool> titles;
  std::optional<int> concrete;
  std::optional<int> steel;
  std::optional<FileVersion> version;
  bool confident;
  std::string reasonPart;
};

const Case kCases[] = {
    {"LfLineEnds", kNoTitles, false, 4, 2, kOld, true, kNoTitlesReason},
    {"CrLfLineEnds", replaced(kNoTitles, '\n', "\r\n"), false, 4, 2, kOld, true, kNoTitlesReason},
    {"CrOnlyLineEnds", replaced(kNoTitles, '\n', "\r"), false, 4, 2, kOld, true, kNoTitlesReason},
    {"NoLineEndAfterLastLine", kNoTitles.substr(0, kNoTitles.size() - 1), false, 4, 2, kOld, true,
     kNoTitlesReason},
    {"CommasBetweenFields", replaced(kNoTitles, ' ', ","), false, 4, 2, kOld, true,
     kNoTitlesReason},
    {"EmptyFieldBetweenCommas", "1\n600,400,30000\n0,0,314,,400\n", false, 0, 1, kOld, true,
     "1 行 5 个数"},
    {"ByteOrderMarkSkippedAndDosMarkEndsFile",
     "\xEF\xBB\xBF"
     "1\n600 400 30000\x1A 7\n",
     false, 0, 0, kOld, true,
     "1 节，每节 1 行 3 个数、0 行 8 个数、0 行 5 个数；无说明行，是老版本"},
    {"BlankLineBeforeEverySectionReadsAsEmptyTitle", "2\n\n" + kOld42 + "\n" + kOld42, true, 4, 2,
     kOld, true, "每节 1 行空行（读作说明）"},
    {"BlankLineBetweenSectionsShiftsFields", "2\n" + kOld42 + "\n" + kOld42, kNone, kNone, kNone,
     kNone, false, "第 9 行的空行使第 2 节的第一个性质读成空值"},
    {"BlankLineBetweenTitledSections", "2\nKZ1\n" + kOld42 + "\nKZ2\n" + kOld42, kNone, kNone,
     kNone, kNone, false, "第 10 行的空行使第 2 节的说明读成空的"},
    {"CommaAfterSectionLeavesEmptyTitle", "2\nA\n1 2 3,\nB\n1 2 3\n", kNone, kNone, kNone, kNone,
     false, "第 3 行末尾的逗号"},
    {"TitleLikeNumberAndQuotedTitleWithComma", "2\n400\n" + kOld42 + "\"KZ1, corner\"\n" + kOld42,
     true, 4, 2, kOld, true,
     "2 节，每节 1 行说明、1 行 3 个数、4 行 8 个数、2 行 5 个数；各节前两个性质"},
    {"QuotedTitleOverLineEnd", "1\n\"KZ1\ncorner\"\n" + kOld42 + "x", true, 4, 2, kOld, false,
     "第 11 行起是最后一节之后的数据"},
    {"NoSections", "0\n", kNone, kNone, kNone, kNone, false, "节数为 0"},
    {"OneSectionNewByStiffness", "1\n" + section("KZ1", Props::New, 4, 2), true, 4, 2, kNew, true,
     "1 节，每节 1 行说明、1 行 3 个数、4 行 8 个数、2 行 5 个数；各节的 EIxx/EA"},
    {"NoConcrete", "2\n" + section("", Props::Old, 0, 3) + section("", Props::Old, 0, 3), false, 0,
     3, kOld, true, "0 行 8 个数、3 行 5 个数"},
    {"NoSteel", "2\n" + section("A", Props::New, 9, 0) + section("B", Props::New, 9, 0), true, 9, 0,
     kNew, true, "9 行 8 个数、0 行 5 个数"},
    {"HundredAndHundred", "1\n" + section("KZ1", Props::Old, 100, 100), true, 100, 100, kOld, true,
     "100 行 8 个数、100 行 5 个数"},
    {"FineMeshColumn", "1\n" + section("KZ1", Props::Old, 144, 12), true, 144, 12, kOld, true,
     "144 行 8 个数、12 行 5 个数"},
    {"ManyTitledSections", "1001\n" + repeated("A\n1 2 3\n", 1001), true, 0, 0, kNone, true,
     "1001 节"},
    {"TrailingData", "1\n" + kOld42 + kOld42, false, 4, 2, kOld, false,
     "第 9 行起是最后一节之后的数据"},
    {"WrappedFields", "1\n600 400 30000 0 0 1\n2 3 4 5 6\n", kNone, kNone, kNone, kNone, false,
     "第 2 行有 6 个数，不像每行一根纤维的排列"},
    {"CountsDiffer", "2\n" + kOld42 + section("", Props::Old, 3, 2), kNone, kNone, kNone, kNone,
     false, "各节的纤维数量不同：第 1 节有 4 行 8 个数，第 2 节只有 3 行 8 个数"},
    {"LaterSectionHasMore", "3\n" + kOld42 + section("", Props::Old, 4, 3) + kOld42, kNone, kNone,
     kNone, kNone, false, "第 2 节比第 1 节多，第 16 行还有 5 个数"},
    {"FewerSectionsThanCount", "3\n" + kOld42 + kOld42, kNone, kNone, kNone, kNone, false,
     "节数写的是 3，文件里只有 2 节"},
    {"Utf16",
     std::string("\xFF\xFE"
                 "1\0\n\0",
                 6),
     kNone, kNone, kNone, kNone, false, "UTF-16"},
    {"VersionUndecidedWithoutEvidence", "1\n" + section("KZ1", Props::Neither, 4, 2), true, 4, 2,
     kNone, true, "第 1 节的性质看不出是 H、B 还是刚度"},
    {"VersionUndecidedWhenSectionsDisagree",
     "2\n" + section("A", Props::Old, 4, 2) + section("B", Props::New, 4, 2), true, 4, 2, kNone,
     true, "有的节像老版本，有的节像新版本"},
};

// Hands out a few bytes at a time, so that lines, CR LF pairs and the byte order mark are
// split between reads.
class TrickleSource final : public ByteSource {
 public:
  explicit TrickleSource(std::string_view bytes) : bytes_(bytes) {}
  std::size_t read(char* dst, std::size_t n) override {
    const std::size_t count = std::min({n, std::size_t{3}, bytes_.size()});
    std::memcpy(dst, bytes_.data(), count);
    bytes_.remove_prefix(count);
    return count;
  }

 private:
  std::string_view bytes_;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class LayoutDetectionCase : public testing::TestWithParam<Case> {};

TEST_P(LayoutDetectionCase, ShowsWhatTheLinesShow) {
  const Case& c = GetParam();
  SCOPED_TRACE(testing::PrintToString(c.bytes));
  MemorySource source(c.bytes);
  const DetectedLayout d = detectLayout(source);
  EXPECT_EQ(d.hasTitleLine, c.titles);
  EXPECT_EQ(d.concreteCount, c.concrete);
  EXPECT_EQ(d.steelCount, c.steel);
  EXPECT_EQ(d.version, c.version);
  EXPECT_EQ(d.confident, c.confident);
  EXPECT_NE(d.reason.find(c.reasonPart), std::string::npos) << d.reason;
  TrickleSource trickle(c.bytes);
  EXPECT_EQ(detectLayout(trickle).reason, d.reason);
  if (d.confident) {
    // What the lines show must be what the reader reads.
    ReadOptions o;
    o.version = d.version.value_or(FileVersion::Old);
    o.hasTitleLine = *d.hasTitleLine;
    o.concreteCount = static_cast<std::int16_t>(*d.concreteCount);
    o.steelCount = *d.steelCount;
    MemorySource again(c.bytes);
    EXPECT_TRUE(std::holds_alternative<SectionStore>(readSections(again, o)));
  }
}

INSTANTIATE_TEST_SUITE_P(All, LayoutDetectionCase, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(LayoutDetection, FilesAreDetectedAsWritten) {
  struct Written {
    std::string path;
    bool titles;
    FileVersion version;
    int concrete;
    int steel;
  };
  const std::string samples = std::string(FIBERVIEW_SAMPLES) + "/";
  std::vector<Written> files = {
      {samples + "old_no_titles.txt", false, kOld, 36, 4},
      {samples + "old_titles.txt", true, kOld, 36, 4},
      {samples + "new_titles.txt", true, kNew, 36, 4},
      {samples + "new_titles_gbk.txt", true, kNew, 36, 4},
  };
  const bench::TemporaryFile typical("typical"), fullest("fullest"), bare("bare");
  ASSERT_NE(bench::writeOldFormatFile(typical.path(), 12, 36, 4), 0u);
  ASSERT_NE(bench::writeOldFormatFile(fullest.path(), 3, 100, 100), 0u);
  ASSERT_NE(bench::writeOldFormatFile(bare.path(), 2, 0, 0), 0u);
  files.push_back({typical.path(), false, kOld, 36, 4});
  files.push_back({fullest.path(), false, kOld, 100, 100});
  files.push_back({bare.path(), false, kOld, 0, 0});
  for (const Written& w : files) {
    SCOPED_TRACE(w.path);
    const DetectedLayout d = detectLayoutOfFile(w.path);
    EXPECT_EQ(d.hasTitleLine, w.titles);
    EXPECT_EQ(d.version, w.version);
    EXPECT_EQ(d.concreteCount, w.concrete);
    EXPECT_EQ(d.steelCount, w.steel);
    EXPECT_TRUE(d.confident) << d.reason;
  }
  const DetectedLayout missing = detectLayoutOfFile(samples + "missing.txt");
  EXPECT_FALSE(missing.hasTitleLine || missing.concreteCount || missing.version ||
               missing.confident);
  EXPECT_EQ(missing.reason, "无法打开文件：文件不存在");
}

}  // namespace
}  // namespace fiberview
