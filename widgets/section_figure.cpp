#include "widgets/section_figure.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "plot/concrete_region.h"
#include "plot/section_scale.h"

namespace fiberview {

namespace {

// The figure's paths are in hundredths of the painter's unit.
constexpr double kSteps = 100.0;

template <typename Fiber>
bool drawable(const Fiber& f) {
  return std::isfinite(f[0]) && std::isfinite(f[1]) && std::isfinite(f[2]) && f[2] >= 0.0;
}

// A circle about the origin as four cubic arcs, every point on a whole step. The control
// points sit at 4/3 (√2 − 1) of the radius from the quadrant ends, the usual fit, which
// strays from the true circle by 0.03 % of the radius.
QPainterPath circle(double r) {
  const double k = std::round(r * 0.5522847498);
  QPainterPath path;
  path.moveTo(r, 0);
  path.cubicTo(r, k, k, r, 0, r);
  path.cubicTo(-k, r, -r, k, -r, 0);
  path.cubicTo(-r, -k, -k, -r, 0, -r);
  path.cubicTo(k, -r, r, -k, r, 0);
  path.closeSubpath();
  return path;
}

SectionFigure::Disc disc(QPointF centre, double radius) {
  return {{std::round(centre.x() * kSteps), std::round(centre.y() * kSteps)},
          std::round(radius * kSteps)};
}

// Each disc is the same circle moved into place: the PDF then repeats one short text for
// every disc of a size, which it compresses several times faster than paths that differ in
// every number. Paths with an outline stay in the painter's own coordinates in a PDF; those
// without are written in page coordinates of nine digits, so `inset` pulls the circle in by
// that much for a pen of twice its width and the disc's colour to stroke it out to its edge.
void paintDiscs(QPainter& painter, const std::vector<SectionFigure::Disc>& discs,
                double inset = 0.0) {
  const QTransform base = painter.transform();
  QPainterPath path;
  double radius = -1.0;
  for (const SectionFigure::Disc& d : discs) {
    if (d.radius != radius) {
      radius = d.radius;
      path = circle(std::max(0.0, radius - inset));
    }
    painter.setTransform(QTransform::fromTranslate(d.centre.x(), d.centre.y()) * base);
    painter.drawPath(path);
  }
  painter.setTransform(base);
}

QPointF steps(QPointF p) {
  return {std::round(p.x() * kSteps), std::round(p.y() * kSteps)};
}

}  // namespace

SectionFigure sectionFigure(const Section& section, const ConcreteRegion& region,
                            const QRectF& target, const std::vector<FiberRef>& flagged,
                            double lineWidth) {
  SectionFigure figure;
  figure.target = target;
  figure.lineWidth = lineWidth;
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
  if (!any) return figure;
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

  for (const auto& f : section.concrete) {
    if (drawable(f)) figure.concrete.push_back(disc(map(f[0], f[1]), discRadius(f[2]) * fit));
  }
  for (const auto& f : section.steel) {
    if (drawable(f)) figure.steel.push_back(disc(map(f[0], f[1]), discRadius(f[2]) * fit));
  }
  for (const auto& [from, to] : outline) {
    figure.outline.moveTo(steps(map(from.x, from.y)));
    figure.outline.lineTo(steps(map(to.x, to.y)));
  }
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
    figure.rings.push_back(disc(map(f[0], f[1]), discRadius(area) * fit + 4.0 * lineWidth));
  }
  return figure;
}

void paintSectionFigure(QPainter& painter, const SectionFigure& figure) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setClipRect(figure.target);
  painter.scale(1.0 / kSteps, 1.0 / kSteps);
  const double line = figure.lineWidth * kSteps;
  const QColor concrete(Qt::red);
  painter.setPen(QPen(concrete.darker(150), line * 0.5));
  painter.setBrush(concrete);
  paintDiscs(painter, figure.concrete);
  painter.setPen(QPen(Qt::black, 2));
  painter.setBrush(Qt::black);
  paintDiscs(painter, figure.steel, 1);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(0, 150, 150), line));
  painter.drawPath(figure.outline);
  painter.setPen(QPen(QColor(255, 140, 0), line * 1.5));
  paintDiscs(painter, figure.rings);
  painter.restore();
}

}  // namespace fiberview
