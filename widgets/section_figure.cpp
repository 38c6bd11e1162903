#include "widgets/section_figure.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "plot/concrete_region.h"
#include "plot/section_scale.h"

namespace fiberview {

namespace {

template <typename Fiber>
bool drawable(const Fiber& f) {
  return std::isfinite(f[0]) && std::isfinite(f[1]) && std::isfinite(f[2]) && f[2] >= 0.0;
}

}  // namespace

void paintSectionFigure(QPainter& painter, const Section& section, const ConcreteRegion& region,
                        const QRectF& target, const std::vector<FiberRef>& flagged,
                        double lineWidth) {
  const std::vector<std::pair<Point, Point>> outline = region.boundary();
  QRectF bounds;
  bool any = false;
  const auto include = [&](double x, double y, double r) {
    const QRectF box(x - r, y - r, 2 * r, 2 * r);
    bounds = any ? bounds.united(box) : box;
    any = true;
  };
  for (const auto& f : section.concrete) {
    if (drawable(f)) include(f[0], f[1], discRadius(f[2]));
  }
  for (const auto& f : section.steel) {
    if (drawable(f)) include(f[0], f[1], discRadius(f[2]));
  }
  for (const auto& [from, to] : outline) {
    include(from.x, from.y, 0.0);
    include(to.x, to.y, 0.0);
  }
  if (!any) return;
  // A section of one fiber of area 0 has no size; give it one so the scale stays finite.
  const double span = std::max({bounds.width(), bounds.height(), 1e-300});
  const double fit =
      std::min(0.9 * target.width() / (bounds.width() > 0 ? bounds.width() : span),
               0.9 * target.height() / (bounds.height() > 0 ? bounds.height() : span));
  const QPointF centre = target.center();
  const QPointF middle = bounds.center();
  const auto map = [&](double x, double y) {
    return QPointF(centre.x() + (x - middle.x()) * fit, centre.y() - (y - middle.y()) * fit);
  };

  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setClipRect(target);
  const QColor concrete(Qt::red);
  painter.setPen(QPen(concrete.darker(150), lineWidth * 0.5));
  painter.setBrush(concrete);
  for (const auto& f : section.concrete) {
    if (drawable(f)) {
      const double r = discRadius(f[2]) * fit;
      painter.drawEllipse(map(f[0], f[1]), r, r);
    }
  }
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  for (const auto& f : section.steel) {
    if (drawable(f)) {
      const double r = discRadius(f[2]) * fit;
      painter.drawEllipse(map(f[0], f[1]), r, r);
    }
  }
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(0, 150, 150), lineWidth));
  for (const auto& [from, to] : outline) painter.drawLine(map(from.x, from.y), map(to.x, to.y));
  painter.setPen(QPen(QColor(255, 140, 0), lineWidth * 1.5));
  for (const FiberRef& fiber : flagged) {
    const double* f = nullptr;
    const auto index = static_cast<std::size_t>(fiber.fiber - 1);
    if (fiber.kind == FiberKind::Concrete && index < section.concrete.size()) {
      f = section.concrete[index].data();
    } else if (fiber.kind == FiberKind::Steel && index < section.steel.size()) {
      f = section.steel[index].data();
    }
    if (f == nullptr || !std::isfinite(f[0]) || !std::isfinite(f[1])) continue;
    const double area = std::isfinite(f[2]) && f[2] > 0.0 ? f[2] : 0.0;
    const double r = discRadius(area) * fit + 4.0 * lineWidth;
    painter.drawEllipse(map(f[0], f[1]), r, r);
  }
  painter.restore();
}

}  // namespace fiberview
