// How a fiber is described to the user, in the tooltips and the explorer.
#pragma once

#include <QString>

#include "data/section_store.h"

namespace fiberview {

// One fiber of a section: its kind and its 1-based number among the fibers of that kind.
struct FiberRef {
  FiberKind kind = FiberKind::Concrete;
  int fiber = 0;

  friend bool operator==(const FiberRef&, const FiberRef&) = default;
};

// A value as read, as the explorer's table and tooltips show it: exactText.
QString exactNumber(double value);
// A figure computed from the values, as the explorer's summary shows it: figureText.
QString figureNumber(double value);

// "混凝土" or "钢筋".
QString fiberKindName(FiberKind kind);

// Several lines naming fiber `fiber` (1-based) of `kind` in `section`: its kind and number,
// x, y, area and its further values, in the file's units. Empty for a fiber the section
// does not have.
QString fiberToolTip(const Section& section, FiberKind kind, int fiber);

}  // namespace fiberview
