// The drawing of the section explorer: a view of the fibers of one section fitted to the
// fibers themselves, with rulers along the bottom and the left in the file's length unit.
// It zooms with the wheel around the cursor, pans by dragging or with the arrow keys, shows
// a fiber's tooltip over its disc and selects a disc by a click.
//
// Scene coordinates are section coordinates less the centre of the section's box, with y
// negated (y grows downward on screen), so that a section far from the origin keeps the
// scene's numbers small; everything the view reports is in section coordinates, y upward.
#pragma once

#include <QGraphicsView>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "data/section_store.h"
#include "plot/geometry.h"
#include "widgets/fiber_text.h"

namespace fiberview {

class FiberItem;
class PixelSizedItem;
class RegionItem;
class RingItem;
class Ruler;

// The colour of the material at `index` in countMaterials' order: eight colours that
// people with any common colour blindness can tell apart, then grey for the rest.
QColor materialColour(std::size_t index);

class SectionView : public QGraphicsView {
  Q_OBJECT

 public:
  explicit SectionView(QWidget* parent = nullptr);

  // Draws the fibers of section `number` of `store`, which the view keeps, each as a disc
  // of its area with an orange ring round the fibers in `flagged`, the concrete region's
  // `outline` (segments, in section coordinates) as a thin line, and fits them into the
  // view. A fiber whose x, y or area is not finite, or whose area is negative, has no disc.
  // No store, or a number it has no section for, draws nothing and shows the placeholder.
  void showSection(std::shared_ptr<const SectionStore> store, int number,
                   const std::vector<FiberRef>& flagged,
                   const std::vector<std::pair<Point, Point>>& outline);
  void setPlaceholderText(const QString& text);

  // The fibers with a ring, in the order of their discs.
  const std::vector<FiberRef>& ringed() const { return ringed_; }
  // The disc of `fiber`; null when it has none.
  QGraphicsItem* discItem(FiberRef fiber) const;
  // Marks the discs of `fibers` as selected; fibers without a disc are passed over. The
  // selection is the fiber table's: the view only shows it.
  void showSelection(const std::vector<FiberRef>& fibers);
  const std::vector<FiberRef>& shownSelection() const { return shown_; }
  // Fills each disc with the colour of its material number (its fourth value) rather
  // than red and black.
  void setColourByMaterial(bool on);
  // The region's outline as drawn; none before a section is shown.
  QGraphicsItem* regionItem() const;
  // Scrolls so that the disc of `fiber` sits at the centre of the view, as far as the
  // scene allows, unless the whole disc is in view already.
  void revealFiber(FiberRef fiber);

  // Section coordinates of a point of the viewport.
  QPointF sectionAt(QPointF viewportPos) const;
  // Section length units per screen pixel at the current zoom.
  double pixelSize() const;
  // Tick values along one ruler for what is visible now, the same as the grid's lines.
  std::vector<double> visibleTicks(Qt::Orientation orientation) const;
  // The step between ticks for the current zoom, in section units.
  double tickStep(Qt::Orientation orientation) const;
  // The scene point of section point (x, y).
  QPointF toScene(double x, double y) const;

 public slots:
  void zoomIn();
  void zoomOut();
  // Fits the discs into the view again; until the next zoom, resizing keeps them fitted.
  void fitToWindow();

 signals:
  // A click, not a drag, on the disc of `fiber`, or on no disc when `fiber` is 0.
  void fiberClicked(fiberview::FiberKind kind, int fiber);
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
  // Puts the rulers in the margins beside the viewport.
  void placeRulers();
  bool hasSection() const { return section_ != nullptr; }

  std::shared_ptr<const SectionStore> store_;
  const Section* section_ = nullptr;  // in store_
  QPointF centre_;                    // of the section's box, in section coordinates
  // Indexed by fiber number - 1; null for a fiber without a disc.
  std::vector<FiberItem*> concreteDiscs_;
  std::vector<FiberItem*> steelDiscs_;
  std::vector<PixelSizedItem*> pixelSized_;  // everything whose bounds follow the zoom
  std::vector<FiberRef> shown_;              // the selection as shown
  std::vector<RingItem*> selection_;         // one outline per selected disc
  RegionItem* region_ = nullptr;
  bool byMaterial_ = false;
  QRectF fitRect_;  // scene rectangle the discs fill when fitted
  double fitScale_ = 1.0;
  bool fitted_ = true;
  QString placeholder_;
  std::vector<FiberRef> ringed_;
  QMargins defaultMargins_;  // room for the rulers before a section asks for more
  QPointF pressAt_;
  Ruler* bottomRuler_ = nullptr;
  Ruler* leftRuler_ = nullptr;
};

}  // namespace fiberview
