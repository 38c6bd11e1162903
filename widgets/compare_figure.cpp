#include "widgets/compare_figure.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "plot/section_scale.h"

namespace fiberview {

namespace {

// The marks in colours that people with any common colour blindness tell apart (Okabe and
// Ito), none of them the fibers' own red or black.
const QColor kMarkColours[] = {
    {0, 158, 115}, {213, 94, 0}, {0, 114, 178}, {230, 159, 0}, {204, 121, 167}};
const QColor kNewConcrete(255, 185, 185);
const QColor kNewSteel(0, 0, 0);
const QColor kOldConcrete(150, 0, 0);
const QColor kOldSteel(110, 110, 110);

// In device pixels: the width of the outlines and rings, and the gap from a disc to its
// first ring and from one ring to the next.
constexpr double kLine = 1.5;
constexpr double kRingGap = 3.0;
constexpr double kRingStep = 3.0;

template <typename Fiber>
bool drawable(const Fiber& f) {
  return std::isfinite(f[0]) && std::isfinite(f[1]) && std::isfinite(f[2]) && f[2] >= 0.0;
}

template <typename Fiber>
double radiusOf(const FiberList<Fiber>& fibers, int number) {
  const auto i = static_cast<std::size_t>(number - 1);
  if (i >= fibers.size() || !drawable(fibers[i])) return 0.0;
  return discRadius(fibers[i][2]);
}

double radiusOf(const Section* section, FiberKind kind, int number) {
  if (section == nullptr || number == 0) return 0.0;
  return kind == FiberKind::Concrete ? radiusOf(section->concrete, number)
                                     : radiusOf(section->steel, number);
}

template <typename Fiber>
void paintDiscs(QPainter& painter, const FiberList<Fiber>& fibers) {
  for (const Fiber& f : fibers) {
    if (!drawable(f)) continue;
    const double r = discRadius(f[2]);
    painter.drawEllipse(QPointF(f[0], f[1]), r, r);
  }
}

QPen cosmeticPen(const QColor& colour, double width) {
  QPen pen(colour, width);
  pen.setCosmetic(true);
  return pen;
}

}  // namespace

QColor compareMarkColour(CompareMark mark) {
  return kMarkColours[static_cast<std::size_t>(mark)];
}

QString compareMarkName(CompareMark mark) {
  switch (mark) {
    case CompareMark::Added:
      return QStringLiteral("新增");
    case CompareMark::Removed:
      return QStringLiteral("删除");
    case CompareMark::Moved:
      return QStringLiteral("移动");
    case CompareMark::Resized:
      return QStringLiteral("面积改变");
    case CompareMark::ValuesChanged:
      return QStringLiteral("其他值改变");
  }
  return {};
}

std::vector<MarkShape> compareMarks(const Section* before, const Section* after,
                                    const SectionComparison& row) {
  std::vector<MarkShape> out;
  for (const FiberChange& f : row.fibers) {
    const Point at = f.to;
    if (!std::isfinite(at.x) || !std::isfinite(at.y)) continue;
    const double radius =
        std::max(radiusOf(before, f.kind, f.before), radiusOf(after, f.kind, f.after));
    int ring = 0;
    const auto mark = [&](CompareMark m) { out.push_back({m, at, f.from, radius, ring++}); };
    if (f.added()) mark(CompareMark::Added);
    if (f.removed()) mark(CompareMark::Removed);
    if (f.moved) mark(CompareMark::Moved);
    if (f.area) mark(CompareMark::Resized);
    if (!f.values.empty()) mark(CompareMark::ValuesChanged);
  }
  return out;
}

std::optional<QRectF> compareBounds(const Section* before, const Section* after) {
  std::optional<QRectF> bounds;
  const auto include = [&](const auto& fibers) {
    for (const auto& f : fibers) {
      if (!drawable(f)) continue;
      const double r = discRadius(f[2]);
      const QRectF box(f[0] - r, f[1] - r, 2 * r, 2 * r);
      bounds = bounds ? bounds->united(box) : box;
    }
  };
  for (const Section* s : {before, after}) {
    if (s == nullptr) continue;
    include(s->concrete);
    include(s->steel);
  }
  return bounds;
}

void paintComparison(QPainter& painter, const Section* before, const Section* after,
                     const std::vector<MarkShape>& marks, double pixel) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  // The new section filled, then the old one's outlines over it, so that a fiber that
  // stayed shows as a filled disc in its outline and one that moved as the two apart.
  painter.setPen(Qt::NoPen);
  if (after != nullptr) {
    painter.setBrush(kNewConcrete);
    paintDiscs(painter, after->concrete);
    painter.setBrush(kNewSteel);
    paintDiscs(painter, after->steel);
  }
  painter.setBrush(Qt::NoBrush);
  if (before != nullptr) {
    painter.setPen(cosmeticPen(kOldConcrete, 1.0));
    paintDiscs(painter, before->concrete);
    painter.setPen(cosmeticPen(kOldSteel, kLine));
    paintDiscs(painter, before->steel);
  }
  for (const MarkShape& m : marks) {
    const QColor colour = compareMarkColour(m.mark);
    painter.setPen(cosmeticPen(colour, kLine));
    const double r = m.discRadius + (kRingGap + kRingStep * m.ring) * pixel;
    painter.drawEllipse(QPointF(m.at.x, m.at.y), r, r);
    if (m.mark == CompareMark::Moved && std::isfinite(m.from.x) && std::isfinite(m.from.y)) {
      painter.drawLine(QPointF(m.from.x, m.from.y), QPointF(m.at.x, m.at.y));
    }
  }
  painter.restore();
}

QRectF paintCompareLegend(QPainter& painter, QPointF topLeft) {
  const QFontMetricsF metrics(painter.font());
  const double line = metrics.height();
  const double swatch = line * 0.7;
  struct Entry {
    QString name;
    QColor fill, outline;
  };
  std::vector<Entry> entries = {
      {QStringLiteral("新文件的纤维（实心）"), kNewConcrete, Qt::transparent},
      {QStringLiteral("旧文件的纤维（轮廓）"), Qt::transparent, kOldConcrete},
  };
  for (CompareMark m : kCompareMarks) {
    entries.push_back({compareMarkName(m), Qt::transparent, compareMarkColour(m)});
  }
  double width = 0;
  for (const Entry& e : entries) width = std::max(width, metrics.horizontalAdvance(e.name));
  const QRectF box(topLeft, QSizeF(width + swatch + line,
                                   line * static_cast<double>(entries.size()) + line * 0.4));
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(200, 200, 200), 0.5));
  painter.setBrush(QColor(255, 255, 255, 230));
  painter.drawRect(box);
  double y = box.top() + line * 0.2;
  for (const Entry& e : entries) {
    const QPointF centre(box.left() + line * 0.3 + swatch / 2, y + line / 2);
    painter.setBrush(e.fill);
    painter.setPen(e.outline == Qt::transparent ? QPen(Qt::NoPen) : QPen(e.outline, kLine));
    painter.drawEllipse(centre, swatch / 2, swatch / 2);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(centre.x() + swatch / 2 + line * 0.3, y, width + line, line),
                     Qt::AlignLeft | Qt::AlignVCenter, e.name);
    y += line;
  }
  painter.restore();
  return box;
}

void paintComparisonFigure(QPainter& painter, const Section* before, const Section* after,
                           const SectionComparison& row, const QRectF& box) {
  const QRectF legend = paintCompareLegend(painter, box.topLeft() + QPointF(4, 4));
  const QRectF target = box.adjusted(legend.width() + 8, 0, 0, 0);
  const std::optional<QRectF> bounds = compareBounds(before, after);
  if (bounds) {
    const double span = std::max({bounds->width(), bounds->height(), 1e-300});
    const double fit = 0.9 * std::min(target.width() / std::max(bounds->width(), span * 1e-3),
                                      target.height() / std::max(bounds->height(), span * 1e-3));
    painter.save();
    painter.setClipRect(target);
    painter.translate(target.center());
    painter.scale(fit, -fit);
    painter.translate(-bounds->center());
    paintComparison(painter, before, after, compareMarks(before, after, row), 1.0 / fit);
    painter.restore();
  }
}

}  // namespace fiberview
