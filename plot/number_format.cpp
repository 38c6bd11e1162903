#include "plot/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

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
