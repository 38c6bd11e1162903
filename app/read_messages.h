// The Chinese texts that tell the user why a read, a count or a drawing failed.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "data/layout_detection.h"
#include "data/section_file.h"
#include "document/file_document.h"
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

// After a successful read: fields were left over after the last section, at `where`.
QString leftoverWarning(const QString& path, const TextPosition& where);

// After a successful read whose values break a check: what, where, and that the settings
// may not fit the file.
QString valueWarning(const ValueFinding& finding, const QString& path, const ReadOptions& used);

// What the file's values show of its layout, in a sentence, with the lines to check.
QString layoutText(const DetectedLayout& found);

// What the window does once a read is done. It takes the store, when there is one; tells
// `message`, when there is one; and, with choices, asks `question` after the message and
// reads the file again with the settings chosen.
struct ReadPlan {
  bool takeStore = false;
  QString message;
  // The settings offered: one, or one per version when the file's values cannot tell the
  // version. Each differs from the settings used.
  std::vector<ReadOptions> choices;
  QString question;    // whether to take the one choice, or which to take
  QStringList labels;  // a button's text for each choice
};

// The decision after a read with `used`: `values` is what checkValues found in its store,
// `layout` the file's layout where readNeedsLayout asked for it (or it was known). An offer
// is made only from a confident layout, and only when `mayOffer` (a read that took an
// offer offers no second time).
ReadPlan planRead(const ReadResult& result, const QString& path, const ReadOptions& used,
                  const std::optional<ValueFinding>& values, const DetectedLayout* layout,
                  bool mayOffer);

// A file opened from outside is read with the settings its layout shows. Where the layout
// tells all but the version, the version is the user's to choose: the plan offers each
// version that reads titled files, with `detected`'s counts. No choices where the layout
// tells the version or tells too little.
ReadPlan versionChoice(const DetectedLayout& found, const QString& path,
                       const ReadOptions& detected);

// Fiber counts typed in the window that the store cannot hold.
enum class CountProblem { ConcreteBeyond16Bits, TooManySteel };
QString countFailureMessage(CountProblem problem, const QString& typed);

// The system's reason for a failed open or read, in Chinese where it is a common one.
QString systemReason(int error);

}  // namespace fiberview
