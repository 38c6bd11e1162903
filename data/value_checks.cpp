#include "data/value_checks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <variant>

#include "data/fiber_measures.h"
#include "data/version_judgement.h"

namespace fiberview {

using detail::CellSize;
using detail::cellSize;
using detail::Figure;
using detail::kConcreteFields;
using detail::KindBreak;
using detail::KindCount;
using detail::kMaterialSpan;
using detail::kSteelFields;
using detail::median;

namespace {

// Concrete fibers, taken as squares of their areas or as cells as the spacing of their
// centres gives them, cover their bounding box: together
// they can neither overlap it much nor leave almost all of it empty (a thin ring leaves
// about 85 %).
constexpr double kMostCover = 2.0;
constexpr double kLeastCover = 0.01;
// A bar may stand this share of the concrete's larger side outside it: coarse meshes of long
// cells, taken as squares, look narrower than the section whose bars they hold.
constexpr double kBarMargin = 0.5;
// Sections whose values a read's check looks at. Reading the store is bound by memory, so a
// full pass over the largest file would cost most of a pass over its bytes; a setting that
// does not fit shifts the fields of every section alike, so a spread of sections shows it.
constexpr std::size_t kSectionsChecked = 256;

enum class PropertyKind { Empty, Number, Text };

PropertyKind kindOf(const Value& v) {
  if (std::holds_alternative<double>(v)) return PropertyKind::Number;
  if (std::holds_alternative<std::string>(v)) return PropertyKind::Text;
  return PropertyKind::Empty;
}

// Checks each fiber's values, and counts their kinds and adds them to `figure` on the way,
// so that every fiber is looked at once.
template <std::size_t N>
std::optional<ValueFinding> fiberValueProblem(const FiberList<std::array<double, N>>& fibers,
                                              int section, FiberKind kind, KindCount<N>& counts,
                                              Figure& figure) {
  bool zeroSeen = false;
  for (std::size_t j = 0; j < fibers.size(); ++j) {
    const auto& f = fibers[j];
    for (std::size_t v = 0; v < f.size(); ++v) {
      if (!std::isfinite(f[v])) {
        return ValueFinding{.problem = ValueProblem::NotFinite,
                            .section = section,
                            .kind = kind,
                            .fiber = static_cast<int>(j) + 1,
                            .value = static_cast<int>(v) + 1,
                            .found = f[v]};
      }
    }
    // One fiber of area 0 among others is a fault of the model, which the section's checks
    // name; a setting that does not fit puts a 0 or a negative value in the place of many
    // fibers' areas.
    if (f[2] == 0.0 && fibers.size() > 1 && !zeroSeen) {
      zeroSeen = true;
      continue;
    }
    if (!(f[2] > 0.0)) {
      return ValueFinding{.problem = ValueProblem::AreaNotPositive,
                          .section = section,
                          .kind = kind,
                          .fiber = static_cast<int>(j) + 1,
                          .value = 3,
                          .found = f[2]};
    }
    counts.add(f);
    figure.add(f[0], f[1], f[2]);
  }
  return std::nullopt;
}

// Whether concrete fibers of total area `area` tile the box their centres span, widened by a
// typical cell (the median fiber's: one huge area must not widen it to fit itself), taken as
// a square or, for the upper bound, as the spacing of the centres gives it.
std::optional<ValueFinding> tilingProblem(const FiberList<ConcreteFiber>& fibers,
                                          const Figure& concrete, std::vector<double>& scratch) {
  const double area = concrete.a;
  const auto box = [&](double width, double height) {
    return (concrete.pointWidth() + width) * (concrete.pointHeight() + height);
  };
  // The median's side lies between the smallest's and the largest's: where both boxes pass,
  // the median need not be found.
  const double small = std::sqrt(concrete.smallest), large = std::sqrt(concrete.largest);
  if (area <= kMostCover * box(small, small) && area >= kLeastCover * box(large, large)) {
    return std::nullopt;
  }
  scratch.clear();
  for (const ConcreteFiber& f : fibers) scratch.push_back(f[2]);
  const double typical = median(scratch);
  const double side = std::sqrt(typical);
  bool tiles = area >= kLeastCover * box(side, side);
  if (tiles && area > kMostCover * box(side, side)) {
    const CellSize cell = cellSize(fibers, concrete, typical, scratch);
    tiles = area <= kMostCover * box(std::max(side, cell.width), std::max(side, cell.height));
  }
  if (!tiles) return ValueFinding{.problem = ValueProblem::OutsideSection, .found = area};
  return std::nullopt;
}

// Where a section is written one fiber a line (its properties and its first fiber each fill a
// line of their own, and its last fiber ends one), the first fiber that begins in the middle
// of a line. A read with counts that take as many fields as the file holds, 5k concrete
// fibers more and 8k bars fewer or the reverse, has fibers straddling the lines, which no
// file writes. Only where the reader noted the lines: after fiber 1, the last but one and the
// last of each kind, which are where the straddling fibers of such a read begin or end.
std::optional<ValueFinding> lineProblem(const Section& s, int number) {
  const SectionEnds& e = s.ends;
  const std::size_t concrete = s.concrete.size(), n = concrete + s.steel.size();
  if (e.properties.line == 0 || n == 0) return std::nullopt;
  // Where the reader stood after fiber g of the section, counted over both kinds; g = 0 is
  // after the properties. Only for the fibers noted.
  const auto after = [&](std::size_t g) {
    if (g == 0) return e.properties;
    const bool steel = g > concrete;
    const FiberEnds& kind = steel ? e.steel : e.concrete;
    const std::size_t j = steel ? g - concrete : g, count = steel ? n - concrete : concrete;
    return j == 1 ? kind.first : j + 1 == count ? kind.lastButOne : kind.last;
  };
  const auto endsLine = [](TextPosition p) { return p.column == 1; };
  const auto fillsLine = [&](std::size_t g) {
    return endsLine(after(g)) && after(g).line == after(g - 1).line + 1;
  };
  if (!endsLine(e.properties) || !fillsLine(1) || !endsLine(after(n))) return std::nullopt;
  // Where the last concrete fiber, the first bar and the second begin.
  for (const std::size_t g : {concrete > 0 ? concrete - 1 : 0, concrete, concrete + 1}) {
    if (g == 0 || g >= n || endsLine(after(g))) continue;
    const bool steel = g >= concrete;
    return ValueFinding{.problem = ValueProblem::BeginsMidLine,
                        .section = number,
                        .kind = steel ? FiberKind::Steel : FiberKind::Concrete,
                        .fiber = static_cast<int>(steel ? g - concrete : g) + 1,
                        .value = 1};
  }
  return std::nullopt;
}

// The checks that look at one section alone, against section `first` for its kind.
std::optional<ValueFinding> sectionProblem(const Section& s, int number, const Section& first,
                                           KindCount<kConcreteFields>& concreteKinds,
                                           KindCount<kSteelFields>& steelKinds,
                                           std::vector<double>& scratch) {
  for (std::size_t i = 0; i < s.properties.size(); ++i) {
    const auto* d = std::get_if<double>(&s.properties[i]);
    if (d != nullptr && !std::isfinite(*d)) {
      return ValueFinding{.problem = ValueProblem::NotFinite,
                          .section = number,
                          .value = static_cast<int>(i) + 1,
                          .found = *d};
    }
    if (kindOf(s.properties[i]) != kindOf(first.properties[i])) {
      return ValueFinding{.problem = ValueProblem::KindDiffers,
                          .section = number,
                          .value = static_cast<int>(i) + 1};
    }
  }
  if (auto p = lineProblem(s, number)) return p;
  Figure concrete, steel;
  if (auto p =
          fiberValueProblem(s.concrete, number, FiberKind::Concrete, concreteKinds, concrete)) {
    return p;
  }
  if (auto p = fiberValueProblem(s.steel, number, FiberKind::Steel, steelKinds, steel)) return p;
  if (s.concrete.empty()) return std::nullopt;
  if (auto p = tilingProblem(s.concrete, concrete, scratch)) {
    p->section = number;
    return p;
  }
  const double margin =
      kBarMargin * std::max(concrete.width(), concrete.height()) + std::sqrt(concrete.largest) / 2;
  const auto inside = [&](const SteelFiber& f, double by) {
    return f[0] >= concrete.left - by && f[0] <= concrete.right + by &&
           f[1] >= concrete.bottom - by && f[1] <= concrete.top + by;
  };
  for (std::size_t j = 0; j < s.steel.size(); ++j) {
    const SteelFiber& f = s.steel[j];
    // The bar's own half side only where it matters, to spare a root for every bar.
    if (!inside(f, margin) && !inside(f, margin + std::sqrt(f[2]) / 2.0)) {
      return ValueFinding{.problem = ValueProblem::OutsideSection,
                          .section = number,
                          .kind = FiberKind::Steel,
                          .fiber = static_cast<int>(j) + 1,
                          .value = 1,
                          .found = f[0]};
    }
  }
  return std::nullopt;
}

// Section k (from 0) of the i-th of `looked` sections spread evenly over `n`, the first and
// the last among them.
std::size_t spread(std::size_t i, std::size_t looked, std::size_t n) {
  return looked == 1 ? 0 : i * (n - 1) / (looked - 1);
}

// The first fiber among the sections looked at whose further value `v` breaks its kind as
// `how` says. A size that breaks it lies beyond the square root of kMaterialSpan from the
// median size: where the least and the largest lie further apart than kMaterialSpan, one of
// them does.
template <typename Fibers>
std::optional<ValueFinding> firstBreaking(const std::vector<Section>& sections, std::size_t looked,
                                          std::size_t v, KindBreak how, Fibers Section::*list,
                                          FiberKind kind) {
  const std::size_t n = sections.size();
  double typical = 0.0;
  if (how == KindBreak::Size) {
    std::vector<double> sizes;
    for (std::size_t i = 0; i < looked; ++i) {
      for (const auto& f : sections[spread(i, looked, n)].*list) {
        if (f[v] != 0.0) sizes.push_back(std::abs(f[v]));
      }
    }
    typical = median(sizes);
  }
  const double factor = std::sqrt(kMaterialSpan);
  const auto breaks = [&](double x) {
    if (how == KindBreak::Positive) return x > 0.0;
    if (how == KindBreak::Negative) return x < 0.0;
    return x != 0.0 && (std::abs(x) > typical * factor || std::abs(x) * factor < typical);
  };
  for (std::size_t i = 0; i < looked; ++i) {
    const std::size_t k = spread(i, looked, n);
    const auto& fibers = sections[k].*list;
    for (std::size_t j = 0; j < fibers.size(); ++j) {
      if (breaks(fibers[j][v])) {
        return ValueFinding{.problem = ValueProblem::KindBroken,
                            .section = static_cast<int>(k) + 1,
                            .kind = kind,
                            .fiber = static_cast<int>(j) + 1,
                            .value = static_cast<int>(v) + 1,
                            .found = fibers[j][v],
                            .typical = typical};
      }
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<ValueFinding> checkSectionValues(const std::vector<Section>& sections,
                                               std::size_t most) {
  if (sections.empty()) return std::nullopt;
  KindCount<kConcreteFields> concrete;
  KindCount<kSteelFields> steel;
  std::vector<double> scratch;
  const std::size_t n = sections.size();
  const std::size_t looked = std::min(n, most);
  for (std::size_t i = 0; i < looked; ++i) {
    const std::size_t k = spread(i, looked, n);
    if (auto p = sectionProblem(sections[k], static_cast<int>(k) + 1, sections[0], concrete, steel,
                                scratch)) {
      return p;
    }
  }
  KindBreak how = KindBreak::None;
  if (const std::size_t v = concrete.broken(how)) {
    return firstBreaking(sections, looked, v, how, &Section::concrete, FiberKind::Concrete);
  }
  if (const std::size_t v = steel.broken(how)) {
    return firstBreaking(sections, looked, v, how, &Section::steel, FiberKind::Steel);
  }
  return std::nullopt;
}

std::optional<ValueFinding> checkValues(const SectionStore& store) {
  if (auto p = checkSectionValues(store.sections, kSectionsChecked)) return p;
  const VersionFinding v = judgeVersion(store.sections, kSectionsForVersion);
  if (v.version && *v.version != store.version) {
    return ValueFinding{
        .problem = ValueProblem::VersionMisfit, .section = v.firstSection, .fits = *v.version};
  }
  return std::nullopt;
}

}  // namespace fiberview
