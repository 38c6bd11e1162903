#include "data/version_judgement.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <variant>

#include "data/fiber_measures.h"

namespace fiberview {

using detail::CellSize;
using detail::cellSize;
using detail::Figure;
using detail::kPropertyFields;
using detail::median;

namespace {

// How far a property may stray from the fibers' figure and still fit its role.
constexpr double kRoleFactor = 3.0;

// Whether `value` lies between `low` and `high` widened by kRoleFactor: the fibers give a
// figure only within bounds, since their shapes are unknown.
bool within(double value, double low, double high) {
  return value >= low / kRoleFactor && value <= high * kRoleFactor;
}

template <typename Fibers>
void addAll(Figure& f, const Fibers& fibers) {
  for (const auto& fiber : fibers) f.add(fiber[0], fiber[1], fiber[2]);
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

}  // namespace

// A version misfits every section, so a spread of them tells it.
VersionFinding judgeVersion(std::span<const Section> sections, std::size_t most) {
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

}  // namespace fiberview
