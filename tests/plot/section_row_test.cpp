#include "plot/section_row.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "tests/plot/planted_faults.h"

namespace fiberview {
namespace {

// A 500 x 500 column in 5 x 5 cells of 100 with `bars` at its corners and mid-sides.
Section column(std::vector<double> bars, std::string title = {}) {
  Section s;
  s.title = std::move(title);
  s.properties = {500.0, 500.0, 30000.0};
  for (int i = 0; i < 5; ++i) {
    for (int j = 0; j < 5; ++j) s.concrete.push_back({-200.0 + 100 * j, -200.0 + 100 * i, 1e4});
  }
  const double at[8][2] = {{-210, -210}, {210, -210}, {210, 210}, {-210, 210},
                           {0, -210},    {210, 0},    {0, 210},   {-210, 0}};
  for (std::size_t k = 0; k < bars.size(); ++k) s.steel.push_back({at[k][0], at[k][1], bars[k]});
  return s;
}

std::vector<SectionRow> check(const SectionStore& store) {
  Feedback feedback;
  return *checkFile(store, feedback);
}

std::vector<int> flagged(const std::vector<SectionRow>& rows) {
  std::vector<int> out;
  for (const SectionRow& r : rows) {
    if (r.hasFindings()) out.push_back(r.number);
  }
  return out;
}

// Also keeps the regions asked for, stops when cancelled and reports progress.
TEST(FileCheck, FindsExactlyThePlantedFaultsAmong2000Sections) {
  const SectionStore store = testing::plantedStore();
  Feedback feedback;
  SectionRegions regions;
  const auto checked = checkFile(
      store, feedback, [](const SectionRow& r) { return r.hasFindings(); }, &regions);
  ASSERT_TRUE(checked);
  const std::vector<SectionRow>& rows = *checked;
  ASSERT_EQ(rows.size(), 2000u);
  EXPECT_EQ(flagged(rows), (std::vector<int>{testing::kBarOutsideRound, testing::kMissingCornerBar,
                                             testing::kWrongB}));
  const SectionRow& outside = rows[testing::kBarOutsideRound - 1];
  ASSERT_EQ(outside.fiberFindings.size(), 1u);
  EXPECT_EQ(outside.fiberFindings[0].kind, CheckKind::SteelOutsideConcrete);
  EXPECT_EQ(outside.fiberFindings[0].fiber, 3);
  const SectionRow& missing = rows[testing::kMissingCornerBar - 1];
  ASSERT_EQ(missing.fiberFindings.size(), 1u);
  EXPECT_EQ(missing.fiberFindings[0].kind, CheckKind::ZeroArea);
  const SectionRow& wrong = rows[testing::kWrongB - 1];
  EXPECT_EQ(wrong.issues, std::vector<SectionIssue>{SectionIssue::WidthMismatch});
  EXPECT_NEAR(*wrong.regionWidth, 500.0, 0.02 * 500.0);
  EXPECT_DOUBLE_EQ(*wrong.comparisons[0], (*wrong.regionWidth - 800.0) / 800.0);

  ASSERT_EQ(regions.size(), store.sections.size());
  for (const SectionRow& r : rows) {
    const auto& region = regions[static_cast<std::size_t>(r.number - 1)];
    EXPECT_EQ(region != nullptr, r.hasFindings()) << "section " << r.number;
    if (region) {
      EXPECT_EQ(region->extent()->width(), *r.regionWidth);
    }
  }
  EXPECT_EQ(feedback.done(), store.sections.size());
  EXPECT_EQ(feedback.total(), store.sections.size());

  // Asked for some sections, with the checks across sections known, it checks only those.
  std::vector<bool> wanted(store.sections.size());
  wanted[0] = wanted[testing::kWrongB - 1] = true;
  const auto some = checkSections(store, feedback, wanted, checkAcrossSections(store, feedback));
  ASSERT_TRUE(some);
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    ASSERT_EQ(some->rows[i].has_value(), wanted[i]) << "section " << i + 1;
    if (wanted[i]) {
      EXPECT_EQ(some->rows[i]->issues, rows[i].issues) << "section " << i + 1;
    }
  }
  feedback.cancel();
  EXPECT_FALSE(checkFile(store, feedback, {}, &regions));
  EXPECT_TRUE(regions.empty());
  EXPECT_FALSE(checkAcrossSections(store, feedback));
}

// Groups of sections with the same concrete, by their bar areas; which are outliers.
struct OutlierCase {
  const char* name;
  std::vector<double> barAreas;  // one section each, all bars of that area
  std::vector<int> outliers;
};

class SteelOutliers : public ::testing::TestWithParam<OutlierCase> {};

TEST_P(SteelOutliers, StandOutOnlyAgainstAClearMajority) {
  SectionStore store;
  for (double a : GetParam().barAreas) store.sections.push_back(column({a, a, a, a, a, a, a, a}));
  std::vector<int> found;
  for (const SectionRow& r : check(store)) {
    for (SectionIssue i : r.issues) {
      if (i == SectionIssue::SteelAreaOutlier) found.push_back(r.number);
    }
  }
  EXPECT_EQ(found, GetParam().outliers);
}

INSTANTIATE_TEST_SUITE_P(
    FileCheck, SteelOutliers,
    ::testing::Values(OutlierCase{"OneLighterAmongFive", {491, 491, 491, 491, 314}, {5}},
                      OutlierCase{"TooFewToJudge", {491, 491, 491, 314}, {}},
                      OutlierCase{"TwoDesignsHalfAndHalf", {491, 491, 491, 314, 314, 314}, {}},
                      OutlierCase{"TwoSharingTheOddAreaAreADesign",
                                  {491, 491, 491, 491, 491, 491, 491, 491, 314, 314},
                                  {}},
                      OutlierCase{"WithinOnePercentIsAlike", {491, 491, 491, 491, 489}, {}},
                      OutlierCase{"MajorityBelowEightyPercent", {491, 491, 491, 314, 201}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileCheck, OnlySectionsWithTheSameConcreteAreCompared) {
  SectionStore store;
  for (int i = 0; i < 5; ++i) store.sections.push_back(column({491, 491, 491, 491}));
  Section other = column({314, 314, 314, 314});
  other.concrete[0][0] += 1.0;  // another mesh: no group to stand out from
  store.sections.push_back(other);
  EXPECT_EQ(flagged(check(store)), std::vector<int>{});
}

TEST(SectionRowCheck, OddBarNeedsAllOtherBarsAlike) {
  struct Case {
    std::vector<double> bars;
    std::vector<int> odd;
  };
  const Case cases[] = {
      {{491, 491, 491, 201}, {4}},
      {{491, 491, 491, 491, 201, 201, 201, 201}, {}},  // corner bars larger than side bars
      {{491, 491, 201}, {}},                           // too few bars to tell
      {{491, 491, 491, 0}, {}},                        // a bar of 0 is a ZeroArea finding
      {{491, 491, 491, 494}, {}},                      // within 1 %
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bars));
    SectionStore store;
    store.sections.push_back(column(c.bars));
    const SectionRow row = sectionRow(store, 1);
    EXPECT_EQ(row.oddBars, c.odd);
    EXPECT_EQ(row.issues.size(), c.odd.size());
  }
}

TEST(FileCheck, IdenticalFibersUnderAnotherTitleNameEachOther) {
  SectionStore store;
  store.titled = true;
  // A repeated title is a repeated column, not a mix-up; any other title names one.
  store.sections = {column({491}, "A"), column({491}, "B"), column({491}, "A"),
                    column({491}, "C"), column({314}, "D"), column({314}, "D")};
  store.sections[3].concrete[2][0] = -0.0;  // −0 is the same value as the others' 0
  const std::vector<SectionRow> rows = check(store);
  std::vector<int> sameAs;
  for (const SectionRow& r : rows) sameAs.push_back(r.sameAs);
  EXPECT_EQ(sameAs, (std::vector<int>{2, 1, 2, 1, 0, 0}));
  EXPECT_EQ(flagged(rows), std::vector<int>{});
}

TEST(SectionRowCheck, SectionWithoutFibersIsAFinding) {
  SectionStore store;
  store.sections.push_back(Section{});
  const SectionRow row = sectionRow(store, 1);
  EXPECT_EQ(row.issues, std::vector<SectionIssue>{SectionIssue::NoFibers});
  EXPECT_FALSE(row.regionWidth);
  EXPECT_FALSE(row.ratio);
}

TEST(SectionRowCheck, DimensionsAndModuliAgainstTheFibers) {
  SectionStore store;
  Section s = column({491, 491, 491, 491});
  s.properties = {520.0, "B1", 30000.0};  // H within 5 %, B as text
  store.sections.push_back(s);
  SectionRow row = sectionRow(store, 1);
  EXPECT_TRUE(row.issues.empty());
  EXPECT_FALSE(row.comparisons[0]);                                  // B is text
  EXPECT_NEAR(*row.comparisons[1], (500.0 - 520.0) / 520.0, 1e-12);  // H against the height
  EXPECT_EQ(std::get<std::string>(row.properties[0]), "B1");         // shown B, H, E0

  store.version = FileVersion::New;
  const double e = 30000.0;
  // Ixx of 5 rows of 1e4·5 at 0, ±100, ±200: 5e4·2·(100² + 200²).
  const double ixx = 5e4 * 2 * (1e4 + 4e4);
  store.sections[0].properties = {e * 25e4, e * ixx, 0.0};
  row = sectionRow(store, 1);
  EXPECT_DOUBLE_EQ(*row.comparisons[0], e);
  EXPECT_DOUBLE_EQ(*row.comparisons[1], e);
  EXPECT_DOUBLE_EQ(*row.comparisons[2], 0.0);
  EXPECT_TRUE(row.issues.empty());
}

}  // namespace
}  // namespace fiberview
