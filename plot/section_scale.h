// Fits one section into the drawing area and describes the picture to paint.
//
// Drawing-area coordinates are twips from the top-left corner of its inner area, x to the
// right and y downward. Section coordinates run x to the right and y upward, in the file's
// length unit.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "data/section_store.h"

namespace fiberview {

struct Disc {
  double cx = 0.0;  // twips
  double cy = 0.0;
  double radius = 0.0;
  FiberKind kind = FiberKind::Concrete;  // concrete is red, steel black
  int fiber = 0;                         // 1-based number of the fiber among its kind
};

struct PlacedText {
  std::string text;  // UTF-8
  double x = 0.0;    // twips; the top of the text line sits at y
  double y = 0.0;
};

struct SectionPicture {
  std::vector<Disc> discs;  // in drawing order: every concrete fiber, then every steel fiber
  PlacedText title;
  PlacedText properties;
  std::string widthText;   // width of the bounding box that includes the origin
  std::string heightText;  // its height
  double scale = 0.0;      // twips per section length unit
};

enum class PlotFailure {
  NothingSelected,  // no list entry is selected
  NoSuchSection,    // the store holds no section with that number
  NegativeArea,     // `value` is the area
  NotFinite,        // `value` is the coordinate or area that is infinite or not a number
  TooLarge,         // coordinates or areas beyond what a drawing can measure
};

struct PlotError {
  PlotFailure kind = PlotFailure::NothingSelected;
  int section = 0;
  FiberKind fiberKind = FiberKind::Concrete;
  int fiber = 0;  // 1-based
  double value = 0.0;
};

using PlotResult = std::variant<SectionPicture, PlotError>;

// Scales section `index` (1-based; 0 means nothing is selected) of `store` into an inner
// drawing area of `width` x `height` twips. The origin of the section goes to the centre of
// the area, and the bounding box of the fiber centres, taken together with the origin,
// fills 60 % of the width or the height, whichever is tighter. A disc's area is the
// fiber's area at that scale. The property line is labelled for `shown`, the version
// selected at the moment of drawing, which need not be the version the file was read as.
//
// On a failure nothing of the picture is returned, so a caller keeps what it showed.
PlotResult scaleSection(const SectionStore& store, int index, int width, int height,
                        FileVersion shown);

// The radius of the disc that stands for a fiber of `area`, in the same length unit:
// √area / √3.14, the constant the fiber files use for π. NaN for a negative area.
double discRadius(double area);

// Whether a disc covers the whole of a drawing area of `width` x `height` twips. Painters
// go wrong on discs many times larger than the area, so they fill the area instead.
bool coversArea(const Disc& disc, double width, double height);

// The disc of `picture` under the point (x, y), in the same twips: the topmost one, so
// steel wins over concrete and a later fiber over an earlier one. Points within
// `tolerance` twips of a disc's edge count as on it, so that a tiny disc can be hit.
std::optional<Disc> discAt(const SectionPicture& picture, double x, double y,
                           double tolerance = 0.0);

}  // namespace fiberview
