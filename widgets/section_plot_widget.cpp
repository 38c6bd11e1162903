#include "widgets/section_plot_widget.h"

#include <QFontMetricsF>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QToolTip>
#include <algorithm>

#include "widgets/fiber_text.h"
#include "widgets/twips.h"

namespace fiberview {

namespace {

// A disc smaller than this many pixels is still found under the mouse.
constexpr double kHitTolerancePixels = 2.0;

}  // namespace

SectionPlotWidget::SectionPlotWidget(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(2);
  setAutoFillBackground(true);
  QPalette p = palette();
  // A white sheet with black text, whatever the desktop's colours.
  p.setColor(QPalette::Window, Qt::white);
  p.setColor(QPalette::WindowText, Qt::black);
  setPalette(p);
  // A click gives the focus too, so that the copy shortcut works after clicking the drawing.
  setFocusPolicy(Qt::StrongFocus);
}

int SectionPlotWidget::innerWidthTwips() const {
  return contentsRect().width() * kTwipsPerPixel;
}

int SectionPlotWidget::innerHeightTwips() const {
  return contentsRect().height() * kTwipsPerPixel;
}

void SectionPlotWidget::showSection(std::shared_ptr<const SectionStore> store, int number,
                                    FileVersion shown, std::vector<FiberRef> flagged) {
  store_ = std::move(store);
  flagged_ = std::move(flagged);
  number_ = number;
  shown_ = shown;
  describe();
  update();
  emit shownSectionChanged();
}

void SectionPlotWidget::clear() {
  store_.reset();
  flagged_.clear();
  number_ = 0;
  describe();
  update();
  emit shownSectionChanged();
}

void SectionPlotWidget::setHint(const QString& hint) {
  hint_ = hint;
  describe();
}

// A screen reader reads what is painted above the drawing here, then the hint.
void SectionPlotWidget::describe() {
  QStringList lines;
  if (store_) {
    const SectionPicture p = picture();
    lines << QString::fromStdString(p.title.text) << QString::fromStdString(p.properties.text);
  }
  if (!hint_.isEmpty()) lines << hint_;
  setAccessibleDescription(lines.join(QLatin1Char('\n')));
}

const Section* SectionPlotWidget::section() const {
  return store_ ? store_->section(number_) : nullptr;
}

SectionPicture SectionPlotWidget::picture() const {
  if (!store_) return {};
  PlotResult result = scaleSection(*store_, number_, innerWidthTwips(), innerHeightTwips(), shown_);
  if (auto* p = std::get_if<SectionPicture>(&result)) return std::move(*p);
  return {};
}

QTransform SectionPlotWidget::twipsToWidget() const {
  const QPoint inner = contentsRect().topLeft();
  QTransform t;
  t.translate(inner.x(), inner.y());
  t.scale(1.0 / kTwipsPerPixel, 1.0 / kTwipsPerPixel);
  return t;
}

std::optional<Disc> SectionPlotWidget::discAt(QPointF pos) const {
  if (!contentsRect().contains(pos.toPoint())) return std::nullopt;
  const QPointF at = twipsToWidget().inverted().map(pos);
  return fiberview::discAt(picture(), at.x(), at.y(), kHitTolerancePixels * kTwipsPerPixel);
}

bool SectionPlotWidget::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const std::optional<Disc> disc = discAt(help->pos());
    QString text = hint_;
    if (disc && section() != nullptr) {
      text = fiberToolTip(*section(), disc->kind, disc->fiber);
      if (!hint_.isEmpty()) text += QStringLiteral("\n\n") + hint_;
    }
    if (!text.isEmpty()) {
      QToolTip::showText(help->globalPos(), text, this);
    } else {
      QToolTip::hideText();
      event->ignore();
    }
    return true;
  }
  return QFrame::event(event);
}

void SectionPlotWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  emit exploreRequested();
  event->accept();
}

void paintDiscs(QPainter& painter, const SectionPicture& picture, const QRectF& area) {
  painter.setPen(Qt::NoPen);
  for (const Disc& d : picture.discs) {
    const QColor colour = d.kind == FiberKind::Concrete ? QColor(255, 0, 0) : QColor(0, 0, 0);
    painter.setBrush(colour);
    if (coversArea(Disc{d.cx - area.left(), d.cy - area.top(), d.radius, d.kind, d.fiber},
                   area.width(), area.height())) {
      painter.drawRect(area);
    } else {
      // No outline: a pen centred on the edge would add half its width to every radius,
      // and a small bar would look a fifth too large.
      painter.drawEllipse(QPointF(d.cx, d.cy), d.radius, d.radius);
    }
  }
}

void SectionPlotWidget::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  if (hasFocus()) {
    // A focus mark, as the buttons have, on the frame: keys such as Ctrl+C then act on the
    // drawing, and a copy of the drawing leaves the frame out.
    QPainter frame(this);
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect();
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &frame, this);
  }
  const SectionPicture p = picture();
  if (p.discs.empty() && p.title.text.empty() && p.properties.text.empty()) return;
  QPainter painter(this);
  const QRect inner = contentsRect();
  painter.setClipRect(inner);
  painter.setRenderHint(QPainter::Antialiasing);

  painter.save();
  painter.setTransform(twipsToWidget());
  paintDiscs(painter, p, QRectF(0, 0, innerWidthTwips(), innerHeightTwips()));
  painter.restore();
  if (!flagged_.empty()) {
    // The orange of the section window's rings, a few pixels outside the disc.
    painter.setPen(QPen(QColor(255, 140, 0), 2.0));
    painter.setBrush(Qt::NoBrush);
    const QTransform toWidget = twipsToWidget();
    for (const Disc& d : p.discs) {
      if (std::find(flagged_.begin(), flagged_.end(), FiberRef{d.kind, d.fiber}) ==
          flagged_.end()) {
        continue;
      }
      const QPointF centre = toWidget.map(QPointF(d.cx, d.cy));
      const double r = toWidget.m11() * d.radius + 3.0;
      painter.drawEllipse(centre, r, r);
    }
  }

  // Text keeps the window's font size, so it is placed in pixels, top of the line at the
  // text position.
  painter.translate(inner.topLeft());
  painter.setPen(palette().color(QPalette::WindowText));
  painter.setFont(font());
  const QFontMetricsF metrics(font());
  for (const PlacedText* t : {&p.title, &p.properties}) {
    const QPointF at(t->x / kTwipsPerPixel, t->y / kTwipsPerPixel + metrics.ascent());
    painter.drawText(at, QString::fromStdString(t->text));
  }
}

}  // namespace fiberview
