// The window's drawing of a compared pair: compare_figure's drawing in a view that fits it
// to the view, zooms with the wheel around the cursor and with + and −, and pans by
// dragging, with the legend in a margin on its left.
#pragma once

#include <QGraphicsView>
#include <memory>
#include <vector>

#include "data/section_store.h"
#include "plot/section_compare.h"
#include "widgets/compare_figure.h"

namespace fiberview {

class CompareItem;
class CompareLegend;

class CompareView : public QGraphicsView {
  Q_OBJECT

 public:
  explicit CompareView(QWidget* parent = nullptr);

  // Shows `row`, whose old and new sections are those of `before` and `after` (either may be
  // null for an added or removed section), and fits it into the view. The stores are kept.
  void showPair(std::shared_ptr<const SectionStore> before,
                std::shared_ptr<const SectionStore> after, const SectionComparison& row);
  void clear();

  // The rings drawn now.
  const std::vector<MarkShape>& marks() const { return marks_; }
  // The viewport point of section point `p`.
  QPointF viewportPoint(Point p) const;

 public slots:
  void zoomIn();
  void zoomOut();
  // Fits the pair into the view again; until the next zoom, resizing keeps it fitted.
  void fitToWindow();

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void zoomBy(double factor);

  std::shared_ptr<const SectionStore> before_, after_;
  std::vector<MarkShape> marks_;
  CompareItem* item_ = nullptr;
  CompareLegend* legend_ = nullptr;
  bool fitted_ = true;
};

}  // namespace fiberview
