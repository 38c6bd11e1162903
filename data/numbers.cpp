#include "data/numbers.h"

#include <cmath>
#include <limits>
#include <string>

#include "data/decimal.h"

namespace fiberview {

double leadingNumber(std::string_view text) {
  std::string s;
  for (const char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') s.push_back(c);
  }
  // The scan needs a byte that no number contains after the text; c_str() provides it.
  DecimalScan d;
  if (!scanDecimal(s.c_str(), d, ExponentLetters::E)) return 0.0;
  double value = 0.0;
  bool outOfRange = false;
  if (decimalValue(s.c_str(), d, value, outOfRange)) return value;
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  return d.negative ? -kInfinity : kInfinity;
}

bool roundToInt16(double value, std::int16_t& out) {
  // nearbyint follows the default rounding mode, which rounds halves to even.
  const double rounded = std::nearbyint(value);
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) return false;
  out = static_cast<std::int16_t>(rounded);
  return true;
}

}  // namespace fiberview
