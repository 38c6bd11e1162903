#include "plot/section_compare.h"

#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <functional>
#include <variant>

#include "data/section_file.h"
#include "plot/concrete_region.h"

using namespace fiberview;

namespace {

std::string text(double v) {
  char out[40];
  return std::string(out, std::to_chars(out, out + sizeof out, v).ptr);
}

// A column of 400 × 600: six concrete fibers and four bars, titled KZ1, KZ2, ...
Section column(int k) {
  Section s;
  s.title = "KZ" + std::to_string(k);
  s.properties = {600.0, 400.0, 30000.0 + k};
  for (int j = 0; j < 2; ++j) {
    for (int i = 0; i < 3; ++i) {
      s.concrete.push_back({-133.3 + 133.3 * i, -150.0 + 300 * j, 40000, 1, -30, 0.002, 0.0035, 0});
    }
  }
  for (double x : {-160.0, 160.0}) {
    for (double y : {-260.0, 260.0}) s.steel.push_back({x, y, 490.9 + k, 3, 400});
  }
  return s;
}

SectionStore model(int sections, bool titled) {
  SectionStore s;
  s.titled = titled;
  for (int k = 1; k <= sections; ++k) s.sections.push_back(column(k));
  return s;
}

// Writes `store` as a file, one fiber a line, and reads it back as the program would.
SectionStore writeAndRead(const SectionStore& store, const std::string& name) {
  const auto path = std::filesystem::temp_directory_path() / ("fiberview-compare-" + name);
  {
    std::ofstream out(path, std::ios::binary);
    out << store.sections.size() << '\n';
    for (const Section& s : store.sections) {
      if (store.titled) out << s.title << '\n';
      for (const Value& p : s.properties) out << text(std::get<double>(p)) << ' ';
      out << '\n';
      for (const auto& f : s.concrete) {
        for (double v : f) out << text(v) << ' ';
        out << '\n';
      }
      for (const auto& f : s.steel) {
        for (double v : f) out << text(v) << ' ';
        out << '\n';
      }
    }
  }
  ReadOptions options;
  options.version = store.version;
  options.hasTitleLine = store.titled;
  options.concreteCount = static_cast<std::int16_t>(store.sections[0].concrete.size());
  options.steelCount = static_cast<double>(store.sections[0].steel.size());
  ReadResult read = readSectionFile(path.string(), options);
  std::filesystem::remove(path);
  if (!std::holds_alternative<SectionStore>(read)) ADD_FAILURE() << "not read back: " << name;
  return std::get<SectionStore>(std::move(read));
}

// Every row as "old>new", then + added, - removed, or * changed with its changes in
// brackets: t a title, pN property N, c or s a fiber (old number, ">new" where that
// differs), then mD moved by D, a an area, vN value N; c+N and s-N an added and a removed
// fiber.
std::string digest(const Comparison& c) {
  std::string out;
  for (const SectionComparison& r : c.sections) {
    if (!out.empty()) out += ' ';
    out += std::to_string(r.before) + '>' + std::to_string(r.after);
    if (r.status == SectionStatus::Added) out += '+';
    if (r.status == SectionStatus::Removed) out += '-';
    if (r.status != SectionStatus::Changed) continue;
    std::string changes;
    if (r.titleChanged) changes += " t";
    for (const PropertyChange& p : r.properties) changes += " p" + std::to_string(p.property + 1);
    for (const FiberChange& f : r.fibers) {
      changes += f.kind == FiberKind::Concrete ? " c" : " s";
      if (f.added()) changes += '+' + std::to_string(f.after);
      if (f.removed()) changes += '-' + std::to_string(f.before);
      if (f.added() || f.removed()) continue;
      changes += std::to_string(f.before);
      if (f.after != f.before) changes += '>' + std::to_string(f.after);
      if (f.moved) changes += 'm' + text(*f.moved);
      if (f.area) changes += 'a';
      for (int v : f.values) changes += 'v' + std::to_string(v);
    }
    out += "*[" + changes.substr(1) + ']';
  }
  return out;
}

struct Revision {
  const char* name;
  std::function<void(SectionStore& before, SectionStore& after)> revise;
  Matching matching;
  std::string rows;
  CompareOptions options{};
};

const Revision kRevisions[] = {
    {"OneBarMoved", [](SectionStore&, SectionStore& a) { a.sections[2].steel[1][0] += 50; },
     Matching::ByTitle, "1>1 2>2 3>3*[s2m50] 4>4 5>5"},
    {"OneBarResized", [](SectionStore&, SectionStore& a) { a.sections[1].steel[3][2] = 314.2; },
     Matching::ByTitle, "1>1 2>2*[s4a] 3>3 4>4 5>5"},
    {"SectionInsertedInTheMiddle",
     [](SectionStore&, SectionStore& a) {
       Section added = column(9);
       added.title = "KZ3A";
       a.sections.insert(a.sections.begin() + 2, added);
     },
     Matching::ByTitle, "1>1 2>2 0>3+ 3>4 4>5 5>6"},
    {"SectionRemovedAndFiberValueChanged",
     [](SectionStore&, SectionStore& a) {
       a.sections.erase(a.sections.begin() + 1);
       a.sections[2].concrete[4][4] = -35;
     },
     Matching::ByTitle, "1>1 2>0- 3>2 4>3*[c5v5] 5>4"},
    {"SameSectionsInAnotherOrder",
     [](SectionStore&, SectionStore& a) { std::reverse(a.sections.begin(), a.sections.end()); },
     Matching::ByTitle, "5>1 4>2 3>3 2>4 1>5"},
    {"RepeatedTitlesPairInOrder",
     [](SectionStore& b, SectionStore& a) {
       for (SectionStore* s : {&b, &a}) {
         for (int k : {0, 2, 4}) s->sections[static_cast<std::size_t>(k)].title = "KZ";
       }
       a.sections.pop_back();
       a.sections[3].steel[0][1] -= 10;
     },
     Matching::ByTitle, "1>1 2>2 3>3 4>4*[s1m10] 5>0-"},
    {"UntitledByNumber",
     [](SectionStore& b, SectionStore& a) {
       b.titled = a.titled = false;
       a.sections[1].properties[2] = 32500.0;
       a.sections.push_back(column(6));
     },
     Matching::ByNumberUntitled, "1>1 2>2*[p3] 3>3 4>4 5>5 0>6+"},
    {"ByNumberOnRequestNamesTitles",
     [](SectionStore&, SectionStore& a) { std::swap(a.sections[0], a.sections[1]); },
     Matching::ByNumberRequested,
     "1>1*[t p3 s1a s2a s3a s4a] 2>2*[t p3 s1a s2a s3a s4a] 3>3 4>4 5>5",
     {0.0, true}},
    {"OldVersionAgainstNewComparesFibersOnly",
     [](SectionStore&, SectionStore& a) {
       a.version = FileVersion::New;
       for (Section& s : a.sections) s.properties = {1.2e10, 3.6e14, 1.6e14};
       a.sections[3].concrete[0][3] = 2;
     },
     Matching::ByTitle, "1>1 2>2 3>3 4>4*[c1v4] 5>5"},
    {"BarsChangedInNumberMatchByPlace",
     [](SectionStore&, SectionStore& a) {
       for (Section& s : a.sections) {
         s.steel[1][0] += 0.5;
         s.steel[2][0] = 100;
         s.steel.push_back({0, 260, 380, 3, 400});
       }
     },
     Matching::ByTitle,
     "1>1*[s-3 s+3 s+5] 2>2*[s-3 s+3 s+5] 3>3*[s-3 s+3 s+5] 4>4*[s-3 s+3 s+5] "
     "5>5*[s-3 s+3 s+5]",
     {1.0, false}},
    // More bars in one place than a fiber keeps candidates, and a tolerance over the whole
    // section: each still pairs, and only the new bar is added.
    {"BundledBarsAllPairUnderAWideTolerance",
     [](SectionStore& b, SectionStore& a) {
       for (SectionStore* s : {&b, &a}) {
         for (Section& section : s->sections) {
           for (int k = 0; k < 10; ++k) section.steel.push_back({0, 0, 490.9, 3, 400});
         }
       }
       for (Section& section : a.sections) section.steel.push_back({0, 100, 490.9, 3, 400});
     },
     Matching::ByTitle,
     "1>1*[s+15] 2>2*[s+15] 3>3*[s+15] 4>4*[s+15] 5>5*[s+15]",
     {1e9, false}},
    {"MovesWithinTheToleranceAreNone",
     [](SectionStore&, SectionStore& a) {
       for (Section& s : a.sections) s.steel[1][1] += 0.5;
       a.sections[4].steel[3][0] += 2;
     },
     Matching::ByTitle,
     "1>1 2>2 3>3 4>4 5>5*[s4m2]",
     {1.0, false}},
    {"IdenticalFiles", [](SectionStore&, SectionStore&) {}, Matching::ByTitle,
     "1>1 2>2 3>3 4>4 5>5"},
};

TEST(SectionCompare, RevisionsReadBackFromFiles) {
  for (const Revision& r : kRevisions) {
    SCOPED_TRACE(r.name);
    SectionStore before = model(5, true);
    SectionStore after = before;
    r.revise(before, after);
    Feedback feedback;
    const auto c =
        compareStores(writeAndRead(before, std::string(r.name) + "-old"),
                      writeAndRead(after, std::string(r.name) + "-new"), r.options, feedback);
    ASSERT_TRUE(c);
    EXPECT_EQ(digest(*c), r.rows);
    EXPECT_EQ(c->matching, r.matching);
    EXPECT_EQ(c->same(), r.rows.find_first_of("+-*") == std::string::npos);
    EXPECT_EQ(c->sections[0].propertiesCompared, before.version == after.version);
    int listed = 0;
    for (int n : c->counts) listed += n;
    EXPECT_EQ(listed, static_cast<int>(c->sections.size()));
  }
}

// The figures of a changed pair come from each side's own fibers, its region included.
TEST(SectionCompare, FiguresOfAChangedPair) {
  SectionStore before = model(2, true), after = before;
  after.sections[1].steel[0][2] = 200;
  after.sections[1].concrete[2][0] += 100;
  Feedback feedback;
  const auto c = compareStores(before, after, {}, feedback);
  ASSERT_TRUE(c);
  EXPECT_FALSE(c->sections[0].figuresBefore);
  const CompareFigures& b = *c->sections[1].figuresBefore;
  const CompareFigures& a = *c->sections[1].figuresAfter;
  EXPECT_NEAR(b.steelArea - a.steelArea, 492.9 - 200, 1e-9);
  EXPECT_EQ(a.concreteArea, b.concreteArea);
  EXPECT_NEAR(*b.ratio, b.steelArea / b.concreteArea, 1e-15);
  const auto boxBefore = ConcreteRegion(before.sections[1]).extent();
  const auto boxAfter = ConcreteRegion(after.sections[1]).extent();
  EXPECT_EQ(*b.regionWidth, boxBefore->width());
  EXPECT_EQ(*b.regionHeight, boxBefore->height());
  EXPECT_EQ(*a.regionWidth, boxAfter->width());
  EXPECT_GT(*a.regionWidth, *b.regionWidth + 50);
}

TEST(SectionCompare, RepeatedTitlesAreCountedAndACancelStops) {
  SectionStore before = model(4, true), after = before;
  before.sections[1].title = before.sections[2].title = "KZ";
  after.sections[3].title = after.sections[2].title = "KL";
  Feedback feedback;
  EXPECT_EQ(compareStores(before, after, {}, feedback)->repeatedTitles, 2);
  EXPECT_EQ(feedback.permille(), 1000);
  feedback.cancel();
  EXPECT_FALSE(compareStores(before, after, {}, feedback));
}

}  // namespace
