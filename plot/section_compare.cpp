#include "plot/section_compare.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "plot/concrete_region.h"
#include "plot/section_summary.h"

namespace fiberview {

namespace {

// Two values read from the same text are the same double; a value that is not a number
// is the same as another that is not, so that a file compared with itself shows no change.
bool sameNumber(double a, double b) {
  return a == b || (std::isnan(a) && std::isnan(b));
}

bool sameValue(const Value& a, const Value& b) {
  const auto* x = std::get_if<double>(&a);
  const auto* y = std::get_if<double>(&b);
  if (x != nullptr && y != nullptr) return sameNumber(*x, *y);
  return a == b;
}

template <typename Fiber>
bool sameFiber(const Fiber& a, const Fiber& b) {
  for (std::size_t v = 0; v < a.size(); ++v) {
    if (!sameNumber(a[v], b[v])) return false;
  }
  return true;
}

template <typename Fiber>
bool sameFibers(const FiberList<Fiber>& a, const FiberList<Fiber>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), sameFiber<Fiber>);
}

bool sameSection(const Section& a, const Section& b, bool properties) {
  if (properties) {
    for (std::size_t p = 0; p < a.properties.size(); ++p) {
      if (!sameValue(a.properties[p], b.properties[p])) return false;
    }
  }
  return sameFibers(a.concrete, b.concrete) && sameFibers(a.steel, b.steel);
}

template <typename Fiber>
bool placed(const Fiber& f) {
  return std::isfinite(f[0]) && std::isfinite(f[1]);
}

// Pairs each fiber of `before` with the nearest fiber of `after` at most `tolerance` away:
// of all pairs that close, the nearest first, each fiber in one pair at most. Returns, for
// each fiber of `before`, the index of its partner in `after`, or -1.
template <typename Fiber>
std::vector<int> pairByPlace(const FiberList<Fiber>& before, const FiberList<Fiber>& after,
                             double tolerance) {
  // The fibers of `after` by x, then y: a window of x and, within one x, of y finds the
  // fibers near a point, also along a wall whose fibers all share one x.
  std::vector<int> order;
  for (std::size_t j = 0; j < after.size(); ++j) {
    if (placed(after[j])) order.push_back(static_cast<int>(j));
  }
  const auto x = [&](int j) { return after[static_cast<std::size_t>(j)][0]; };
  const auto y = [&](int j) { return after[static_cast<std::size_t>(j)][1]; };
  std::sort(order.begin(), order.end(),
            [&](int a, int b) { return std::pair(x(a), y(a)) < std::pair(x(b), y(b)); });
  // The square of the tolerance, a little over, so that rounding never drops a fiber that
  // hypot puts within it.
  const double reach = tolerance * tolerance * (1 + 1e-9);
  // Calls `near` with each fiber of `after` at most `tolerance` from `f` and its distance.
  const auto forEachNear = [&](const Fiber& f, const auto& near) {
    auto at = std::lower_bound(order.begin(), order.end(), f[0] - tolerance,
                               [&](int j, double v) { return x(j) < v; });
    while (at != order.end() && x(*at) <= f[0] + tolerance) {
      const double column = x(*at);
      const auto columnEnd =
          std::upper_bound(at, order.end(), column, [&](double v, int j) { return v < x(j); });
      for (auto k = std::lower_bound(at, columnEnd, f[1] - tolerance,
                                     [&](int j, double v) { return y(j) < v; });
           k != columnEnd && y(*k) <= f[1] + tolerance; ++k) {
        // Squares first: hypot is exact but slow, and a wide tolerance brings many fibers.
        const double dx = x(*k) - f[0];
        const double dy = y(*k) - f[1];
        if (dx * dx + dy * dy > reach) continue;
        const double d = std::hypot(dx, dy);
        if (d <= tolerance) near(d, *k);
      }
      at = columnEnd;
    }
  };
  // Each fiber keeps only its few nearest candidates: with a tolerance as wide as the
  // section, every pair would be a candidate, in memory the square of the fibers.
  constexpr std::size_t kCandidates = 8;
  using Candidate = std::pair<double, int>;         // distance, fiber of `after`
  std::vector<std::tuple<double, int, int>> close;  // distance, before, after
  std::vector<Candidate> nearest;
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (!placed(before[i])) continue;
    nearest.clear();
    forEachNear(before[i], [&](double d, int j) {
      if (nearest.size() == kCandidates && !(Candidate(d, j) < nearest.front())) return;
      if (nearest.size() == kCandidates) {
        std::pop_heap(nearest.begin(), nearest.end());
        nearest.pop_back();
      }
      nearest.emplace_back(d, j);
      std::push_heap(nearest.begin(), nearest.end());
    });
    for (const auto& [d, j] : nearest) close.emplace_back(d, static_cast<int>(i), j);
  }
  std::sort(close.begin(), close.end());
  std::vector<int> partner(before.size(), -1);
  std::vector<bool> taken(after.size(), false);
  const auto take = [&](const std::vector<std::tuple<double, int, int>>& pairs) {
    for (const auto& [d, i, j] : pairs) {
      auto& mine = partner[static_cast<std::size_t>(i)];
      if (mine >= 0 || taken[static_cast<std::size_t>(j)]) continue;
      mine = j;
      taken[static_cast<std::size_t>(j)] = true;
    }
  };
  take(close);
  // A fiber whose candidates all went to nearer pairs looks again among the fibers left, the
  // nearest first, until no fiber finds one.
  for (;;) {
    close.clear();
    for (std::size_t i = 0; i < before.size(); ++i) {
      if (partner[i] >= 0 || !placed(before[i])) continue;
      std::optional<std::tuple<double, int, int>> best;
      forEachNear(before[i], [&](double d, int j) {
        const std::tuple<double, int, int> pair(d, static_cast<int>(i), j);
        if (!taken[static_cast<std::size_t>(j)] && (!best || pair < *best)) best = pair;
      });
      if (best) close.push_back(*best);
    }
    if (close.empty()) break;
    std::sort(close.begin(), close.end());
    take(close);
  }
  return partner;
}

template <typename Fiber>
void compareFibers(FiberKind kind, const FiberList<Fiber>& before, const FiberList<Fiber>& after,
                   double tolerance, bool& byNumber, std::vector<FiberChange>& out) {
  byNumber = before.size() == after.size();
  std::vector<int> partner(before.size());
  if (byNumber) {
    for (std::size_t i = 0; i < partner.size(); ++i) partner[i] = static_cast<int>(i);
  } else {
    partner = pairByPlace(before, after, tolerance);
  }
  std::vector<bool> matched(after.size(), false);
  for (std::size_t i = 0; i < before.size(); ++i) {
    const Fiber& f = before[i];
    FiberChange c;
    c.kind = kind;
    c.before = static_cast<int>(i) + 1;
    c.from = c.to = {f[0], f[1]};
    if (partner[i] < 0) {
      out.push_back(c);
      continue;
    }
    const auto j = static_cast<std::size_t>(partner[i]);
    matched[j] = true;
    const Fiber& g = after[j];
    c.after = static_cast<int>(j) + 1;
    c.to = {g[0], g[1]};
    if (!sameNumber(f[0], g[0]) || !sameNumber(f[1], g[1])) {
      const double d = std::hypot(g[0] - f[0], g[1] - f[1]);
      if (!(d <= tolerance)) c.moved = d;
    }
    if (!sameNumber(f[2], g[2])) c.area = std::array<double, 2>{f[2], g[2]};
    for (std::size_t v = 3; v < f.size(); ++v) {
      if (!sameNumber(f[v], g[v])) c.values.push_back(static_cast<int>(v) + 1);
    }
    if (c.moved || c.area || !c.values.empty()) out.push_back(c);
  }
  for (std::size_t j = 0; j < after.size(); ++j) {
    if (matched[j]) continue;
    FiberChange c;
    c.kind = kind;
    c.after = static_cast<int>(j) + 1;
    c.from = c.to = {after[j][0], after[j][1]};
    out.push_back(c);
  }
}

CompareFigures figures(const Section& section) {
  const SectionSummary summary = summarizeSection(section);
  CompareFigures f;
  f.concreteArea = summary.concrete.area;
  f.steelArea = summary.steel.area;
  f.ratio = summary.reinforcementRatio;
  const ConcreteRegion region(section);
  if (const auto& box = region.extent()) {
    f.regionWidth = box->width();
    f.regionHeight = box->height();
  }
  return f;
}

void comparePair(const Section& before, const Section& after, bool propertiesComparable,
                 double tolerance, SectionComparison& c) {
  c.propertiesCompared = propertiesComparable;
  if (!c.titleChanged && sameSection(before, after, propertiesComparable)) return;
  if (propertiesComparable) {
    for (std::size_t p = 0; p < before.properties.size(); ++p) {
      if (!sameValue(before.properties[p], after.properties[p])) {
        c.properties.push_back({static_cast<int>(p), before.properties[p], after.properties[p]});
      }
    }
  }
  compareFibers(FiberKind::Concrete, before.concrete, after.concrete, tolerance, c.concreteByNumber,
                c.fibers);
  compareFibers(FiberKind::Steel, before.steel, after.steel, tolerance, c.steelByNumber, c.fibers);
  if (!c.titleChanged && c.properties.empty() && c.fibers.empty()) return;
  c.status = SectionStatus::Changed;
  c.figuresBefore = figures(before);
  c.figuresAfter = figures(after);
}

}  // namespace

std::optional<Comparison> compareStores(const SectionStore& before, const SectionStore& after,
                                        const CompareOptions& options, Feedback& feedback) {
  Comparison out;
  out.options = options;
  out.sectionsBefore = static_cast<int>(before.sections.size());
  out.sectionsAfter = static_cast<int>(after.sections.size());
  out.matching = !before.titled || !after.titled ? Matching::ByNumberUntitled
                 : options.byNumber              ? Matching::ByNumberRequested
                                                 : Matching::ByTitle;
  // The partner of each section, by number − 1; 0 for none.
  std::vector<int> partnerBefore(before.sections.size(), 0);
  std::vector<int> partnerAfter(after.sections.size(), 0);
  if (out.matching == Matching::ByTitle) {
    // Each title's sections in the old file, in order, and how many the new file took.
    std::unordered_map<std::string_view, std::pair<std::vector<int>, std::size_t>> byTitle;
    for (std::size_t i = 0; i < before.sections.size(); ++i) {
      byTitle[before.sections[i].title].first.push_back(static_cast<int>(i) + 1);
    }
    std::unordered_map<std::string_view, int> seenAfter;
    for (std::size_t j = 0; j < after.sections.size(); ++j) {
      const std::string& title = after.sections[j].title;
      ++seenAfter[title];
      const auto found = byTitle.find(title);
      if (found == byTitle.end()) continue;
      auto& [numbers, taken] = found->second;
      if (taken == numbers.size()) continue;
      const int i = numbers[taken++];
      partnerAfter[j] = i;
      partnerBefore[static_cast<std::size_t>(i) - 1] = static_cast<int>(j) + 1;
    }
    for (const auto& [title, entry] : byTitle) {
      const auto found = seenAfter.find(title);
      if (entry.first.size() > 1 || (found != seenAfter.end() && found->second > 1)) {
        ++out.repeatedTitles;
      }
    }
    for (const auto& [title, seen] : seenAfter) {
      if (seen > 1 && byTitle.count(title) == 0) ++out.repeatedTitles;
    }
  } else {
    const std::size_t common = std::min(before.sections.size(), after.sections.size());
    for (std::size_t k = 0; k < common; ++k) {
      partnerBefore[k] = partnerAfter[k] = static_cast<int>(k) + 1;
    }
  }

  const bool propertiesComparable = before.version == after.version;
  const bool titles = out.matching != Matching::ByTitle && before.titled && after.titled;
  const auto total = static_cast<std::uint64_t>(after.sections.size() + before.sections.size());
  std::uint64_t done = 0;
  // Rows in the new file's order; a removed section keyed after the row of the section
  // before it in the old file, or first when no section before it was kept.
  std::vector<std::pair<std::pair<int, int>, SectionComparison>> rows;
  rows.reserve(after.sections.size());
  for (std::size_t j = 0; j < after.sections.size(); ++j) {
    if (feedback.isCancelled()) return std::nullopt;
    feedback.setProgress(++done, total);
    SectionComparison c;
    c.after = static_cast<int>(j) + 1;
    c.before = partnerAfter[j];
    if (c.before == 0) {
      c.status = SectionStatus::Added;
      c.figuresAfter = figures(after.sections[j]);
    } else {
      const Section& old = *before.section(c.before);
      c.titleChanged = titles && old.title != after.sections[j].title;
      comparePair(old, after.sections[j], propertiesComparable, options.tolerance, c);
    }
    rows.push_back({{c.after, 0}, std::move(c)});
  }
  int lastKept = 0;  // the new number of the last old section that has a partner
  for (std::size_t i = 0; i < before.sections.size(); ++i) {
    if (feedback.isCancelled()) return std::nullopt;
    feedback.setProgress(++done, total);
    if (partnerBefore[i] != 0) {
      lastKept = partnerBefore[i];
      continue;
    }
    SectionComparison c;
    c.before = static_cast<int>(i) + 1;
    c.status = SectionStatus::Removed;
    c.figuresBefore = figures(before.sections[i]);
    rows.push_back({{lastKept, c.before}, std::move(c)});
  }
  std::stable_sort(rows.begin(), rows.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  out.sections.reserve(rows.size());
  for (auto& [key, c] : rows) {
    ++out.counts[static_cast<std::size_t>(c.status)];
    out.sections.push_back(std::move(c));
  }
  return out;
}

}  // namespace fiberview
