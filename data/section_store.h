// The in-memory model of one fiber data file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace fiberview {

// Bounds of the data model: a file needing more is refused by the readers.
inline constexpr int kMaxTitledSections = 1000;
inline constexpr int kMaxSections = 2000;
inline constexpr int kMaxFibers = 100;

// A section property as read: a number, the field's text when it was not numeric,
// or nothing when the file version that fills it was not the one read.
using Value = std::variant<std::monostate, double, std::string>;

// x, y, area, then five further values that are kept but not drawn.
using ConcreteFiber = std::array<double, 8>;
// x, y, bar area, then two further values.
using SteelFiber = std::array<double, 5>;

enum class FileVersion { Old, New };

struct Section {
  // Display title prefixed with the section number (" 1 COL-A"); empty when the file
  // carries no title lines.
  std::string title;
  // The text shown for the section in the section list.
  std::string listEntry;

  // New-version properties.
  Value ea;
  Value eixx;
  double eiyy = 0.0;

  // Old-version properties, in file order H, B, E0.
  Value h;
  Value b;
  double e0 = 0.0;

  // Coordinates and areas are in the file's own length unit.
  std::vector<ConcreteFiber> concrete;
  std::vector<SteelFiber> steel;
};

// Everything one successful read produced. Sections are numbered from 1, so
// sections[0] is section 1. A store is built whole by a reader and replaced whole by
// the next successful read; nothing of an earlier file survives in it.
struct SectionStore {
  std::vector<Section> sections;

  // Section k (1-based), or nullptr when the store has no such section.
  const Section* section(int k) const {
    if (k < 1 || static_cast<std::size_t>(k) > sections.size()) return nullptr;
    return &sections[static_cast<std::size_t>(k) - 1];
  }
};

// The reading settings taken from the window when the user asks to read a file. The
// file itself does not say how many fibers a section has.
struct ReadOptions {
  FileVersion version = FileVersion::Old;
  std::int16_t concreteCount = 0;
  // Kept as typed rather than rounded: a reader reads fibers 1, 2, ... while the fiber
  // number does not exceed it, so 4.5 reads four fibers.
  double steelCount = 0.0;
  bool hasTitleLine = false;
};

// How many steel fibers a steel count reads: the fiber numbers j = 1, 2, ... with j <= count.
inline int steelFibersToRead(double steelCount) {
  if (!(steelCount >= 1.0)) return 0;
  if (steelCount >= kMaxFibers + 1) return kMaxFibers + 1;
  return static_cast<int>(steelCount);
}

}  // namespace fiberview
