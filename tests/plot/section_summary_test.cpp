#include "plot/section_summary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "data/section_file.h"
#include "tests/data/read_options.h"

namespace fiberview {
namespace {

using C = ConcreteFiber;
using S = SteelFiber;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A b × h rectangle with its lower left corner at (x0, y0), cut into nx × ny equal cells.
FiberList<C> mesh(double b, double h, int nx, int ny, double x0, double y0) {
  FiberList<C> fibers;
  for (int j = 0; j < ny; ++j) {
    for (int i = 0; i < nx; ++i) {
      fibers.push_back({x0 + (i + 0.5) * b / nx, y0 + (j + 0.5) * h / ny, b * h / nx / ny});
    }
  }
  return fibers;
}

Section of(FiberList<C> concrete, FiberList<S> steel = {}) {
  Section s;
  s.concrete = std::move(concrete);
  s.steel = std::move(steel);
  return s;
}

// 400 × 600 centred on the origin in 100 × 100 cells: centres within ±150 by ±250.
FiberList<C> column() {
  return mesh(400, 600, 4, 6, -200, -300);
}

// Point areas at the centres of n rows of cells give b·h³/12·(1 − 1/n²).
TEST(SectionSummary, MatchesTheFiguresOfMeshedRectangles) {
  struct Case {
    const char* name;
    double b, h;
    int nx, ny;
    double x0, y0;
  } const cases[] = {
      {"OneFiber", 400, 600, 1, 1, -200, -300},
      {"SquareCells", 400, 600, 4, 6, -200, -300},
      {"Mesh10x10", 400, 600, 10, 10, -200, -300},
      {"CornerColumnOriginAtCorner", 300, 300, 6, 6, 0, 0},
      {"FarFromOrigin", 300, 300, 6, 6, 1e9, -1e9},  // where ΣA·y² − A·ȳ² loses per cents
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const KindSummary k = summarizeSection(of(mesh(c.b, c.h, c.nx, c.ny, c.x0, c.y0))).concrete;
    const double bh3 = c.b * std::pow(c.h, 3) / 12;
    const double hb3 = c.h * std::pow(c.b, 3) / 12;
    EXPECT_NEAR(k.area, c.b * c.h, 1e-9 * c.b * c.h);
    ASSERT_TRUE(k.centroid && k.ixx && k.iyy && k.extent);
    EXPECT_NEAR(k.centroid->x, c.x0 + c.b / 2, 1e-6);
    EXPECT_NEAR(k.centroid->y, c.y0 + c.h / 2, 1e-6);
    EXPECT_NEAR(*k.ixx, bh3 * (1 - 1.0 / (c.ny * c.ny)), 1e-9 * bh3);
    EXPECT_NEAR(*k.iyy, hb3 * (1 - 1.0 / (c.nx * c.nx)), 1e-9 * hb3);
    EXPECT_NEAR(k.extent->width(), c.b - c.b / c.nx, 1e-6);
  }
}

TEST(SectionSummary, LeftOutFibersEnterNoFigureAndKindsCombine) {
  Section s = of(column(), {S{-180, 250, 600}, S{120, 250, 600}, S{0, kInf, 600}});
  s.concrete.push_back({kNaN, 0, 100});
  s.concrete.push_back({1000, 0, -100});
  const SectionSummary sum = summarizeSection(s);
  EXPECT_EQ(sum.concrete.leftOut, 2);
  EXPECT_DOUBLE_EQ(sum.concrete.area, 240000);
  EXPECT_EQ(sum.steel.leftOut, 1);
  EXPECT_DOUBLE_EQ(sum.steel.centroid->x, -30);
  EXPECT_DOUBLE_EQ(*sum.steel.iyy, 2 * 600 * 150 * 150);
  EXPECT_DOUBLE_EQ(*sum.reinforcementRatio, 0.005);
  EXPECT_DOUBLE_EQ(sum.centroid->y, 1200 * 250 / 241200.0);
  EXPECT_DOUBLE_EQ(sum.extent->width(), 330);  // from the bar at -180 to the concrete at 150

  s.concrete = {C{0, 0, 0}};  // an extent but no area
  const SectionSummary bare = summarizeSection(s);
  EXPECT_FALSE(bare.concrete.centroid || bare.concrete.ixx || bare.reinforcementRatio);
  EXPECT_FALSE(summarizeSection(Section{}).extent);
}

Section sample(const char* file, FileVersion version, int number) {
  const ReadResult r = readSectionFile(std::string(FIBERVIEW_SAMPLES) + "/" + file,
                                       readOptions(version, true, 36, 4));
  EXPECT_TRUE(std::holds_alternative<SectionStore>(r)) << file;
  return std::holds_alternative<SectionStore>(r) ? *std::get<SectionStore>(r).section(number)
                                                 : Section{};
}

// The samples take EIxx about the origin; the corner column's centroid is far from it.
TEST(SectionSummary, FindsTheAxesTheStiffnessesFit) {
  for (const int number : {1, 3, 5}) {
    SCOPED_TRACE(number);
    const Section s = sample("new_titles.txt", FileVersion::New, number);
    const StiffnessComparison c = compareWithStiffnesses(
        summarizeSection(s), std::get<double>(s.properties[0]), std::get<double>(s.properties[1]),
        std::get<double>(s.properties[2]));
    EXPECT_EQ(c.axes, number == 5 ? StiffnessAxes::Origin : StiffnessAxes::Both);
    for (const auto& modulus : {c.fromArea, c.fromIxx, c.fromIyy})
      EXPECT_NEAR(*modulus, 30000, 150);
  }
  Section shifted = of(column());
  for (C& f : shifted.concrete) f[0] += 1000;
  const StiffnessComparison c =
      compareWithStiffnesses(summarizeSection(shifted), 30000.0 * 240000, 30000 * 7e9, 30000 * 3e9);
  EXPECT_EQ(c.axes, StiffnessAxes::Centroid);
}

// The findings as "S5 Coincident 4, C1 NotFinite v3": the fiber, the check, then the
// other fiber or the value number when there is one.
std::string describe(const std::vector<Finding>& findings) {
  const char* const checks[] = {"NotFinite", "NegativeArea", "ZeroArea", "Coincident", "Outside"};
  std::string text;
  for (const Finding& f : findings) {
    text += std::string(text.empty() ? "" : ", ") + (f.fiberKind == FiberKind::Steel ? "S" : "C") +
            std::to_string(f.fiber) + " " + checks[static_cast<int>(f.kind)];
    if (f.otherFiber != 0) text += " " + std::to_string(f.otherFiber);
    if (f.value != 0) text += " v" + std::to_string(f.value);
  }
  return text;
}

TEST(SectionChecks, FindingsNameTheFibers) {
  // 40 bars taking turns at two centres, more than std::sort keeps in order unasked.
  FiberList<S> bars;
  std::string coincident;
  for (int j = 1; j <= 40; ++j) {
    bars.push_back(j % 2 == 1 ? S{10, 10, 1} : S{-5, 0, 1});
    const std::string first = j % 2 == 1 ? "1" : "2";
    if (j > 2) coincident += (j > 3 ? ", S" : "S") + std::to_string(j) + " Coincident " + first;
  }
  const struct {
    const char* name;
    Section section;
    std::string expected;
  } cases[] = {
      {"CoincidentBarsNameTheFirstAtTheirCentre", of({}, bars), coincident},
      {"ZeroNegativeAndMinusZero", of({C{0, 0, 0}, C{100, 0, -5}, C{-0.0, 0, -0.0}}),
       "C1 ZeroArea, C2 NegativeArea, C3 ZeroArea, C3 Coincident 1"},
      // Infinite centres are neither coincident nor outside.
      {"NotFiniteValues",
       of({C{0, 0, -kInf}, C{1, 0, 1}}, {S{kNaN, 0, 1}, S{kInf, 0, 1}, S{kInf, 0, 1, 2, kInf}}),
       "C1 NotFinite v3, S1 NotFinite v1, S2 NotFinite v1, S3 NotFinite v1, S3 NotFinite v5"},
      // A bar over a concrete fiber is reinforcement; the outline of `column` is ±200 by ±300.
      {"BarsInsideAndOutsideTheConcrete",
       of(column(),
          {S{150, 250, 5}, S{170, 270, 1}, S{200, -300, 1}, S{200.5, 0, 1}, S{200.5, 0, 0}}),
       "S4 Outside, S5 ZeroArea, S5 Coincident 4, S5 Outside"},
      {"NoConcreteNothingOutside", of({}, {S{1e6, 0, 1}}), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(describe(checkSection(c.section)), c.expected);
  }
}

}  // namespace
}  // namespace fiberview
