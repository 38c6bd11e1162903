#include "plot/concrete_region.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "plot/section_row.h"
#include "plot/section_summary.h"

namespace fiberview {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A b × h rectangle with its lower left corner at (x0, y0), cut into nx × ny equal cells.
void addGrid(Section& s, double b, double h, int nx, int ny, double x0, double y0) {
  for (int j = 0; j < ny; ++j) {
    for (int i = 0; i < nx; ++i) {
      s.concrete.push_back({x0 + (i + 0.5) * b / nx, y0 + (j + 0.5) * h / ny, b * h / nx / ny});
    }
  }
}

void addBar(Section& s, double x, double y) {
  s.steel.push_back({x, y, 490.9});
}

// A round column of diameter d in rings of equal width about a core of one ring, each ring
// cut into `perRing[k]` sectors, the fiber at each sector's centroid.
Section roundColumn(double d, const std::vector<int>& perRing) {
  Section s;
  const double rings = static_cast<double>(perRing.size());
  for (std::size_t k = 0; k < perRing.size(); ++k) {
    const double r1 = d / 2 * static_cast<double>(k) / rings;
    const double r2 = d / 2 * static_cast<double>(k + 1) / rings;
    const int n = perRing[k];
    const double half = kPi / n;
    const double rc =
        2.0 / 3.0 * (r2 * r2 * r2 - r1 * r1 * r1) / (r2 * r2 - r1 * r1) * std::sin(half) / half;
    for (int i = 0; i < n; ++i) {
      const double a = 2 * kPi * (i + 0.5) / n;
      s.concrete.push_back({rc * std::cos(a), rc * std::sin(a), kPi * (r2 * r2 - r1 * r1) / n});
    }
  }
  return s;
}

struct Shape {
  std::string name;
  Section section;
  std::vector<int> outside;  // the bars the region leaves out, 1-based
  double width, height;      // of the region, to within `slack` of each
  double area;               // of the region, to within `slack` of it
  double slack;              // relative
  bool rectangle;
};

std::vector<Shape> shapes() {
  std::vector<Shape> out;
  {
    // Bar 1 is outside the column, bar 2 in its cover.
    Section s = roundColumn(600, {12, 12, 12});
    addBar(s, 280, 280);
    addBar(s, 0, 250);
    out.push_back({"RoundColumnInEqualRings", s, {1}, 600, 600, kPi * 300 * 300, 0.04, false});
  }
  {
    // 600 × 600 with the upper right 300 × 300 missing; bar 3 in the notch.
    Section s;
    addGrid(s, 600, 300, 12, 6, 0, 0);
    addGrid(s, 300, 300, 6, 6, 0, 300);
    addBar(s, 40, 40);
    addBar(s, 560, 260);
    addBar(s, 450, 450);
    addBar(s, 260, 560);
    out.push_back({"LWithABarInTheNotch", s, {3}, 600, 600, 270000, 1e-9, false});
  }
  {
    // An 800 × 800 box with walls 200 thick; bar 2 in the hole.
    Section s;
    addGrid(s, 800, 200, 16, 4, -400, -400);
    addGrid(s, 800, 200, 16, 4, -400, 200);
    addGrid(s, 200, 400, 4, 8, -400, -200);
    addGrid(s, 200, 400, 4, 8, 200, -200);
    addBar(s, -340, -340);
    addBar(s, 150, 0);
    addBar(s, 340, 0);
    out.push_back({"BoxWithABarInTheHole", s, {2}, 800, 800, 800 * 800 - 400 * 400, 1e-9, false});
  }
  {
    // A wall 200 thick meshed as one fiber through it: 30 slices of 200 × 50.
    Section s;
    addGrid(s, 200, 1500, 1, 30, -100, -750);
    for (const double y : {-710.0, 710.0}) {
      addBar(s, -60, y);
      addBar(s, 60, y);
    }
    addBar(s, 110, 0);
    out.push_back({"WallOneFiberThick", s, {5}, 200, 1500, 300000, 1e-9, true});
  }
  {
    // 400 × 400 in 10 × 10 cells with 12 bars at 40 cover, one in an edge fiber's cover and
    // one just outside.
    Section s;
    addGrid(s, 400, 400, 10, 10, -200, -200);
    for (int i = 0; i < 4; ++i) {
      const double t = -160 + 320.0 * i / 3;
      addBar(s, t, -160);
      addBar(s, t, 160);
    }
    for (const double t : {-160.0 / 3, 160.0 / 3}) {
      addBar(s, -160, t);
      addBar(s, 160, t);
    }
    addBar(s, 5, 195);
    addBar(s, 201, 0);
    out.push_back({"Column10x10", s, {14}, 400, 400, 160000, 1e-9, true});
  }
  {
    // 0.4 × 0.6 m in 8 × 12 cells at (1.2e6, 3.4e6) m; bar 3 a centimetre outside.
    Section s;
    addGrid(s, 0.4, 0.6, 8, 12, 1.2e6 - 0.2, 3.4e6 - 0.3);
    s.steel.push_back({1.2e6 - 0.16, 3.4e6 - 0.26, 4.9e-4});
    s.steel.push_back({1.2e6 + 0.16, 3.4e6 + 0.26, 4.9e-4});
    s.steel.push_back({1.2e6 + 0.21, 3.4e6, 4.9e-4});
    out.push_back({"FarFromTheOriginInMetres", s, {3}, 0.4, 0.6, 0.24, 1e-6, true});
  }
  {
    // 400 × 400: a core of 80 × 80 cells inside a cover 40 thick in cells of 40 × 80 and
    // 40 × 40 at the corners; the cells' centres are not where a uniform grid has them.
    Section s;
    addGrid(s, 320, 320, 4, 4, -160, -160);
    for (const double side : {-180.0, 180.0}) {
      addGrid(s, 320, 40, 4, 1, -160, side - 20);
      addGrid(s, 40, 320, 1, 4, side - 20, -160);
      addGrid(s, 40, 40, 1, 1, -200, side - 20);
      addGrid(s, 40, 40, 1, 1, 160, side - 20);
    }
    addBar(s, 195, 195);
    addBar(s, -205, 0);
    out.push_back({"ColumnWithAThinnerCover", s, {2}, 400, 400, 160000, 1e-9, true});
  }
  {
    // Rectangles of any aspect: cells twenty times wider than high.
    Section s;
    addGrid(s, 1000, 50, 2, 20, 0, 0);
    addBar(s, 20, 25);
    addBar(s, 980, 25);
    out.push_back({"RectangleOfSlenderCells", s, {}, 1000, 50, 50000, 1e-9, true});
  }
  return out;
}

class ShapesEngineersMesh : public testing::TestWithParam<Shape> {};

// The region, and the bars the check finds outside it.
TEST_P(ShapesEngineersMesh, RegionAndBarsOutsideAreRight) {
  const Shape& shape = GetParam();
  const ConcreteRegion region(shape.section);
  EXPECT_EQ(region.failure(), "");
  ASSERT_TRUE(region.extent());
  EXPECT_NEAR(region.extent()->width(), shape.width, shape.slack * shape.width);
  EXPECT_NEAR(region.extent()->height(), shape.height, shape.slack * shape.height);
  EXPECT_NEAR(region.area(), shape.area, shape.slack * shape.area);
  EXPECT_EQ(region.isRectangle(), shape.rectangle);

  // Every fiber lies in its own cell.
  for (const ConcreteFiber& f : shape.section.concrete) EXPECT_TRUE(region.contains({f[0], f[1]}));

  std::vector<int> outside;
  for (const Finding& f : checkSection(shape.section)) {
    if (f.kind == CheckKind::SteelOutsideConcrete) outside.push_back(f.fiber);
  }
  EXPECT_EQ(outside, shape.outside);

  // The outline is the same region, in one piece with its hole, and the boundary the
  // window strokes runs round it.
  const auto [outline, failure] = region.outline();
  EXPECT_EQ(failure, "");
  double area = 0.0;
  double perimeter = 0.0;
  for (const RegionPolygon& p : outline) {
    const auto walk = [&](const Ring& r) {
      for (std::size_t i = 0; i < r.size(); ++i) {
        const Point a = r[i], b = r[(i + 1) % r.size()];
        area += ((a.x - r[0].x) * (b.y - r[0].y) - (a.y - r[0].y) * (b.x - r[0].x)) / 2;
        perimeter += std::hypot(b.x - a.x, b.y - a.y);
      }
    };
    walk(p.outer);
    for (const Ring& h : p.holes) walk(h);
  }
  ASSERT_EQ(outline.size(), 1u);
  EXPECT_EQ(outline[0].holes.size(), shape.name.rfind("Box", 0) == 0 ? 1u : 0u);
  EXPECT_NEAR(area, region.area(), 1e-6 * region.area());
  double stroked = 0.0;
  for (const auto& [a, b] : region.boundary()) stroked += std::hypot(b.x - a.x, b.y - a.y);
  EXPECT_NEAR(stroked, perimeter, 1e-6 * perimeter);
}

INSTANTIATE_TEST_SUITE_P(ConcreteRegion, ShapesEngineersMesh, testing::ValuesIn(shapes()),
                         [](const auto& info) { return info.param.name; });

// Fibers of a file gone wrong, `half` either side of the origin: the region is empty and
// says why, in GEOS's words where GEOS gave up.
TEST(ConcreteRegion, RegionThatCannotBeMadeSaysWhy) {
  for (const auto& [half, fromGeos] : {std::pair{1e200, true}, std::pair{1e308, false}}) {
    SCOPED_TRACE(half);
    Section s;
    for (const double x : {-half, half}) {
      for (const double y : {-half, 0.0, half}) s.concrete.push_back({x, y, 1.0});
    }
    const ConcreteRegion region(s);
    EXPECT_TRUE(region.empty());
    EXPECT_NE(region.failure(), "");
    // The section's verdict carries the reason.
    SectionStore store;
    store.sections.push_back(s);
    const SectionRow row = sectionRow(store, 1, region);
    EXPECT_EQ(row.issues, std::vector<SectionIssue>{SectionIssue::RegionFailed});
    EXPECT_EQ(row.regionFailure, region.failure());
    // GEOS names the exception it threw.
    if (fromGeos) {
      EXPECT_NE(region.failure().find("Exception"), std::string::npos) << region.failure();
    }
  }
}

}  // namespace
}  // namespace fiberview
