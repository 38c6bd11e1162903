#include "plot/section_row.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>

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

// Groups the sections that `same` finds identical, in order of their first section, each
// group in section order. Sections are bucketed by `hashes` (by section number − 1) first,
// so that only sections that are likely the same are compared in full.
template <typename Same>
std::vector<std::vector<int>> groupAlike(const std::vector<int>& sections,
                                         const std::vector<std::uint64_t>& hashes, Same same) {
  std::unordered_map<std::uint64_t, std::vector<std::size_t>> buckets;  // hash → groups
  std::vector<std::vector<int>> groups;
  for (const int k : sections) {
    auto& candidates = buckets[hashes[static_cast<std::size_t>(k - 1)]];
    const auto match = std::find_if(candidates.begin(), candidates.end(),
                                    [&](std::size_t g) { return same(groups[g].front(), k); });
    if (match != candidates.end()) {
      groups[*match].push_back(k);
    } else {
      candidates.push_back(groups.size());
      groups.push_back({k});
    }
  }
  return groups;
}

// What the checks across sections need of one section, from one pass over its values: a
// hash of all its fibers' values and one of its concrete fibers' x, y and area, taken from
// their bits (equal values give equal bits once −0 is made +0, and mixing bits costs far
// less than std::hash per value), whether every value is finite, and its ΣAs.
struct SectionKey {
  std::uint64_t fibers = 0;
  std::uint64_t concrete = 0;
  bool finite = true;
  double steelArea = 0.0;
};

std::uint64_t mix(std::uint64_t h, std::uint64_t bits) {
  h = (h ^ bits) * 0x9e3779b97f4a7c15ULL;
  return h ^ (h >> 29);
}

// Each fiber's values are folded into one word by products that do not wait on each other,
// and only that word goes into the serial mix: a chain of mixes per value would take most
// of the pass.
template <typename Fiber>
void addFibers(SectionKey& key, const FiberList<Fiber>& fibers, bool concrete) {
  constexpr std::uint64_t kExponent = 0x7ff0000000000000ULL;
  constexpr std::uint64_t kOdd[8] = {
      0x9e3779b97f4a7c15ULL, 0xc2b2ae3d27d4eb4fULL, 0x165667b19e3779f9ULL, 0xd6e8feb86659fd93ULL,
      0xff51afd7ed558ccdULL, 0xc4ceb9fe1a85ec53ULL, 0x94d049bb133111ebULL, 0xbf58476d1ce4e5b9ULL};
  for (const Fiber& f : fibers) {
    std::uint64_t position = 0;  // x, y and area
    std::uint64_t rest = 0;
    std::uint64_t exponents = 0;
    for (std::size_t v = 0; v < f.size(); ++v) {
      std::uint64_t bits = 0;
      const double value = f[v] + 0.0;
      std::memcpy(&bits, &value, sizeof bits);
      exponents |= static_cast<std::uint64_t>((bits & kExponent) == kExponent);
      (v < 3 ? position : rest) += bits * kOdd[v];
    }
    key.finite = key.finite && exponents == 0;
    key.fibers = mix(key.fibers, position + rest);
    if (concrete) key.concrete = mix(key.concrete, position);
  }
}

SectionKey keyOf(const Section& s) {
  SectionKey key;
  key.fibers = mix(s.concrete.size(), s.steel.size());
  key.concrete = s.concrete.size();
  addFibers(key, s.concrete, true);
  addFibers(key, s.steel, false);
  // Summed as the section's own figures sum it, so that the two agree to the last digit.
  for (const SteelFiber& b : s.steel) {
    if (b[2] >= 0.0) key.steelArea += b[2];
  }
  return key;
}

// The outliers of one group of sections with the same concrete, by their ΣAs.
void markSteelOutliers(const std::vector<int>& group, const std::vector<double>& steelArea,
                       AcrossSections& across) {
  if (static_cast<int>(group.size()) < kMinGroupForOutlier) return;
  std::vector<int> order = group;
  const auto area = [&](int k) { return steelArea[static_cast<std::size_t>(k - 1)]; };
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
  const auto held = static_cast<int>(dominant->second - dominant->first);
  if (static_cast<double>(held) < kDominantShare * static_cast<double>(order.size())) return;
  const double common = area(order[dominant->first]);
  for (const auto& run : runs) {
    if (run.second - run.first != 1) continue;
    const int k = order[run.first];
    if (alike(area(k), common, kAlikeTolerance)) continue;
    across.steelOutliers[static_cast<std::size_t>(k - 1)] = SteelAreaShare{common, held};
  }
}

}  // namespace

SectionRow sectionRow(const SectionStore& store, int number) {
  return sectionRow(store, number, ConcreteRegion(*store.section(number)));
}

SectionRow sectionRow(const SectionStore& store, int number, const ConcreteRegion& region) {
  const Section& section = *store.section(number);
  const SectionSummary summary = summarizeSection(section);
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
  if (!region.failure().empty()) {
    row.issues.push_back(SectionIssue::RegionFailed);
    row.regionFailure = region.failure();
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

std::optional<AcrossSections> checkAcrossSections(const SectionStore& store, Feedback& feedback) {
  const auto count = store.sections.size();
  AcrossSections across;
  across.sameAs.assign(count, 0);
  across.steelOutliers.assign(count, std::nullopt);
  std::vector<int> taking;  // the sections whose values are all finite
  std::vector<int> withConcrete;
  std::vector<double> steelArea(count, 0.0);
  std::vector<std::uint64_t> fiberHashes(count);
  std::vector<std::uint64_t> concreteHashes(count);
  for (std::size_t i = 0; i < count; ++i) {
    const Section& s = store.sections[i];
    const SectionKey key = keyOf(s);
    if (!key.finite) continue;
    taking.push_back(static_cast<int>(i) + 1);
    if (!s.concrete.empty()) withConcrete.push_back(static_cast<int>(i) + 1);
    steelArea[i] = key.steelArea;
    fiberHashes[i] = key.fibers;
    concreteHashes[i] = key.concrete;
  }
  if (feedback.isCancelled()) return std::nullopt;
  const auto section = [&](int k) -> const Section& { return *store.section(k); };

  const auto twins = groupAlike(taking, fiberHashes, [&](int a, int b) {
    return section(a).concrete == section(b).concrete && section(a).steel == section(b).steel;
  });
  for (const auto& group : twins) {
    if (group.size() < 2) continue;
    const std::string& first = section(group.front()).title;
    const auto other =
        std::find_if(group.begin(), group.end(), [&](int k) { return section(k).title != first; });
    if (other == group.end()) continue;
    for (const int k : group) {
      across.sameAs[static_cast<std::size_t>(k - 1)] =
          section(k).title != first ? group.front() : *other;
    }
  }
  if (feedback.isCancelled()) return std::nullopt;

  const auto sameConcrete = groupAlike(withConcrete, concreteHashes, [&](int a, int b) {
    return std::equal(section(a).concrete.begin(), section(a).concrete.end(),
                      section(b).concrete.begin(), section(b).concrete.end(),
                      [](const ConcreteFiber& f, const ConcreteFiber& g) {
                        return f[0] == g[0] && f[1] == g[1] && f[2] == g[2];
                      });
  });
  for (const auto& group : sameConcrete) markSteelOutliers(group, steelArea, across);
  if (feedback.isCancelled()) return std::nullopt;
  return across;
}

void applyAcross(SectionRow& row, const AcrossSections& across) {
  const auto i = static_cast<std::size_t>(row.number - 1);
  row.sameAs = across.sameAs[i];
  row.steelOutlier = across.steelOutliers[i];
  const auto at =
      std::lower_bound(row.issues.begin(), row.issues.end(), SectionIssue::SteelAreaOutlier);
  const bool marked = at != row.issues.end() && *at == SectionIssue::SteelAreaOutlier;
  if (row.steelOutlier && !marked) row.issues.insert(at, SectionIssue::SteelAreaOutlier);
  if (!row.steelOutlier && marked) row.issues.erase(at);
}

std::optional<CheckedSections> checkSections(
    const SectionStore& store, Feedback& feedback, const std::vector<bool>& wanted,
    std::optional<AcrossSections> across,
    const std::function<bool(const SectionRow&)>& keepRegion) {
  const std::size_t count = store.sections.size();
  const auto isWanted = [&](std::size_t i) { return wanted.empty() || wanted[i]; };
  CheckedSections checked;
  checked.rows.resize(count);
  checked.regions.resize(count);
  std::size_t known = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (!isWanted(i)) ++known;
  }
  std::atomic<std::size_t> next{0};
  std::atomic<std::uint64_t> done{known};
  std::exception_ptr failure;
  std::mutex failureLock;
  // Whatever a thread meets (no memory, most likely) stops the others and reaches the caller
  // as it would from a single thread.
  const auto guarded = [&](const auto& task) {
    try {
      task();
    } catch (...) {
      const std::lock_guard lock(failureLock);
      if (!failure) failure = std::current_exception();
      next = count;
    }
  };
  std::thread acrossThread;
  if (!across) {
    acrossThread =
        std::thread([&] { guarded([&] { across = checkAcrossSections(store, feedback); }); });
  }
  const auto work = [&] {
    guarded([&] {
      for (std::size_t i = next++; i < count && !feedback.isCancelled(); i = next++) {
        if (!isWanted(i)) continue;
        const int number = static_cast<int>(i) + 1;
        auto region = std::make_shared<const ConcreteRegion>(*store.section(number));
        checked.rows[i] = sectionRow(store, number, *region);
        if (keepRegion && keepRegion(*checked.rows[i])) checked.regions[i] = std::move(region);
        feedback.setProgress(++done, count);
      }
    });
  };
  const std::size_t cores = std::max(1U, std::thread::hardware_concurrency());
  std::vector<std::thread> workers;
  for (std::size_t t = 1; t < std::min(cores, count - known); ++t) {
    try {
      workers.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // fewer threads do the same work
    }
  }
  work();
  for (std::thread& t : workers) t.join();
  if (acrossThread.joinable()) acrossThread.join();
  if (failure) std::rethrow_exception(failure);
  if (!across || feedback.isCancelled()) return std::nullopt;
  for (auto& row : checked.rows) {
    if (row) applyAcross(*row, *across);
  }
  checked.across = std::move(*across);
  // The threads report in any order; the last word is that all is done.
  feedback.setProgress(count, count);
  return checked;
}

std::optional<std::vector<SectionRow>> checkFile(
    const SectionStore& store, Feedback& feedback,
    const std::function<bool(const SectionRow&)>& keepRegion, SectionRegions* regions) {
  if (regions != nullptr) regions->clear();
  auto checked =
      checkSections(store, feedback, {}, std::nullopt, regions != nullptr ? keepRegion : nullptr);
  if (!checked) return std::nullopt;
  std::vector<SectionRow> rows;
  rows.reserve(checked->rows.size());
  for (auto& row : checked->rows) rows.push_back(std::move(*row));
  if (regions != nullptr) *regions = std::move(checked->regions);
  return rows;
}

}  // namespace fiberview
