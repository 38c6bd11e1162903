// What the value checks, the version judgement and the detector measure of a section's
// fibers: their extent and moments, the cell of their mesh, and the kinds of their further
// values. Internal to data/.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <tuple>
#include <vector>

#include "data/section_store.h"

namespace fiberview::detail {

inline constexpr int kConcreteFields = static_cast<int>(std::tuple_size_v<ConcreteFiber>);
inline constexpr int kSteelFields = static_cast<int>(std::tuple_size_v<SteelFiber>);
inline constexpr int kPropertyFields = 3;
inline constexpr double kInf = std::numeric_limits<double>::infinity();

// A further value is taken for a positive or a negative one, by kind, when at least this
// share of the fibers of its kind that hold a value other than 0 there hold such a number.
inline constexpr double kMostlyOneSign = 0.9;
// A further value is a material's, so where it is not 0 its size stays within this factor
// over the fibers of a kind: material numbers 1 to 9, strengths of several grades, strain
// limits from 0.0033 to 0.01 span less than a tenth of it. A misread puts coordinates, areas
// and strengths where strains or material numbers stand, orders of magnitude away.
inline constexpr double kMaterialSpan = 1000.0;

// The fibers of a section as points, with the largest fiber's square around each for an
// upper bound of their extent (one square root a section, not one a fiber).
struct Figure {
  double left = kInf, right = -kInf, bottom = kInf, top = -kInf;
  double largest = 0.0, smallest = kInf;
  double a = 0.0, ax = 0.0, ay = 0.0, axx = 0.0, ayy = 0.0, own = 0.0;
  int count = 0;

  void add(double x, double y, double area) {
    if (!(area > 0.0) || !std::isfinite(area) || !std::isfinite(x) || !std::isfinite(y)) return;
    left = std::min(left, x);
    right = std::max(right, x);
    bottom = std::min(bottom, y);
    top = std::max(top, y);
    largest = std::max(largest, area);
    smallest = std::min(smallest, area);
    a += area;
    ax += area * x;
    ay += area * y;
    axx += area * x * x;
    ayy += area * y * y;
    own += area * area;
    ++count;
  }
  double pointWidth() const { return right - left; }
  double pointHeight() const { return top - bottom; }
  double width() const { return pointWidth() + std::sqrt(largest); }
  double height() const { return pointHeight() + std::sqrt(largest); }
  // The mean of each fiber's own second moment per area, as a square of its area.
  double ownPerArea() const { return own / 12.0 / a; }
};

// The size of a typical cell of a mesh, along each axis: the spacing of the centres where
// more than one column (row) of them stands, else the cell's area over its other side. A wall
// meshed one fiber thick has slices far narrower than they are thick, so no square of a
// fiber's area gives both sides.
struct CellSize {
  double width = 0.0, height = 0.0;
};

// How many distinct values `v` holds (sorting it), those within `tolerance` taken as one.
inline std::size_t distinct(std::vector<double>& v, double tolerance) {
  std::sort(v.begin(), v.end());
  std::size_t n = v.empty() ? 0 : 1;
  for (std::size_t i = 1; i < v.size(); ++i) n += v[i] - v[i - 1] > tolerance ? 1u : 0u;
  return n;
}

template <typename Fibers>
CellSize cellSize(const Fibers& fibers, const Figure& f, double area,
                  std::vector<double>& scratch) {
  const double tolerance = 1e-9 * std::max({f.pointWidth(), f.pointHeight(), std::sqrt(area)});
  const auto spacing = [&](std::size_t axis, double extent) {
    scratch.clear();
    for (const auto& fiber : fibers) {
      if (std::isfinite(fiber[axis])) scratch.push_back(fiber[axis]);
    }
    const std::size_t n = distinct(scratch, tolerance);
    return n > 1 ? extent / static_cast<double>(n - 1) : 0.0;
  };
  CellSize c{spacing(0, f.pointWidth()), spacing(1, f.pointHeight())};
  if (c.width > 0.0 && c.height <= 0.0) c.height = area / c.width;
  if (c.height > 0.0 && c.width <= 0.0) c.width = area / c.height;
  if (c.width <= 0.0 && c.height <= 0.0) c.width = c.height = std::sqrt(area);
  return c;
}

inline double median(std::vector<double>& v) {
  if (v.empty()) return 0.0;
  const auto middle = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  std::nth_element(v.begin(), middle, v.end());
  return *middle;
}

// How a further value breaks the kind that the fibers of its kind give it.
enum class KindBreak { None, Positive, Negative, Size };

// Counts, per further value, the fibers of a kind holding a positive or a negative number
// there, and the least and the largest size of the numbers other than 0: a further value
// is a material's, which keeps its sign and its order of magnitude from fiber to fiber.
// `Count` is narrower where detection keeps a tally for every fiber of a section.
template <std::size_t N, typename Count = std::size_t>
struct KindCount {
  static constexpr std::size_t kFurther = N - 3;
  std::array<Count, kFurther> positive{}, negative{};
  std::array<double, kFurther> least, largest{};

  KindCount() { least.fill(kInf); }
  void add(const std::array<double, N>& f) {
    for (std::size_t v = 0; v < kFurther; ++v) {
      const double x = f[v + 3];
      positive[v] += x > 0.0 ? 1u : 0u;
      negative[v] += x < 0.0 ? 1u : 0u;
      if (x != 0.0) {
        least[v] = std::min(least[v], std::abs(x));
        largest[v] = std::max(largest[v], std::abs(x));
      }
    }
  }
  static bool mostButNotAll(std::size_t some, std::size_t all) {
    return some < all && static_cast<double>(some) >= kMostlyOneSign * static_cast<double>(all);
  }
  // The first further value (its index in the fiber) that breaks its kind, and how; 0 where
  // none does.
  std::size_t broken(KindBreak& how) const {
    for (std::size_t v = 0; v < kFurther; ++v) {
      const std::size_t signed_ = positive[v] + negative[v];
      how = mostButNotAll(positive[v], signed_)     ? KindBreak::Negative
            : mostButNotAll(negative[v], signed_)   ? KindBreak::Positive
            : largest[v] > kMaterialSpan * least[v] ? KindBreak::Size
                                                    : KindBreak::None;
      if (how != KindBreak::None) return v + 3;
    }
    return 0;
  }
};
}  // namespace fiberview::detail
