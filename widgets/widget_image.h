// Pictures of widgets for the clipboard.
#pragma once

#include <QImage>
#include <QString>
#include <string>

class QRect;
class QWidget;

namespace fiberview {

// What a copied picture shows: the file's name, the section's number and its title (UTF-8).
QString pictureCaption(const QString& fileName, int number, const std::string& title);

// `area` of `widget` (in the widget's pixels), children included, as it looks on screen,
// rendered at twice the device pixels: the image's device pixel ratio is twice the widget's.
// Below it, `caption` stands on a line of its own, cut short with an ellipsis when it is
// wider than the area. White where nothing is painted. The image's text "Description" holds
// the caption, so that a paste as PNG keeps it.
QImage doubleResolutionImage(QWidget& widget, const QRect& area, const QString& caption);

// Puts doubleResolutionImage(...) on the clipboard. Nothing is written to a file.
void copyWidgetImage(QWidget& widget, const QRect& area, const QString& caption);

}  // namespace fiberview
