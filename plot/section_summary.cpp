#include "plot/section_summary.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <map>
#include <tuple>

namespace fiberview {

namespace {

template <typename Fiber>
bool hasFiniteCentre(const Fiber& f) {
  return std::isfinite(f[0]) && std::isfinite(f[1]);
}

template <typename Fiber>
bool entersFigures(const Fiber& f) {
  return hasFiniteCentre(f) && std::isfinite(f[2]) && f[2] >= 0.0;
}

void include(std::optional<Extent>& box, const Extent& more) {
  if (!box) {
    box = more;
    return;
  }
  box->xmin = std::min(box->xmin, more.xmin);
  box->xmax = std::max(box->xmax, more.xmax);
  box->ymin = std::min(box->ymin, more.ymin);
  box->ymax = std::max(box->ymax, more.ymax);
}

// The area-weighted sums of one kind, kept apart from the summary so that both kinds'
// sums can be added for the centroid of the whole section.
struct Moments {
  double area = 0.0;
  double ax = 0.0;
  double ay = 0.0;
};

std::optional<Point> centroidOf(const Moments& m) {
  if (!(m.area > 0.0)) return std::nullopt;
  const Point c{m.ax / m.area, m.ay / m.area};
  if (!std::isfinite(c.x) || !std::isfinite(c.y)) return std::nullopt;
  return c;
}

template <typename Fiber>
KindSummary summarizeKind(const FiberList<Fiber>& fibers, Moments& moments) {
  KindSummary s;
  s.count = static_cast<int>(fibers.size());
  for (const Fiber& f : fibers) {
    if (!entersFigures(f)) {
      ++s.leftOut;
      continue;
    }
    const double x = f[0];
    const double y = f[1];
    const double a = f[2];
    moments.area += a;
    moments.ax += a * x;
    moments.ay += a * y;
    include(s.extent, {x, x, y, y});
  }
  s.area = moments.area;
  s.centroid = centroidOf(moments);
  if (!s.centroid) return s;

  // A second pass about the centroid: ΣAy² − ΣA·ȳ² loses every digit of a section that
  // lies far from its origin.
  double ixx = 0.0;
  double iyy = 0.0;
  double ixxOrigin = 0.0;
  double iyyOrigin = 0.0;
  for (const Fiber& f : fibers) {
    // A fiber of no area adds nothing, and skipping it keeps 0 × ∞ from giving NaN when a
    // distance overflows.
    if (!entersFigures(f) || f[2] == 0.0) continue;
    const double dx = f[0] - s.centroid->x;
    const double dy = f[1] - s.centroid->y;
    ixx += f[2] * dy * dy;
    iyy += f[2] * dx * dx;
    ixxOrigin += f[2] * f[1] * f[1];
    iyyOrigin += f[2] * f[0] * f[0];
  }
  s.ixx = ixx;
  s.iyy = iyy;
  s.ixxOrigin = ixxOrigin;
  s.iyyOrigin = iyyOrigin;
  return s;
}

Difference difference(double stated, double measured) {
  Difference d{stated, measured, std::nullopt};
  if (stated != 0.0 && std::isfinite(stated) && std::isfinite(measured)) {
    const double relative = (measured - stated) / std::abs(stated);
    if (std::isfinite(relative)) d.relative = relative;
  }
  return d;
}

template <typename Fiber>
void checkValues(const FiberList<Fiber>& fibers, FiberKind kind, std::vector<Finding>& out) {
  for (std::size_t j = 0; j < fibers.size(); ++j) {
    const Fiber& f = fibers[j];
    const int fiber = static_cast<int>(j) + 1;
    for (std::size_t v = 0; v < f.size(); ++v) {
      if (!std::isfinite(f[v])) {
        out.push_back({CheckKind::NotFinite, kind, fiber, 0, static_cast<int>(v) + 1});
      }
    }
    if (f[2] < 0.0 && std::isfinite(f[2])) {
      out.push_back({CheckKind::NegativeArea, kind, fiber});
    } else if (f[2] == 0.0) {
      out.push_back({CheckKind::ZeroArea, kind, fiber});
    }
  }
}

template <typename Fiber>
void checkCoincident(const FiberList<Fiber>& fibers, FiberKind kind, std::vector<Finding>& out) {
  // NaN has no place in a sort order, so only finite centres are sorted.
  std::vector<std::size_t> order;
  order.reserve(fibers.size());
  for (std::size_t j = 0; j < fibers.size(); ++j) {
    if (hasFiniteCentre(fibers[j])) order.push_back(j);
  }
  // Ties broken by fiber number, so the first of a run of equal centres is the lowest
  // numbered. -0 and 0 sort as equal and compare equal, as one place should.
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return std::tie(fibers[a][0], fibers[a][1], a) < std::tie(fibers[b][0], fibers[b][1], b);
  });
  std::size_t first = 0;
  for (std::size_t i = 1; i < order.size(); ++i) {
    const Fiber& f = fibers[order[i]];
    const Fiber& g = fibers[order[first]];
    if (f[0] == g[0] && f[1] == g[1]) {
      out.push_back({CheckKind::Coincident, kind, static_cast<int>(order[i]) + 1,
                     static_cast<int>(order[first]) + 1});
    } else {
      first = i;
    }
  }
}

}  // namespace

SectionSummary summarizeSection(const Section& section) {
  SectionSummary s;
  Moments concrete;
  Moments steel;
  s.concrete = summarizeKind(section.concrete, concrete);
  s.steel = summarizeKind(section.steel, steel);
  if (concrete.area > 0.0) {
    const double ratio = steel.area / concrete.area;
    if (std::isfinite(ratio)) s.reinforcementRatio = ratio;
  }
  s.centroid =
      centroidOf({concrete.area + steel.area, concrete.ax + steel.ax, concrete.ay + steel.ay});
  s.extent = s.concrete.extent;
  if (s.steel.extent) include(s.extent, *s.steel.extent);
  return s;
}

std::vector<MaterialCount> countMaterials(const Section& section) {
  std::map<double, MaterialCount> counts;
  for (const ConcreteFiber& f : section.concrete) {
    if (std::isfinite(f[3])) ++counts[f[3] + 0.0].concrete;  // -0 is material 0
  }
  for (const SteelFiber& f : section.steel) {
    if (std::isfinite(f[3])) ++counts[f[3] + 0.0].steel;
  }
  std::vector<MaterialCount> out;
  out.reserve(counts.size());
  for (auto& [number, count] : counts) {
    count.number = number;
    out.push_back(count);
  }
  return out;
}

DimensionComparison compareWithDimensions(const ConcreteRegion& region, double b, double h) {
  DimensionComparison c;
  if (const auto& e = region.extent()) {
    c.width = difference(b, e->width());
    c.height = difference(h, e->height());
    if (region.isRectangle()) c.area = difference(b * h, region.area());
  }
  return c;
}

StiffnessComparison compareWithStiffnesses(const SectionSummary& summary, double ea, double eixx,
                                           double eiyy) {
  const KindSummary& k = summary.concrete;
  const auto ratio = [](double stiffness, const std::optional<double>& figure) {
    std::optional<double> r;
    if (figure && *figure != 0.0) r = stiffness / *figure;
    if (r && !std::isfinite(*r)) r.reset();
    return r;
  };
  const auto about = [&](StiffnessAxes axes, std::optional<double> ixx, std::optional<double> iyy) {
    return StiffnessComparison{
        axes, ixx, iyy, ratio(ea, k.area), ratio(eixx, ixx), ratio(eiyy, iyy)};
  };
  const StiffnessComparison centroid = about(StiffnessAxes::Centroid, k.ixx, k.iyy);
  const StiffnessComparison origin = about(StiffnessAxes::Origin, k.ixxOrigin, k.iyyOrigin);
  // A centroid a billionth of the section's size from the origin is noise of the sums.
  const double size = k.extent ? k.extent->width() + k.extent->height() : 0.0;
  if (!k.centroid ||
      (std::abs(k.centroid->x) <= 1e-9 * size && std::abs(k.centroid->y) <= 1e-9 * size)) {
    StiffnessComparison both = centroid;
    both.axes = StiffnessAxes::Both;
    return both;
  }
  // How far the bending moduli stray from the axial one, as a factor; a modulus that cannot
  // be formed strays without end.
  const auto stray = [](const StiffnessComparison& c) {
    double worst = 0.0;
    for (const auto& m : {c.fromIxx, c.fromIyy}) {
      worst = std::max(worst, m && c.fromArea && *m > 0.0 && *c.fromArea > 0.0
                                  ? std::abs(std::log(*m / *c.fromArea))
                                  : HUGE_VAL);
    }
    return worst;
  };
  return stray(origin) < stray(centroid) ? origin : centroid;
}

std::vector<Finding> checkSection(const Section& section) {
  return checkSection(section, ConcreteRegion(section));
}

std::vector<Finding> checkSection(const Section& section, const ConcreteRegion& region) {
  std::vector<Finding> findings;
  checkValues(section.concrete, FiberKind::Concrete, findings);
  checkValues(section.steel, FiberKind::Steel, findings);
  checkCoincident(section.concrete, FiberKind::Concrete, findings);
  checkCoincident(section.steel, FiberKind::Steel, findings);

  if (!region.empty()) {
    for (std::size_t j = 0; j < section.steel.size(); ++j) {
      const SteelFiber& f = section.steel[j];
      if (hasFiniteCentre(f) && !region.contains({f[0], f[1]})) {
        findings.push_back(
            {CheckKind::SteelOutsideConcrete, FiberKind::Steel, static_cast<int>(j) + 1});
      }
    }
  }

  std::sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
    return std::tie(a.fiberKind, a.fiber, a.kind, a.value) <
           std::tie(b.fiberKind, b.fiber, b.kind, b.value);
  });
  return findings;
}

}  // namespace fiberview
