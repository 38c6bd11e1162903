// The ways the program writes numbers, each named by what it is for. All use '.' whatever
// the locale, and write infinities as "inf" and "-inf" and NaN as "nan".
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

// A value as read, in the section explorer's table, tooltips and summary: the shortest text
// that reads back to the same double, so that 1234567 and 1234568 differ. Plain decimals
// from 1E-04 up to below 1E+15 ("1234567", "0.1", "-2.5"), an exponent beyond ("1e+15",
// "2.5e-07"); 0 and -0 give "0".
std::string exactText(double value);

// A figure computed from the values read, as the explorer's summary shows it: exactText of
// the value rounded to 12 significant digits, which drops the noise of the arithmetic (a
// sum of 0.1s gives "0.3", not "0.30000000000000004") and keeps far more digits than any
// file gives.
std::string figureText(double value);

// What a number in an export stands for, which decides how exportText writes it.
enum class NumberKind {
  Read,                // a value as the file gives it
  Computed,            // a figure computed from the values read
  RelativeDifference,  // a computed (a − b) / |b|
};

// A number as every export writes it, the table's CSV and any output for other programs: a
// value read as exactText, so that it reads back as the same double; a computed figure as
// figureText, to 12 significant digits (650.0000000000018 gives "650"); a relative difference
// likewise, but 0 where it is below 5E-13, that is where the two figures agree to 12
// significant digits and what is left is the arithmetic's noise (2.8e-15 gives "0").
std::string exportText(double value, NumberKind kind);

// A ruler's label for `value`, a multiple of `step`: as many decimals as the step has, so
// that neighbouring labels differ however far from 0 they lie. 1234550 with step 10 gives
// "1234550", 1234567.125 with step 0.005 gives "1234567.125"; 0.3 with step 0.1 gives
// "0.3". Values of 1E+15 and more take an exponent with the step's digits. A `step` that
// is not a finite number above 0 gives exactText.
std::string tickText(double value, double step);

// A coordinate under the cursor, where one pixel spans `pixel` units: rounded to the power
// of ten at or below the pixel and written with that many decimals, so that no digit
// claims more than the screen shows. 12.3456 at a pixel of 0.08 gives "12.35", at 3
// gives "12". A `pixel` that is not a finite number above 0 gives exactText.
std::string resolvedText(double value, double pixel);

// A property as shown in the drawing: a number in the "0.00E+00" pattern, a text as it
// stands, and nothing for an empty value.
std::string propertyText(const Value& value);

// How section `number` is named in the section list, and above the drawing when the file
// has title lines: its number text, then a space and the title. " 1 COL-A" with titles,
// " 1" without; an empty title gives " 1 ".
std::string sectionListText(int number, const Section& section, bool titled);

}  // namespace fiberview
