#include "widgets/widget_image.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QWidget>

namespace fiberview {

QString pictureCaption(const QString& fileName, int number, const std::string& title) {
  return QStringLiteral("%1  第 %2 节  %3")
      .arg(fileName, QString::number(number), QString::fromStdString(title).trimmed())
      .trimmed();
}

namespace {

int captionHeight(const QFontMetrics& metrics) {
  return metrics.height() + metrics.averageCharWidth();
}

}  // namespace

QSize pictureSize(const QWidget& widget, const QRect& area) {
  return {area.width(), area.height() + captionHeight(QFontMetrics(widget.font()))};
}

void paintPicture(QPainter& painter, QWidget& widget, const QRect& area, const QString& caption) {
  const QFontMetrics metrics(widget.font());
  const int margin = metrics.averageCharWidth();
  widget.render(&painter, QPoint(), QRegion(area));
  painter.setFont(widget.font());
  painter.setPen(Qt::black);
  const QRect line(margin, area.height(), area.width() - 2 * margin, captionHeight(metrics));
  painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                   metrics.elidedText(caption, Qt::ElideRight, line.width()));
}

QImage doubleResolutionImage(QWidget& widget, const QRect& area, const QString& caption) {
  const qreal ratio = 2.0 * widget.devicePixelRatioF();
  QImage image((QSizeF(pictureSize(widget, area)) * ratio).toSize(),
               QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  // A paste into a document without transparency would show unpainted corners black.
  image.fill(Qt::white);
  QPainter painter(&image);
  paintPicture(painter, widget, area, caption);
  painter.end();
  image.setText(QStringLiteral("Description"), caption);
  return image;
}

void copyWidgetImage(QWidget& widget, const QRect& area, const QString& caption) {
  QGuiApplication::clipboard()->setImage(doubleResolutionImage(widget, area, caption));
}

}  // namespace fiberview
