// The in-memory model of one fiber data file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "data/file_version.h"
#include "data/store_memory.h"

namespace fiberview {

// A section property as read: a number, the field's text when it was not numeric, or
// nothing when the field was empty.
using Value = std::variant<std::monostate, double, std::string>;

enum class FiberKind { Concrete, Steel };

// x, y, area, then five further values that are kept but not drawn.
using ConcreteFiber = std::array<double, 8>;
// x, y, bar area, then two further values.
using SteelFiber = std::array<double, 5>;

// 1-based line and column of a file; the column counts bytes from the start of the line.
struct TextPosition {
  long long line = 1;
  long long column = 1;
};

// Where the reader stood after some fibers of a kind: after the first, the last but one and
// the last of them; where the kind has no such fiber, where it began.
struct FiberEnds {
  TextPosition first{0, 0}, lastButOne{0, 0}, last{0, 0};
};

// Where the reader stood after some of a section's fields, each position past the field and
// the delimiter after it, so that column 1 says the field ended its line: enough to tell, in
// a file written one fiber a line, a read whose fibers begin in the middle of a line. Line 0
// where the section was not read from a file.
struct SectionEnds {
  TextPosition properties{0, 0};
  FiberEnds concrete, steel;
};

struct Section {
  // The title as the file gives it, without its section number; empty when the file
  // carries no title lines.
  std::string title;
  // The three properties in file order; VersionDescription names them. The third is
  // always a number.
  std::array<Value, 3> properties{Value{}, Value{}, Value{0.0}};
  // Coordinates and areas are in the file's own length unit.
  // A reader puts the lists of a large store into one block of memory (store_memory.h).
  FiberList<ConcreteFiber> concrete;
  FiberList<SteelFiber> steel;
  SectionEnds ends;
};

// Everything one successful read produced. Sections are numbered from 1, so
// sections[0] is section 1. A store is built whole by a reader and replaced whole by
// the next successful read; nothing of an earlier file survives in it.
struct SectionStore {
  FileVersion version = FileVersion::Old;
  bool titled = false;  // whether the sections have title lines
  std::vector<Section> sections;
  // Where fields begin after the last section, if any do; the reader ignores them.
  std::optional<TextPosition> leftoverAt;

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

  bool titled() const { return describe(version).alwaysTitled || hasTitleLine; }
  bool operator==(const ReadOptions&) const = default;
};

// How many steel fibers a steel count reads: the fiber numbers j = 1, 2, ... with j <= count.
inline int steelFibersToRead(double steelCount) {
  if (!(steelCount >= 1.0)) return 0;
  if (steelCount >= kMaxFibers + 1) return kMaxFibers + 1;
  return static_cast<int>(steelCount);
}

}  // namespace fiberview
