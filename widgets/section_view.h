// The drawing of the section explorer: a view of the fibers of one section fitted to the
// fibers themselves, with rulers along the bottom and the left in the file's length unit.
// It zooms with the wheel around the cursor, pans by dragging or with the arrow keys, shows
// a fiber's tooltip over its disc and selects a disc by a click.
//
// Scene coordinates are section coordinates with y negated (y grows downward on screen);
// everything the view reports is in section coordinates, y upward.
#pragma once

#include <QGraphicsView>
#include <optional>
#include <vector>

#include "data/section_store.h"
#include "widgets/fiber_text.h"

namespace fiberview {

class FiberItem;
class PixelSizedItem;
class RingItem;
class Ruler;

class SectionView : public QGraphicsView {
  Q_OBJECT

 public:
  explicit SectionView(QWidget* parent = nullptr);

  // Draws the fibers of `section`, which must outlive the view or the next call, each as a
  // disc of its area with an orange ring round the fibers in `flagged`, and fits them into
  // the view. A fiber whose x, y or area is not finite, or whose area is negative, has no
  // disc. Null draws nothing and shows the placeholder text.
  void showSection(const Section* section, const std::vector<FiberRef>& flagged);
  void setPlaceholderText(const QString& text);

  // The disc of `fiber`; null when it has none.
  QGraphicsItem* discItem(FiberRef fiber) const;
  // The fiber whose disc is selected, if one is.
  std::optional<FiberRef> selectedFiber() const;
  // Selects the disc of `fiber`, or none when `fiber` is none or has no disc; emits
  // selectedFiberChanged when that changes the selection.
  void setSelectedFiber(std::optional<FiberRef> fiber);
  // Scrolls so that the disc of `fiber` sits at the centre of the view, as far as the
  // scene allows, unless the whole disc is in view already.
  void revealFiber(FiberRef fiber);

  // Section coordinates of a point of the viewport.
  QPointF sectionAt(QPointF viewportPos) const;
  // Section length units per screen pixel at the current zoom.
  double pixelSize() const;
  // Tick values along one ruler for what is visible now, the same as the grid's lines.
  std::vector<double> visibleTicks(Qt::Orientation orientation) const;

 public slots:
  void zoomIn();
  void zoomOut();
  // Fits the discs into the view again; until the next zoom, resizing keeps them fitted.
  void fitToWindow();

 signals:
  // The selected disc changed, by a click or by setSelectedFiber.
  void selectedFiberChanged();
  // The cursor moved over the drawing, to `at` in section coordinates.
  void cursorMoved(QPointF at);
  void cursorLeft();

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void drawBackground(QPainter* painter, const QRectF& rect) override;
  void drawForeground(QPainter* painter, const QRectF& rect) override;

 private:
  // Scales by `factor`, keeping the scene point under `anchor` (viewport pixels) in place.
  void zoomBy(double factor, QPointF anchor);
  // Tells the discs and the rulers about a new zoom or scroll position.
  void viewChanged();
  // The step between ticks for the current zoom, in section units.
  double tickStep(Qt::Orientation orientation) const;

  bool hasSection() const { return section_ != nullptr; }

  const Section* section_ = nullptr;
  // Indexed by fiber number - 1; null for a fiber without a disc.
  std::vector<FiberItem*> concreteDiscs_;
  std::vector<FiberItem*> steelDiscs_;
  std::vector<PixelSizedItem*> pixelSized_;  // everything whose bounds follow the zoom
  std::optional<FiberRef> selected_;
  RingItem* selection_ = nullptr;  // the outline of the selected disc
  QRectF fitRect_;                 // scene rectangle the discs fill when fitted
  double fitScale_ = 1.0;
  bool fitted_ = true;
  QString placeholder_;
  QPointF pressAt_;
  Ruler* bottomRuler_ = nullptr;
  Ruler* leftRuler_ = nullptr;
};

}  // namespace fiberview
