// The Chinese texts that tell the user why a read, a count or a drawing failed.
#pragma once

#include <QString>
#include <optional>

#include "data/layout_detection.h"
#include "data/section_file.h"
#include "plot/section_scale.h"

namespace fiberview {

// Names the file, the line and column, the field being read (section, fiber, value), what
// was expected and what was found; where wrong fiber counts may be the cause, it says so
// and names the counts used.
QString readFailureMessage(const ReadError& error, const QString& path, const ReadOptions& used);

// `listHasSections` tells whether a file has been read, which changes what to do when
// nothing is selected. `used` are the settings the drawn file was read with: a negative
// area or a value out of range usually means they do not fit the file.
QString plotFailureMessage(const PlotError& error, bool listHasSections, const ReadOptions& used);

// The settings a file's layout proposes: `used` with whatever the layout shows put in.
// Nothing when the layout shows nothing that differs from `used`.
std::optional<ReadOptions> proposedSettings(const DetectedLayout& found, const ReadOptions& used);

// Says in plain words how `proposal` differs from `used`, why (the detection's reason), and
// asks whether to read the file again with it.
QString readAgainQuestion(const ReadOptions& proposal, const ReadOptions& used,
                          const DetectedLayout& found);

// After a successful read: fields were left over after the last section, at `where`.
QString leftoverWarning(const QString& path, const TextPosition& where);

// Fiber counts typed in the window that the store cannot hold.
enum class CountProblem { ConcreteBeyond16Bits, TooManySteel };
QString countFailureMessage(CountProblem problem, const QString& typed);

// The system's reason for a failed open or read, in Chinese where it is a common one.
QString systemReason(int error);

}  // namespace fiberview
