// Checks what a read produced against what a realistic file holds. A read with settings
// that do not fit its file may still use up its fields; its values then show it: areas that
// are no areas, further values that break their kind, concrete that does not tile its
// region, bars outside it, properties that fit the other version.
//
// Findings are data: the app names them in Chinese.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <vector>

#include "data/section_store.h"

namespace fiberview {

// What a section's values break, first found first.
enum class ValueProblem {
  NotFinite,        // a value is infinite or not a number
  AreaNotPositive,  // a fiber's area is 0 or negative
  KindBroken,       // a further value breaks the sign, or the order of magnitude, that the
                    // fibers of its kind keep there
  OutsideSection,   // concrete that does not tile its region, or a bar outside it
  KindDiffers,      // a property is a number in one section and text or empty in another
  VersionMisfit,    // the properties fit another version's roles, and none fits this one's
  BeginsMidLine,    // a fiber begins in the middle of a line, where the section's properties
                    // and its first and last fibers each fill a line of their own
};

struct ValueFinding {
  ValueProblem problem = ValueProblem::NotFinite;
  int section = 0;  // 1-based
  FiberKind kind = FiberKind::Concrete;
  int fiber = 0;  // 1-based; 0 for a property or a whole section
  int value = 0;  // 1-based within the fiber, or the property's index + 1
  double found = 0.0;
  double typical = 0.0;                 // KindBroken by size: the median size of the value; else 0
  FileVersion fits = FileVersion::Old;  // VersionMisfit: the version the properties fit
};

// Checks a store against what a realistic file holds: every section of a file of up to 256
// sections, and 256 spread evenly over a larger one (the first and the last among them),
// since a setting that does not fit shifts the fields of every section alike. Returns the
// first problem found, or nothing for a store that looks right.
std::optional<ValueFinding> checkValues(const SectionStore& store);

// Every check of checkValues but the version's, over up to `most` sections spread evenly over
// `sections` (the first and the last among them). Sections that carry no line positions
// (SectionEnds) are judged by their values alone.
std::optional<ValueFinding> checkSectionValues(
    const std::vector<Section>& sections,
    std::size_t most = std::numeric_limits<std::size_t>::max());

}  // namespace fiberview
