// One line per section of a file: its figures, its stated properties set against its
// fibers, and what the checks found, alone and next to the other sections of the file. The
// table of every section, its exports and the report are built from these lines.
//
// Units are the file's own, as in section_summary.h.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "data/feedback.h"
#include "data/section_store.h"
#include "plot/concrete_region.h"
#include "plot/section_summary.h"

namespace fiberview {

// What is wrong with a section as a whole, or next to the other sections of its file.
enum class SectionIssue {
  NoFibers,  // the section has no fiber of either kind
  // The concrete region could not be made (regionFailure says why), so nothing that needs
  // it was checked.
  RegionFailed,
  // After an old-version read: B, or H, differs from the width, or height, of the concrete
  // region by more than kDimensionTolerance.
  WidthMismatch,
  HeightMismatch,
  // A bar whose area differs by more than kAlikeTolerance from the one area that all the
  // section's other bars share; needs at least kMinBarsForOddBar bars. A bar of area 0 is
  // named by checkSection instead.
  OddBar,
  // ΣAs stands apart from the sections with the same concrete fibers; see checkFile.
  SteelAreaOutlier,
};

inline constexpr double kDimensionTolerance = 0.05;
inline constexpr double kAlikeTolerance = 0.01;
inline constexpr int kMinBarsForOddBar = 4;
// A group of sections with the same concrete must be this large, and its most common ΣAs
// this dominant, before a section alone with another ΣAs is called an outlier.
inline constexpr int kMinGroupForOutlier = 5;
inline constexpr double kDominantShare = 0.8;

// For a SteelAreaOutlier: the ΣAs the other sections of the same concrete share, and how
// many of them do.
struct SteelAreaShare {
  double common = 0.0;
  int sharing = 0;
};

struct SectionRow {
  int number = 0;  // 1-based
  std::string title;
  int concreteCount = 0;
  int steelCount = 0;
  double concreteArea = 0.0;    // ΣAc of the fibers that enter the figures
  double steelArea = 0.0;       // ΣAs
  std::optional<double> ratio;  // ΣAs / ΣAc
  // The width and height of the concrete region (ConcreteRegion); none when it is empty.
  std::optional<double> regionWidth;
  std::optional<double> regionHeight;
  // The properties in the order the drawing shows them: B, H, E0 or EA, EIxx, EIyy.
  std::array<Value, 3> properties{Value{}, Value{}, Value{0.0}};
  // Old version: (region − stated) / |stated| for B against the region's width and H against
  // its height (compareWithDimensions), none for E0. New version: the moduli the stated
  // stiffnesses imply for the concrete, EA / ΣAc, EIxx / Ixx and EIyy / Iyy, about the axes
  // compareWithStiffnesses finds. None where a figure is missing, 0, text or not finite.
  std::array<std::optional<double>, 3> comparisons;
  std::vector<Finding> fiberFindings;  // checkSection's
  std::vector<SectionIssue> issues;    // in the order of SectionIssue
  std::vector<int> oddBars;            // 1-based, for OddBar
  std::string regionFailure;           // for RegionFailed: ConcreteRegion::failure()
  // The first other section of the file whose fibers are all identical to this one's under
  // another title; 0 when there is none. Identical columns are common, so this is no issue.
  int sameAs = 0;
  std::optional<SteelAreaShare> steelOutlier;  // with SteelAreaOutlier

  int findingCount() const { return static_cast<int>(fiberFindings.size() + issues.size()); }
  bool hasFindings() const { return findingCount() > 0; }
};

// The line of section `number` (1-based) of `store` from that section alone: every figure
// and finding except the ones that need the other sections (SteelAreaOutlier, sameAs).
// The section must exist; `region` is its concrete region.
SectionRow sectionRow(const SectionStore& store, int number, const ConcreteRegion& region);
// The same, building the region.
SectionRow sectionRow(const SectionStore& store, int number);

// What the checks across sections found, for each section of a file (index number − 1):
// - SteelAreaOutlier: among the sections whose concrete fibers (x, y and area) are
//   identical, at least kMinGroupForOutlier of them, one ΣAs (to within 1e-6 of itself) is
//   held by at least kDominantShare of the group; a section whose ΣAs no other section of
//   the group shares, and which differs from that one by more than kAlikeTolerance, is
//   an outlier. Several designs each shared by a few sections raise nothing.
// - sameAs: the first other section whose fibers are all identical to this one's under
//   another title; 0 when there is none.
// Sections with a value that is not finite take no part in either. The checks need no
// region, only a pass over the fibers.
struct AcrossSections {
  std::vector<int> sameAs;
  std::vector<std::optional<SteelAreaShare>> steelOutliers;
};

// Polls `feedback` now and then; none when it is cancelled.
std::optional<AcrossSections> checkAcrossSections(const SectionStore& store, Feedback& feedback);

// Adds to `row` what `across` found for its section; the same row may take it again.
void applyAcross(SectionRow& row, const AcrossSections& across);

// What checkSections found.
struct CheckedSections {
  // By number − 1: the lines of the sections asked for, with the checks across sections;
  // none for the others.
  std::vector<std::optional<SectionRow>> rows;
  SectionRegions regions;  // the regions of those lines that keepRegion kept; null for others
  AcrossSections across;
};

// The lines of the sections of `store` that `wanted` names (by number − 1; every section when
// it is empty): each section's own checks and the checks across sections. Reports the
// sections done to `feedback`, those not wanted counting as done from the start; none when it
// is cancelled. The sections are independent, so they are checked on every core at once, and
// the checks across sections beside them unless `across` holds them already. Each section's
// concrete region is dropped once its line is made, unless `keepRegion` says to keep it.
std::optional<CheckedSections> checkSections(
    const SectionStore& store, Feedback& feedback, const std::vector<bool>& wanted,
    std::optional<AcrossSections> across,
    const std::function<bool(const SectionRow&)>& keepRegion = {});

// The lines of every section of `store` (checkSections), every one present; the regions
// `keepRegion` kept land in `regions` (index number − 1, null for the others).
std::optional<std::vector<SectionRow>> checkFile(
    const SectionStore& store, Feedback& feedback,
    const std::function<bool(const SectionRow&)>& keepRegion = {},
    SectionRegions* regions = nullptr);

}  // namespace fiberview
