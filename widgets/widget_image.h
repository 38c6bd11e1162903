// Pictures of widgets for the clipboard.
#pragma once

#include <QImage>

class QWidget;

namespace fiberview {

// `widget` as it looks on screen, children included, rendered at twice the screen
// resolution: an image of twice the widget's size in pixels with a device pixel ratio of 2,
// on white where the widget paints nothing.
QImage doubleResolutionImage(QWidget& widget);

// Puts doubleResolutionImage(widget) on the clipboard. Nothing is written to a file.
void copyWidgetImage(QWidget& widget);

}  // namespace fiberview
