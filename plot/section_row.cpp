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

// Runs task(begin, end) over [0, count) in runs of about equal `weight` (of each index), one
// run to a core: the checks across sections read every value of a large store, which one core
// alone takes longer over than the rest of the checks. Small work stays on this thread, as a
// thread takes longer to start than it would save.
template <typename Weight, typename Task>
void splitOverCores(std::size_t count, Weight weight, Task task) {
  constexpr std::size_t kWeightForThreads = 50000;  // fibers
  std::size_t total = 0;
  for (std::size_t i = 0; i < count; ++i) total += weight(i);
  const std::size_t cores = std::max(1U, std::thread::hardware_concurrency());
  const std::size_t parts = total < kWeightForThreads ? 1 : std::min<std::size_t>(cores, 8);
  std::vector<std::thread> threads;
  std::size_t begin = 0;
  std::size_t counted = 0;
  for (std::size_t part = 1; part < parts; ++part) {
    std::size_t end = begin;
    while (end < count && counted * parts < total * part) counted += weight(end++);
    try {
      threads.emplace_back(task, begin, end);
    } catch (const std::system_error&) {
      task(begin, end);  // this thread does that share too
    }
    begin = end;
  }
  task(begin, count);
  for (std::thread& t : threads) t.join();
}

// Groups the sections that `same` finds identical, in order of their first section, each
// group in section order. `same` must be an equivalence. Sections are bucketed by `hashes`
// (by section number − 1) first, so that only sections that are likely the same are
// compared in full; the comparisons, which read both sections whole, run on every core.
template <typename Weight, typename Same>
std::vector<std::vector<int>> groupAlike(const std::vector<int>& sections,
                                         const std::vector<std::uint64_t>& hashes, Weight weight,
                                         Same same) {
  const auto hash = [&](int k) { return hashes[static_cast<std::size_t>(k - 1)]; };
  std::unordered_map<std::uint64_t, std::vector<int>> buckets;  // hash → sections, in order
  for (const int k : sections) buckets[hash(k)].push_back(k);
  // The first section of each one's group: the first of its bucket that is the same.
  std::vector<int> first(sections.size());
  splitOverCores(
      sections.size(), [&](std::size_t p) { return weight(sections[p]); },
      [&](std::size_t begin, std::size_t end) {
        for (std::size_t p = begin; p < end; ++p) {
          const int k = sections[p];
          for (const int j : buckets.at(hash(k))) {
            if (j == k || same(j, k)) {
              first[p] = j;
              break;
            }
          }
        }
      });
  std::vector<std::vector<int>> groups;
  std::unordered_map<int, std::size_t> groupOf;  // first section → group
  for (std::size_t p = 0; p < sections.size(); ++p) {
    if (first[p] == sections[p]) {
      groupOf.emplace(sections[p], groups.size());
      groups.push_back({sections[p]});
    } else {
      groups[groupOf.at(first[p])].push_back(sections[p]);
    }
  }
  return groups;
}

// Whether two fiber lists hold the same values, or (with `places`) the same x, y and area.
// Equal bytes are equal values, as the lists compared hold no NaN, and comparing bytes is
// several times faster; only lists whose bytes differ, by 0 against −0 say, are compared
// value by value.
template <typename Fiber>
bool sameFibers(const FiberList<Fiber>& a, const FiberList<Fiber>& b, bool places = false) {
  if (a.size() != b.size()) return false;
  if (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(Fiber)) == 0) return true;
  if (!places) return a == b;
  return std::equal(a.begin(), a.end(), b.begin(), [](const Fiber& f, const Fiber& g) {
    return f[0] == g[0] && f[1] == g[1] && f[2] == g[2];
  });
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

// The keys of every section of `store`, on every core for a large store.
std::vector<SectionKey> keysOf(const SectionStore& store) {
  const std::vector<Section>& sections = store.sections;
  std::vector<SectionKey> keys(sections.size());
  splitOverCores(
      sections.size(),
      [&](std::size_t i) { return sections[i].concrete.size() + sections[i].steel.size(); },
      [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) keys[i] = keyOf(sections[i]);
      });
  return keys;
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
  std::vector<double> steelArea(count, 0.0);
  std::vector<std::uint64_t> fiberHashes(count);
  std::vector<std::uint64_t> concreteHashes(count);
  const std::vector<SectionKey> keys = keysOf(store);
  for (std::size_t i = 0; i < count; ++i) {
    const SectionKey& key = keys[i];
    if (!key.finite) continue;
    taking.push_back(static_cast<int>(i) + 1);
    steelArea[i] = key.steelArea;
    fiberHashes[i] = key.fibers;
    concreteHashes[i] = key.concrete;
  }
  if (feedback.isCancelled()) return std::nullopt;
  const auto section = [&](int k) -> const Section& { return *store.section(k); };

  const auto fibers = [&](int k) { return section(k).concrete.size() + section(k).steel.size(); };
  const auto twins = groupAlike(taking, fiberHashes, fibers, [&](int a, int b) {
    return sameFibers(section(a).concrete, section(b).concrete) &&
           sameFibers(section(a).steel, section(b).steel);
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

  // Twins have the same concrete, so only the first of each group of twins with concrete is
  // compared with the others for its concrete, and brings its twins into its group.
  std::vector<int> firsts;
  std::unordered_map<int, const std::vector<int>*> twinsOf;  // first section → its group
  for (const auto& group : twins) {
    if (section(group.front()).concrete.empty()) continue;
    firsts.push_back(group.front());
    twinsOf.emplace(group.front(), &group);
  }
  const auto sameConcrete = groupAlike(firsts, concreteHashes, fibers, [&](int a, int b) {
    return sameFibers(section(a).concrete, section(b).concrete, true);
  });
  for (const auto& group : sameConcrete) {
    std::vector<int> sections;
    for (const int first : group) {
      const std::vector<int>& more = *twinsOf.at(first);
      sections.insert(sections.end(), more.begin(), more.end());
    }
    std::sort(sections.begin(), sections.end());
    markSteelOutliers(sections, steelArea, across);
  }
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
