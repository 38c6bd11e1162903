// A section drawn as a figure for a report: fitted to its fibers and the outline of its
// concrete region, each fiber a disc of its area (concrete red, steel black over it), the
// region's outline in blue and an orange ring round every fiber a check named. It paints
// with QPainter only, so on a PDF or SVG device it stays a vector drawing.
#pragma once

#include <QRectF>
#include <vector>

#include "data/section_store.h"
#include "plot/concrete_region.h"
#include "plot/section_summary.h"
#include "widgets/fiber_text.h"

class QPainter;

namespace fiberview {

// Paints `section` into `target`, in the painter's units, keeping its proportions; y runs
// upward. Fibers whose x, y or area is not finite, or whose area is negative, have no disc.
// `lineWidth` is the width of the outlines and rings in the painter's units.
// `region` is the section's concrete region; `flagged` the fibers its verdict names.
void paintSectionFigure(QPainter& painter, const Section& section, const ConcreteRegion& region,
                        const QRectF& target, const std::vector<FiberRef>& flagged,
                        double lineWidth);

}  // namespace fiberview
