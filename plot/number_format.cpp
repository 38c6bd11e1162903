#include "plot/number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <system_error>

#include "plot/ruler_ticks.h"

namespace fiberview {

namespace {

// Rewrites to_chars' exponent ("e+15", "e-07") in upper case with at least two digits.
std::string upperExponent(std::string_view mantissa, int exponent) {
  std::string out(mantissa);
  out += exponent < 0 ? "E-" : "E+";
  const std::string digits = std::to_string(std::abs(exponent));
  if (digits.size() < 2) out += '0';
  out += digits;
  return out;
}

}  // namespace

std::string numberText(double value) {
  if (value == 0.0) return " 0";  // also -0.0, which is no negative number here
  char buf[64];
  const auto [end, ec] =
      std::to_chars(buf, buf + sizeof buf, std::abs(value), std::chars_format::general, 15);
  (void)ec;  // 64 characters always hold a 15-digit general form
  std::string_view text(buf, static_cast<std::size_t>(end - buf));
  std::string body;
  if (const auto e = text.find('e'); e != std::string_view::npos) {
    body = upperExponent(text.substr(0, e), std::atoi(std::string(text.substr(e + 1)).c_str()));
  } else {
    body = text;
  }
  if (body.size() > 1 && body[0] == '0' && body[1] == '.') body.erase(0, 1);
  return (value < 0 ? "-" : " ") + body;
}

std::string scientificText(double value) {
  if (!std::isfinite(value)) return value != value ? "NaN" : (value < 0 ? "-Inf" : "Inf");
  if (value == 0.0) return "0.00E+00";
  // 15 significant digits first, then round that decimal form to three.
  char buf[64];
  const auto [end, ec] =
      std::to_chars(buf, buf + sizeof buf, std::abs(value), std::chars_format::scientific, 14);
  (void)ec;
  const std::string_view text(buf, static_cast<std::size_t>(end - buf));
  const auto e = text.find('e');
  int exponent = std::atoi(std::string(text.substr(e + 1)).c_str());
  // Digits d0 . d1 d2 ... d14
  int d[3] = {text[0] - '0', text[2] - '0', text[3] - '0'};
  if (text[4] >= '5') {
    int i = 2;
    while (i >= 0 && ++d[i] == 10) d[i--] = 0;
    if (i < 0) {
      d[0] = 1;
      ++exponent;
    }
  }
  std::string mantissa;
  if (value < 0) mantissa += '-';
  mantissa += static_cast<char>('0' + d[0]);
  mantissa += '.';
  mantissa += static_cast<char>('0' + d[1]);
  mantissa += static_cast<char>('0' + d[2]);
  return upperExponent(mantissa, exponent);
}

namespace {

std::string nonFinite(double value) {
  return value != value ? "nan" : (value < 0 ? "-inf" : "inf");
}

// `value` with `decimals` digits after the point, or with `digits` significant digits and
// an exponent from 1E+15 up; never "-0".
std::string fixedText(double value, int decimals) {
  char buf[400];
  const bool huge = std::abs(value) >= 1e15;
  const auto [end, ec] =
      huge ? std::to_chars(
                 buf, buf + sizeof buf, value, std::chars_format::scientific,
                 std::max(0, static_cast<int>(std::floor(std::log10(std::abs(value)))) + decimals))
           : std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  if (ec != std::errc()) return std::to_string(value);
  std::string text(buf, end);
  if (text.find_first_not_of("-0.") == std::string::npos) return text.substr(text[0] == '-');
  return text;
}

int decimalsOf(double step) {
  return std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
}

}  // namespace

std::string exactText(double value) {
  if (!std::isfinite(value)) return nonFinite(value);
  if (value == 0.0) return "0";
  char buf[64];
  const double size = std::abs(value);
  const auto format =
      size >= 1e-4 && size < 1e15 ? std::chars_format::fixed : std::chars_format::scientific;
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, format);
  (void)ec;  // the shortest form of a double fits in 64 characters
  return std::string(buf, end);
}

std::string figureText(double value) {
  if (!std::isfinite(value) || value == 0.0) return exactText(value);
  char buf[64];
  const auto [end, ec] =
      std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 11);
  (void)ec;  // 12 digits and an exponent fit in 64 characters
  double rounded = value;
  std::from_chars(buf, end, rounded);
  return exactText(rounded);
}

std::string exportText(double value, NumberKind kind) {
  switch (kind) {
    case NumberKind::Read:
      return exactText(value);
    case NumberKind::RelativeDifference:
      if (std::abs(value) < 5e-13) return "0";
      break;
    case NumberKind::Computed:
      break;
  }
  return figureText(value);
}

std::string tickText(double value, double step) {
  if (!std::isfinite(value)) return nonFinite(value);
  if (!(step > 0.0) || !std::isfinite(step)) return exactText(value);
  const int decimals = decimalsOf(step);
  if (std::abs(value) >= 1e15) {
    // Significant digits down to the step's place.
    return fixedText(value, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
  }
  return fixedText(value, decimals);
}

std::string resolvedText(double value, double pixel) {
  if (!std::isfinite(value)) return nonFinite(value);
  if (!(pixel > 0.0) || !std::isfinite(pixel)) return exactText(value);
  if (std::abs(value) >= 1e15) return tickText(roundToResolution(value, pixel), pixel);
  return fixedText(roundToResolution(value, pixel), decimalsOf(pixel));
}

std::string propertyText(const Value& value) {
  if (const auto* number = std::get_if<double>(&value)) return scientificText(*number);
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  return {};
}

std::string sectionListText(int number, const Section& section, bool titled) {
  std::string text = numberText(number);
  if (titled) text += " " + section.title;
  return text;
}

}  // namespace fiberview
