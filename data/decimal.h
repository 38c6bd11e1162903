// The one decimal-number grammar of the program, shared by the field reader and the count
// boxes: an optional sign, digits with an optional point (at least one digit), and an
// optional exponent after a letter. '.' is the decimal point whatever the locale.
//
// Reading a number is three steps, cheapest first: scanDecimal() checks the grammar and
// gathers the digits in one pass; exactDecimalValue() converts most numbers with a single
// rounding; decimalValue() reads the rest with fast_float, which rounds as std::from_chars
// does. For the numbers the second step takes, it needs fewer instructions than fast_float.
#pragma once

#include <cfloat>
#include <cstdint>
#include <limits>
#include <string_view>

namespace fiberview {

// Which letters may introduce an exponent. Fortran programs write D for a double.
enum class ExponentLetters { E, EorD };

struct DecimalScan {
  bool negative = false;
  std::uint64_t mantissa = 0;        // the significant digits as one integer, when exact
  bool exact = true;                 // whether mantissa holds every significant digit
  int power = 0;                     // value = mantissa * 10^power
  const char* exponentAt = nullptr;  // the exponent letter, if any
  const char* end = nullptr;         // the first byte after the number
  // An exponent letter follows the mantissa but no digits follow it ("12e", "3E+"); the
  // number then ends before the letter.
  bool danglingExponent = false;
};

namespace decimal_detail {

inline constexpr std::size_t kMaxExactDigits = 19;  // fit a 64-bit integer
inline constexpr std::uint64_t kMaxExactMantissa = std::uint64_t{1} << 53;
inline constexpr int kMaxExactPower = 22;  // 1e22 is the largest exact power of ten
inline constexpr double kPowersOfTen[kMaxExactPower + 1] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
// Exact rounding of one operation needs doubles computed as doubles, not in wider registers.
inline constexpr bool kExactArithmetic =
    FLT_EVAL_METHOD == 0 && std::numeric_limits<double>::is_iec559;

inline bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Adds the digits at p to mantissa; returns the first byte after them.
inline const char* takeDigits(const char* p, std::uint64_t& mantissa) {
  std::uint64_t m = mantissa;
  for (unsigned digit; (digit = static_cast<unsigned char>(*p) - unsigned{'0'}) <= 9; ++p) {
    m = m * 10 + digit;
  }
  mantissa = m;
  return p;
}

}  // namespace decimal_detail

// Scans the longest number the grammar allows at p. The text must go on with a byte that
// no number contains, such as a terminating 0. Returns false when no number starts at p.
// Inline, as the reader runs it once for every number in a file.
inline bool scanDecimal(const char* p, DecimalScan& d, ExponentLetters letters) {
  using namespace decimal_detail;
  d = DecimalScan{};
  d.negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  // Digits beyond 19 wrap the mantissa around; the count below marks such numbers inexact.
  std::uint64_t mantissa = 0;
  const char* const digitsStart = p;
  p = takeDigits(p, mantissa);
  std::size_t digits = static_cast<std::size_t>(p - digitsStart);
  int fractionDigits = 0;
  if (*p == '.') {
    const char* const fractionStart = ++p;
    p = takeDigits(p, mantissa);
    fractionDigits = static_cast<int>(p - fractionStart);
    digits += static_cast<std::size_t>(fractionDigits);
  }
  if (digits == 0) return false;
  d.mantissa = mantissa;
  d.exact = digits <= kMaxExactDigits;
  if (!d.exact) {
    // Leading zeros do not count against the mantissa.
    std::size_t leadingZeros = 0;
    for (const char* q = digitsStart; q != p && (*q == '0' || *q == '.'); ++q) {
      if (*q == '0') ++leadingZeros;
    }
    d.exact = digits - leadingZeros <= kMaxExactDigits;
  }
  int exponent = 0;
  const bool letter =
      *p == 'E' || *p == 'e' || (letters == ExponentLetters::EorD && (*p == 'D' || *p == 'd'));
  if (letter) {
    const char* q = p + 1;
    const bool negativeExponent = *q == '-';
    if (*q == '+' || *q == '-') ++q;
    const char* const exponentDigits = q;
    for (; isDigit(*q); ++q) {
      // Only whether the power is small matters here; from_chars reads a large one itself.
      if (exponent < kMaxExactPower * 1000) exponent = exponent * 10 + (*q - '0');
    }
    if (q == exponentDigits) {
      d.danglingExponent = true;
      exponent = 0;
    } else {
      d.exponentAt = p;
      p = q;
      if (negativeExponent) exponent = -exponent;
    }
  }
  d.power = exponent - fractionDigits;
  d.end = p;
  return true;
}

// The value of a scanned number when its digits and its power of ten are both exact
// doubles: then one multiplication or division rounds correctly, as from_chars would.
// Returns false for the other numbers.
inline bool exactDecimalValue(const DecimalScan& d, double& out) {
  using namespace decimal_detail;
  if (!kExactArithmetic || !d.exact || d.mantissa > kMaxExactMantissa ||
      d.power < -kMaxExactPower || d.power > kMaxExactPower) {
    return false;
  }
  const double m = static_cast<double>(d.mantissa);
  const double value = d.power < 0 ? m / kPowersOfTen[-d.power] : m * kPowersOfTen[d.power];
  out = d.negative ? -value : value;
  return true;
}

// The value of the number scanned at `begin` (d.end marks its end), by any route. A number
// closer to zero than any double reads as 0. Returns false, setting outOfRange, for a
// number too large for a double.
bool decimalValue(const char* begin, const DecimalScan& d, double& out, bool& outOfRange);

// Parses a whole token, at most 256 characters, as one number with E or D exponents.
// Returns false for anything else, and for a number too large for a double, setting
// outOfRange.
bool parseDecimal(std::string_view token, double& out, bool& outOfRange);

}  // namespace fiberview
