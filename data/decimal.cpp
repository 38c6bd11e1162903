#include "data/decimal.h"

#include <fast_float/fast_float.h>

#include <cmath>
#include <cstring>
#include <string>

namespace fiberview {

namespace {

constexpr std::size_t kMaxTokenLength = 256;

}  // namespace

bool decimalValue(const char* begin, const DecimalScan& d, double& out, bool& outOfRange) {
  outOfRange = false;
  if (exactDecimalValue(d, out)) return true;

  // fast_float takes no '+' and no Fortran 'D', which is mended in a copy.
  const char* first = begin + (*begin == '+' ? 1 : 0);
  const char* last = d.end;
  char mended[kMaxTokenLength];
  std::string longer;
  if (d.exponentAt != nullptr && (*d.exponentAt == 'D' || *d.exponentAt == 'd')) {
    const auto n = static_cast<std::size_t>(last - first);
    char* const copy = n <= sizeof mended ? mended : (longer.resize(n), longer.data());
    std::memcpy(copy, first, n);
    copy[d.exponentAt - first] = 'e';
    first = copy;
    last = copy + n;
  }
  // Correctly rounded like std::from_chars, with one difference: a number beyond the doubles
  // comes back as an infinity, and one closer to zero than any as a signed zero, not as an
  // error. The grammar allows no "inf", so an infinity is always such a number.
  const auto [ptr, ec] = fast_float::from_chars(first, last, out);
  if (ec != std::errc() || ptr != last) return false;
  if (std::isinf(out)) {
    outOfRange = true;
    return false;
  }
  return true;
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
