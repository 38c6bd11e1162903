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

QRect placeBeside(const QRect& from, const QSize& size, const QRect& available,
                  const QSize& smallest) {
  const int gap = 8;
  // The room on each side of `from`: right, left, below, above.
  const std::array<QRect, 4> rooms = {
      QRect(QPoint(from.right() + 1 + gap, available.top()), available.bottomRight()),
      QRect(available.topLeft(), QPoint(from.left() - 1 - gap, available.bottom())),
      QRect(QPoint(available.left(), from.bottom() + 1 + gap), available.bottomRight()),
      QRect(available.topLeft(), QPoint(available.right(), from.top() - 1 - gap)),
  };
  // The first side that takes the whole window; else the side where it keeps most of its
  // size, as long as it keeps at least `smallest`.
  QRect best;
  long long bestArea = 0;
  for (std::size_t side = 0; side < rooms.size(); ++side) {
    const QRect& room = rooms[side];
    if (room.width() <= 0 || room.height() <= 0) continue;
    const QSize fits = size.boundedTo(room.size());
    if (fits.width() < smallest.width() || fits.height() < smallest.height()) continue;
    // Next to `from`: level with its top beside it, in line with its left above or below.
    QPoint at =
        side < 2 ? QPoint(side == 0 ? room.left() : room.right() - fits.width() + 1, from.top())
                 : QPoint(from.left(), side == 2 ? room.top() : room.bottom() - fits.height() + 1);
    const QRect r = keepWithin(QRect(at, fits), room);
    if (fits == size) return r;
    const long long area = 1LL * fits.width() * fits.height();
    if (area > bestArea) {
      bestArea = area;
      best = r;
    }
  }
  if (bestArea > 0) return best;
  // No room beside `from`: wholly on the screen, covering as little of `from` as it can.
  QRect least;
  long long covered = -1;
  for (const QRect& room : rooms) {
    const QRect r = keepWithin(QRect(room.topLeft(), size), available);
    const QRect overlap = r.intersected(from);
    const long long area = overlap.isEmpty() ? 0 : 1LL * overlap.width() * overlap.height();
    if (covered < 0 || area < covered) {
      covered = area;
      least = r;
    }
  }
  return least;
}

void openBeside(QWidget& window, const QWidget& from) {
  const QScreen* screen = from.screen();
  if (screen == nullptr) return;
  // The frame adds the title bar and borders once the window has been shown; before, the
  // window's own geometry stands for it.
  const QRect frame = from.frameGeometry();
  const QSize margins = frame.size() - from.geometry().size();
  const QRect placed = placeBeside(frame, window.size() + margins, screen->availableGeometry(),
                                   window.minimumSizeHint().expandedTo(QSize(480, 320)) + margins);
  window.resize(placed.size() - margins);
  window.move(placed.topLeft());
}

}  // namespace fiberview
