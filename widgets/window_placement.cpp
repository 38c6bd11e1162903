#include "widgets/window_placement.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <array>

namespace fiberview {

namespace {

// Moves `r`, shrunk to fit, as little as needed to lie within `bounds`.
QRect keepWithin(QRect r, const QRect& bounds) {
  r.setSize(r.size().boundedTo(bounds.size()));
  r.moveLeft(std::clamp(r.left(), bounds.left(), bounds.right() - r.width() + 1));
  r.moveTop(std::clamp(r.top(), bounds.top(), bounds.bottom() - r.height() + 1));
  return r;
}

}  // namespace

QRect placeBeside(const QRect& from, const QSize& size, const QRect& available) {
  const int gap = 8;
  const std::array<QRect, 4> sides = {
      QRect(QPoint(from.right() + 1 + gap, from.top()), size),
      QRect(QPoint(from.left() - gap - size.width(), from.top()), size),
      QRect(QPoint(from.left(), from.bottom() + 1 + gap), size),
      QRect(QPoint(from.left(), from.top() - gap - size.height()), size),
  };
  for (const QRect& r : sides) {
    if (available.contains(r)) return r;
  }
  // No side has room for the whole window: the one that leaves least of `from` covered.
  QRect best;
  long long covered = -1;
  for (const QRect& side : sides) {
    const QRect r = keepWithin(side, available);
    const QRect overlap = r.intersected(from);
    const long long area = overlap.isEmpty() ? 0 : 1LL * overlap.width() * overlap.height();
    if (covered < 0 || area < covered) {
      covered = area;
      best = r;
    }
  }
  return best;
}

void openBeside(QWidget& window, const QWidget& from) {
  const QScreen* screen = from.screen();
  if (screen == nullptr) return;
  // The frame adds the title bar and borders once the window has been shown; before, the
  // window's own geometry stands for it.
  const QRect frame = from.frameGeometry();
  const QSize margins = frame.size() - from.geometry().size();
  const QRect placed = placeBeside(frame, window.size() + margins, screen->availableGeometry());
  window.resize(placed.size() - margins);
  window.move(placed.topLeft());
}

}  // namespace fiberview
