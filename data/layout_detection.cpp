#include "data/layout_detection.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <memory>
#include <tuple>

#include "data/numbers.h"

namespace fiberview {

namespace {

constexpr int kConcreteFields = static_cast<int>(std::tuple_size_v<ConcreteFiber>);
constexpr int kSteelFields = static_cast<int>(std::tuple_size_v<SteelFiber>);
constexpr int kPropertyFields = 3;
constexpr double kInf = std::numeric_limits<double>::infinity();

// How far a property may stray from the fibers' figure and still fit its role.
constexpr double kRoleFactor = 3.0;
// Concrete fibers, taken as squares of their areas or as cells as the spacing of their
// centres gives them, cover their bounding box: together
// they can neither overlap it much nor leave almost all of it empty (a thin ring leaves
// about 85 %).
constexpr double kMostCover = 2.0;
constexpr double kLeastCover = 0.01;
// A bar may stand this share of the concrete's larger side outside it: coarse meshes of long
// cells, taken as squares, look narrower than the section whose bars they hold.
constexpr double kBarMargin = 0.5;
// A further value is taken for a positive or a negative one, by kind, when at least this
// share of the fibers of its kind that hold a value other than 0 there hold such a number.
constexpr double kMostlyOneSign = 0.9;
// A further value is a material's, so where it is not 0 its size stays within this factor
// over the fibers of a kind: material numbers 1 to 9, strengths of several grades, strain
// limits from 0.0033 to 0.01 span less than a tenth of it. A misread puts coordinates, areas
// and strengths where strains or material numbers stand, orders of magnitude away.
constexpr double kMaterialSpan = 1000.0;
// Sections of a cut whose values are looked at before it is called plausible.
constexpr std::size_t kSectionsScored = 8;
// Sections whose properties tell the version of a detected layout.
constexpr std::size_t kSectionsForVersion = 64;
// Sections whose values a read's check looks at. Reading the store is bound by memory, so a
// full pass over the largest file would cost most of a pass over its bytes; a setting that
// does not fit shifts the fields of every section alike, so a spread of sections shows it.
constexpr std::size_t kSectionsChecked = 256;
// Values copied into trial sections, summed over all cuts, before detection stops trying.
constexpr std::size_t kScoringBudget = std::size_t{1} << 26;

// Whether `value` lies between `low` and `high` widened by kRoleFactor: the fibers give a
// figure only within bounds, since their shapes are unknown.
bool within(double value, double low, double high) {
  return value >= low / kRoleFactor && value <= high * kRoleFactor;
}

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

template <typename Fibers>
void addAll(Figure& f, const Fibers& fibers) {
  for (const auto& fiber : fibers) f.add(fiber[0], fiber[1], fiber[2]);
}

// The size of a typical cell of a mesh, along each axis: the spacing of the centres where
// more than one column (row) of them stands, else the cell's area over its other side. A wall
// meshed one fiber thick has slices far narrower than they are thick, so no square of a
// fiber's area gives both sides.
struct CellSize {
  double width = 0.0, height = 0.0;
};

// How many distinct values `v` holds (sorting it), those within `tolerance` taken as one.
std::size_t distinct(std::vector<double>& v, double tolerance) {
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

double median(std::vector<double>& v) {
  if (v.empty()) return 0.0;
  const auto middle = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  std::nth_element(v.begin(), middle, v.end());
  return *middle;
}

// The cell of a section's concrete mesh, or of its steel where it has no concrete.
CellSize meshCell(const Section& s, std::vector<double>& scratch) {
  const auto of = [&](const auto& fibers) {
    Figure f;
    addAll(f, fibers);
    scratch.clear();
    for (const auto& fiber : fibers) {
      if (fiber[2] > 0.0 && std::isfinite(fiber[2])) scratch.push_back(fiber[2]);
    }
    return cellSize(fibers, f, median(scratch), scratch);
  };
  return s.concrete.empty() ? of(s.steel) : of(s.concrete);
}

std::optional<double> numberAt(const Section& s, int index) {
  if (index < 0 || index >= kPropertyFields) return std::nullopt;
  const auto* d = std::get_if<double>(&s.properties[static_cast<std::size_t>(index)]);
  return d != nullptr ? std::optional<double>(*d) : std::nullopt;
}

// Whether the section's properties play the roles `v` gives them. A fiber's own extent and
// inertia lie between those of a point and those of a square of its area, or beyond for a
// long cell: a wall one fiber thick has no height between its centres, yet a thickness.
// `cell` widens the squares where a mesh's cells are long. Fibers that stand at one point, a
// wall meshed as one fiber, give no spacing and so no side of their cell, only its area: the
// product of the two sides, or of the two radii of gyration times 12.
bool fitsRoles(const Section& s, const VersionDescription& v, const Figure& all, CellSize cell) {
  if (all.count == 0) return false;
  const bool onePoint = all.pointWidth() == 0.0 && all.pointHeight() == 0.0;
  if (v.givesSize()) {
    const auto h = numberAt(s, v.heightProperty);
    const auto b = numberAt(s, v.widthProperty);
    if (!h || !b) return false;
    if (onePoint && *h > 0.0 && *b > 0.0 && within(*h * *b, all.a, all.a)) return true;
    return within(*h, all.pointHeight(), std::max(all.height(), all.pointHeight() + cell.height)) &&
           within(*b, all.pointWidth(), std::max(all.width(), all.pointWidth() + cell.width));
  }
  if (v.givesStiffness()) {
    const auto ea = numberAt(s, v.axialStiffnessProperty);
    const auto eixx = numberAt(s, v.stiffnessXXProperty);
    const auto eiyy = numberAt(s, v.stiffnessYYProperty);
    if (!ea || !eixx || !eiyy || !(*ea > 0.0)) return false;
    const double rx = *eixx / *ea;
    const double ry = *eiyy / *ea;
    if (!(rx > 0.0) || !(ry > 0.0)) return false;
    const double own = all.ownPerArea();
    const double ixOrigin = all.ayy / all.a;
    const double iyOrigin = all.axx / all.a;
    const double cx = all.ax / all.a;
    const double cy = all.ay / all.a;
    const double ix = std::max(ixOrigin - cy * cy, 0.0);
    const double iy = std::max(iyOrigin - cx * cx, 0.0);
    const double ownX = std::max(own, cell.height * cell.height / 12.0);
    const double ownY = std::max(own, cell.width * cell.width / 12.0);
    return (onePoint && within(12.0 * std::sqrt(rx * ry), all.a, all.a)) ||
           (within(rx, ix, ix + ownX) && within(ry, iy, iy + ownY)) ||
           (within(rx, ixOrigin, ixOrigin + ownX) && within(ry, iyOrigin, iyOrigin + ownY));
  }
  return false;
}

enum class PropertyKind { Empty, Number, Text };

PropertyKind kindOf(const Value& v) {
  if (std::holds_alternative<double>(v)) return PropertyKind::Number;
  if (std::holds_alternative<std::string>(v)) return PropertyKind::Text;
  return PropertyKind::Empty;
}

ValueFinding finding(ValueProblem p, int section, FiberKind kind, int fiber, int value,
                     double found) {
  ValueFinding f;
  f.problem = p;
  f.section = section;
  f.kind = kind;
  f.fiber = fiber;
  f.value = value;
  f.found = found;
  return f;
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

// Checks each fiber's values, and counts their kinds and adds them to `figure` on the way,
// so that every fiber is looked at once.
template <std::size_t N>
std::optional<ValueFinding> fiberValueProblem(const std::vector<std::array<double, N>>& fibers,
                                              int section, FiberKind kind, KindCount<N>& counts,
                                              Figure& figure) {
  for (std::size_t j = 0; j < fibers.size(); ++j) {
    const auto& f = fibers[j];
    for (std::size_t v = 0; v < f.size(); ++v) {
      if (!std::isfinite(f[v])) {
        return finding(ValueProblem::NotFinite, section, kind, static_cast<int>(j) + 1,
                       static_cast<int>(v) + 1, f[v]);
      }
    }
    if (!(f[2] > 0.0)) {
      return finding(ValueProblem::AreaNotPositive, section, kind, static_cast<int>(j) + 1, 3,
                     f[2]);
    }
    counts.add(f);
    figure.add(f[0], f[1], f[2]);
  }
  return std::nullopt;
}

// Whether concrete fibers of total area `area` tile the box their centres span, widened by a
// typical cell (the median fiber's: one huge area must not widen it to fit itself), taken as
// a square or, for the upper bound, as the spacing of the centres gives it.
std::optional<ValueFinding> tilingProblem(const std::vector<ConcreteFiber>& fibers,
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
  if (!tiles) return finding(ValueProblem::OutsideSection, 0, FiberKind::Concrete, 0, 0, area);
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
    return finding(ValueProblem::BeginsMidLine, number,
                   steel ? FiberKind::Steel : FiberKind::Concrete,
                   static_cast<int>(steel ? g - concrete : g) + 1, 1, 0.0);
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
      return finding(ValueProblem::NotFinite, number, FiberKind::Concrete, 0,
                     static_cast<int>(i) + 1, *d);
    }
    if (kindOf(s.properties[i]) != kindOf(first.properties[i])) {
      return finding(ValueProblem::KindDiffers, number, FiberKind::Concrete, 0,
                     static_cast<int>(i) + 1, 0.0);
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
      return finding(ValueProblem::OutsideSection, number, FiberKind::Steel,
                     static_cast<int>(j) + 1, 1, f[0]);
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
        ValueFinding f = finding(ValueProblem::KindBroken, static_cast<int>(k) + 1, kind,
                                 static_cast<int>(j) + 1, static_cast<int>(v) + 1, fibers[j][v]);
        f.typical = typical;
        return f;
      }
    }
  }
  return std::nullopt;
}

// Every check but the version's, over up to `most` sections spread evenly over the file, the
// first and the last among them.
std::optional<ValueFinding> valueProblem(
    const std::vector<Section>& sections,
    std::size_t most = std::numeric_limits<std::size_t>::max()) {
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

}  // namespace

namespace {

// Judges up to `most` sections spread evenly over the file: a version misfits every section.
VersionFinding judgeSections(const std::vector<Section>& sections, std::size_t most) {
  VersionFinding result;
  constexpr std::size_t kVersions = std::size(kFileVersions);
  std::array<int, kVersions> fitting{};
  std::array<int, kVersions> firstFitting{};
  const std::size_t n = sections.size();
  const std::size_t looked = std::min(n, most);
  std::vector<double> scratch;
  for (std::size_t i = 0; i < looked; ++i) {
    const std::size_t k = i * n / looked;
    Figure all;
    addAll(all, sections[k].concrete);
    addAll(all, sections[k].steel);
    int fits = 0;
    std::size_t which = 0;
    const auto tryRoles = [&](CellSize cell) {
      for (std::size_t v = 0; v < kVersions; ++v) {
        if (fitsRoles(sections[k], kFileVersions[v], all, cell)) ++fits, which = v;
      }
    };
    tryRoles({});
    // Long cells only where squares fit no version: finding them sorts the centres.
    if (fits == 0 && all.count > 0) tryRoles(meshCell(sections[k], scratch));
    if (fits != 1) continue;
    if (fitting[which]++ == 0) firstFitting[which] = static_cast<int>(k) + 1;
  }
  std::optional<std::size_t> found;
  for (std::size_t v = 0; v < kVersions; ++v) {
    if (fitting[v] == 0) continue;
    if (found) {
      result.sign = VersionSign::Mixed;
      result.otherSection = std::max(firstFitting[v], firstFitting[*found]);
      return result;
    }
    found = v;
  }
  if (!found) return result;
  result.sign = VersionSign::Properties;
  result.version = kFileVersions[*found].version;
  result.sectionsFitting = fitting[*found];
  result.firstSection = firstFitting[*found];
  return result;
}

}  // namespace

VersionFinding judgeVersion(const std::vector<Section>& sections) {
  return judgeSections(sections, sections.size());
}

std::optional<ValueFinding> checkValues(const SectionStore& store) {
  if (auto p = valueProblem(store.sections, kSectionsChecked)) return p;
  const VersionFinding v = judgeSections(store.sections, kSectionsForVersion);
  if (v.version && *v.version != store.version) {
    ValueFinding f =
        finding(ValueProblem::VersionMisfit, v.firstSection, FiberKind::Concrete, 0, 0, 0.0);
    f.fits = *v.version;
    return f;
  }
  return std::nullopt;
}

namespace {

// The file's fields after the section count, with the lines they start on.
struct FileFields {
  struct Line {
    long long number;
    std::size_t first;  // index of its first field
  };
  std::vector<double> values;  // a text is NaN; an empty field 0, as a number reads it
  std::vector<Line> lines;     // the lines that hold fields, in order
  long long countLine = 1;

  std::size_t size() const { return values.size(); }
  bool isText(std::size_t i) const { return std::isnan(values[i]); }
  // The line field i starts on.
  long long lineOf(std::size_t i) const {
    const auto it = std::upper_bound(lines.begin(), lines.end(), i,
                                     [](std::size_t k, const Line& l) { return k < l.first; });
    return std::prev(it)->number;
  }
  // The first field on a line after `line`, or size().
  std::size_t firstAfterLine(long long line) const {
    const auto it = std::upper_bound(lines.begin(), lines.end(), line,
                                     [](long long n, const Line& l) { return n < l.number; });
    return it == lines.end() ? size() : it->first;
  }
  // The first field on or after `line`, or size().
  std::size_t firstFromLine(long long line) const { return firstAfterLine(line - 1); }
  long long lastLine() const { return lines.empty() ? countLine : lines.back().number; }
  // How many fields stand on the line holding field i, from field i on.
  std::size_t fieldsOnLineFrom(std::size_t i) const { return firstAfterLine(lineOf(i)) - i; }
};

// How a cut walked the fields: where its sections end, and whether that is the file's end.
struct Walk {
  bool titled = false;
  int perSection = 0;  // K
  bool exact = false;
  // The fields held ran out before the cut did: the reader's confirming read tells whether
  // it ends with the file.
  bool partial = false;
  std::size_t end = 0;
  std::size_t sectionsHeld = 0;  // with partial: the sections wholly among the fields held
  bool fromLineShape = false;
};

// Counts of one section's fibers read as a layout would read them: how many are whole fibers
// (finite, with a positive area), and the kinds of their further values.
template <std::size_t N>
struct FiberTally {
  std::uint32_t valid = 0;
  KindCount<N, std::uint32_t> kinds;
};

class Detector {
 public:
  Detector(ByteSource& source, const std::function<ReadResult(const ReadOptions&)>& readWith)
      : reader_(source), readWith_(readWith) {}
  DetectedLayout run();

 private:
  bool start();
  bool hold(std::size_t limit);
  bool countRest();
  bool readerFailure();
  bool fail(LayoutProblem p, long long line = 0);
  std::size_t totalFields() const { return counted_ ? total_ : fields_.size(); }
  long long lastLine() const { return counted_ ? lastLine_ : fields_.lastLine(); }
  std::optional<Walk> walk(bool titled, std::size_t perSection) const;
  std::size_t dataStart(bool titled) const;
  std::optional<int> lineShapeSection(bool titled) const;
  std::vector<Walk> walks() const;
  std::vector<Section> sectionsOf(const Walk& w, const Layout& l, std::size_t count) const;
  void tallyFirstSection(const Walk& w);
  bool firstSectionBreaks(const Layout& l) const;
  void score(const Walk& w);
  void settle();

  FieldReader reader_;
  const std::function<ReadResult(const ReadOptions&)>& readWith_;
  FileFields fields_;
  // The file ended among the fields held.
  bool complete_ = false;
  // Past the fields held, the rest were counted: total_ fields up to lastLine_.
  bool counted_ = false;
  std::size_t total_ = 0;
  long long lastLine_ = 0;
  int sections_ = 0;
  DetectedLayout result_;
  std::vector<Walk> plausibleWalks_;
  std::size_t budget_ = kScoringBudget;
  // The first section of the walk being scored, tallied from its start (concrete_[c]: the
  // first c fibers of 8) and from its end (steel_[s]: the last s fibers of 5).
  std::vector<FiberTally<kConcreteFields>> concrete_;
  std::vector<FiberTally<kSteelFields>> steel_;
};

bool Detector::fail(LayoutProblem p, long long line) {
  result_.problem = p;
  result_.line = line;
  return false;
}

// Whether detection may go on after the reader stopped: a field no reader could take ends
// the fields, and stands as a text where it begins.
bool Detector::readerFailure() {
  const FieldError& e = reader_.error();
  result_.systemError = e.systemError;
  switch (e.kind) {
    case ReadFailure::Utf16:
      return fail(LayoutProblem::Utf16);
    case ReadFailure::ReadFailed:
      return fail(LayoutProblem::ReadFailed);
    case ReadFailure::TooLong:
      return fail(LayoutProblem::FieldTooLong, e.where.line);
    default:
      return true;
  }
}

// Reads the section count.
bool Detector::start() {
  Value v;
  if (!reader_.skipBlanksAndLineEnds()) {
    return readerFailure() && fail(LayoutProblem::Empty);
  }
  if (!reader_.readValueOrText(v)) {
    return readerFailure() && fail(LayoutProblem::CountNotANumber, reader_.error().where.line);
  }
  fields_.countLine = reader_.lastFieldStart().line;
  const auto* count = std::get_if<double>(&v);
  if (count == nullptr) return fail(LayoutProblem::CountNotANumber, fields_.countLine);
  std::int16_t n = 0;
  if (!roundToInt16(*count, n)) return fail(LayoutProblem::CountOutOfRange, fields_.countLine);
  if (n < 0) return fail(LayoutProblem::NegativeCount, fields_.countLine);
  if (n == 0) return fail(LayoutProblem::NoSections, fields_.countLine);
  sections_ = n;
  result_.sections = n;
  return true;
}

// Holds the next fields, up to `limit` in all, or to the end of the file.
bool Detector::hold(std::size_t limit) {
  // Plain numbers, nearly all of a file, come in batches; anything else, and the fields
  // near the limit, one by one.
  constexpr std::size_t kBatch = 1024;
  std::array<double, kBatch> numbers;
  std::array<long long, kBatch> lines;
  const auto keepLine = [this](long long line) {
    if (fields_.lines.empty() || fields_.lines.back().number != line) {
      fields_.lines.push_back({line, fields_.size()});
    }
  };
  Value v;
  for (;;) {
    if (fields_.size() + kBatch <= limit) {
      const std::size_t got = reader_.readPlainNumbers(numbers.data(), kBatch, lines.data());
      for (std::size_t k = 0; k < got; ++k) {
        keepLine(lines[k]);
        fields_.values.push_back(numbers[k]);
      }
      if (got == kBatch) continue;
    }
    if (!reader_.skipBlanksAndLineEnds()) {
      complete_ = true;
      return readerFailure();
    }
    const long long line = reader_.position().line;
    // Past the limit, at the next line's start, or a little further where lines are long.
    if (fields_.size() >= limit &&
        (fields_.lines.back().number != line || fields_.size() >= limit + limit / 4)) {
      return true;
    }
    keepLine(line);
    if (!reader_.readValueOrText(v)) {
      fields_.values.push_back(std::numeric_limits<double>::quiet_NaN());
      complete_ = true;
      return readerFailure();
    }
    const auto* d = std::get_if<double>(&v);
    fields_.values.push_back(d != nullptr ? *d
                             : std::holds_alternative<std::string>(v)
                                 ? std::numeric_limits<double>::quiet_NaN()
                                 : 0.0);
  }
  return true;
}

// Counts the fields past those held, and the line of the last.
bool Detector::countRest() {
  Value v;
  total_ = fields_.size();
  lastLine_ = fields_.lastLine();
  counted_ = true;
  while (reader_.skipBlanksAndLineEnds()) {
    lastLine_ = reader_.position().line;
    ++total_;
    if (!reader_.readValueOrText(v)) break;
  }
  return readerFailure();
}

std::size_t Detector::dataStart(bool titled) const {
  return titled ? fields_.firstAfterLine(fields_.countLine + 1) : 0;
}

// Cuts the fields into sections of `perSection` numbers. A titled section's title is the
// whole line after the previous section's last number, whatever it holds, and its numbers
// start on the next line; the last number of a section ends its line. Text may stand only
// where a title or one of the first two properties does.
std::optional<Walk> Detector::walk(bool titled, std::size_t perSection) const {
  if (perSection < static_cast<std::size_t>(kPropertyFields)) return std::nullopt;
  const std::size_t total = fields_.size();
  if (titled && !fields_.lines.empty() && fields_.lines.front().number == fields_.countLine) {
    return std::nullopt;
  }
  std::size_t i = 0;
  long long titleLine = fields_.countLine + 1;
  for (int k = 0; k < sections_; ++k) {
    if (titled) {
      if (i < total && fields_.lineOf(i) < titleLine) return std::nullopt;
      i = std::max(i, fields_.firstAfterLine(titleLine));
    }
    if (total - i < perSection) {
      if (complete_) return std::nullopt;
      Walk w;
      w.titled = titled;
      w.perSection = static_cast<int>(perSection);
      w.partial = true;
      w.sectionsHeld = static_cast<std::size_t>(k);
      w.end = i;
      // Without titles the count tells; with them, only the read.
      const auto needed = static_cast<std::size_t>(sections_) * perSection;
      if (!titled && counted_ && needed > total_) return std::nullopt;
      w.exact = titled || !counted_ || needed == total_;
      return w;
    }
    for (std::size_t f = 2; f < perSection; ++f) {
      if (fields_.isText(i + f)) return std::nullopt;
    }
    const std::size_t last = i + perSection - 1;
    i += perSection;
    if (titled) {
      titleLine = fields_.lineOf(last) + 1;
      if (i < total && fields_.lineOf(i) < titleLine) return std::nullopt;
    }
  }
  Walk w;
  w.titled = titled;
  w.perSection = static_cast<int>(perSection);
  w.exact = i == total;
  w.end = i;
  return w;
}

// The numbers of section 1 where it is written one fiber a line: a line of 3 properties,
// then lines of 8 and lines of 5 values.
std::optional<int> Detector::lineShapeSection(bool titled) const {
  std::size_t i = dataStart(titled);
  if (i >= fields_.size() || fields_.fieldsOnLineFrom(i) != kPropertyFields) return std::nullopt;
  i += kPropertyFields;
  int count = kPropertyFields;
  for (const int width : {kConcreteFields, kSteelFields}) {
    while (i < fields_.size() && fields_.fieldsOnLineFrom(i) == static_cast<std::size_t>(width) &&
           fields_.firstAfterLine(fields_.lineOf(i)) == i + static_cast<std::size_t>(width) &&
           !fields_.isText(i)) {
      i += static_cast<std::size_t>(width);
      count += width;
    }
  }
  // A section that runs to the end of the fields held may go on past them.
  if (i >= fields_.size() && !complete_) return std::nullopt;
  return count;
}

// The cuts worth walking: K from the field total, from the lines a section takes, from the
// first text line (a title), and from a section written one fiber a line.
std::vector<Walk> Detector::walks() const {
  std::vector<Walk> found;
  const auto add = [&](bool titled, long long perSection, bool fromLineShape) {
    if (perSection < kPropertyFields) return;
    for (Walk& w : found) {
      if (w.titled == titled && w.perSection == perSection) {
        w.fromLineShape = w.fromLineShape || fromLineShape;
        return;
      }
    }
    if (auto w = walk(titled, static_cast<std::size_t>(perSection))) {
      w->fromLineShape = fromLineShape;
      found.push_back(*w);
    }
  };
  const auto total = static_cast<long long>(totalFields());
  const long long n = sections_;
  for (const bool titled : {false, true}) {
    if (const auto k = lineShapeSection(titled)) add(titled, *k, true);
  }
  // Cuts from the field total, only once it is known.
  const bool totalKnown = complete_ || counted_;
  if (totalKnown && total % n == 0) add(false, total / n, false);
  if (fields_.size() > 0) {
    const auto start = static_cast<long long>(dataStart(true));
    const long long titleFields = start;
    if (totalKnown && (total - n * titleFields) % n == 0) {
      add(true, (total - n * titleFields) / n, false);
    }
    const long long lines = lastLine() - fields_.countLine;
    if (totalKnown && lines % n == 0 && lines / n >= 2) {
      const long long second = fields_.countLine + 1 + lines / n;
      const std::size_t first = fields_.firstFromLine(second);
      if (first < fields_.size()) add(true, static_cast<long long>(first) - start, false);
    }
    for (const FileFields::Line& l : fields_.lines) {
      if (l.number > fields_.countLine + 1 && static_cast<long long>(l.first) > start &&
          fields_.isText(l.first)) {
        add(true, static_cast<long long>(l.first) - start, false);
        break;
      }
    }
  }
  // A cut that reaches the file's end explains every field; one that leaves some does not.
  std::stable_sort(found.begin(), found.end(), [](const Walk& a, const Walk& b) {
    return std::tie(b.exact, b.fromLineShape) < std::tie(a.exact, a.fromLineShape);
  });
  return found;
}

// The first `count` sections of a cut, as a reader would read them with `l`.
std::vector<Section> Detector::sectionsOf(const Walk& w, const Layout& l, std::size_t count) const {
  std::vector<Section> out;
  std::size_t i = 0;
  long long titleLine = fields_.countLine + 1;
  const auto take = [&] { return fields_.values[i++]; };
  const std::size_t held = w.partial ? w.sectionsHeld : static_cast<std::size_t>(sections_);
  for (std::size_t k = 0; k < count && k < held; ++k) {
    if (w.titled) i = std::max(i, fields_.firstAfterLine(titleLine));
    Section s;
    for (std::size_t p = 0; p < s.properties.size(); ++p) {
      const double v = take();
      s.properties[p] = std::isnan(v) ? Value(std::string("?")) : Value(v);
    }
    s.concrete.resize(static_cast<std::size_t>(l.concrete));
    for (ConcreteFiber& f : s.concrete) {
      for (double& v : f) v = take();
    }
    s.steel.resize(static_cast<std::size_t>(l.steel));
    for (SteelFiber& f : s.steel) {
      for (double& v : f) v = take();
    }
    if (w.titled) titleLine = fields_.lineOf(i - 1) + 1;
    out.push_back(std::move(s));
  }
  return out;
}

// Tallies the first section of `w` for every layout at once, so that a layout whose fibers
// are no fibers, or whose further values break their kind, costs nothing to turn down: a
// section of 32,767 + 32,767 fibers can be cut some 10,000 ways.
void Detector::tallyFirstSection(const Walk& w) {
  const std::size_t start = dataStart(w.titled);
  const auto k = static_cast<std::size_t>(w.perSection);
  const double* values = fields_.values.data() + start;
  concrete_.assign(1, {});
  for (std::size_t i = kPropertyFields; i + kConcreteFields <= k; i += kConcreteFields) {
    FiberTally<kConcreteFields> t = concrete_.back();
    ConcreteFiber f;
    std::copy_n(values + i, kConcreteFields, f.begin());
    if (std::all_of(f.begin(), f.end(), [](double v) { return std::isfinite(v); }) && f[2] > 0.0) {
      ++t.valid;
      t.kinds.add(f);
    }
    concrete_.push_back(t);
  }
  steel_.assign(1, {});
  for (std::size_t end = k; end >= kPropertyFields + kSteelFields; end -= kSteelFields) {
    FiberTally<kSteelFields> t = steel_.back();
    SteelFiber f;
    std::copy_n(values + end - kSteelFields, kSteelFields, f.begin());
    if (std::all_of(f.begin(), f.end(), [](double v) { return std::isfinite(v); }) && f[2] > 0.0) {
      ++t.valid;
      t.kinds.add(f);
    }
    steel_.push_back(t);
  }
}

// Whether the first section read with `l` has a fiber that is no fiber or a further value
// that breaks its kind: what valueProblem would find there, less the section's shape.
bool Detector::firstSectionBreaks(const Layout& l) const {
  const auto& c = concrete_[static_cast<std::size_t>(l.concrete)];
  const auto& st = steel_[static_cast<std::size_t>(l.steel)];
  KindBreak how = KindBreak::None;
  return c.valid != static_cast<std::size_t>(l.concrete) ||
         st.valid != static_cast<std::size_t>(l.steel) || c.kinds.broken(how) != 0 ||
         st.kinds.broken(how) != 0;
}

// Tries every (C, S) with 3 + 8C + 5S = K on the cut's first sections.
void Detector::score(const Walk& w) {
  if (w.partial && w.sectionsHeld == 0) return;
  const int rest = w.perSection - kPropertyFields;
  // Below this many layouts, trying each on the section itself costs less than the tally.
  constexpr int kTallyFrom = 16;
  const bool tallied = rest / (kConcreteFields * kSteelFields) >= kTallyFrom;
  if (tallied) tallyFirstSection(w);
  for (int steel = 0; steel * kSteelFields <= rest; ++steel) {
    if ((rest - steel * kSteelFields) % kConcreteFields != 0) continue;
    const Layout l{w.titled, (rest - steel * kSteelFields) / kConcreteFields, steel};
    if (std::find(result_.plausible.begin(), result_.plausible.end(), l) !=
        result_.plausible.end()) {
      continue;
    }
    if (tallied && firstSectionBreaks(l)) {
      ++result_.implausible;
      continue;
    }
    // One section first: most wrong cuts fail in it, and copying it costs K values.
    bool plausible = true;
    for (const std::size_t count : {std::size_t{1}, kSectionsScored}) {
      const std::size_t cost = count * static_cast<std::size_t>(w.perSection);
      if (cost > budget_) return;
      budget_ -= cost;
      if (valueProblem(sectionsOf(w, l, count))) {
        plausible = false;
        break;
      }
      if (sections_ == 1) break;
    }
    if (plausible) {
      result_.plausible.push_back(l);
      plausibleWalks_.push_back(w);
    } else {
      ++result_.implausible;
    }
  }
}

// Takes the one plausible layout, tells its version, and confirms it with the reader.
void Detector::settle() {
  if (result_.plausible.empty()) {
    fail(LayoutProblem::NoFit);
    return;
  }
  // A cut that explains every field outranks one that leaves some over.
  if (plausibleWalks_.front().exact) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < plausibleWalks_.size(); ++i) {
      if (!plausibleWalks_[i].exact) continue;
      plausibleWalks_[kept] = plausibleWalks_[i];
      result_.plausible[kept++] = result_.plausible[i];
    }
    plausibleWalks_.resize(kept);
    result_.plausible.resize(kept);
  }
  if (result_.plausible.size() > 1) {
    fail(LayoutProblem::SeveralFit);
    return;
  }
  const Layout l = result_.plausible.front();
  const Walk w = plausibleWalks_.front();
  if (!w.exact && !w.partial) result_.leftoverLine = fields_.lineOf(w.end);
  result_.hasTitleLine = l.titled;
  if (l.concrete <= kMaxFibers) result_.concreteCount = l.concrete;
  if (l.steel <= kMaxFibers) result_.steelCount = l.steel;
  if (!l.titled) {
    result_.version = versionWithoutTitles();
    result_.versionFinding.version = result_.version;
    result_.versionFinding.sign = VersionSign::NoTitles;
  } else {
    result_.versionFinding = judgeVersion(sectionsOf(w, l, kSectionsForVersion));
    result_.version = result_.versionFinding.version;
  }
  ReadOptions o;
  // Where the version cannot be told, any version that reads title lines reads the same
  // fields.
  o.version = result_.version.value_or(versionWithoutTitles());
  o.hasTitleLine = l.titled;
  o.concreteCount = static_cast<std::int16_t>(std::min(l.concrete, kMaxFibers));
  o.steelCount = std::min(l.steel, kMaxFibers);
  // The section count is 16-bit like the readers', so only the fiber counts can exceed them.
  const bool withinLimits = l.concrete <= kMaxFibers && l.steel <= kMaxFibers;
  if (!withinLimits) {
    fail(LayoutProblem::BeyondLimits);
    return;
  }
  if (!w.exact) return;
  if (!readWith_) {
    result_.confident = !w.partial;
    return;
  }
  ReadResult again = readWith_(o);
  auto* store = std::get_if<SectionStore>(&again);
  if (store != nullptr && store->leftoverAt && w.partial) {
    result_.leftoverLine = store->leftoverAt->line;
  }
  result_.confident = store != nullptr && !store->leftoverAt && !checkValues(*store);
  if (result_.confident) {
    result_.store = std::make_shared<SectionStore>(std::move(*store));
    result_.storeReadWith = o;
  }
}

// Holds the first fields, and more only where they show no layout: a big file's layout is
// scored on its first sections, and the reader's read of the whole confirms it. Where that
// read does not, the rest of the file is counted for the cuts the field total gives. Each
// step runs once.
DetectedLayout Detector::run() {
  bool going = start() && hold(kFirstHeldFields);
  while (going) {
    for (const Walk& w : walks()) score(w);
    const bool last = complete_ || counted_;
    const bool tried = !result_.plausible.empty();
    if (last || tried) {
      settle();
      if (last || result_.confident) break;
    }
    DetectedLayout fresh;
    fresh.sections = result_.sections;
    result_ = std::move(fresh);
    plausibleWalks_.clear();
    budget_ = kScoringBudget;
    // A cut that fits the first sections but not the file needs the field total.
    going = !tried && fields_.size() < kMaxHeldFields ? hold(kMaxHeldFields) : countRest();
  }
  result_.linesRead = reader_.position().line;
  if (result_.leftoverLine) result_.linesRead = std::max(result_.linesRead, *result_.leftoverLine);
  return result_;
}

}  // namespace

DetectedLayout detectLayout(ByteSource& source,
                            const std::function<ReadResult(const ReadOptions&)>& readWith) {
  return Detector(source, readWith).run();
}

DetectedLayout detectLayoutOfBytes(std::string_view bytes) {
  MemorySource source(bytes);
  return detectLayout(source, [bytes](const ReadOptions& o) {
    MemorySource again(bytes);
    return readSections(again, o);
  });
}

DetectedLayout detectLayoutOfFile(const std::string& path, const ReadControl& control) {
  DetectedLayout nothing;
  // Opened as the reader opens it, so that a pipe is refused instead of waited on.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    nothing.problem = LayoutProblem::CannotOpen;
    nothing.systemError = errno;
    return nothing;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    nothing.problem = S_ISDIR(info.st_mode) ? LayoutProblem::CannotOpen : LayoutProblem::NotAFile;
    nothing.systemError = S_ISDIR(info.st_mode) ? EISDIR : 0;
    ::close(fd);
    return nothing;
  }
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(::fdopen(fd, "rb"), &std::fclose);
  if (!file) {
    nothing.problem = LayoutProblem::CannotOpen;
    nothing.systemError = errno;
    ::close(fd);
    return nothing;
  }
  FileSource source(file.get(), static_cast<std::uint64_t>(info.st_size));
  return detectLayout(source, [&path, &control](const ReadOptions& o) {
    return readSectionFile(path, o, control);
  });
}

}  // namespace fiberview
