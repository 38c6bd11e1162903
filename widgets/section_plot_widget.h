// The drawing area. It is handed a section to show and paints it fitted to its own
// current size, so that it always knows which disc is which fiber.
#pragma once

#include <QFrame>
#include <QTransform>
#include <memory>
#include <optional>
#include <vector>

#include "plot/section_scale.h"
#include "widgets/fiber_text.h"

namespace fiberview {

class SectionPlotWidget : public QFrame {
  Q_OBJECT

 public:
  explicit SectionPlotWidget(QWidget* parent = nullptr);

  // Inner drawing area in twips, the size the scaling step fits a section into.
  int innerWidthTwips() const;
  int innerHeightTwips() const;

  // Shows section `number` (1-based) of `store`, its property line labelled for `shown`,
  // with a ring round each fiber of `flagged`, the fibers its verdict names. A section that
  // cannot be drawn shows nothing; callers check with scaleSection first.
  void showSection(std::shared_ptr<const SectionStore> store, int number, FileVersion shown,
                   std::vector<FiberRef> flagged = {});
  // Shows nothing, as before the first drawing.
  void clear();
  // A line that tells what more the drawing offers: the tooltip away from the discs, the
  // last line of a disc's tooltip and of the description offered to screen readers.
  void setHint(const QString& hint);

  const std::shared_ptr<const SectionStore>& store() const { return store_; }
  int sectionNumber() const { return number_; }  // 0 when nothing is shown
  const Section* section() const;

  // The picture for the widget's current size; empty when nothing is shown.
  SectionPicture picture() const;
  // Carries the picture's twips to widget pixels.
  QTransform twipsToWidget() const;
  // The disc under a point given in widget pixels, the topmost where discs overlap.
  std::optional<Disc> discAt(QPointF pos) const;

 signals:
  // The user asks for a closer look at the section shown (a double click).
  void exploreRequested();
  // What the drawing shows changed: showSection showed a section, or clear cleared it.
  void shownSectionChanged();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void describe();

  std::shared_ptr<const SectionStore> store_;
  int number_ = 0;
  QString hint_;
  FileVersion shown_ = FileVersion::Old;
  std::vector<FiberRef> flagged_;
};

// Paints the discs of a picture given in twips with `painter` already carrying twips to
// device pixels. Each disc, edge included, covers its area at drawing scale; a disc that
// covers the whole `area` is painted as a fill of it.
void paintDiscs(QPainter& painter, const SectionPicture& picture, const QRectF& area);

}  // namespace fiberview
