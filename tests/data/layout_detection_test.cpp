#include "data/layout_detection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>

#include "bench/fiber_files.h"
#include "data/section_file.h"
#include "tests/data/byte_sources.h"
#include "tests/data/huge_pages.h"
#include "tests/data/read_options.h"
#include "tests/data/realistic_files.h"

namespace fiberview {
namespace {

using testing_files::FileRecipe;
using enum testing_files::Lines;
using enum testing_files::Shape;
constexpr auto kOld = FileVersion::Old;
constexpr auto kNew = FileVersion::New;

ReadResult readBytes(const std::string& bytes, const ReadOptions& o) {
  MemorySource source(bytes);
  return readSections(source, o);
}

// How a read's settings miss its file while using up its fields: 5 concrete fibers more and
// 8 bars fewer, the reverse, or the other version, which reads the same fields.
enum class Miss { MoreConcrete, MoreSteel, OtherVersion };

// A file read with settings that do not fit it, yet use up its fields: the read succeeds,
// and only its values and the file's fields can tell.
struct WrongRead {
  const char* name;
  FileRecipe file;
  // The version detection tells; unset where the values cannot tell it.
  std::optional<FileVersion> told;
  Miss miss = Miss::MoreConcrete;
};

// 5 x 5 concrete and 8 bars, or rings of 8 fibers: 8 * 5 = 5 * 8, so 30 and 0 use up the
// fields of 25 and 8.
const WrongRead kWrongReads[] = {
    {"Wrapped4Titled", {.titled = true, .lines = Wrapped4}, kOld},
    {"Streamed6Titled", {.titled = true, .lines = Stream6}, kOld},
    {"Streamed6Untitled", {.lines = Stream6}, kOld},
    {"Streamed6New", {.shape = Circle, .version = kNew, .lines = Stream6, .size = 3}, kNew},
    {"NumericTitles", {.titled = true, .numericTitles = true}, kOld},
    {"MoreSteelOneFiberALine", {}, kOld, Miss::MoreSteel},
    {"NumericTitlesWrapped",
     {.shape = Ring, .version = kNew, .numericTitles = true, .lines = Wrapped5, .size = 3},
     kNew},
    // Slices far narrower than the wall is thick.
    {"Wall40Slices", {.shape = Wall, .titled = true, .size = 40}, kOld},
    {"Wall200SlicesMetres", {.shape = Wall, .version = kNew, .metres = true, .size = 200}, kNew},
    {"Wall200SlicesUntitled", {.shape = Wall, .lines = Wrapped5, .size = 200}, kOld},
    {"Wall40SlicesMetres",
     {.shape = Wall, .titled = true, .lines = Stream6, .metres = true, .size = 40},
     kOld},
    // Only the properties' roles tell these.
    {"WallOneFiberThickNewReadAsOld",
     {.shape = Wall, .version = kNew, .size = 12},
     kNew,
     Miss::OtherVersion},
    // A wall meshed as one fiber has no spacing to give its cell's sides, only their product.
    {"WallOfOneFiberNewReadAsOld",
     {.shape = Wall, .version = kNew, .size = 1, .bars = 0},
     kNew,
     Miss::OtherVersion},
    {"SteelOnlyNewReadAsOld",
     {.shape = SteelOnly, .version = kNew, .bars = 12},
     kNew,
     Miss::OtherVersion},
    {"SteelOnlyOldReadAsNew",
     {.shape = SteelOnly, .titled = true, .lines = Wrapped5, .bars = 12},
     kOld,
     Miss::OtherVersion},
};

ReadOptions wrongSettings(const WrongRead& w, const ReadOptions& truth) {
  ReadOptions o = truth;
  const int shift = w.miss == Miss::MoreConcrete ? 1 : w.miss == Miss::MoreSteel ? -1 : 0;
  if (w.miss == Miss::OtherVersion) o.version = truth.version == kOld ? kNew : kOld;
  o.concreteCount = static_cast<std::int16_t>(truth.concreteCount + 5 * shift);
  o.steelCount = truth.steelCount - 8 * shift;
  return o;
}

class WrongReadIsNoticed : public testing::TestWithParam<WrongRead> {};

TEST_P(WrongReadIsNoticed, ValuesWarnAndDetectionProposesTheTruth) {
  const WrongRead& w = GetParam();
  const testing_files::Written file = testing_files::write(w.file, 11);
  SCOPED_TRACE(file.bytes.substr(0, 600));
  const ReadResult read = readBytes(file.bytes, wrongSettings(w, file.truth));
  const auto* store = std::get_if<SectionStore>(&read);
  ASSERT_NE(store, nullptr) << "the wrong settings must use up the fields";
  EXPECT_FALSE(store->leftoverAt);
  const auto finding = checkValues(*store);
  ASSERT_TRUE(finding.has_value());
  // Only the properties tell the version, and only the lines a file of one fiber a line.
  if (w.miss == Miss::OtherVersion) {
    EXPECT_EQ(finding->problem, ValueProblem::VersionMisfit);
    EXPECT_EQ(finding->fits, file.truth.version);
  } else if (w.file.lines == OneFiberALine) {
    EXPECT_EQ(finding->problem, ValueProblem::BeginsMidLine);
  }

  const DetectedLayout d = detectLayoutOfBytes(file.bytes);
  EXPECT_TRUE(d.confident);
  EXPECT_EQ(d.hasTitleLine, file.truth.hasTitleLine);
  EXPECT_EQ(d.concreteCount, file.truth.concreteCount);
  EXPECT_EQ(d.steelCount, static_cast<int>(file.truth.steelCount));
  EXPECT_EQ(d.version, w.told);
  if (w.miss != Miss::OtherVersion) {
    EXPECT_GE(d.implausible, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, WrongReadIsNoticed, testing::ValuesIn(kWrongReads),
                         [](const auto& info) { return std::string(info.param.name); });

// Values that break the checks, read with the settings that fit their file.
struct BrokenValue {
  const char* name;
  std::string from, to;  // the first `from` after the properties becomes `to`
  ValueProblem problem;
  int section, fiber, value;
};

const BrokenValue kBrokenValues[] = {
    {"NegativeArea", " 26666.7 2 ", " -26666.7 2 ", ValueProblem::AreaNotPositive, 1, 1, 3},
    // A strain of the size of a coordinate, and a strength of the other sign.
    {"StrainOfAnotherOrder", " 0.0035 ", " 35 ", ValueProblem::KindBroken, 1, 1, 7},
    {"StrengthOfTheOtherSign", " 2 -30 ", " 2 30 ", ValueProblem::KindBroken, 1, 1, 5},
    {"BarFarOutside", "\n-110 -250", "\n-9110 -250", ValueProblem::OutsideSection, 1, 1, 1},
    {"ConcreteAreasTooLarge", " 26666.7 2 ", " 9e9 2 ", ValueProblem::OutsideSection, 1, 0, 0},
    {"PropertyEmptyInOneSection", "\n600 400", "\n,400", ValueProblem::KindDiffers, 2, 0, 1},
};

class BrokenValueWarns : public testing::TestWithParam<BrokenValue> {};

TEST_P(BrokenValueWarns, FirstProblemIsNamed) {
  const BrokenValue& b = GetParam();
  // Two 400 x 600 sections of 3 x 3 concrete and 4 bars, one fiber a line.
  std::string section = "600 400 30000\n";
  for (int j = 0; j < 9; ++j) {
    section += std::to_string(-133 + 133 * (j % 3)) + " " + std::to_string(-200 + 200 * (j / 3)) +
               " 26666.7 2 -30 0.002 0.0035 0\n";
  }
  section +=
      "-110 -250 490.9 3 400\n110 -250 490.9 3 400\n-110 250 490.9 3 400\n"
      "110 250 490.9 3 400\n";
  std::string bytes = "2\n" + section + section;
  const std::size_t at = bytes.find(b.from, b.section == 2 ? section.size() : 0);
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, b.from.size(), b.to);
  const ReadResult read = readBytes(bytes, readOptions(kOld, false, 9, 4));
  ASSERT_TRUE(std::holds_alternative<SectionStore>(read)) << bytes;
  const auto f = checkValues(std::get<SectionStore>(read));
  ASSERT_TRUE(f.has_value());
  EXPECT_EQ(f->problem, b.problem);
  EXPECT_EQ(f->section, b.section);
  EXPECT_EQ(f->fiber, b.fiber);
  EXPECT_EQ(f->value, b.value);
}

INSTANTIATE_TEST_SUITE_P(Table, BrokenValueWarns, testing::ValuesIn(kBrokenValues),
                         [](const auto& info) { return std::string(info.param.name); });

// The readers' grammar reaches detection through their own field reader.
struct GrammarCase {
  const char* name;
  std::string bytes;
  std::optional<bool> titles;
  std::optional<int> concrete, steel;
  bool confident;
  LayoutProblem problem;
};

std::string replaced(std::string text, char from, const std::string& to) {
  std::string out;
  for (char c : text) out += c == from ? to : std::string(1, c);
  return out;
}

const std::string kSection =
    "600 400 30000\n"
    "-100 -150 60000 1 -30 0.002 0.0035 0\n"
    "100 -150 60000 1 -30 0.002 0.0035 0\n"
    "-100 150 60000 1 -30 0.002 0.0035 0\n"
    "100 150 60000 1 -30 0.002 0.0035 0\n"
    "-150 -250 490.9 2 400\n"
    "150 250 490.9 2 400\n";
const std::string kTwo = "2\n" + kSection + kSection;
constexpr auto kNone = std::nullopt;

const GrammarCase kGrammar[] = {
    {"Lf", kTwo, false, 4, 2, true, LayoutProblem::None},
    {"CrOnly", replaced(kTwo, '\n', "\r"), false, 4, 2, true, LayoutProblem::None},
    {"ByteOrderMarkAndDosEndMark", "\xEF\xBB\xBF" + kTwo + "\x1A 7 7 7\n", false, 4, 2, true,
     LayoutProblem::None},
    {"QuotedTitleOverLineEnd", "2\n\"KZ1\ncorner\"\n" + kSection + "\"KZ2, b\"\n" + kSection, true,
     4, 2, true, LayoutProblem::None},
    {"TitleStartingWithDigits", "2\n3F 柱\n" + kSection + "4F 柱\n" + kSection, true, 4, 2, true,
     LayoutProblem::None},
    {"TrailingData", testing_files::write({.size = 4}, 1).bytes + "7 7 7\n", false, 16, 8, false,
     LayoutProblem::None},
    {"NoSections", "0\n", kNone, kNone, kNone, false, LayoutProblem::NoSections},
    {"NegativeCount", "-2\n", kNone, kNone, kNone, false, LayoutProblem::NegativeCount},
    {"CountIsText", "KZ\n", kNone, kNone, kNone, false, LayoutProblem::CountNotANumber},
    {"Empty", " \n\n", kNone, kNone, kNone, false, LayoutProblem::Empty},
    {"Utf16", "\xFF\xFE" + std::string("1\0\n\0", 4), kNone, kNone, kNone, false,
     LayoutProblem::Utf16},
    {"FewerFieldsThanSections", "3\n" + kSection, kNone, kNone, kNone, false, LayoutProblem::NoFit},
};

class DetectionGrammar : public testing::TestWithParam<GrammarCase> {};

TEST_P(DetectionGrammar, FieldsAsTheReadersCutThem) {
  const GrammarCase& c = GetParam();
  SCOPED_TRACE(testing::PrintToString(c.bytes));
  const DetectedLayout d = detectLayoutOfBytes(c.bytes);
  EXPECT_EQ(d.hasTitleLine, c.titles);
  EXPECT_EQ(d.concreteCount, c.concrete);
  EXPECT_EQ(d.steelCount, c.steel);
  EXPECT_EQ(d.confident, c.confident);
  EXPECT_EQ(d.problem, c.problem);
  TricklingSource trickle(c.bytes);
  const DetectedLayout t = detectLayout(trickle);
  EXPECT_EQ(t.plausible, d.plausible);
  EXPECT_EQ(t.problem, d.problem);
}

INSTANTIATE_TEST_SUITE_P(All, DetectionGrammar, testing::ValuesIn(kGrammar),
                         [](const auto& info) { return std::string(info.param.name); });

// A set of realistic files, each read with its true settings and with settings a little
// off, which its values must tell.
struct RealisticSet {
  const char* name;
  testing_files::FileRecipe (*recipe)(unsigned);
  unsigned files;
};

class RealisticFiles : public testing::TestWithParam<RealisticSet> {};

// No check may fire on a true read, so the window stays silent, and no wrong read may pass
// silently. Detection may stay unsure of a file, but never be sure of something else, and it
// must find nearly every file's settings, so that at least 90 % of the wrong reads are offered
// the truth.
TEST_P(RealisticFiles, ChecksHoldAndDetectionOffersTheTruth) {
  const RealisticSet& set = GetParam();
  unsigned falseAlarms = 0, detected = 0, wrongReads = 0, silent = 0, offers = 0;
  for (unsigned i = 0; i < set.files; ++i) {
    const testing_files::Written file = testing_files::write(set.recipe(i), i);
    SCOPED_TRACE("file " + std::to_string(i) + ":\n" + file.bytes.substr(0, 500));
    const ReadOptions& t = file.truth;
    const ReadResult read = readBytes(file.bytes, t);
    ASSERT_TRUE(std::holds_alternative<SectionStore>(read));
    EXPECT_FALSE(std::get<SectionStore>(read).leftoverAt);
    if (const auto f = checkValues(std::get<SectionStore>(read))) {
      ++falseAlarms;
      ADD_FAILURE() << "false alarm " << static_cast<int>(f->problem) << " section " << f->section
                    << " fiber " << f->fiber << " value " << f->value << " found " << f->found;
    }
    const DetectedLayout d = detectLayoutOfBytes(file.bytes);
    const bool right = d.confident && d.hasTitleLine == t.titled() &&
                       d.concreteCount == t.concreteCount &&
                       d.steelCount == static_cast<int>(t.steelCount) &&
                       d.version.value_or(t.version) == t.version;
    EXPECT_TRUE(right || !d.confident) << "sure of the wrong settings";
    detected += right ? 1 : 0;

    const auto c = t.concreteCount;
    const double st = t.steelCount;
    std::vector<ReadOptions> wrong = {readOptions(t.version == kOld ? kNew : kOld, true, c, st)};
    if (t.version == kOld) wrong.push_back(readOptions(kOld, !t.hasTitleLine, c, st));
    for (const auto& [dc, ds] :
         {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {5, -8}, {-5, 8}, {10, -16}, {-10, 16}}) {
      if (c + dc >= 0 && st + ds >= 0)
        wrong.push_back(readOptions(t.version, t.hasTitleLine, c + dc, st + ds));
    }
    for (const ReadOptions& w : wrong) {
      ++wrongReads;
      const ReadResult r = readBytes(file.bytes, w);
      const auto* store = std::get_if<SectionStore>(&r);
      if (store != nullptr && !store->leftoverAt && !checkValues(*store)) {
        ++silent;
        ADD_FAILURE() << "read silently with " << w.concreteCount << "/" << w.steelCount << " v"
                      << static_cast<int>(w.version) << " t" << w.hasTitleLine;
      } else {
        offers += right ? 1 : 0;
      }
    }
  }
  EXPECT_GE(detected, set.files * 95 / 100);
  EXPECT_GE(offers, wrongReads * 9 / 10);
  std::printf(
      "%u files: %u false alarms, detection confident and right on %u; %u wrong reads: "
      "%u silent, %u offered the truth\n",
      set.files, falseAlarms, detected, wrongReads, silent, offers);
}

INSTANTIATE_TEST_SUITE_P(Sets, RealisticFiles,
                         testing::Values(RealisticSet{"Uniform", testing_files::realisticRecipe,
                                                      2100},
                                         RealisticSet{"Mixed", testing_files::mixedRecipe, 1200}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LayoutDetection, FilesOnDiskAreDetectedAsWritten) {
  struct OnDisk {
    std::string path;
    bool titles;
    std::optional<FileVersion> version;
    int concrete, steel;
  };
  const std::string samples = std::string(FIBERVIEW_SAMPLES) + "/";
  std::vector<OnDisk> files = {
      {samples + "old_no_titles.txt", false, kOld, 36, 4},
      {samples + "old_titles.txt", true, kOld, 36, 4},
      {samples + "new_titles.txt", true, kNew, 36, 4},
      {samples + "new_titles_gbk.txt", true, kNew, 36, 4},
  };
  // A shipped sample with its first `from` made `to`, written to `file`.
  const auto edited = [&samples](const char* sample, const bench::TemporaryFile& file,
                                 const std::string& from, const std::string& to) {
    std::ifstream in(samples + sample, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const std::size_t at = bytes.find(from);
    ASSERT_NE(at, std::string::npos);
    std::ofstream(file.path(), std::ios::binary) << bytes.replace(at, from.size(), to);
  };
  // One bar of another grade, as real models have them; and a bar of area 0: a fault of the
  // model, which the checks of its sections name, not a sign that the settings do not fit.
  const bench::TemporaryFile oddBar("odd-bar"), zeroBar("zero-bar");
  edited("new_titles.txt", oddBar, " 400.0", " 452.5");
  edited("old_no_titles.txt", zeroBar, "490.8739", "0.000000");
  files.push_back({oddBar.path(), true, kNew, 36, 4});
  files.push_back({zeroBar.path(), false, kOld, 36, 4});
  const bench::TemporaryFile fullest("fullest"), widest("widest"), longest("longest");
  // A fine mesh, far beyond the hundred fibers the format's first readers held.
  ASSERT_NE(bench::writeOldFormatFile(fullest.path(), 3, 2000, 700), 0u);
  // Some 10,000 ways to cut its section.
  ASSERT_NE(bench::writeOldFormatFile(widest.path(), 1, 32767, 32767), 0u);
  // More fields than detection holds at first: scored on its first sections.
  ASSERT_NE(bench::writeOldFormatFile(longest.path(), 300, 100, 100), 0u);
  files.push_back({fullest.path(), false, kOld, 2000, 700});
  files.push_back({widest.path(), false, kOld, 32767, 32767});
  files.push_back({longest.path(), false, kOld, 100, 100});
  for (const OnDisk& w : files) {
    SCOPED_TRACE(w.path);
    const DetectedLayout d = detectLayoutOfFile(w.path);
    EXPECT_TRUE(d.confident) << static_cast<int>(d.problem);
    EXPECT_EQ(d.hasTitleLine, w.titles);
    EXPECT_EQ(d.version, w.version);
    EXPECT_EQ(d.concreteCount, w.concrete);
    EXPECT_EQ(d.steelCount, w.steel);
    // Its confirming read is the file's read.
    ASSERT_TRUE(d.store);
    const Section& first = d.store->sections.at(0);
    EXPECT_EQ(first.steel.size(), static_cast<std::size_t>(w.steel));
    // A store of megabytes keeps the memory its read was given; a small one lies on the heap.
    const auto sections = static_cast<int>(d.store->sections.size());
    if (systemHasHugePages()) {
      EXPECT_EQ(advisedForHugePages(first.concrete.data()),
                storeBytes(sections, w.concrete, w.steel) >= FiberBlock::kHugePage);
    }
  }
  const DetectedLayout missing = detectLayoutOfFile(samples + "missing.txt");
  EXPECT_EQ(missing.problem, LayoutProblem::File);
  EXPECT_EQ(missing.file.kind, FileFailure::CannotOpen);
  EXPECT_EQ(missing.file.systemError, ENOENT);
  EXPECT_FALSE(missing.confident);
}

// Files of more fields than detection ever holds: wrapped ones need the rest counted, and a
// section that breaks the pattern far past the fields held leaves detection unsure.
TEST(LayoutDetection, FilesBeyondTheFieldsHeld) {
  FileRecipe wrapped{.lines = Wrapped5, .sections = 2000, .size = 8};
  const testing_files::Written file = testing_files::write(wrapped, 7);
  const DetectedLayout d = detectLayoutOfBytes(file.bytes);
  EXPECT_TRUE(d.confident) << static_cast<int>(d.problem);
  EXPECT_EQ(d.concreteCount, file.truth.concreteCount);
  EXPECT_EQ(d.steelCount, static_cast<int>(file.truth.steelCount));

  FileRecipe lines = wrapped;
  lines.lines = OneFiberALine;
  std::string bytes = testing_files::write(lines, 7).bytes;
  const std::size_t last = bytes.rfind('\n', bytes.size() - 2);
  const DetectedLayout cut = detectLayoutOfBytes(bytes.substr(0, last + 1) + "1 2 3\n");
  EXPECT_FALSE(cut.confident);
  EXPECT_FALSE(cut.store);
}

// A big file whose first sections show its layout is read whole at once, and a titled file's
// version is told from that read. A file the read then refutes is never read twice with the
// same settings, however often detection comes back to them.
TEST(LayoutDetection, FirstSectionsSettleABigFile) {
  for (const FileVersion version : {kOld, kNew}) {
    SCOPED_TRACE(static_cast<int>(version));
    const FileRecipe r{.version = version, .titled = true, .sections = 400, .size = 8};
    const std::string bytes = testing_files::write(r, 3).bytes;
    const auto detect = [](const std::string& file, int& reads) {
      MemorySource source(file);
      return detectLayout(source, [&](const ReadOptions& o) {
        ++reads;
        return readBytes(file, o);
      });
    };
    int reads = 0;
    const DetectedLayout d = detect(bytes, reads);
    EXPECT_TRUE(d.confident) << static_cast<int>(d.problem);
    EXPECT_EQ(d.version, version);
    ASSERT_TRUE(d.store);
    EXPECT_EQ(d.store->version, version);
    EXPECT_EQ(d.storeReadWith.version, version);
    EXPECT_EQ(reads, 1);
    EXPECT_LT(d.linesRead, std::count(bytes.begin(), bytes.end(), '\n') / 4);

    // A fiber line far past every field held, one value short.
    std::string broken = bytes;
    const std::size_t line = broken.find('\n', broken.size() * 9 / 10) + 1;
    broken.erase(line, broken.find_first_of(" \t", broken.find_first_not_of(" \t", line)) - line);
    reads = 0;
    const DetectedLayout refuted = detect(broken, reads);
    EXPECT_FALSE(refuted.confident);
    EXPECT_FALSE(refuted.store);
    EXPECT_EQ(reads, 1);
  }
}

// A cancel stops detection wherever it comes: before it starts, while it reads the fields,
// or in the confirming read, which must not send it on to count the rest of the file. It
// then says so and proposes nothing.
TEST(LayoutDetection, CancelStopsItWhereverItComes) {
  // One fiber a line: its first section shows the layout, which the confirming read is to
  // confirm long before the end.
  FileRecipe r{.sections = 2000, .size = 8};
  const std::string many = testing_files::write(r, 7).bytes;
  // Fewer fields than detection holds at first: it would read them all.
  r.sections = 150;
  const std::string few = testing_files::write(r, 7).bytes;
  const auto linesOf = [](const std::string& bytes) {
    return static_cast<long long>(std::count(bytes.begin(), bytes.end(), '\n'));
  };
  const auto expectCancelled = [](const DetectedLayout& d, long long mostLines) {
    EXPECT_EQ(d.problem, LayoutProblem::Cancelled);
    EXPECT_FALSE(d.confident);
    EXPECT_FALSE(d.concreteCount);
    EXPECT_FALSE(d.store);
    EXPECT_LE(d.linesRead, mostLines);
  };
  {
    SCOPED_TRACE("cancelled before it starts");
    const bench::TemporaryFile onDisk("cancelled");
    std::ofstream(onDisk.path(), std::ios::binary) << many;
    Feedback feedback;
    feedback.cancel();
    expectCancelled(detectLayoutOfFile(onDisk.path(), {.feedback = &feedback}), 2);
  }
  {
    SCOPED_TRACE("cancelled halfway through the fields");
    Feedback feedback;
    CancellingSource source(few, feedback);
    expectCancelled(detectLayout(source, {}, &feedback), linesOf(few) * 6 / 10);
    const auto size = static_cast<double>(few.size());
    EXPECT_EQ(feedback.total(), few.size());
    EXPECT_NEAR(static_cast<double>(feedback.done()), size / 2.0, size / 50.0);
  }
  {
    SCOPED_TRACE("cancelled in the confirming read");
    Feedback feedback;
    MemorySource source(many);
    const auto cancelledRead = [&feedback](const ReadOptions&) {
      feedback.cancel();
      return ReadResult(ReadError{.kind = ReadFailure::Cancelled});
    };
    expectCancelled(detectLayout(source, cancelledRead, &feedback), linesOf(many) / 2);
  }
}

}  // namespace
}  // namespace fiberview
