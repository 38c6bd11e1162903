#include "plot/section_plot_widget.h"

#include <QFontMetricsF>
#include <QPainter>

#include "app/twips.h"

namespace fiberview {

SectionPlotWidget::SectionPlotWidget(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(2);
  setAutoFillBackground(true);
  QPalette p = palette();
  // A white sheet with black text, whatever the desktop's colours.
  p.setColor(QPalette::Window, Qt::white);
  p.setColor(QPalette::WindowText, Qt::black);
  setPalette(p);
  setFocusPolicy(Qt::TabFocus);
}

int SectionPlotWidget::innerWidthTwips() const {
  return contentsRect().width() * kTwipsPerPixel;
}

int SectionPlotWidget::innerHeightTwips() const {
  return contentsRect().height() * kTwipsPerPixel;
}

void SectionPlotWidget::setPicture(SectionPicture picture) {
  picture_ = std::move(picture);
  update();
}

void SectionPlotWidget::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  const QRect inner = contentsRect();
  painter.setClipRect(inner);
  painter.translate(inner.topLeft());
  painter.setRenderHint(QPainter::Antialiasing);

  painter.save();
  // The picture is described in twips; let the painter carry them to device pixels.
  painter.scale(1.0 / kTwipsPerPixel, 1.0 / kTwipsPerPixel);
  for (const Disc& d : picture_.discs) {
    const QColor colour = d.kind == FiberKind::Concrete ? QColor(255, 0, 0) : QColor(0, 0, 0);
    QPen pen(colour);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setBrush(colour);
    painter.drawEllipse(QPointF(d.cx, d.cy), d.radius, d.radius);
  }
  painter.restore();

  // Text keeps the window's font size, so it is placed in pixels, top of the line at the
  // text position.
  painter.setPen(palette().color(QPalette::WindowText));
  painter.setFont(font());
  const QFontMetricsF metrics(font());
  for (const PlacedText* t : {&picture_.title, &picture_.properties}) {
    const QPointF at(t->x / kTwipsPerPixel, t->y / kTwipsPerPixel + metrics.ascent());
    painter.drawText(at, QString::fromStdString(t->text));
  }
}

}  // namespace fiberview
