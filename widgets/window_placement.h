// Where a new window opens: beside the window it came from where the screen has room, and
// always wholly on the screen's available area.
#pragma once

#include <QRect>

class QWidget;

namespace fiberview {

// The frame of a new window of `size` (its frame's size) next to `from` on a screen whose
// available area is `available`: to the right of `from`, else to its left, else below or
// above it, at the first place where it fits whole without covering `from`; where none
// does, at the side with most room, moved and shrunk as far as needed to lie wholly within
// `available`, covering as little of `from` as it can.
QRect placeBeside(const QRect& from, const QSize& size, const QRect& available);

// Places `window`, not yet shown, beside `from` on `from`'s screen by placeBeside.
void openBeside(QWidget& window, const QWidget& from);

}  // namespace fiberview
