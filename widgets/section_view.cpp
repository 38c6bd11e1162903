#include "widgets/section_view.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QGraphicsItem>
#include <QGraphicsPathItem>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionGraphicsItem>
#include <QToolTip>
#include <QWheelEvent>
#include <QtMath>
#include <algorithm>
#include <cmath>

#include "plot/number_format.h"
#include "plot/ruler_ticks.h"
#include "plot/section_scale.h"
#include "plot/section_summary.h"

namespace fiberview {

namespace {

// Sizes on screen, in pixels, whatever the zoom.
constexpr double kMinDiscPixels = 1.5;  // radius of the smallest disc drawn
constexpr double kOutlinePixels = 3.0;  // below this radius a disc has no outline
constexpr double kHitPixels = 2.0;      // a click this near a disc's edge hits it
constexpr double kRingGapPixels = 4.0;  // between a flagged disc and its ring
constexpr double kRingPenPixels = 2.0;
constexpr double kSelectedPenPixels = 3.0;  // the selection's outline, on the disc's edge
constexpr double kCrossPixels = 8.0;        // half the size of the origin's cross
constexpr double kTickPixels = 5.0;         // length of a ruler's tick
constexpr double kWheelNotch = 120.0;       // angle delta of one wheel step
constexpr double kZoomStep = 1.25;          // one keyboard zoom step, and two wheel steps
constexpr double kFitMargin = 0.05;         // room round the discs when fitted
constexpr double kMinZoom = 0.25;           // times the fitted scale
constexpr double kMaxZoom = 1000.0;

const QColor kConcreteFill(255, 0, 0);
const QColor kConcreteOutline(128, 0, 0);
const QColor kSteelFill(0, 0, 0);
const QColor kSteelOutline(150, 150, 150);
const QColor kSelected(0, 90, 255);
const QColor kFlagged(255, 140, 0);
const QColor kGrid(232, 232, 232);
const QColor kOrigin(0, 0, 160);

// Colour-blind-safe colours for material numbers (Okabe and Ito), then grey for the rest.
const QColor kMaterialColours[] = {{0, 114, 178},  {230, 159, 0}, {0, 158, 115},  {204, 121, 167},
                                   {86, 180, 233}, {213, 94, 0},  {240, 228, 66}, {0, 0, 0}};
const QColor kOtherMaterial(150, 150, 150);
const QColor kRegion(0, 150, 150);

}  // namespace

QColor materialColour(std::size_t index) {
  return index < std::size(kMaterialColours) ? kMaterialColours[index] : kOtherMaterial;
}

// An item whose sizes on screen stay the same in pixels whatever the zoom, so that its
// bounds in the scene change with the zoom. The view tells it the size of a pixel.
class PixelSizedItem : public QGraphicsItem {
 public:
  void setPixelSize(double pixel) {
    prepareGeometryChange();
    pixel_ = pixel;
  }

 protected:
  // The size of a pixel for painting, from the painter, which may draw at another scale
  // than the view, as for a copy of the picture.
  double paintedPixel(const QStyleOptionGraphicsItem* option, const QPainter* painter) const {
    const double perUnit = option->levelOfDetailFromTransform(painter->worldTransform());
    return perUnit > 0 ? 1.0 / perUnit : pixel_;
  }

  // A disc smaller than a few pixels is drawn that large, so that every fiber can be seen.
  static double shownRadius(double radius, double pixel) {
    return std::max(radius, kMinDiscPixels * pixel);
  }

  double pixel_ = 0.0;
};

// One fiber's disc: light, drawn at the level of detail the zoom allows, like the chips of
// Qt's 40000 Chips example.
class FiberItem final : public PixelSizedItem {
 public:
  enum { Type = UserType + 1 };

  FiberItem(FiberRef fiber, double radius) : fiber_(fiber), radius_(radius) {
    // Clicks go to the view, which pans on a drag and selects on a click.
    setAcceptedMouseButtons(Qt::NoButton);
    // Steel over concrete, as in the main drawing.
    setZValue(fiber.kind == FiberKind::Steel ? 1.0 : 0.0);
  }

  int type() const override { return Type; }
  FiberRef fiber() const { return fiber_; }
  double radius() const { return radius_; }
  // A fill other than the kind's, as for colouring by material; none for the kind's.
  void setFill(std::optional<QColor> fill) {
    fill_ = fill;
    update();
  }

  QRectF boundingRect() const override {
    const double r = shownRadius(radius_, pixel_) + kHitPixels * pixel_;
    return {-r, -r, 2 * r, 2 * r};
  }

  QPainterPath shape() const override {
    QPainterPath path;
    const double r = shownRadius(radius_, pixel_) + kHitPixels * pixel_;
    path.addEllipse(QPointF(), r, r);
    return path;
  }

  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget*) override {
    const double pixel = paintedPixel(option, painter);
    const double r = shownRadius(radius_, pixel);
    const bool concrete = fiber_.kind == FiberKind::Concrete;
    // The outline keeps touching discs countable; on a tiny disc it would hide the fill.
    if (r >= kOutlinePixels * pixel) {
      QPen outline(concrete ? kConcreteOutline : kSteelOutline, 1.0);
      outline.setCosmetic(true);
      painter->setPen(outline);
    } else {
      painter->setPen(Qt::NoPen);
    }
    painter->setBrush(fill_ ? *fill_ : (concrete ? kConcreteFill : kSteelFill));
    painter->drawEllipse(QPointF(), r, r);
  }

 private:
  FiberRef fiber_;
  double radius_;
  std::optional<QColor> fill_;
};

// The concrete region's outline: a thin line of fixed width on screen, over the concrete's
// discs and under the bars'.
class RegionItem final : public QGraphicsPathItem {
 public:
  explicit RegionItem(const QPainterPath& path) : QGraphicsPathItem(path) {
    QPen pen(kRegion, 1.5);
    pen.setCosmetic(true);
    setPen(pen);
    setAcceptedMouseButtons(Qt::NoButton);
    setZValue(0.5);
  }
};

// A ring round a disc, over every disc so that no neighbour hides it: the mark of a
// finding, or of the selection.
class RingItem final : public PixelSizedItem {
 public:
  RingItem(const QColor& colour, double penPixels, double gapPixels, double z)
      : colour_(colour), penPixels_(penPixels), gapPixels_(gapPixels) {
    setAcceptedMouseButtons(Qt::NoButton);
    setZValue(z);
  }

  void setDisc(const FiberItem& disc) {
    prepareGeometryChange();
    setPos(disc.pos());
    radius_ = disc.radius();
  }

  QRectF boundingRect() const override {
    const double r = shownRadius(radius_, pixel_) + (gapPixels_ + penPixels_ + 1) * pixel_;
    return {-r, -r, 2 * r, 2 * r};
  }

  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget*) override {
    const double pixel = paintedPixel(option, painter);
    QPen pen(colour_, penPixels_);
    pen.setCosmetic(true);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    const double r = shownRadius(radius_, pixel) + gapPixels_ * pixel;
    painter->drawEllipse(QPointF(), r, r);
  }

 private:
  QColor colour_;
  double penPixels_;
  double gapPixels_;
  double radius_ = 0.0;
};

namespace {

// The origin: a cross of fixed size on screen.
class OriginItem final : public QGraphicsItem {
 public:
  OriginItem() {
    setFlag(ItemIgnoresTransformations);
    setZValue(30.0);
  }
  QRectF boundingRect() const override {
    return {-kCrossPixels - 1, -kCrossPixels - 1, 2 * kCrossPixels + 2, 2 * kCrossPixels + 2};
  }
  void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
    painter->setPen(QPen(kOrigin, 1.5));
    painter->drawLine(QPointF(-kCrossPixels, 0), QPointF(kCrossPixels, 0));
    painter->drawLine(QPointF(0, -kCrossPixels), QPointF(0, kCrossPixels));
  }
};

}  // namespace

// A ruler along one edge of the viewport, in the margin the view keeps free for it.
class Ruler final : public QWidget {
 public:
  Ruler(Qt::Orientation orientation, SectionView* view)
      : QWidget(view), orientation_(orientation), view_(view) {
    setAutoFillBackground(true);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetricsF metrics(font());
    const QTransform toViewport = view_->viewportTransform();
    // Viewport pixels to this widget's pixels.
    const QPointF offset = QPointF(view_->viewport()->pos() - pos());
    const bool horizontal = orientation_ == Qt::Horizontal;
    if (horizontal) {
      p.drawLine(QPointF(offset.x(), 0.5), QPointF(width(), 0.5));
    } else {
      p.drawLine(QPointF(width() - 0.5, 0),
                 QPointF(width() - 0.5, offset.y() + view_->viewport()->height()));
    }
    const double step = view_->tickStep(orientation_);
    for (const double v : view_->visibleTicks(orientation_)) {
      const QString label = QString::fromStdString(tickText(v, step));
      const double labelWidth = metrics.horizontalAdvance(label);
      if (horizontal) {
        const double x = toViewport.map(view_->toScene(v, 0)).x() + offset.x();
        p.drawLine(QPointF(x, 0), QPointF(x, kTickPixels));
        const QRectF box(x - labelWidth / 2, kTickPixels + 1, labelWidth, metrics.height());
        // A label that would be cut at an end is left out rather than half shown.
        if (box.left() >= offset.x() && box.right() <= width()) p.drawText(box, label);
      } else {
        const double y = toViewport.map(view_->toScene(0, v)).y() + offset.y();
        p.drawLine(QPointF(width() - kTickPixels, y), QPointF(width(), y));
        const QRectF box(width() - kTickPixels - 3 - labelWidth, y - metrics.height() / 2,
                         labelWidth, metrics.height());
        if (box.top() >= 0 && box.bottom() <= offset.y() + view_->viewport()->height()) {
          p.drawText(box, label);
        }
      }
    }
  }

 private:
  Qt::Orientation orientation_;
  SectionView* view_;
};

SectionView::SectionView(QWidget* parent) : QGraphicsView(parent) {
  auto* scene = new QGraphicsScene(this);
  // Disc bounds change with every zoom; a few hundred discs need no index.
  scene->setItemIndexMethod(QGraphicsScene::NoIndex);
  setScene(scene);
  setRenderHint(QPainter::Antialiasing);
  setDragMode(ScrollHandDrag);
  // The view handles clicks itself, so that a drag that starts on a disc still pans.
  setInteractive(false);
  // Sizes on screen are fixed in pixels, so every zoom and scroll repaints the lot.
  setViewportUpdateMode(FullViewportUpdate);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setMouseTracking(true);
  setBackgroundBrush(Qt::white);

  bottomRuler_ = new Ruler(Qt::Horizontal, this);
  bottomRuler_->setAccessibleName(QStringLiteral("x 标尺"));
  leftRuler_ = new Ruler(Qt::Vertical, this);
  leftRuler_->setAccessibleName(QStringLiteral("y 标尺"));
  const QFontMetricsF metrics(font());
  defaultMargins_ =
      QMargins(qCeil(metrics.horizontalAdvance(QStringLiteral("-8888888")) + kTickPixels + 6), 0, 0,
               qCeil(metrics.height() + kTickPixels + 3));
  setViewportMargins(defaultMargins_);
}

void SectionView::setPlaceholderText(const QString& text) {
  placeholder_ = text;
  viewport()->update();
}

void SectionView::showSection(std::shared_ptr<const SectionStore> store, int number,
                              const std::vector<FiberRef>& flagged,
                              const std::vector<std::pair<Point, Point>>& outline) {
  scene()->clear();
  concreteDiscs_.clear();
  steelDiscs_.clear();
  pixelSized_.clear();
  shown_.clear();
  selection_.clear();
  ringed_.clear();
  region_ = nullptr;
  section_ = store ? store->section(number) : nullptr;
  store_ = section_ ? std::move(store) : nullptr;
  const Section* section = section_;
  bottomRuler_->setVisible(section != nullptr);
  leftRuler_->setVisible(section != nullptr);
  resetTransform();
  setViewportMargins(defaultMargins_);
  if (section == nullptr) {
    fitRect_ = {};
    scene()->setSceneRect(QRectF());
    viewChanged();
    return;
  }
  // The box of the discs in section coordinates, built by hand: QRectF::united skips the
  // empty box of a disc of no area.
  double left = qInf(), right = -qInf(), bottom = qInf(), top = -qInf();
  const auto measure = [&](const auto& fibers) {
    for (const auto& f : fibers) {
      if (!std::isfinite(f[0]) || !std::isfinite(f[1]) || !std::isfinite(f[2]) || f[2] < 0.0) {
        continue;
      }
      const double r = discRadius(f[2]);
      left = std::min(left, f[0] - r);
      right = std::max(right, f[0] + r);
      bottom = std::min(bottom, f[1] - r);
      top = std::max(top, f[1] + r);
    }
  };
  measure(section->concrete);
  measure(section->steel);
  for (const auto& [a, b] : outline) {
    left = std::min({left, a.x, b.x});
    right = std::max({right, a.x, b.x});
    bottom = std::min({bottom, a.y, b.y});
    top = std::max({top, a.y, b.y});
  }
  const bool any = left <= right;
  centre_ = any ? QPointF(left / 2 + right / 2, bottom / 2 + top / 2) : QPointF();

  const auto add = [&](FiberKind kind, const auto& fibers, std::vector<FiberItem*>& out) {
    int number = 0;
    for (const auto& f : fibers) {
      const FiberRef ref{kind, ++number};
      const bool drawable =
          std::isfinite(f[0]) && std::isfinite(f[1]) && std::isfinite(f[2]) && f[2] >= 0.0;
      if (!drawable) {
        out.push_back(nullptr);
        continue;
      }
      auto* item = new FiberItem(ref, discRadius(f[2]));
      item->setPos(toScene(f[0], f[1]));
      scene()->addItem(item);
      pixelSized_.push_back(item);
      out.push_back(item);
      if (std::find(flagged.begin(), flagged.end(), ref) != flagged.end()) {
        auto* ring = new RingItem(kFlagged, kRingPenPixels, kRingGapPixels, 10.0);
        ring->setDisc(*item);
        scene()->addItem(ring);
        pixelSized_.push_back(ring);
        ringed_.push_back(ref);
      }
    }
  };
  add(FiberKind::Concrete, section->concrete, concreteDiscs_);
  add(FiberKind::Steel, section->steel, steelDiscs_);
  QPainterPath path;
  for (const auto& [a, b] : outline) {
    path.moveTo(toScene(a.x, a.y));
    path.lineTo(toScene(b.x, b.y));
  }
  region_ = new RegionItem(path);
  scene()->addItem(region_);
  auto* origin = new OriginItem;
  origin->setPos(toScene(0, 0));
  scene()->addItem(origin);
  setColourByMaterial(byMaterial_);

  // No disc at all shows the origin; a single point or a line of zero-area fibers still
  // needs a box to fit, as large as its longer side, or one unit for a single point.
  const QRectF box =
      any ? QRectF(QPointF(left, bottom) - centre_, QPointF(right, top) - centre_) : QRectF();
  double side = std::max(box.width(), box.height());
  if (!(side > 0.0)) side = 1.0;
  QRectF discs(-box.width() / 2, -box.height() / 2, box.width(), box.height());
  if (discs.width() <= 0.0 || discs.height() <= 0.0) {
    discs = QRectF(QPointF(-side / 2, -side / 2), QSizeF(side, side));
  }
  fitRect_ = discs.marginsAdded(QMarginsF(side, side, side, side) * kFitMargin);
  // Room to pan a zoomed view past the discs by their own size.
  scene()->setSceneRect(fitRect_.marginsAdded(QMarginsF(side, side, side, side)));
  fitToWindow();
}

QGraphicsItem* SectionView::discItem(FiberRef fiber) const {
  const auto& discs = fiber.kind == FiberKind::Concrete ? concreteDiscs_ : steelDiscs_;
  if (fiber.fiber < 1 || static_cast<std::size_t>(fiber.fiber) > discs.size()) return nullptr;
  return discs[static_cast<std::size_t>(fiber.fiber) - 1];
}

QGraphicsItem* SectionView::regionItem() const {
  return region_;
}

void SectionView::showSelection(const std::vector<FiberRef>& fibers) {
  qDeleteAll(selection_);
  selection_.clear();
  shown_.clear();
  for (const FiberRef fiber : fibers) {
    auto* disc = static_cast<FiberItem*>(discItem(fiber));
    if (disc == nullptr) continue;
    auto* ring = new RingItem(kSelected, kSelectedPenPixels, 0.0, 20.0);
    ring->setPixelSize(pixelSize());
    ring->setDisc(*disc);
    scene()->addItem(ring);
    selection_.push_back(ring);
    shown_.push_back(fiber);
  }
}

void SectionView::setColourByMaterial(bool on) {
  byMaterial_ = on;
  if (section_ == nullptr) return;
  std::vector<double> numbers;
  for (const MaterialCount& m : countMaterials(*section_)) numbers.push_back(m.number);
  const auto colour = [&](double material) -> std::optional<QColor> {
    if (!on) return std::nullopt;
    // countMaterials lists the numbers in ascending order.
    const auto at = std::lower_bound(numbers.begin(), numbers.end(), material);
    return materialColour(at == numbers.end() || *at != material
                              ? std::size(kMaterialColours)
                              : static_cast<std::size_t>(at - numbers.begin()));
  };
  for (std::size_t j = 0; j < concreteDiscs_.size(); ++j) {
    if (concreteDiscs_[j] != nullptr) concreteDiscs_[j]->setFill(colour(section_->concrete[j][3]));
  }
  for (std::size_t j = 0; j < steelDiscs_.size(); ++j) {
    if (steelDiscs_[j] != nullptr) steelDiscs_[j]->setFill(colour(section_->steel[j][3]));
  }
}

void SectionView::revealFiber(FiberRef fiber) {
  QGraphicsItem* disc = discItem(fiber);
  if (disc == nullptr) return;
  const QRectF shown = viewportTransform().inverted().mapRect(QRectF(viewport()->rect()));
  // Moving a picture that already shows the disc would only lose the user's place.
  if (shown.contains(disc->sceneBoundingRect())) return;
  centerOn(disc);
  viewChanged();
}

QPointF SectionView::toScene(double x, double y) const {
  return {x - centre_.x(), -(y - centre_.y())};
}

QPointF SectionView::sectionAt(QPointF viewportPos) const {
  const QPointF scene = viewportTransform().inverted().map(viewportPos);
  return {scene.x() + centre_.x(), -scene.y() + centre_.y()};
}

double SectionView::pixelSize() const {
  return 1.0 / transform().m11();
}

double SectionView::tickStep(Qt::Orientation orientation) const {
  const QFontMetricsF metrics(font());
  if (orientation == Qt::Vertical) return niceStep(2.5 * metrics.height() * pixelSize());
  // Across, room for the widest label between ticks; far from the origin a label grows with
  // the digits its step needs, so the step is found again for the labels it gives.
  const QRectF visible = viewportTransform().inverted().mapRect(QRectF(viewport()->rect()));
  const double far =
      std::max(std::abs(visible.left() + centre_.x()), std::abs(visible.right() + centre_.x()));
  double spacing = metrics.horizontalAdvance(QStringLiteral("-8888888"));
  double step = niceStep(spacing * pixelSize());
  for (int pass = 0; pass < 2; ++pass) {
    const QString widest = QStringLiteral("-") + QString::fromStdString(tickText(far, step));
    spacing = std::max(spacing, metrics.horizontalAdvance(widest) + 2 * kTickPixels);
    step = niceStep(spacing * pixelSize());
  }
  return step;
}

std::vector<double> SectionView::visibleTicks(Qt::Orientation orientation) const {
  if (!hasSection()) return {};
  const QRectF visible = viewportTransform().inverted().mapRect(QRectF(viewport()->rect()));
  const double step = tickStep(orientation);
  return orientation == Qt::Horizontal
             ? tickValues(visible.left() + centre_.x(), visible.right() + centre_.x(), step)
             : tickValues(centre_.y() - visible.bottom(), centre_.y() - visible.top(), step);
}

void SectionView::zoomIn() {
  zoomBy(kZoomStep, QRectF(viewport()->rect()).center());
}

void SectionView::zoomOut() {
  zoomBy(1.0 / kZoomStep, QRectF(viewport()->rect()).center());
}

void SectionView::fitToWindow() {
  if (!hasSection()) return;
  fitInView(fitRect_, Qt::KeepAspectRatio);
  fitScale_ = transform().m11();
  fitted_ = true;
  viewChanged();
}

void SectionView::zoomBy(double factor, QPointF anchor) {
  if (!hasSection()) return;
  const double now = transform().m11();
  const double wanted = std::clamp(now * factor, fitScale_ * kMinZoom, fitScale_ * kMaxZoom);
  if (wanted == now) return;
  const QPointF held = viewportTransform().inverted().map(anchor);
  scale(wanted / now, wanted / now);
  // Scroll so that the scene point under the anchor is back under it.
  const QPointF drift = viewportTransform().map(held) - anchor;
  horizontalScrollBar()->setValue(horizontalScrollBar()->value() + qRound(drift.x()));
  verticalScrollBar()->setValue(verticalScrollBar()->value() + qRound(drift.y()));
  fitted_ = false;
  viewChanged();
}

void SectionView::viewChanged() {
  const double pixel = pixelSize();
  for (PixelSizedItem* item : pixelSized_) item->setPixelSize(pixel);
  for (RingItem* ring : selection_) ring->setPixelSize(pixel);
  // The left ruler grows to hold its widest label; it never shrinks while a section is
  // shown, so that a zoom cannot make the view jump back and forth.
  const QFontMetricsF metrics(font());
  const double step = tickStep(Qt::Vertical);
  double widest = 0.0;
  for (const double v : visibleTicks(Qt::Vertical)) {
    widest = std::max(widest, metrics.horizontalAdvance(QString::fromStdString(tickText(v, step))));
  }
  const int needed = qCeil(widest + kTickPixels + 6);
  if (needed > viewportMargins().left()) {
    const QMargins m = viewportMargins();
    setViewportMargins(needed, m.top(), m.right(), m.bottom());
    placeRulers();
    // The narrower viewport is fitted again; the margin it asks for then is no wider.
    if (fitted_) {
      fitToWindow();
      return;
    }
  }
  bottomRuler_->update();
  leftRuler_->update();
  viewport()->update();
}

void SectionView::wheelEvent(QWheelEvent* event) {
  zoomBy(std::pow(kZoomStep, event->angleDelta().y() / (2 * kWheelNotch)), event->position());
  event->accept();
}

void SectionView::mousePressEvent(QMouseEvent* event) {
  pressAt_ = event->position();
  QGraphicsView::mousePressEvent(event);
}

void SectionView::mouseMoveEvent(QMouseEvent* event) {
  QGraphicsView::mouseMoveEvent(event);
  if (hasSection()) emit cursorMoved(sectionAt(event->position()));
}

void SectionView::mouseReleaseEvent(QMouseEvent* event) {
  QGraphicsView::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton ||
      (event->position() - pressAt_).manhattanLength() > QApplication::startDragDistance()) {
    return;
  }
  // A click, not a drag: the topmost disc under it, or nothing.
  for (QGraphicsItem* item : items(event->position().toPoint())) {
    if (auto* disc = qgraphicsitem_cast<FiberItem*>(item)) {
      emit fiberClicked(disc->fiber().kind, disc->fiber().fiber);
      return;
    }
  }
  emit fiberClicked(FiberKind::Concrete, 0);
}

void SectionView::leaveEvent(QEvent* event) {
  QGraphicsView::leaveEvent(event);
  emit cursorLeft();
}

bool SectionView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip && section_ != nullptr) {
    auto* help = static_cast<QHelpEvent*>(event);
    for (QGraphicsItem* item : items(help->pos())) {
      if (auto* disc = qgraphicsitem_cast<FiberItem*>(item)) {
        QToolTip::showText(help->globalPos(),
                           fiberToolTip(*section_, disc->fiber().kind, disc->fiber().fiber),
                           viewport());
        return true;
      }
    }
    QToolTip::hideText();
    event->ignore();
    return true;
  }
  return QGraphicsView::viewportEvent(event);
}

void SectionView::resizeEvent(QResizeEvent* event) {
  QGraphicsView::resizeEvent(event);
  placeRulers();
  if (fitted_) {
    fitToWindow();
  } else {
    viewChanged();
  }
}

void SectionView::placeRulers() {
  const QRect v = viewport()->geometry();
  bottomRuler_->setGeometry(v.left(), v.bottom() + 1, v.width(), height() - v.bottom() - 1);
  leftRuler_->setGeometry(0, v.top(), v.left(), height() - v.top());
}

void SectionView::scrollContentsBy(int dx, int dy) {
  QGraphicsView::scrollContentsBy(dx, dy);
  bottomRuler_->update();
  leftRuler_->update();
}

void SectionView::drawBackground(QPainter* painter, const QRectF& rect) {
  QGraphicsView::drawBackground(painter, rect);
  if (!hasSection()) return;
  // Grid lines at the rulers' ticks, so a coordinate can be read anywhere.
  QPen grid(kGrid, 1.0);
  grid.setCosmetic(true);
  painter->setPen(grid);
  for (const double x : visibleTicks(Qt::Horizontal)) {
    const double at = toScene(x, 0).x();
    painter->drawLine(QPointF(at, rect.top()), QPointF(at, rect.bottom()));
  }
  for (const double y : visibleTicks(Qt::Vertical)) {
    const double at = toScene(0, y).y();
    painter->drawLine(QPointF(rect.left(), at), QPointF(rect.right(), at));
  }
}

void SectionView::drawForeground(QPainter* painter, const QRectF& rect) {
  QGraphicsView::drawForeground(painter, rect);
  if (hasSection()) return;
  painter->save();
  painter->resetTransform();
  painter->setPen(palette().color(QPalette::PlaceholderText));
  painter->drawText(QRectF(viewport()->rect()).adjusted(20, 20, -20, -20),
                    Qt::AlignCenter | Qt::TextWordWrap, placeholder_);
  painter->restore();
}

}  // namespace fiberview
