// The Chinese texts that tell the user why a read, a count or a drawing failed.
#pragma once

#include <QString>

#include "data/section_file.h"
#include "plot/section_scale.h"

namespace fiberview {

// Names the file, the line and column, the field being read (section, fiber, value), what
// was expected and what was found; where wrong fiber counts may be the cause, it says so
// and names the counts used.
QString readFailureMessage(const ReadError& error, const QString& path, const ReadOptions& used);

// `listHasSections` tells whether a file has been read, which changes what to do when
// nothing is selected.
QString plotFailureMessage(const PlotError& error, bool listHasSections);

// Fiber counts typed in the window that the store cannot hold.
enum class CountProblem { ConcreteBeyond16Bits, TooManyConcrete, TooManySteel };
QString countFailureMessage(CountProblem problem, const QString& typed);

// The system's reason for a failed open or read, in Chinese where it is a common one.
QString systemReason(int error);

}  // namespace fiberview
