// Pictures of widgets for the clipboard and the picture export.
#pragma once

#include <QImage>
#include <QString>
#include <string>

class QPainter;
class QRect;
class QSize;
class QWidget;

namespace fiberview {

// What a copied picture shows: the file's name, the section's number and its title (UTF-8).
QString pictureCaption(const QString& fileName, int number, const std::string& title);

// The size, in the widget's pixels, of a picture of `area` of `widget` with its caption.
QSize pictureSize(const QWidget& widget, const QRect& area);

// Paints `area` of `widget`, children included, as it looks on screen, at the painter's
// origin, and `caption` on a line below it, cut short with an ellipsis when it is wider
// than the area. On an SVG device the drawing stays vector.
void paintPicture(QPainter& painter, QWidget& widget, const QRect& area, const QString& caption);

// `area` of `widget` (in the widget's pixels), children included, as it looks on screen,
// rendered at twice the device pixels: the image's device pixel ratio is twice the widget's.
// Below it, `caption` stands on a line of its own, cut short with an ellipsis when it is
// wider than the area. White where nothing is painted. The image's text "Description" holds
// the caption, so that a paste as PNG keeps it.
QImage doubleResolutionImage(QWidget& widget, const QRect& area, const QString& caption);

// Puts doubleResolutionImage(...) on the clipboard. Nothing is written to a file.
void copyWidgetImage(QWidget& widget, const QRect& area, const QString& caption);

}  // namespace fiberview
