#include "data/section_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "plot/number_format.h"

namespace fiberview {
namespace {

ReadOptions options(FileVersion version, int concrete, double steel, bool titles = false) {
  ReadOptions o;
  o.version = version;
  o.concreteCount = static_cast<std::int16_t>(concrete);
  o.steelCount = steel;
  o.hasTitleLine = titles;
  return o;
}

ReadResult readText(std::string_view text, const ReadOptions& o) {
  MemorySource source(text);
  return readSections(source, o);
}

const SectionStore& store(const ReadResult& r) {
  if (const auto* e = std::get_if<ReadError>(&r)) {
    ADD_FAILURE() << "read failed at " << e->where.line << ":" << e->where.column << " found '"
                  << e->found << "'";
    static const SectionStore empty;
    return empty;
  }
  return std::get<SectionStore>(r);
}

ReadError error(const ReadResult& r) {
  if (const auto* e = std::get_if<ReadError>(&r)) return *e;
  ADD_FAILURE() << "read succeeded where it should fail";
  return {};
}

double number(const Value& v) {
  const auto* d = std::get_if<double>(&v);
  return d != nullptr ? *d : -999.0;
}

const char kOneSection[] =
    "1\nCOL-A\n2.0E+05 1.5E+09 1.2E+09\n-50 0 900 1 0 0 0 0\n50 0 900 1 0 0 0 0\n0 0 314 2 0\n";

TEST(NewFormat, ReadsTitlePropertiesAndFibers) {
  for (const std::string& text :
       {std::string(kOneSection),
        std::string("1,COL-A\n2.0E+05,1.5E+09,1.2E+09,-50,0,900,1,0,0,0,0,50,0,900,1,0,0,0,0,0,0,"
                    "314,2,0")}) {
    SCOPED_TRACE(text);
    const ReadResult r = readText(text, options(FileVersion::New, 2, 1));
    const SectionStore& s = store(r);
    ASSERT_EQ(s.sections.size(), 1u);
    const Section& sec = s.sections[0];
    EXPECT_EQ(sec.title, "COL-A");
    EXPECT_EQ(sectionListText(1, sec, s.titled), " 1 COL-A");
    EXPECT_EQ(number(sec.properties[0]), 200000.0);
    EXPECT_EQ(number(sec.properties[2]), 1.2e9);
    ASSERT_EQ(sec.concrete.size(), 2u);
    EXPECT_EQ(sec.concrete[0][0], -50.0);
    EXPECT_EQ(sec.concrete[0][2], 900.0);
    EXPECT_EQ(sec.concrete[0][3], 1.0);
    ASSERT_EQ(sec.steel.size(), 1u);
    EXPECT_EQ(sec.steel[0][2], 314.0);
    EXPECT_EQ(sec.steel[0][3], 2.0);
    EXPECT_EQ(s.version, FileVersion::New);
    EXPECT_TRUE(s.titled);
  }
}

TEST(NewFormat, TitleCutAtCommaShiftsIntoFirstProperty) {
  const ReadResult r = readText("1\nCOL,A\n1.5E+09 1.2E+09\n", options(FileVersion::New, 0, 0));
  const Section& sec = store(r).sections.at(0);
  EXPECT_EQ(sec.title, "COL");
  EXPECT_EQ(std::get<std::string>(sec.properties[0]), "A");
  EXPECT_EQ(number(sec.properties[1]), 1.5e9);
}

TEST(NewFormat, QuotedTitleKeepsItsComma) {
  const ReadResult r = readText("1\n\"COL,A\"\n1 2 3\n", options(FileVersion::New, 0, 0));
  EXPECT_EQ(store(r).sections.at(0).title, "COL,A");
}

TEST(Readers, SteelCountIsARealBound) {
  const std::string text = "1\nT\n1 2 3\n1 1 1 0 0\n2 2 2 0 0\n3 3 3 0 0\n4 4 4 0 0\n5 5 5 0 0\n";
  struct {
    double steel;
    std::size_t read;
  } const cases[] = {{4.5, 4}, {4.0, 4}, {0.0, 0}, {-3.0, 0}, {0.9, 0}, {5.0, 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.steel);
    EXPECT_EQ(
        store(readText(text, options(FileVersion::New, 0, c.steel))).sections.at(0).steel.size(),
        c.read);
  }
}

TEST(OldFormat, WithoutTitlesListsNumbersAndLeavesTitlesEmpty) {
  const ReadResult r = readText("2\n400, 300, 30000\n0 0 1 0 0\n500 200 30000\n1 1 1 0 0\n",
                                options(FileVersion::Old, 0, 1));
  const SectionStore& s = store(r);
  ASSERT_EQ(s.sections.size(), 2u);
  EXPECT_FALSE(s.titled);
  EXPECT_EQ(sectionListText(1, s.sections[0], s.titled), " 1");
  EXPECT_EQ(sectionListText(2, s.sections[1], s.titled), " 2");
  EXPECT_EQ(s.sections[0].title, "");
  EXPECT_EQ(number(s.sections[0].properties[0]), 400.0);
  EXPECT_EQ(number(s.sections[0].properties[1]), 300.0);
  EXPECT_EQ(number(s.sections[0].properties[2]), 30000.0);
}

TEST(OldFormat, TitleOptionOnUntitledFileShiftsEveryField) {
  // The first property becomes the title, so E0 is read from the first fiber's x.
  const ReadResult r =
      readText("1\n400 300 30000\n7 8 9 0 0\n", options(FileVersion::Old, 0, 0, true));
  const Section& sec = store(r).sections.at(0);
  EXPECT_EQ(sec.title, "400 300 30000");
  EXPECT_EQ(number(sec.properties[0]), 7.0);
  EXPECT_EQ(number(sec.properties[2]), 9.0);
}

TEST(Readers, ZeroSectionsIsAnEmptyFile) {
  EXPECT_TRUE(store(readText("0\n", options(FileVersion::New, 36, 4))).sections.empty());
}

TEST(Readers, SampleFilesRead) {
  struct {
    const char* file;
    FileVersion version;
    bool titles;
    const char* firstEntry;
  } const cases[] = {
      {"old_no_titles.txt", FileVersion::Old, false, " 1"},
      {"old_titles.txt", FileVersion::Old, true, " 1 KZ1 RECT 400x600"},
      {"new_titles.txt", FileVersion::New, false, " 1 矩形柱 KZ1 400×600"},
      {"new_titles_gbk.txt", FileVersion::New, false, " 1 矩形柱 KZ1 400×600"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const ReadResult r = readSectionFile(std::string(FIBERVIEW_SAMPLES) + "/" + c.file,
                                         options(c.version, 36, 4, c.titles));
    const SectionStore& s = store(r);
    ASSERT_EQ(s.sections.size(), 5u);
    EXPECT_EQ(sectionListText(1, s.sections[0], s.titled), c.firstEntry);
    EXPECT_EQ(s.sections[4].concrete.size(), 36u);
    EXPECT_EQ(s.sections[4].steel.size(), 4u);
  }
}

TEST(Readers, QuotedSampleTitleKeepsComma) {
  const ReadResult r = readSectionFile(std::string(FIBERVIEW_SAMPLES) + "/old_titles.txt",
                                       options(FileVersion::Old, 36, 4, true));
  EXPECT_EQ(store(r).sections.at(4).title, "KZ3 CORNER 300x300, origin at corner");
}

TEST(Readers, EncodingOfTitles) {
  struct {
    const char* name;
    std::string file;
    std::string title;
  } const cases[] = {
      {"utf8", "1\n\xE6\x9F\xB1\n1 2 3\n", "柱"},
      {"utf8 with BOM",
       "\xEF\xBB\xBF"
       "1\n\xE6\x9F\xB1\n1 2 3\n",
       "柱"},
      {"gbk", "1\n\xD6\xF9\n1 2 3\n", "柱"},
      // C7 BD is 墙 in GBK and ǽ in UTF-8; only Chinese is plausible in these titles.
      {"gbk that is also well-formed utf8",
       "2\n\xC7\xBD"
       "A\n1 2 3\n\xC7\xBD"
       "B\n1 2 3\n",
       "墙A"},
      {"utf8 letters of Latin-1",
       "1\nB\xC3\xA9ton 400\xC3\x97"
       "600\n1 2 3\n",
       "Béton 400×600"},
      {"utf8 beyond Latin-1 that is no GB2312", "1\nK\xC5\x91\n1 2 3\n", "Kő"},
      {"utf8 Chinese beside GBK-looking letters", "1\n\xE5\xA2\x99 \xC7\xBD\n1 2 3\n", "墙 ǽ"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ReadResult r = readText(c.file, options(FileVersion::New, 0, 0));
    EXPECT_EQ(store(r).sections.at(0).title, c.title);
  }
  const ReadResult r = readText("1\n\xD6\xF9\n\xB0\xA1,2,3\n", options(FileVersion::New, 0, 0));
  EXPECT_EQ(std::get<std::string>(store(r).sections.at(0).properties[0]), "啊");
}

struct FailureCase {
  const char* name;
  std::string file;
  ReadOptions options;
  ReadFailure kind;
  int line;
  int column;
  FieldRole role;
  int section;
  int fiber;
  int value;
  std::string found;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << c.name;
}

class ReadFailureCase : public testing::TestWithParam<FailureCase> {};

TEST_P(ReadFailureCase, SaysWhatAndWhere) {
  const FailureCase& c = GetParam();
  const ReadError e = error(readText(c.file, c.options));
  EXPECT_EQ(e.kind, c.kind);
  EXPECT_EQ(e.where.line, c.line);
  EXPECT_EQ(e.where.column, c.column);
  EXPECT_EQ(e.role, c.role);
  EXPECT_EQ(e.section, c.section);
  EXPECT_EQ(e.fiber, c.fiber);
  EXPECT_EQ(e.value, c.value);
  EXPECT_EQ(e.found, c.found);
}

// Two sections of 2 concrete and 1 steel fiber each.
const std::string kTwoSections =
    "2\nA\n1 2 3\n1 1 1 0 0 0 0 0\n2 2 2 0 0 0 0 0\n9 9 9 0 0\n"
    "B\n1 2 3\n1 1 1 0 0 0 0 0\n2 2 2 0 0 0 0 0\n9 9 9 0 0\n";

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}
const std::string kLongChineseToken = "1\nA\n1 2 " + repeat("矩", 20) + "\n";
const std::string kTwentyChinese = repeat("矩", 20);
// 墙 in GBK is also the UTF-8 of "ǽ"; only the file's other texts tell which it is.
const std::string kGbkWall = "\xC7\xBD";
const std::string kLongGbkToken = "1\n\xD6\xF9\n1 2 " + repeat(kGbkWall, 50) + "\n";

const FailureCase kFailures[] = {
    // Too few concrete fibers typed: the steel fiber eats the second concrete fiber, the
    // rest of its line becomes the next title and a concrete value lands on that title.
    {"CountsTooSmall", kTwoSections, options(FileVersion::New, 1, 1), ReadFailure::NotANumber, 7, 1,
     FieldRole::ConcreteValue, 2, 1, 3, "B"},
    {"CountsTooLarge", kTwoSections, options(FileVersion::New, 3, 1), ReadFailure::NotANumber, 7, 1,
     FieldRole::ConcreteValue, 1, 3, 6, "B"},
    {"FileEndsEarly", "1\nA\n1 2 3\n1 1 1 0 0 0 0\n", options(FileVersion::New, 1, 0),
     ReadFailure::EndOfFile, 5, 1, FieldRole::ConcreteValue, 1, 1, 8, ""},
    {"TextInSteelValue", "1\nA\n1 2 3\n1 1 COL-B 0 0\n", options(FileVersion::New, 0, 1),
     ReadFailure::NotANumber, 4, 5, FieldRole::SteelValue, 1, 1, 3, "COL-B"},
    {"TextInSectionCount", "abc\n", options(FileVersion::Old, 0, 0), ReadFailure::NotANumber, 1, 1,
     FieldRole::SectionCount, 0, 0, 0, "abc"},
    {"SectionCountOverflows", "\n40000\n", options(FileVersion::Old, 0, 0), ReadFailure::OutOfRange,
     2, 1, FieldRole::SectionCount, 0, 0, 0, "40000"},
    {"NegativeSectionCount", "-1\n", options(FileVersion::Old, 0, 0),
     ReadFailure::NegativeSectionCount, 1, 1, FieldRole::SectionCount, 0, 0, 0, "-1"},
    {"TooManyTitledSections", "1001\n", options(FileVersion::Old, 0, 0, true),
     ReadFailure::TooManySections, 1, 1, FieldRole::SectionCount, 0, 0, 0, "1001"},
    {"TooManySections", " 2001\n", options(FileVersion::Old, 0, 0), ReadFailure::TooManySections, 1,
     2, FieldRole::SectionCount, 0, 0, 0, "2001"},
    {"UnclosedQuote", "1\n\"A\n1 2 3\n", options(FileVersion::New, 0, 0),
     ReadFailure::EndInsideQuotes, 2, 1, FieldRole::Title, 1, 0, 0, "A 1 2 3 "},
    {"EmptyFile", "", options(FileVersion::Old, 36, 4), ReadFailure::EndOfFile, 1, 1,
     FieldRole::SectionCount, 0, 0, 0, ""},
    // A found text is cut to 40 characters, never inside one, and decoded as the file's
    // titles are.
    {"LongChineseTokenKeptWhole", kLongChineseToken, options(FileVersion::New, 0, 0),
     ReadFailure::NotANumber, 3, 5, FieldRole::Property, 1, 0, 3, kTwentyChinese},
    {"GbkTokenDecodedAsTheFileIs", "1\n\xD6\xF9\n1 2 " + kGbkWall + "\n",
     options(FileVersion::New, 0, 0), ReadFailure::NotANumber, 3, 5, FieldRole::Property, 1, 0, 3,
     "墙"},
    {"GbkTokenThatIsAlsoUtf8", "1\nA\n1 2 " + kGbkWall + "B\n", options(FileVersion::New, 0, 0),
     ReadFailure::NotANumber, 3, 5, FieldRole::Property, 1, 0, 3, "墙B"},
    {"LongGbkTokenCutBetweenCharacters", kLongGbkToken, options(FileVersion::New, 0, 0),
     ReadFailure::NotANumber, 3, 5, FieldRole::Property, 1, 0, 3, repeat("墙", 40)},
    {"ControlCharactersShownAsQuestionMarks", std::string("1\nA\n1 2 3\n\x01\x02x\n"),
     options(FileVersion::New, 1, 0), ReadFailure::NotANumber, 4, 1, FieldRole::ConcreteValue, 1, 1,
     1, "??x"},
};

INSTANTIATE_TEST_SUITE_P(All, ReadFailureCase, testing::ValuesIn(kFailures),
                         [](const testing::TestParamInfo<FailureCase>& info) {
                           return info.param.name;
                         });

TEST(Readers, FieldsAfterTheLastSectionAreIgnoredButLocated) {
  struct {
    const char* file;
    long long line;  // 0: nothing left over
    long long column;
  } const cases[] = {
      {"0", 0, 0},
      {"0\r\n\r\n  \t\n", 0, 0},
      {"0\n5\n", 2, 1},
      {"1\nA\n1 2 3\n  x", 4, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const SectionStore s = store(readText(c.file, options(FileVersion::New, 0, 0)));
    EXPECT_EQ(s.leftoverAt.has_value(), c.line != 0);
    if (s.leftoverAt) {
      EXPECT_EQ(s.leftoverAt->line, c.line);
      EXPECT_EQ(s.leftoverAt->column, c.column);
    }
  }
}

// The titles are all read by the last section, so bytes after it do not decide their
// encoding, and a long tail is never read just to decide it.
TEST(Readers, TrailingBytesDoNotDecideTheEncoding) {
  const SectionStore s =
      store(readText("1\n\xE6\x9F\xB1\n1 2 3\n\xD6\xF9\n", options(FileVersion::New, 0, 0)));
  EXPECT_EQ(s.sections.at(0).title, "柱");
}

TEST(Readers, RefusesMoreFibersThanTheStoreHolds) {
  for (const ReadOptions& o :
       {options(FileVersion::Old, 101, 0), options(FileVersion::Old, 0, 101)}) {
    const ReadError e = error(readText("0\n", o));
    EXPECT_EQ(e.kind, ReadFailure::TooManyFibers);
    EXPECT_EQ(e.limit, 100);
  }
  EXPECT_TRUE(store(readText("0\n", options(FileVersion::Old, 100, 100.9))).sections.empty());
}

TEST(Readers, UnopenableFilesCarryTheSystemReason) {
  const ReadError missing =
      error(readSectionFile("/nonexistent/x.txt", options(FileVersion::Old, 36, 4)));
  EXPECT_EQ(missing.kind, ReadFailure::CannotOpen);
  EXPECT_EQ(missing.systemError, ENOENT);
  const ReadError folder =
      error(readSectionFile(FIBERVIEW_SAMPLES, options(FileVersion::Old, 36, 4)));
  EXPECT_EQ(folder.kind, ReadFailure::CannotOpen);
  EXPECT_EQ(folder.systemError, EISDIR);
}

// Opening a pipe for reading waits for a writer; the reader must refuse it instead.
TEST(Readers, PipeIsRefusedWithoutWaitingForAWriter) {
  const std::string fifo = testing::TempDir() + "fiberview_pipe.txt";
  ::unlink(fifo.c_str());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const ReadError e = error(readSectionFile(fifo, options(FileVersion::Old, 36, 4)));
  EXPECT_EQ(e.kind, ReadFailure::NotAFile);
  ::unlink(fifo.c_str());
}

}  // namespace
}  // namespace fiberview
