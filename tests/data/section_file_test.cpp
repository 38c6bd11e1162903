#include "data/section_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "plot/number_format.h"
#include "tests/data/byte_sources.h"
#include "tests/data/huge_pages.h"
#include "tests/data/read_options.h"

namespace fiberview {
namespace {

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

const char kOneSection[] =
    "1\nCOL-A\n2.0E+05 1.5E+09 1.2E+09\n-50 0 900 1 0 0 0 0\n50 0 900 1 0 0 0 0\n0 0 314 2 0\n";

TEST(NewFormat, ReadsTitlePropertiesAndFibers) {
  for (const std::string& text :
       {std::string(kOneSection),
        std::string("1,COL-A\n2.0E+05,1.5E+09,1.2E+09,-50,0,900,1,0,0,0,0,50,0,900,1,0,0,0,0,0,0,"
                    "314,2,0")}) {
    SCOPED_TRACE(text);
    const ReadResult r = readText(text, readOptions(FileVersion::New, false, 2, 1));
    const SectionStore& s = store(r);
    ASSERT_EQ(s.sections.size(), 1u);
    const Section& sec = s.sections[0];
    EXPECT_EQ(sec.title, "COL-A");
    EXPECT_EQ(sectionListText(1, sec, s.titled), " 1 COL-A");
    EXPECT_EQ(std::get<double>(sec.properties[0]), 200000.0);
    EXPECT_EQ(std::get<double>(sec.properties[2]), 1.2e9);
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

TEST(Readers, SteelCountIsARealBound) {
  const std::string text = "1\nT\n1 2 3\n1 1 1 0 0\n2 2 2 0 0\n3 3 3 0 0\n4 4 4 0 0\n5 5 5 0 0\n";
  struct {
    double steel;
    std::size_t read;
  } const cases[] = {{4.5, 4}, {4.0, 4}, {0.0, 0}, {-3.0, 0}, {0.9, 0}, {5.0, 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.steel);
    EXPECT_EQ(store(readText(text, readOptions(FileVersion::New, false, 0, c.steel)))
                  .sections.at(0)
                  .steel.size(),
              c.read);
  }
}

TEST(Readers, SampleFilesRead) {
  struct {
    const char* file;
    FileVersion version;
    bool titles;
    const char* firstEntry;
    const char* lastTitle;
  } const cases[] = {
      {"old_no_titles.txt", FileVersion::Old, false, " 1", ""},
      {"old_titles.txt", FileVersion::Old, true, " 1 KZ1 RECT 400x600",
       "KZ3 CORNER 300x300, origin at corner"},
      {"new_titles.txt", FileVersion::New, false, " 1 矩形柱 KZ1 400×600", nullptr},
      {"new_titles_gbk.txt", FileVersion::New, false, " 1 矩形柱 KZ1 400×600", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const ReadResult r = readSectionFile(std::string(FIBERVIEW_SAMPLES) + "/" + c.file,
                                         readOptions(c.version, c.titles, 36, 4));
    const SectionStore& s = store(r);
    ASSERT_EQ(s.sections.size(), 5u);
    EXPECT_EQ(sectionListText(1, s.sections[0], s.titled), c.firstEntry);
    if (c.lastTitle != nullptr) {
      EXPECT_EQ(s.sections[4].title, c.lastTitle);
    }
    EXPECT_EQ(s.sections[4].concrete.size(), 36u);
    EXPECT_EQ(s.sections[4].steel.size(), 4u);
  }
}

TEST(Readers, EncodingOfTitles) {
  struct {
    const char* name;
    std::string file;
    std::string title;
  } const cases[] = {
      // Titles alone are text_encoding_test's; here, how the reader takes a file's texts.
      {"utf8 with BOM",
       "\xEF\xBB\xBF"
       "1\n\xE6\x9F\xB1\n1 2 3\n",
       "柱"},
      {"utf8 Chinese beside GBK-looking letters", "1\n\xE5\xA2\x99 \xC7\xBD\n1 2 3\n", "墙 ǽ"},
      // Every title is read by the last section: a long tail is never read to decide.
      {"GBK after the last section", "1\n\xE6\x9F\xB1\n1 2 3\n\xD6\xF9\n", "柱"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ReadResult r = readText(c.file, readOptions(FileVersion::New, false, 0, 0));
    EXPECT_EQ(store(r).sections.at(0).title, c.title);
  }
  const ReadResult r =
      readText("1\n\xD6\xF9\n\xB0\xA1,2,3\n", readOptions(FileVersion::New, false, 0, 0));
  EXPECT_EQ(std::get<std::string>(store(r).sections.at(0).properties[0]), "啊");
  // One stray byte (a Latin-1 degree sign) in one title of a UTF-8 file spoils that title
  // alone; in a GBK file every title is GBK, however many.
  const ReadResult stray = readText(
      "3\n柱\n1 2 3\n梁 \xB0"
      "C\n1 2 3\n墙\n1 2 3\n",
      readOptions(FileVersion::New, false, 0, 0));
  EXPECT_EQ(store(stray).sections.at(0).title, "柱");
  EXPECT_EQ(store(stray).sections.at(1).title, "梁 \uFFFDC");
  EXPECT_EQ(store(stray).sections.at(2).title, "墙");
  const ReadResult gbk = readText("3\n\xD6\xF9\n1 2 3\n\xC1\xBA\n1 2 3\n\xC7\xBD\n1 2 3\n",
                                  readOptions(FileVersion::New, false, 0, 0));
  EXPECT_EQ(store(gbk).sections.at(0).title, "柱");
  EXPECT_EQ(store(gbk).sections.at(1).title, "梁");
  EXPECT_EQ(store(gbk).sections.at(2).title, "墙");
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
    {"FileEndsEarly", "1\nA\n1 2 3\n1 1 1 0 0 0 0\n", readOptions(FileVersion::New, false, 1, 0),
     ReadFailure::EndOfFile, 5, 1, FieldRole::ConcreteValue, 1, 1, 8, ""},
    {"TextInSteelValue", "1\nA\n1 2 3\n1 1 COL-B 0 0\n", readOptions(FileVersion::New, false, 0, 1),
     ReadFailure::NotANumber, 4, 5, FieldRole::SteelValue, 1, 1, 3, "COL-B"},
    {"TextInSectionCount", "abc\n", readOptions(FileVersion::Old, false, 0, 0),
     ReadFailure::NotANumber, 1, 1, FieldRole::SectionCount, 0, 0, 0, "abc"},
    {"SectionCountBeyond16Bits", " 32768\n", readOptions(FileVersion::Old, true, 0, 0),
     ReadFailure::OutOfRange, 1, 2, FieldRole::SectionCount, 0, 0, 0, "32768"},
    {"UnclosedQuote", "1\n\"A\n1 2 3\n", readOptions(FileVersion::New, false, 0, 0),
     ReadFailure::EndInsideQuotes, 2, 1, FieldRole::Title, 1, 0, 0, "A 1 2 3 "},
    // A found text is cut to 40 characters, never inside one, and decoded as the file's
    // titles are.
    {"LongChineseTokenKeptWhole", kLongChineseToken, readOptions(FileVersion::New, false, 0, 0),
     ReadFailure::NotANumber, 3, 5, FieldRole::Property, 1, 0, 3, kTwentyChinese},
    {"GbkTokenDecodedAsTheFileIs", "1\n\xD6\xF9\n1 2 " + kGbkWall + "\n",
     readOptions(FileVersion::New, false, 0, 0), ReadFailure::NotANumber, 3, 5, FieldRole::Property,
     1, 0, 3, "墙"},
    {"GbkTokenThatIsAlsoUtf8", "1\nA\n1 2 " + kGbkWall + "B\n",
     readOptions(FileVersion::New, false, 0, 0), ReadFailure::NotANumber, 3, 5, FieldRole::Property,
     1, 0, 3, "墙B"},
    {"LongGbkTokenCutBetweenCharacters", kLongGbkToken, readOptions(FileVersion::New, false, 0, 0),
     ReadFailure::NotANumber, 3, 5, FieldRole::Property, 1, 0, 3, repeat("墙", 40)},
    {"ControlCharactersShownAsQuestionMarks", std::string("1\nA\n1 2 3\n\x01\x02x\n"),
     readOptions(FileVersion::New, false, 1, 0), ReadFailure::NotANumber, 4, 1,
     FieldRole::ConcreteValue, 1, 1, 1, "??x"},
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
    const SectionStore s = store(readText(c.file, readOptions(FileVersion::New, false, 0, 0)));
    EXPECT_EQ(s.leftoverAt.has_value(), c.line != 0);
    if (s.leftoverAt) {
      EXPECT_EQ(s.leftoverAt->line, c.line);
      EXPECT_EQ(s.leftoverAt->column, c.column);
    }
  }
}

// The steel count is a real number and may pass what a 16-bit count holds.
TEST(Readers, RefusesMoreSteelFibersThanA16BitCount) {
  const ReadError e = error(readText("0\n", readOptions(FileVersion::Old, false, 0, 32768)));
  EXPECT_EQ(e.kind, ReadFailure::TooManyFibers);
  EXPECT_EQ(e.limit, 32767);
  EXPECT_TRUE(store(readText("0\n", readOptions(FileVersion::Old, false, 32767, 32767.9)))
                  .sections.empty());
}

// A count line that claims more than memory holds is refused before the store is made,
// and titles count too; neither needs the memory it is refused for.
TEST(Readers, RefusesAStoreBeyondTheMemoryBudget) {
  ReadControl control;
  control.memoryBudget = storeBytes(32767, 32767, 32767) - 1;
  MemorySource huge("32767\n");
  const ReadError refused =
      error(readSections(huge, readOptions(FileVersion::Old, false, 32767, 32767), control));
  EXPECT_EQ(refused.kind, ReadFailure::MemoryBudget);
  EXPECT_EQ(refused.role, FieldRole::SectionCount);
  EXPECT_EQ(refused.memoryNeeded, 32767ull * (32767 * 64 + 32767 * 40 + sizeof(Section)));
  EXPECT_EQ(refused.memoryBudget, control.memoryBudget);

  control.memoryBudget = storeBytes(2, 0, 0) + 5;
  MemorySource titled("2\nABC\n1 2 3\nDEF\n1 2 3\n");
  const ReadError titles =
      error(readSections(titled, readOptions(FileVersion::New, false, 0, 0), control));
  EXPECT_EQ(titles.kind, ReadFailure::MemoryBudget);
  EXPECT_EQ(titles.where.line, 4);
  EXPECT_EQ(titles.section, 2);
}

// Opening a pipe for reading waits for a writer; the reader and the detector must refuse it
// instead.
TEST(OpenFile, PipeIsRefusedWithoutWaitingForAWriter) {
  const std::string fifo = testing::TempDir() + "fiberview_pipe.txt";
  ::unlink(fifo.c_str());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto opened = openFile(fifo);
  ASSERT_TRUE(std::holds_alternative<FileError>(opened));
  EXPECT_EQ(std::get<FileError>(opened).kind, FileFailure::NotAFile);
  ::unlink(fifo.c_str());
}

// A store of many megabytes goes into one block the system is asked to back with huge pages,
// every value in its own section.
TEST(Readers, LargeStoreLandsWholeInMemoryForHugePages) {
  constexpr int kSections = 150;
  constexpr int kConcrete = 1000;
  constexpr int kSteel = 12;
  std::string text = std::to_string(kSections) + "\r\n";
  for (int k = 0; k < kSections; ++k) {
    text += "600 600 30000\r\n";
    for (int j = 0; j < kConcrete; ++j) {
      text += std::to_string(k) + " " + std::to_string(j) + ".5 9 1 -30 0.002 0.0035 0\r\n";
    }
    for (int j = 0; j < kSteel; ++j)
      text += std::to_string(k) + " " + std::to_string(j) + " 314 2 400\r\n";
  }
  const ReadOptions o = readOptions(FileVersion::Old, false, kConcrete, kSteel);
  ASSERT_GE(storeBytes(kSections, kConcrete, kSteel), FiberBlock::kHugePage);

  const ReadResult read = readText(text, o);
  const SectionStore& s = store(read);
  ASSERT_EQ(s.sections.size(), std::size_t{kSections});
  for (int k = 0; k < kSections; ++k) {
    const Section& section = s.sections[static_cast<std::size_t>(k)];
    ASSERT_EQ(section.concrete.size(), std::size_t{kConcrete});
    ASSERT_EQ(section.steel.size(), std::size_t{kSteel});
    for (int j = 0; j < kConcrete; j += 97) {
      ASSERT_EQ(section.concrete[static_cast<std::size_t>(j)][0], k);
      ASSERT_EQ(section.concrete[static_cast<std::size_t>(j)][1], j + 0.5);
    }
    ASSERT_EQ(section.steel.back()[1], kSteel - 1);
  }
  if (systemHasHugePages()) {
    EXPECT_TRUE(advisedForHugePages(s.sections.front().concrete.data()));
    EXPECT_TRUE(advisedForHugePages(s.sections.back().steel.data()));
  }
}

// Thousands of fibers between every delimiter the format allows, across many buffer refills:
// each value lands where it belongs, and a bad value near the end is placed exactly.
TEST(Readers, ManyFibersReadTheSameWhereverTheBufferEnds) {
  constexpr int kFibers = 6000;
  const char* const between[] = {" ", ",", "\t", "  , ", "   "};
  const char* const lineEnds[] = {"\n", "\r\n", "\r", ",\r\n"};
  std::string text = "1\n1 2 3\n";
  long long line = 3;
  std::size_t lineStart = text.size();
  TextPosition last;
  for (int j = 0; j < kFibers; ++j) {
    for (int v = 0; v < 8; ++v) {
      if (j == kFibers - 1 && v == 7)
        last = {line, static_cast<long long>(text.size() - lineStart) + 1};
      text += std::to_string(j * 8 + v) + (v % 2 ? ".5" : "");
      text += v < 7 ? between[(j + v) % 5] : lineEnds[j % 4];
    }
    ++line;
    lineStart = text.size();
  }
  ASSERT_GT(text.size(), 3 * 64 * 1024u);
  for (const bool trickle : {false, true}) {
    SCOPED_TRACE(trickle ? "trickling" : "whole");
    MemorySource whole(text);
    TricklingSource pieces(text);
    ByteSource& source = trickle ? static_cast<ByteSource&>(pieces) : whole;
    const SectionStore s =
        store(readSections(source, readOptions(FileVersion::Old, false, kFibers, 0)));
    ASSERT_EQ(s.sections.size(), 1u);
    for (std::size_t j = 0; j < kFibers; ++j) {
      for (std::size_t v = 0; v < 8; ++v) {
        ASSERT_EQ(s.sections[0].concrete[j][v],
                  static_cast<double>(j * 8 + v) + (v % 2 ? 0.5 : 0.0))
            << j << " " << v;
      }
    }
  }
  std::string bad = text;
  bad.replace(bad.rfind(std::to_string(kFibers * 8 - 1)), std::to_string(kFibers * 8 - 1).size(),
              "x");
  const ReadError e = error(readText(bad, readOptions(FileVersion::Old, false, kFibers, 0)));
  EXPECT_EQ(e.kind, ReadFailure::NotANumber);
  EXPECT_EQ(e.where.line, last.line);
  EXPECT_EQ(e.where.column, last.column);
  EXPECT_EQ(e.fiber, kFibers);
  EXPECT_EQ(e.value, 8);
}

}  // namespace
}  // namespace fiberview

namespace fiberview {
namespace {

// Counts the bytes read through it; a part read from elsewhere in the file is not counted.
class CountingSource final : public ByteSource {
 public:
  explicit CountingSource(std::string_view bytes) : whole_(bytes) {}
  std::size_t read(char* dst, std::size_t n) override {
    const std::size_t got = whole_.read(dst, n);
    counted += got;
    return got;
  }
  std::uint64_t size() const override { return whole_.size(); }
  std::unique_ptr<ByteSource> from(std::uint64_t offset) const override {
    return whole_.from(offset);
  }
  std::size_t counted = 0;

 private:
  MemorySource whole_;
};

// `sections` sections of 20 + 4 fibers, one record a line, as the analysis writes them.
std::string regularFile(int count, int sections, bool titled, std::string_view lineEnd,
                        std::string_view title = "KZ") {
  std::string text = std::to_string(count);
  text += lineEnd;
  for (int k = 1; k <= sections; ++k) {
    if (titled) (((text += title) += std::to_string(k)) += " 400x600") += lineEnd;
    (text += std::to_string(600 + k % 7) + ", 400, 30000") += lineEnd;
    for (int j = 0; j < 20; ++j) {
      (text += std::to_string(j * 10 - 95) + " " + std::to_string(k) +
               ".25 100 1 -30.0 0.002 0.0035 0") += lineEnd;
    }
    for (int j = 0; j < 4; ++j) (text += std::to_string(j) + " -1.5 314 2 400") += lineEnd;
  }
  return text;
}

void expectSameRead(const ReadResult& split, const ReadResult& whole) {
  ASSERT_EQ(split.index(), whole.index());
  if (const auto* e = std::get_if<ReadError>(&whole)) {
    const ReadError& f = std::get<ReadError>(split);
    EXPECT_EQ(f.kind, e->kind);
    EXPECT_EQ(f.where.line, e->where.line);
    EXPECT_EQ(f.where.column, e->where.column);
    EXPECT_EQ(f.section, e->section);
    EXPECT_EQ(f.fiber, e->fiber);
    EXPECT_EQ(f.value, e->value);
    EXPECT_EQ(f.found, e->found);
    return;
  }
  const SectionStore& a = std::get<SectionStore>(split);
  const SectionStore& b = std::get<SectionStore>(whole);
  EXPECT_EQ(a.leftoverAt.has_value(), b.leftoverAt.has_value());
  if (a.leftoverAt && b.leftoverAt) {
    EXPECT_EQ(a.leftoverAt->line, b.leftoverAt->line);
  }
  ASSERT_EQ(a.sections.size(), b.sections.size());
  const auto same = [](const TextPosition& p, const TextPosition& q) {
    return p.line == q.line && p.column == q.column;
  };
  for (std::size_t k = 0; k < a.sections.size(); ++k) {
    const Section& s = a.sections[k];
    const Section& t = b.sections[k];
    ASSERT_TRUE(s.title == t.title && s.properties == t.properties && s.concrete == t.concrete &&
                s.steel == t.steel)
        << "section " << k + 1;
    ASSERT_TRUE(same(s.ends.properties, t.ends.properties) &&
                same(s.ends.concrete.first, t.ends.concrete.first) &&
                same(s.ends.steel.last, t.ends.steel.last))
        << "section " << k + 1 << " ends at line " << s.ends.steel.last.line << " not "
        << t.ends.steel.last.line;
  }
}

// A large file is read as two halves at once, the second from a line that seems to begin a
// section: whatever the file holds, the read gives what one reader gives, failures and their
// places included, and the first reader stops at the middle where the guess holds.
TEST(Readers, HalvesReadAtOnceGiveWhatOneReaderGives) {
  const auto untitled = readOptions(FileVersion::Old, false, 20, 4);
  const auto titled = readOptions(FileVersion::Old, true, 20, 4);
  const std::string plain = regularFile(400, 400, false, "\n");
  std::string badLate = plain;
  badLate.replace(badLate.rfind("314"), 3, "3x4");
  std::string badEarly = plain;
  badEarly.replace(badEarly.find("314"), 3, "3x4");
  std::string wrapped = plain;
  for (std::size_t at = wrapped.find(" 2 400\n"); at != std::string::npos;
       at = wrapped.find(" 2 400\n", at + 1)) {
    wrapped[at + 6] = ' ';
  }
  std::string spaced = plain;
  spaced.insert(spaced.find("\n601, 400", spaced.size() / 2) + 1, "\n");
  struct Case {
    const char* name;
    std::string text;
    ReadOptions options;
    std::uint64_t budget;
    bool halved;  // whether the first reader stops at the middle
  };
  const Case cases[] = {
      {"untitled", plain, untitled, 0, true},
      {"titled, CR LF", regularFile(400, 400, true, "\r\n"), titled, 0, true},
      {"GB18030 titles", regularFile(400, 400, true, "\r\n", "\xd6\xf9"), titled, 0, true},
      {"UTF-8 titles", regularFile(400, 400, true, "\n", "柱"), titled, 0, true},
      {"blank lines at the end", plain + "\n \r\n\n", untitled, 0, true},
      {"end mark of DOS", plain + "\x1a" + "junk", untitled, 0, true},
      {"a field after the last section", plain + "999\n", untitled, 0, false},
      {"one section more than the count", regularFile(399, 400, false, "\n"), untitled, 0, false},
      {"one section fewer than the count", regularFile(401, 400, false, "\n"), untitled, 0, false},
      {"a bad value late", badLate, untitled, 0, false},
      {"a bad value early", badEarly, untitled, 0, false},
      {"two fibers a line", wrapped, untitled, 0, false},
      {"a blank line between two sections", spaced, untitled, 0, false},
      {"titles past the budget late", regularFile(400, 400, true, "\n", std::string(1000, 'T')),
       titled, storeBytes(400, 20, 4) + 350 * 1000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CountingSource source(c.text);
    const ReadResult split =
        readSections(source, c.options, {.memoryBudget = c.budget, .splitFrom = 1});
    MemorySource whole(c.text);
    expectSameRead(split, readSections(whole, c.options,
                                       {.memoryBudget = c.budget, .splitFrom = ~std::uint64_t{0}}));
    if (c.halved) {
      EXPECT_LT(source.counted, c.text.size() * 3 / 4);
    }
  }
}

}  // namespace
}  // namespace fiberview
