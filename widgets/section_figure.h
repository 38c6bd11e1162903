// A section drawn as a figure for a report: fitted to its fibers and the outline of its
// concrete region, each fiber a disc of its area (concrete red, steel black over it), the
// region's outline in blue and an orange ring round every fiber a check named. It paints
// with QPainter only, so on a PDF or SVG device it stays a vector drawing.
//
// The figure is made in two steps, so that a report can make the figures of coming pages on
// workers while one thread paints: sectionFigure works out the shapes (plain values, safe to
// hand to another thread) and paintSectionFigure paints them.
#pragma once

#include <QPainterPath>
#include <QRectF>
#include <vector>

#include "data/section_store.h"
#include "plot/concrete_region.h"
#include "plot/section_summary.h"
#include "widgets/fiber_text.h"

class QPainter;

namespace fiberview {

// The shapes of a figure, in whole hundredths of the painter's unit: far finer than any
// printer resolves, and written by a PDF in a few digits rather than nine.
struct SectionFigure {
  struct Disc {
    QPointF centre;
    double radius = 0.0;
  };
  QRectF target;  // in the painter's units
  double lineWidth = 1.0;
  // Painted in order with an outline, so that each disc covers the outlines of the discs
  // before it where the fibers overlap.
  std::vector<Disc> concrete;
  std::vector<Disc> steel;
  std::vector<Disc> rings;  // round the fibers the verdict names
  QPainterPath outline;     // the region's edges
};

// The figure of `section` fitted into `target`, in the painter's units, keeping its
// proportions; y runs upward. Fibers whose x, y or area is not finite, or whose area is
// negative, have no disc. `lineWidth` is the width of the outlines and rings in the painter's
// units. `region` is the section's concrete region; `flagged` the fibers its verdict names.
// Nothing to paint when no fiber has a disc and the region has no edge.
SectionFigure sectionFigure(const Section& section, const ConcreteRegion& region,
                            const QRectF& target, const std::vector<FiberRef>& flagged,
                            double lineWidth);

void paintSectionFigure(QPainter& painter, const SectionFigure& figure);

}  // namespace fiberview
