#include "data/decimal.h"

#include <charconv>
#include <cstring>
#include <string>

namespace fiberview {

namespace {

constexpr std::size_t kMaxTokenLength = 256;

// For a number that a double cannot hold: true when it is too close to zero, false when it
// is too large. The power of ten of the first significant digit decides.
bool isTooSmallForDouble(std::string_view number) {
  using decimal_detail::isDigit;
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

}  // namespace

bool decimalValue(const char* begin, const DecimalScan& d, double& out, bool& outOfRange) {
  outOfRange = false;
  if (exactDecimalValue(d, out)) return true;

  const std::size_t n = static_cast<std::size_t>(d.end - begin);
  // from_chars takes no '+' and no Fortran 'D'; mend a copy.
  std::string text(begin, n);
  if (d.exponentAt != nullptr) text[static_cast<std::size_t>(d.exponentAt - begin)] = 'e';
  const char* const first = text.data() + (text[0] == '+' ? 1 : 0);
  const auto [ptr, ec] = std::from_chars(first, text.data() + n, out);
  if (ec == std::errc::result_out_of_range) {
    // Closer to zero than any double is zero; only a number too large is refused.
    if (isTooSmallForDouble(std::string_view(begin, n))) {
      out = d.negative ? -0.0 : 0.0;
      return true;
    }
    outOfRange = true;
    return false;
  }
  return ec == std::errc() && ptr == text.data() + n;
}

bool parseDecimal(std::string_view token, double& out, bool& outOfRange) {
  outOfRange = false;
  if (token.size() > kMaxTokenLength) return false;
  // A copy ends in the 0 that the scan needs.
  char text[kMaxTokenLength + 1];
  std::memcpy(text, token.data(), token.size());
  text[token.size()] = '\0';
  DecimalScan d;
  if (!scanDecimal(text, d, ExponentLetters::EorD) || d.end != text + token.size()) return false;
  return decimalValue(text, d, out, outOfRange);
}

}  // namespace fiberview
