// Where the rulers of the section explorer put their ticks, and how finely a coordinate
// under the cursor is worth writing. Values are in the file's length unit.
#pragma once

#include <vector>

namespace fiberview {

// The smallest step of 1, 2 or 5 times a power of ten that is not below `minStep`, so that
// tick labels stay short. 0 when `minStep` is not a finite number above 0.
double niceStep(double minStep);

// The multiples of `step` from `from` to `to`, both included, in ascending order, each the
// double nearest to its decimal (0.3, not 3 × 0.1) and 0 never -0. Empty when `step` is not
// a finite number above 0, when either end is not finite, or when there would be more than
// `maxTicks` of them, so that a wrong step cannot stall a paint.
std::vector<double> tickValues(double from, double to, double step, int maxTicks = 1000);

// `value` rounded to the power of ten at or below `resolution`, the size of one pixel, so
// that no digit claims more than the screen can show. 0.8 keeps one decimal, 3 none and
// 30 rounds to tens. A `resolution` that is not a finite number above 0 leaves `value` as
// it is; the result is never -0.
double roundToResolution(double value, double resolution);

}  // namespace fiberview
