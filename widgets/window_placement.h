// Where a new window opens: beside the window it came from where the screen has room, and
// always wholly on the screen's available area.
#pragma once

#include <QRect>

class QWidget;

namespace fiberview {

// The frame of a new window of `size` (its frame's size) next to `from` on a screen whose
// available area is `available`: to the right of `from`, else to its left, else below or
// above it, at the first side where it fits whole; where none does, shrunk to the side
// where it keeps most of its size, but not below `smallest`; where no side has that much
// room, moved and shrunk as far as needed to lie wholly within `available`, covering as
// little of `from` as it can. The frame always lies wholly within `available`.
QRect placeBeside(const QRect& from, const QSize& size, const QRect& available,
                  const QSize& smallest);

// Places `window`, not yet shown, beside `from` on `from`'s screen by placeBeside.
void openBeside(QWidget& window, const QWidget& from);

}  // namespace fiberview
