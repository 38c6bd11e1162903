// Points and boxes in a section's plane, in the file's own length unit.
#pragma once

namespace fiberview {

struct Point {
  double x = 0.0;
  double y = 0.0;
};

// An axis-aligned box. Its width or height is infinite when it spans more than a double
// can hold.
struct Extent {
  double xmin = 0.0;
  double xmax = 0.0;
  double ymin = 0.0;
  double ymax = 0.0;

  double width() const { return xmax - xmin; }
  double height() const { return ymax - ymin; }
};

}  // namespace fiberview
