// The two ways the program writes numbers. Both use '.' whatever the locale.
#pragma once

#include <string>

#include "data/section_store.h"

namespace fiberview {

// The short form used for list entries and the width and height read-outs: a leading
// space for a number that is not negative ("-" otherwise), at most 15 significant digits,
// no trailing zeros, integers without a point, and no "0" before the point of a number
// between -1 and 1. 1 gives " 1", 12.25 gives " 12.25", 0.5 gives " .5", -0.5 gives
// "-.5". Magnitudes from 1E+15 up and below 1E-04 take an exponent: " 1E+15", " 1.5E-07".
std::string numberText(double value);

// The "0.00E+00" pattern for section properties: one digit, a point, two decimals, "E",
// the exponent's sign and at least two exponent digits. 30000 gives "3.00E+04", -1234.5
// gives "-1.23E+03", 0 gives "0.00E+00". The mantissa is rounded half away from zero on
// the number's shortest 15-digit decimal form, so 9.995 gives "1.00E+01".
std::string scientificText(double value);

// A property as shown in the drawing: a number in the "0.00E+00" pattern, a text as it
// stands, and nothing for an empty value.
std::string propertyText(const Value& value);

// How section `number` is named in the section list, and above the drawing when the file
// has title lines: its number text, then a space and the title. " 1 COL-A" with titles,
// " 1" without; an empty title gives " 1 ".
std::string sectionListText(int number, const Section& section, bool titled);

}  // namespace fiberview
