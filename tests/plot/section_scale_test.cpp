#include "plot/section_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace fiberview {
namespace {

// A drawing area in which 60 % of the height (2349) is tighter than 60 % of the width (2781).
constexpr int kW = 4635;
constexpr int kH = 3915;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

ConcreteFiber concrete(double x, double y, double area) {
  return {x, y, area, 1, 2, 3, 4, 5};
}
SteelFiber steel(double x, double y, double area) {
  return {x, y, area, 1, 2};
}

// The 400 x 600 rectangle centred on its origin, one concrete fiber at each corner.
Section rectangle() {
  Section s;
  s.title = "COL-A";
  s.concrete = {concrete(-200, -300, 100), concrete(200, -300, 100), concrete(200, 300, 100),
                concrete(-200, 300, 100)};
  return s;
}

SectionPicture draw(Section s, int width = kW, int height = kH,
                    FileVersion shown = FileVersion::Old, FileVersion read = FileVersion::Old) {
  SectionStore store;
  store.version = read;
  store.titled = true;
  store.sections.push_back(std::move(s));
  const PlotResult result = scaleSection(store, 1, width, height, shown);
  if (const auto* picture = std::get_if<SectionPicture>(&result)) return *picture;
  ADD_FAILURE() << "scaling failed, kind " << static_cast<int>(std::get<PlotError>(result).kind);
  return {};
}

void expectDisc(const Disc& d, double cx, double cy, FiberKind kind) {
  EXPECT_NEAR(d.cx, cx, 1e-9);
  EXPECT_NEAR(d.cy, cy, 1e-9);
  EXPECT_EQ(d.kind, kind);
}

// Discs of area = fiber area at scale, measured against 3.14: a fiber of 3.14 gets the scale.
TEST(SectionScale, SymmetricRectangleFillsSixtyPercentOfTheTighterDirection) {
  Section s = rectangle();
  s.concrete.push_back(concrete(-100, 200, 400));
  s.concrete.push_back(concrete(0, 0, 3.14));
  const SectionPicture p = draw(s);
  EXPECT_DOUBLE_EQ(p.scale, 3.915);
  EXPECT_EQ(p.widthText, " 400");
  EXPECT_EQ(p.heightText, " 600");
  ASSERT_EQ(p.discs.size(), 6u);
  // Centred: the corners reach 20 % and 80 % of the height.
  expectDisc(p.discs[0], 1534.5, 3132, FiberKind::Concrete);
  expectDisc(p.discs[2], 3100.5, 783, FiberKind::Concrete);
  expectDisc(p.discs[4], 1926, 1174.5, FiberKind::Concrete);
  EXPECT_NEAR(p.discs[4].radius, 44.187, 1e-3);
  EXPECT_NEAR(p.discs[5].radius, p.scale, 1e-12);
}

TEST(SectionScale, BoxAlwaysContainsTheOrigin) {
  Section s;
  s.concrete = {concrete(-50, 100, 4), concrete(50, 300, 4)};
  const SectionPicture p = draw(s);
  // Height 300 (from the origin), not 200: the tighter scale is 2349 / 300.
  EXPECT_EQ(p.heightText, " 300");
  EXPECT_DOUBLE_EQ(p.scale, 7.83);
  ASSERT_EQ(p.discs.size(), 2u);
  expectDisc(p.discs[0], 1926, 1174.5, FiberKind::Concrete);
  expectDisc(p.discs[1], 2709, -391.5, FiberKind::Concrete);
}

TEST(SectionScale, FindsTheTopmostFiberAtAPoint) {
  Section s = rectangle();
  // Concrete corners of area 100 have a radius of 22.09 twips at scale 3.915; a bar of
  // area 3.14 one of 3.915. The bar lies on concrete fiber 3.
  s.steel = {steel(-100, 0, 3.14), steel(200, 300, 3.14)};
  const SectionPicture p = draw(s);
  struct {
    const char* name;
    double x, y;  // twips
    double tolerance;
    std::optional<std::pair<FiberKind, int>> expected;
  } const cases[] = {
      {"ConcreteCentre", 1534.5, 3132, 0, std::pair{FiberKind::Concrete, 1}},
      {"InsideConcreteEdge", 1534.5 + 22, 3132, 0, std::pair{FiberKind::Concrete, 1}},
      {"SteelOverConcrete", 3100.5, 783, 0, std::pair{FiberKind::Steel, 2}},
      {"ConcreteAroundTheBar", 3100.5 + 10, 783, 0, std::pair{FiberKind::Concrete, 3}},
      {"Nothing", 2317.5, 1957.5, 0, std::nullopt},
      {"JustBesideTheBar", 2317.5 - 391.5 + 5, 1957.5, 0, std::nullopt},
      {"BesideTheBarWithinTolerance", 2317.5 - 391.5 + 5, 1957.5, 2,
       std::pair{FiberKind::Steel, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<Disc> d = discAt(p, c.x, c.y, c.tolerance);
    ASSERT_EQ(d.has_value(), c.expected.has_value());
    if (d) {
      EXPECT_EQ(d->kind, c.expected->first);
      EXPECT_EQ(d->fiber, c.expected->second);
    }
  }
}

// A section without extent in x or y, or without fibers: `discs` discs drawn at `scale` (when
// there are any) and the read-outs `width` and `height`.
void expectFlat(const char* name, FiberList<ConcreteFiber> concrete, FiberList<SteelFiber> steel,
                std::size_t discs, double scale, const char* width, const char* height) {
  SCOPED_TRACE(name);
  Section s;
  s.title = "WALL";
  s.concrete = std::move(concrete);
  s.steel = std::move(steel);
  const SectionPicture p = draw(s);
  EXPECT_EQ(p.discs.size(), discs);
  if (discs > 0) {
    EXPECT_DOUBLE_EQ(p.scale, scale);
  }
  EXPECT_EQ(p.widthText, width);
  EXPECT_EQ(p.heightText, height);
  EXPECT_EQ(p.title.text, " 1 WALL");
  EXPECT_EQ(p.properties.text, "B=  H=  E0=0.00E+00");
}

TEST(SectionScale, FlatBoxTakesItsScaleFromTheOtherDirection) {
  expectFlat("FlatInX", {concrete(0, -100, 4), concrete(0, 100, 4)}, {}, 2, 11.745, " 0", " 200");
  expectFlat("FlatInY", {concrete(-100, 0, 4)}, {steel(100, 0, 4)}, 2, 13.905, " 200", " 0");
  expectFlat("AllAtOrigin", {concrete(0, 0, 4)}, {steel(0, 0, 4)}, 0, 0, " 0", " 0");
  expectFlat("NoFibers", {}, {}, 0, 0, " 0", " 0");
  // Too narrow to divide by: the regression for a scale of infinity and NaN centres.
  expectFlat("NarrowerThanAnyScale", {concrete(0, 0, 1), concrete(1e-320, 100, 1)}, {}, 2, 23.49,
             " 9.99988867182683E-321", " 100");
}

// Scaling section `expected.section` (1-based; 0: nothing selected) of a store whose first
// section is the rectangle and whose second holds `concrete` and `steel` fails as `expected`.
void expectFailure(const char* name, FiberList<ConcreteFiber> concrete, FiberList<SteelFiber> steel,
                   const PlotError& expected) {
  SCOPED_TRACE(name);
  SectionStore store;
  store.sections = {rectangle(), Section{}};
  store.sections[1].concrete = std::move(concrete);
  store.sections[1].steel = std::move(steel);
  const PlotResult result = scaleSection(store, expected.section, kW, kH, FileVersion::Old);
  const auto* e = std::get_if<PlotError>(&result);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->kind, expected.kind);
  EXPECT_EQ(e->section, expected.section);
  EXPECT_EQ(e->fiberKind, expected.fiberKind);
  EXPECT_EQ(e->fiber, expected.fiber);
  if (std::isnan(expected.value)) {
    EXPECT_TRUE(std::isnan(e->value)) << e->value;
  } else {
    EXPECT_EQ(e->value, expected.value);
  }
}

TEST(SectionScale, FailuresNameSectionFiberAndValue) {
  using F = PlotFailure;
  const auto C = FiberKind::Concrete;
  const auto S = FiberKind::Steel;
  expectFailure("NothingSelected", {}, {}, {F::NothingSelected, 0, C, 0, 0});
  expectFailure("IndexBeyondStore", {}, {}, {F::NoSuchSection, 3, C, 0, 0});
  expectFailure("NegativeConcreteArea",
                {concrete(0, 0, 1), concrete(1, 1, 1), concrete(2, 2, -0.5)}, {},
                {F::NegativeArea, 2, C, 3, -0.5});
  expectFailure("NegativeSteelArea", {concrete(0, 0, 1)}, {steel(1, 1, -2)},
                {F::NegativeArea, 2, S, 1, -2});
  expectFailure("NaNCoordinate", {}, {steel(0, 0, 1), steel(kNaN, 0, 1)},
                {F::NotFinite, 2, S, 2, kNaN});
  expectFailure("InfiniteCoordinate", {concrete(0, kInf, 1)}, {}, {F::NotFinite, 2, C, 1, kInf});
  expectFailure("MinusInfiniteArea", {concrete(0, 0, -kInf)}, {}, {F::NotFinite, 2, C, 1, -kInf});
  expectFailure("BoxBeyondDoubles", {concrete(-1e308, 0, 1), concrete(1e308, 0, 1)}, {},
                {F::TooLarge, 2});
  expectFailure("HugeAreaInTinyBox", {concrete(0, 0, 1e308), concrete(1e-300, 1e-300, 1e308)}, {},
                {F::TooLarge, 2});
}

TEST(SectionScale, PropertyLineFollowsTheVersionShownAtDrawing) {
  Section s = rectangle();
  // H is read before B in an old file, but shown after it.
  s.properties = {600.0, std::string("B-40"), 30000.0};
  const std::string oldLine = "B=B-40  H=6.00E+02  E0=3.00E+04";
  EXPECT_EQ(draw(s).properties.text, oldLine);
  // Read as old, shown as new: the file held no new-version properties.
  EXPECT_EQ(draw(s, kW, kH, FileVersion::New).properties.text, "EA=  EIxx=  EIyy=0.00E+00");
  EXPECT_EQ(draw(s, kW, kH, FileVersion::Old, FileVersion::New).properties.text,
            "B=  H=  E0=0.00E+00");

  s.properties = {1.5e6, -1234.5, 0.00000015};
  const SectionPicture p = draw(s, kW, kH, FileVersion::New, FileVersion::New);
  EXPECT_EQ(p.properties.text, "EA=1.50E+06  EIxx=-1.23E+03  EIyy=1.50E-07");
  EXPECT_EQ(p.title.text, " 1 COL-A");
}

}  // namespace
}  // namespace fiberview
