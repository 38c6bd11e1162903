#include "plot/ruler_ticks.h"

#include <cmath>

namespace fiberview {

double niceStep(double minStep) {
  if (!(minStep > 0.0) || !std::isfinite(minStep)) return 0.0;
  const double power = std::pow(10.0, std::floor(std::log10(minStep)));
  for (const double m : {1.0, 2.0, 5.0, 10.0}) {
    // log10 may land a hair either side of an exact power of ten; going up to 10 covers both.
    if (m * power >= minStep) return m * power;
  }
  return 10.0 * power;
}

std::vector<double> tickValues(double from, double to, double step, int maxTicks) {
  std::vector<double> ticks;
  if (!(step > 0.0) || !std::isfinite(step) || !std::isfinite(from) || !std::isfinite(to)) {
    return ticks;
  }
  const double first = std::ceil(from / step);
  const double last = std::floor(to / step);
  if (!(last - first < maxTicks)) return ticks;
  // Each tick is k·step rather than a running sum, so no error builds up along the ruler,
  // and is then rounded to the step's decimals, so 3 × 0.1 is 0.3. The count is an int
  // because k + 1 == k for k beyond 2^53.
  const int count = static_cast<int>(last - first) + 1;
  for (int i = 0; i < count; ++i) ticks.push_back(roundToResolution((first + i) * step, step));
  return ticks;
}

double roundToResolution(double value, double resolution) {
  if (!(resolution > 0.0) || !std::isfinite(resolution) || !std::isfinite(value)) {
    return value + 0.0;
  }
  const int exponent = static_cast<int>(std::floor(std::log10(resolution)));
  // Dividing by 10^n rather than multiplying by 10^-n gives the double nearest to the
  // decimal, so 12.3 prints as 12.3.
  const double ten = std::pow(10.0, std::abs(exponent));
  const double rounded =
      exponent < 0 ? std::round(value * ten) / ten : std::round(value / ten) * ten;
  return std::isfinite(rounded) ? rounded + 0.0 : value;
}

}  // namespace fiberview
