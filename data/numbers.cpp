#include "data/numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace fiberview {

namespace {
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
}  // namespace

double leadingNumber(std::string_view text) {
  std::string s;
  for (const char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') s.push_back(c);
  }
  std::size_t i = 0;
  const bool negative = i < s.size() && s[i] == '-';
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  const std::size_t mantissaStart = i;
  std::size_t digits = 0;
  while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return 0.0;
  std::size_t end = i;
  // An exponent counts only when digits follow it; "12e" is 12.
  if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && isDigit(s[j])) {
      while (j < s.size() && isDigit(s[j])) ++j;
      end = j;
    }
  }
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(s.data() + mantissaStart, s.data() + end, value);
  (void)ptr;
  if (ec == std::errc::result_out_of_range) {
    value = isTooSmallForDouble(std::string_view(s).substr(mantissaStart, end - mantissaStart))
                ? 0.0
                : std::numeric_limits<double>::infinity();
  }
  return negative ? -value : value;
}

bool isTooSmallForDouble(std::string_view number) {
  // The power of ten of the first significant digit decides.
  long long magnitude = 0;
  bool seenPoint = false;
  bool seenDigit = false;
  std::size_t k = 0;
  if (k < number.size() && (number[k] == '+' || number[k] == '-')) ++k;
  for (; k < number.size() && (isDigit(number[k]) || number[k] == '.'); ++k) {
    if (number[k] == '.') {
      seenPoint = true;
    } else if (!seenDigit && number[k] == '0') {
      if (seenPoint) --magnitude;
    } else if (!seenDigit) {
      seenDigit = true;
      if (seenPoint) --magnitude;
    } else if (!seenPoint) {
      ++magnitude;
    }
  }
  long long exponent = 0;
  if (k < number.size()) {
    ++k;  // the exponent letter
    const bool negativeExponent = k < number.size() && number[k] == '-';
    if (k < number.size() && (number[k] == '+' || number[k] == '-')) ++k;
    for (; k < number.size() && isDigit(number[k]) && exponent < 100000; ++k) {
      exponent = exponent * 10 + (number[k] - '0');
    }
    if (negativeExponent) exponent = -exponent;
  }
  return magnitude + exponent <= 0;
}

bool roundToInt16(double value, std::int16_t& out) {
  // nearbyint follows the default rounding mode, which rounds halves to even.
  const double rounded = std::nearbyint(value);
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) return false;
  out = static_cast<std::int16_t>(rounded);
  return true;
}

}  // namespace fiberview
