#include "widgets/widget_image.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QWidget>

namespace fiberview {

QImage doubleResolutionImage(QWidget& widget) {
  constexpr qreal kRatio = 2.0;
  QImage image(widget.size() * kRatio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(kRatio);
  // A paste into a document without transparency would show unpainted corners black.
  image.fill(Qt::white);
  widget.render(&image);
  return image;
}

void copyWidgetImage(QWidget& widget) {
  QGuiApplication::clipboard()->setImage(doubleResolutionImage(widget));
}

}  // namespace fiberview
