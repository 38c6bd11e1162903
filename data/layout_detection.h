// Infers a fiber data file's reading settings from its fields.
//
// The file does not state its settings, but its values do. Whatever the line layout (one
// fiber a line, or records wrapped 4, 5 or 6 numbers a line), the fields after the section
// count split into N equal sections: a title line, where titles are read, then
// K = 3 + 8C + 5S numbers. Titles anchor the sections; without them the field total gives K.
// Among the (C, S) that solve K, only the true one makes every fiber look like a fiber
// (value_checks.h): positive areas, further values that repeat in kind, concrete that tiles
// its region and bars inside it. Fields come from the readers' own FieldReader, so the grammar is
// theirs, and a layout is trusted only after the reader itself has read the file with it.
//
// What it finds is data: the app names it in Chinese.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/feedback.h"
#include "data/field_reader.h"
#include "data/section_file.h"
#include "data/section_store.h"
#include "data/value_checks.h"
#include "data/version_judgement.h"

namespace fiberview {

// One way to cut a file into sections.
struct Layout {
  bool titled = false;
  int concrete = 0;
  int steel = 0;
  bool operator==(const Layout&) const = default;
};

// Why detection found nothing to propose.
enum class LayoutProblem {
  None,
  File,             // the file could not be opened or read; `file` tells how
  Utf16,            // the file starts with a UTF-16 byte order mark
  Empty,            // no field at all
  CountNotANumber,  // the first field (at `line`) is not a section count
  CountOutOfRange,  // beyond -32768 ... 32767
  NegativeCount,
  NoSections,    // the count is 0
  NoFit,         // no cut into `sections` equal sections reads as fibers
  SeveralFit,    // `plausible` holds more than one
  FieldTooLong,  // a field longer than the readers take, at `line`
  BeyondLimits,  // the one plausible layout needs more than the store holds
  Cancelled,     // the caller cancelled it; nothing is proposed
};

// Fields detection holds in memory at most: it scores the layouts on the sections among them,
// and the reader's confirming read sees the rest. More than a section of 32,767 + 32,767
// fibers, so that every layout has a whole section to be scored on.
inline constexpr std::size_t kMaxHeldFields = std::size_t{1} << 20;
// Fields held first: enough for several sections of most files, a small part of a big one.
inline constexpr std::size_t kFirstHeldFields = std::size_t{1} << 17;
// Fields held before that, where a big file's layout may show in its first sections.
inline constexpr std::size_t kQuickHeldFields = std::size_t{1} << 14;

struct DetectedLayout {
  // Each setting is set only where the values show it; an unset one leaves the user's
  // choice. `version` stays unset where it cannot be told: then the user must choose.
  std::optional<bool> hasTitleLine;
  std::optional<int> concreteCount;
  std::optional<int> steelCount;
  std::optional<FileVersion> version;
  // Exactly one layout is plausible, it is within what the readers accept, nothing is left
  // after the last section, and the reader read the file with it.
  bool confident = false;

  LayoutProblem problem = LayoutProblem::None;
  FileError file;      // with File
  long long line = 0;  // where the problem lies, when it lies on a line
  int sections = 0;    // the file's section count
  // Every layout that cuts the fields into equal sections whose values look right, the
  // most likely first; the settings above are the first when it is the only one.
  std::vector<Layout> plausible;
  int implausible = 0;  // cuts that fit the field count but not the values
  VersionFinding versionFinding;
  // Fields stand after the last section of the first plausible layout, from this line on.
  std::optional<long long> leftoverLine;
  // The last line detection looked at; it reads no further.
  long long linesRead = 0;
  // With NoFit: the layout section 1 shows where it is written one fiber a line. A read with
  // it names the place where the file breaks that layout.
  std::optional<Layout> firstSectionLines;
  // A confident detection's confirming read and the settings it read with, so that opening
  // the file need not read it again.
  std::shared_ptr<SectionStore> store;
  ReadOptions storeReadWith;
};

// Reads the file's fields from `source` once, holding its first ones: at first
// kQuickHeldFields, then kFirstHeldFields, and up to kMaxHeldFields where those show no
// layout. Past them it only counts the fields, and only where the first sections fit no cut
// that the whole file does.
// `readWith`, when given, reads the whole file from its start with some settings; detection
// calls it to confirm the layout it proposes (never twice with the same settings), and is
// confident only when that read succeeds with nothing left over and values that pass
// checkValues. A file longer than the fields held is confident only so. Where the first
// kQuickHeldFields show one layout on enough sections, that read comes first, and a titled
// file's version is told from its store's first sections.
// `feedback`, when given, is told the bytes read of the source's size while detection reads
// the fields, and polled every thousand fields or so and between the layouts it tries. Once
// it is cancelled, or the confirming read fails with Cancelled, detection returns Cancelled at
// once, having read no further.
DetectedLayout detectLayout(ByteSource& source,
                            const std::function<ReadResult(const ReadOptions&)>& readWith = {},
                            Feedback* feedback = nullptr);

// The same over bytes in memory, confirming with readSections.
DetectedLayout detectLayoutOfBytes(std::string_view bytes);

// The same for a file on disk, opened as readSectionFile opens it and confirmed with it;
// `control`'s feedback follows and stops both.
DetectedLayout detectLayoutOfFile(const std::string& path, const ReadControl& control = {});

}  // namespace fiberview
