#include "plot/section_row.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <map>
#include <tuple>

#include "plot/concrete_region.h"

namespace fiberview {

namespace {

// Property `property` of `section` as a number; NaN, which no comparison takes, for a
// property that is text, empty, or not given by the version (-1).
double numberOf(const Section& section, int property) {
  if (property < 0) return std::numeric_limits<double>::quiet_NaN();
  const double* d = std::get_if<double>(&section.properties[static_cast<std::size_t>(property)]);
  return d != nullptr ? *d : std::numeric_limits<double>::quiet_NaN();
}

std::optional<double> relativeOf(const std::optional<Difference>& d) {
  return d ? d->relative : std::nullopt;
}

bool alike(double a, double b, double tolerance) {
  return std::abs(a - b) <= tolerance * std::max(std::abs(a), std::abs(b));
}

// The bars of positive area that differ from the area all the others share.
std::vector<int> oddBarsOf(const Section& section) {
  std::vector<int> odd;
  const auto& bars = section.steel;
  if (static_cast<int>(bars.size()) < kMinBarsForOddBar) return odd;
  std::vector<double> areas;
  for (const SteelFiber& b : bars) {
    if (!std::isfinite(b[2])) return odd;
    areas.push_back(b[2]);
  }
  // With all but one bar alike, the median is one of the alike ones.
  std::vector<double> sorted = areas;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2),
                   sorted.end());
  const double common = sorted[sorted.size() / 2];
  for (std::size_t j = 0; j < areas.size(); ++j) {
    if (!alike(areas[j], common, kAlikeTolerance)) odd.push_back(static_cast<int>(j) + 1);
  }
  if (odd.size() != 1 || !(areas[static_cast<std::size_t>(odd[0]) - 1] > 0.0)) odd.clear();
  return odd;
}

template <typename Fiber>
bool allFinite(const std::vector<Fiber>& fibers) {
  for (const Fiber& f : fibers) {
    for (double v : f) {
      if (!std::isfinite(v)) return false;
    }
  }
  return true;
}

// Orders sections by their concrete fibers' x, y and area, as a key for sections with the
// same concrete.
struct ConcreteLess {
  bool operator()(const Section* a, const Section* b) const {
    return std::lexicographical_compare(
        a->concrete.begin(), a->concrete.end(), b->concrete.begin(), b->concrete.end(),
        [](const ConcreteFiber& f, const ConcreteFiber& g) {
          return std::tie(f[0], f[1], f[2]) < std::tie(g[0], g[1], g[2]);
        });
  }
};

// Orders sections by all their fibers' values.
struct FibersLess {
  bool operator()(const Section* a, const Section* b) const {
    return std::tie(a->concrete, a->steel) < std::tie(b->concrete, b->steel);
  }
};

void markSteelOutliers(const std::vector<int>& group, std::vector<SectionRow>& rows) {
  if (static_cast<int>(group.size()) < kMinGroupForOutlier) return;
  std::vector<int> order = group;
  const auto area = [&](int i) { return rows[static_cast<std::size_t>(i)].steelArea; };
  std::sort(order.begin(), order.end(), [&](int a, int b) { return area(a) < area(b); });
  // Runs of equal ΣAs; summing the same bars in another order may change the last digits.
  std::vector<std::pair<std::size_t, std::size_t>> runs;  // [begin, end) in `order`
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (i == 0 || !alike(area(order[i]), area(order[runs.back().first]), 1e-6)) {
      runs.push_back({i, i + 1});
    } else {
      runs.back().second = i + 1;
    }
  }
  const auto dominant = std::max_element(runs.begin(), runs.end(), [](auto a, auto b) {
    return a.second - a.first < b.second - b.first;
  });
  const double held = static_cast<double>(dominant->second - dominant->first);
  if (held < kDominantShare * static_cast<double>(order.size())) return;
  const double common = area(order[dominant->first]);
  for (const auto& run : runs) {
    if (run.second - run.first != 1) continue;
    const int i = order[run.first];
    if (alike(area(i), common, kAlikeTolerance)) continue;
    auto& issues = rows[static_cast<std::size_t>(i)].issues;
    issues.insert(std::upper_bound(issues.begin(), issues.end(), SectionIssue::SteelAreaOutlier),
                  SectionIssue::SteelAreaOutlier);
  }
}

}  // namespace

SectionRow sectionRow(const SectionStore& store, int number) {
  const Section& section = *store.section(number);
  const SectionSummary summary = summarizeSection(section);
  const ConcreteRegion region(section);
  const VersionDescription& version = describe(store.version);

  SectionRow row;
  row.number = number;
  row.title = section.title;
  row.concreteCount = summary.concrete.count;
  row.steelCount = summary.steel.count;
  row.concreteArea = summary.concrete.area;
  row.steelArea = summary.steel.area;
  row.ratio = summary.reinforcementRatio;
  if (const auto& box = region.extent()) {
    row.regionWidth = box->width();
    row.regionHeight = box->height();
  }
  for (std::size_t i = 0; i < 3; ++i) {
    row.properties[i] = section.properties[static_cast<std::size_t>(version.shownOrder[i])];
  }
  row.fiberFindings = checkSection(section, region);

  if (section.concrete.empty() && section.steel.empty()) {
    row.issues.push_back(SectionIssue::NoFibers);
  }
  if (version.givesSize() && !region.empty()) {
    const DimensionComparison c =
        compareWithDimensions(region, numberOf(section, version.widthProperty),
                              numberOf(section, version.heightProperty));
    row.comparisons[0] = relativeOf(c.width);
    row.comparisons[1] = relativeOf(c.height);
    if (row.comparisons[0] && std::abs(*row.comparisons[0]) > kDimensionTolerance) {
      row.issues.push_back(SectionIssue::WidthMismatch);
    }
    if (row.comparisons[1] && std::abs(*row.comparisons[1]) > kDimensionTolerance) {
      row.issues.push_back(SectionIssue::HeightMismatch);
    }
  }
  if (version.givesStiffness()) {
    const StiffnessComparison c =
        compareWithStiffnesses(summary, numberOf(section, version.axialStiffnessProperty),
                               numberOf(section, version.stiffnessXXProperty),
                               numberOf(section, version.stiffnessYYProperty));
    row.comparisons = {c.fromArea, c.fromIxx, c.fromIyy};
  }
  row.oddBars = oddBarsOf(section);
  if (!row.oddBars.empty()) row.issues.push_back(SectionIssue::OddBar);
  return row;
}

std::optional<std::vector<SectionRow>> checkFile(const SectionStore& store,
                                                 const std::atomic<bool>& cancel,
                                                 const ProgressCallback& progress) {
  const int count = static_cast<int>(store.sections.size());
  std::vector<SectionRow> rows;
  rows.reserve(store.sections.size());
  std::map<const Section*, std::vector<int>, ConcreteLess> byConcrete;
  std::map<const Section*, int, FibersLess> byFibers;
  constexpr int kReportEvery = 50;
  for (int k = 1; k <= count; ++k) {
    if (cancel.load(std::memory_order_relaxed)) return std::nullopt;
    rows.push_back(sectionRow(store, k));
    const Section& s = *store.section(k);
    if (allFinite(s.concrete) && allFinite(s.steel)) {
      if (!s.concrete.empty()) byConcrete[&s].push_back(k - 1);
      const auto [first, added] = byFibers.try_emplace(&s, k);
      if (!added && store.section(first->second)->title != s.title)
        rows.back().sameAs = first->second;
    }
    if (progress && (k % kReportEvery == 0 || k == count)) progress(k);
  }
  // A section identical to a later one under another title names it too.
  for (SectionRow& row : rows) {
    if (row.sameAs == 0) continue;
    SectionRow& first = rows[static_cast<std::size_t>(row.sameAs) - 1];
    if (first.sameAs == 0) first.sameAs = row.number;
  }
  for (const auto& [section, group] : byConcrete) {
    if (cancel.load(std::memory_order_relaxed)) return std::nullopt;
    markSteelOutliers(group, rows);
  }
  return rows;
}

}  // namespace fiberview
