// How the window's count boxes are read.
#pragma once

#include <cstdint>
#include <string_view>

namespace fiberview {

// The number a text starts with, the way the count boxes are read. Spaces, tabs and line
// feeds are ignored wherever they stand; the number runs to the first character that
// cannot continue it; '.' is the decimal point whatever the locale and an exponent after
// E or e is accepted. A text that does not start with a number gives 0: "12abc" gives 12,
// " 3 6" gives 36, "abc" gives 0. A number beyond the range of a double gives +-infinity.
double leadingNumber(std::string_view text);

// Rounds to the nearest integer, halves to the even neighbour (36.5 gives 36, 37.5 gives
// 38). Returns false, leaving out alone, when the result lies outside -32768 ... 32767.
bool roundToInt16(double value, std::int16_t& out);

}  // namespace fiberview
