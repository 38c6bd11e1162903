#include "widgets/compare_view.h"

#include <QAction>
#include <QGraphicsItem>
#include <QImage>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace fiberview {

namespace {

constexpr double kZoomStep = 1.25;
constexpr double kMaxZoom = 1000.0;  // times the fitted scale
constexpr double kMinZoom = 0.25;

}  // namespace

// The pair in section coordinates, y up; the item's transform turns it into the scene's y down.
class CompareItem : public QGraphicsItem {
 public:
  CompareItem(const Section* before, const Section* after, const std::vector<MarkShape>& marks,
              const QRectF& bounds)
      : before_(before), after_(after), marks_(marks), bounds_(bounds) {
    setTransform(QTransform::fromScale(1, -1));
  }
  // The rings reach a few pixels past the discs, whatever the zoom.
  QRectF boundingRect() const override {
    const double m = 0.05 * std::max(bounds_.width(), bounds_.height());
    return bounds_.adjusted(-m, -m, m, m);
  }
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget*) override {
    const double perUnit = option->levelOfDetailFromTransform(painter->worldTransform());
    paintComparison(*painter, before_, after_, marks_, perUnit > 0 ? 1.0 / perUnit : 1.0);
  }

 private:
  const Section* before_;
  const Section* after_;
  const std::vector<MarkShape>& marks_;
  QRectF bounds_;
};

// The legend, in the view's left margin, so that it never covers the drawing.
class CompareLegend : public QWidget {
 public:
  explicit CompareLegend(QWidget* parent) : QWidget(parent) {
    QImage probe(1, 1, QImage::Format_ARGB32);
    QPainter painter(&probe);
    painter.setFont(font());
    setFixedSize(paintCompareLegend(painter, QPointF()).size().toSize() + QSize(2, 2));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setFont(font());
    paintCompareLegend(painter, QPointF(0, 0));
  }
};

CompareView::CompareView(QWidget* parent) : QGraphicsView(parent) {
  setScene(new QGraphicsScene(this));
  legend_ = new CompareLegend(this);
  setViewportMargins(legend_->width() + 8, 0, 0, 0);
  // Dragging pans; scroll bars would only take room from the drawing.
  setDragMode(QGraphicsView::ScrollHandDrag);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
  setRenderHint(QPainter::Antialiasing);
  setBackgroundBrush(Qt::white);
  const struct {
    QKeySequence key;
    void (CompareView::*slot)();
  } zooms[] = {{QKeySequence(QKeySequence::ZoomIn), &CompareView::zoomIn},
               {QKeySequence(Qt::Key_Plus), &CompareView::zoomIn},
               {QKeySequence(QKeySequence::ZoomOut), &CompareView::zoomOut},
               {QKeySequence(Qt::Key_Minus), &CompareView::zoomOut},
               {QKeySequence(Qt::Key_0), &CompareView::fitToWindow}};
  for (const auto& z : zooms) {
    auto* action = new QAction(this);
    action->setShortcut(z.key);
    action->setShortcutContext(Qt::WidgetShortcut);
    connect(action, &QAction::triggered, this, z.slot);
    addAction(action);
  }
}

void CompareView::clear() {
  scene()->clear();
  item_ = nullptr;
  marks_.clear();
  before_.reset();
  after_.reset();
  viewport()->update();
}

void CompareView::showPair(std::shared_ptr<const SectionStore> before,
                           std::shared_ptr<const SectionStore> after,
                           const SectionComparison& row) {
  clear();
  before_ = std::move(before);
  after_ = std::move(after);
  const Section* old = before_ ? before_->section(row.before) : nullptr;
  const Section* now = after_ ? after_->section(row.after) : nullptr;
  marks_ = compareMarks(old, now, row);
  const std::optional<QRectF> bounds = compareBounds(old, now);
  if (!bounds) return;
  item_ = new CompareItem(old, now, marks_, *bounds);
  scene()->addItem(item_);
  // Room to pan the pair to the edge of the view at any zoom.
  const QRectF shown = item_->sceneBoundingRect();
  const double m = std::max(shown.width(), shown.height());
  scene()->setSceneRect(shown.adjusted(-m, -m, m, m));
  fitToWindow();
}

QPointF CompareView::viewportPoint(Point p) const {
  return mapFromScene(QPointF(p.x, -p.y));
}

void CompareView::fitToWindow() {
  fitted_ = true;
  if (item_ != nullptr) fitInView(item_->sceneBoundingRect(), Qt::KeepAspectRatio);
}

void CompareView::zoomBy(double factor) {
  if (item_ == nullptr) return;
  // The fitted scale, from the item's box and the viewport, bounds the zoom.
  const QRectF shown = item_->sceneBoundingRect();
  const double fit = std::min(viewport()->width() / std::max(shown.width(), 1e-300),
                              viewport()->height() / std::max(shown.height(), 1e-300));
  const double now = transform().m11();
  const double wanted = std::clamp(now * factor, fit * kMinZoom, fit * kMaxZoom);
  if (wanted == now) return;
  scale(wanted / now, wanted / now);
  fitted_ = false;
}

void CompareView::zoomIn() {
  zoomBy(kZoomStep);
}

void CompareView::zoomOut() {
  zoomBy(1.0 / kZoomStep);
}

void CompareView::wheelEvent(QWheelEvent* event) {
  zoomBy(std::pow(kZoomStep, event->angleDelta().y() / 120.0));
  event->accept();
}

void CompareView::resizeEvent(QResizeEvent* event) {
  QGraphicsView::resizeEvent(event);
  legend_->move(frameWidth() + 4, frameWidth() + 4);
  if (fitted_) fitToWindow();
}

}  // namespace fiberview
