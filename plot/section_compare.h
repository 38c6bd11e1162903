// Two revisions of a model set side by side: which sections were added, removed or changed,
// and, for each section that changed, what changed, property by property and fiber by fiber.
//
// Coordinates, areas and the tolerance are in the files' own length unit; both files are
// taken to use the same one. Sections and fibers are numbered from 1.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "data/feedback.h"
#include "data/section_store.h"
#include "plot/geometry.h"

namespace fiberview {

struct CompareOptions {
  // How far a fiber's centre may move and still count as the same place: 0 by default, so
  // that any move counts. A fiber whose counts differ between the sections is matched with
  // the nearest fiber of its kind at most this far away.
  double tolerance = 0.0;
  // Match the sections by number even where both files have titles.
  bool byNumber = false;
};

// How the sections of the two files were paired.
enum class Matching {
  ByTitle,            // both files have titles
  ByNumberUntitled,   // a file has no titles to match by
  ByNumberRequested,  // CompareOptions::byNumber
};

// In the order in which the counts of the status line name them.
enum class SectionStatus { Added, Removed, Changed, Same };

// One property of a matched pair, by its index in file order (0 to 2), when it changed.
struct PropertyChange {
  int property = 0;
  Value before;
  Value after;
};

// What happened to one fiber. A fiber matched in both sections has `before` and `after`;
// an added one only `after`, a removed one only `before`.
struct FiberChange {
  FiberKind kind = FiberKind::Concrete;
  int before = 0;  // fiber number in the old section; 0 for an added fiber
  int after = 0;   // in the new section; 0 for a removed fiber
  Point from;      // the centre in the old section (the new one's for an added fiber)
  Point to;        // the centre in the new section (the old one's for a removed fiber)
  // How far the centre moved, when more than the tolerance.
  std::optional<double> moved;
  // The areas before and after, when they differ.
  std::optional<std::array<double, 2>> area;
  // The 1-based numbers of the further values (4 and on) that differ.
  std::vector<int> values;

  bool added() const { return before == 0; }
  bool removed() const { return after == 0; }
};

// A section's figures as section_row.h defines them. The region's width and height are
// none where the region is empty, and for sections that are the same (no region is built
// for those).
struct CompareFigures {
  double concreteArea = 0.0;  // ΣAc
  double steelArea = 0.0;     // ΣAs
  std::optional<double> ratio;
  std::optional<double> regionWidth;
  std::optional<double> regionHeight;
};

struct SectionComparison {
  SectionStatus status = SectionStatus::Same;
  int before = 0;  // the section's number in the old file; 0 for an added section
  int after = 0;   // in the new file; 0 for a removed section
  // Pairs matched by number may carry different titles; pairs matched by title never do.
  bool titleChanged = false;
  // False when the files are of different versions, whose properties mean different things:
  // then `properties` is empty and only the fibers decide the status.
  bool propertiesCompared = true;
  std::vector<PropertyChange> properties;
  // Only fibers with a change, and none for added and removed sections: concrete before steel, and
  // within a kind the matched and removed fibers by old fiber number, then the added ones by new
  // fiber number.
  std::vector<FiberChange> fibers;
  // How each kind's fibers were paired: by number where the counts agree, else by place.
  bool concreteByNumber = true;
  bool steelByNumber = true;
  // Before and after for changed sections, the one side for added and removed ones, and
  // none for sections that are the same.
  std::optional<CompareFigures> figuresBefore;
  std::optional<CompareFigures> figuresAfter;
};

struct Comparison {
  CompareOptions options;  // as compared with
  Matching matching = Matching::ByTitle;
  // With ByTitle: the number of titles that occur more than once in either file, whose
  // sections were paired in order of appearance.
  int repeatedTitles = 0;
  int sectionsBefore = 0;
  int sectionsAfter = 0;
  // Sections in the new file's order; a removed section follows the row of the section
  // that stood before it in the old file.
  std::vector<SectionComparison> sections;
  // By SectionStatus: added, removed, changed, same.
  std::array<int, 4> counts{};

  int count(SectionStatus s) const { return counts[static_cast<std::size_t>(s)]; }
  bool same() const { return count(SectionStatus::Same) == static_cast<int>(sections.size()); }
};

// Compares `before` (the old revision) with `after`. Pairs that are equal in every value
// are found by comparing their values directly; the fibers of the others are matched and
// their changes listed, and their figures worked out, their concrete regions included. A
// pair whose only differences lie within the tolerance is the same. Reports the sections
// done to `feedback` and polls it; none when it is cancelled.
std::optional<Comparison> compareStores(const SectionStore& before, const SectionStore& after,
                                        const CompareOptions& options, Feedback& feedback);

}  // namespace fiberview
