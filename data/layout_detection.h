// Infers a fiber data file's reading settings from the shape of its lines.
//
// Korvex writes one item per line: the section count, then for each section an optional
// title line, a line of 3 properties, one line of 8 numbers per concrete fiber and one line
// of 5 numbers per steel fiber. The file does not state its settings, but where it keeps to
// that shape the lines show them. Lines are cut into fields by the readers' own rules, and a
// line counts as a title or a property line only where the readers would read it as one:
// so a blank line where a section begins is taken, as the readers take it, for an empty
// title or an empty first property, and a comma at the end of a section's last line leaves
// an empty field for the next section.
#pragma once

#include <optional>
#include <string>

#include "data/field_reader.h"
#include "data/section_store.h"

namespace fiberview {

struct DetectedLayout {
  // Each setting is set only where the lines show it; an unset one leaves the user's choice.
  std::optional<bool> hasTitleLine;
  std::optional<int> concreteCount;  // 0 to kMaxFibers; more is told in `reason` only
  std::optional<int> steelCount;     // 0 to kMaxFibers; more is told in `reason` only
  // Without title lines the file is old-version. With them, old when every section's first
  // two properties match the height and width of its concrete fibers (H, B), new when every
  // section's EIxx/EA and EIyy/EA match Ixx/A and Iyy/A of its concrete fibers.
  std::optional<FileVersion> version;
  // Title lines and both counts are set, the same in every section, and within what the
  // readers accept (kMaxFibers; the section count is 16-bit like the readers'), and nothing is
  // left over after the last section.
  bool confident = false;
  // Short, simplified Chinese, UTF-8: what the lines show, or why they show nothing, with the
  // line numbers a person can check.
  std::string reason;
};

// Reads no further than it needs: the count, N sections and the line after them, or up to
// the line where the shape breaks. Streams through a fixed buffer of 256 KiB; a longer line
// ends detection. A file that cannot be read gives a result with nothing set.
DetectedLayout detectLayout(ByteSource& source);

// The same for a file on disk, opened as readSectionFile opens it. A file that cannot be
// opened, or is not a regular file, gives nothing set and a reason saying so.
DetectedLayout detectLayoutOfFile(const std::string& path);

}  // namespace fiberview
