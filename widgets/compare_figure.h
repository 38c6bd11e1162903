// The drawing of a compared pair of sections: the old section's fibers as outlines, the new
// one's filled, and a ring in its own colour round each fiber that was added, removed,
// moved, resized or given other values, with a legend. The window's view and the report
// paint it with the same code, with QPainter only, so that a PDF keeps it as vectors.
#pragma once

#include <QColor>
#include <QRectF>
#include <QString>
#include <optional>
#include <vector>

#include "data/section_store.h"
#include "plot/geometry.h"
#include "plot/section_compare.h"

class QPainter;

namespace fiberview {

enum class CompareMark { Added, Removed, Moved, Resized, ValuesChanged };
inline constexpr CompareMark kCompareMarks[] = {CompareMark::Added, CompareMark::Removed,
                                                CompareMark::Moved, CompareMark::Resized,
                                                CompareMark::ValuesChanged};

QColor compareMarkColour(CompareMark mark);
// 新增, 删除, 移动, 面积改变, 其他值改变.
QString compareMarkName(CompareMark mark);

// One ring round a fiber that changed, centred on the fiber where it stands now (where it
// stood, for a removed fiber); `from` is where a moved fiber stood. A fiber with several
// changes has several rings, `ring` 0, 1, ... from the inside out.
struct MarkShape {
  CompareMark mark = CompareMark::Added;
  Point at;
  Point from;
  double discRadius = 0.0;  // of the fiber's disc, in section units
  int ring = 0;
};

// The rings of `row`'s changed fibers; `before` and `after` are its sections, null for the
// side an added or removed section lacks.
std::vector<MarkShape> compareMarks(const Section* before, const Section* after,
                                    const SectionComparison& row);

// The box of both sections' discs, in section coordinates (y up); none when neither has one.
std::optional<QRectF> compareBounds(const Section* before, const Section* after);

// Paints the pair in section coordinates, which the painter's transform maps to the device
// with y up; `pixel` is the length of a device pixel in section units, which sets the width
// of lines and the gap between a disc and its rings.
void paintComparison(QPainter& painter, const Section* before, const Section* after,
                     const std::vector<MarkShape>& marks, double pixel);

// The legend as a box with its top left corner at `topLeft`, in the painter's own units;
// returns the box.
QRectF paintCompareLegend(QPainter& painter, QPointF topLeft);

// The report's figure in `box` (in the painter's units): the legend at its top left, the
// pair fitted into the room beside it.
void paintComparisonFigure(QPainter& painter, const Section* before, const Section* after,
                           const SectionComparison& row, const QRectF& box);

}  // namespace fiberview
