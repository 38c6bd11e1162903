// The window's layout is given in twips (1/1440 inch). At the standard 96 dots per inch a
// logical pixel is 15 twips; Qt scales logical pixels on high-DPI screens.
#pragma once

#include <QRect>

namespace fiberview {

inline constexpr int kTwipsPerPixel = 15;

inline constexpr int twipsToPixels(int twips) {
  return twips / kTwipsPerPixel;
}

inline QRect twipRect(int left, int top, int width, int height) {
  return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

}  // namespace fiberview
