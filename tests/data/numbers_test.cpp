#include "data/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace fiberview {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Out of range only through their length: 0.000...1 and 1000...0e-10.
const std::string kLongFraction = "0." + std::string(400, '0') + "1";
const std::string kLongMantissa = "1" + std::string(400, '0') + "e-10";

struct LeadingCase {
  const char* name;
  const char* text;
  double expected;
};

class LeadingNumber : public testing::TestWithParam<LeadingCase> {};

TEST_P(LeadingNumber, ReadsTheNumberTheTextStartsWith) {
  const LeadingCase& c = GetParam();
  SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
  EXPECT_EQ(leadingNumber(c.text), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, LeadingNumber,
    testing::Values(
        LeadingCase{"SpacesInsideIgnored", " 3 6", 36},
        LeadingCase{"TabsAndLineFeedsIgnored", "\t1\n2 ", 12},
        LeadingCase{"StopsAtLetter", "12abc", 12},
        LeadingCase{"TextWithoutNumberGivesZero", "abc", 0}, LeadingCase{"EmptyGivesZero", "", 0},
        LeadingCase{"NoDigitBeforePoint", ".5", 0.5}, LeadingCase{"Negative", "-3", -3},
        LeadingCase{"ExponentThenLetter", "1e2x", 100},
        LeadingCase{"UpperCaseSignedExponent", "2.5E-2", 0.025},
        LeadingCase{"SpacesInsideExponentIgnored", "1 e 3", 1000},
        LeadingCase{"ExponentWithoutDigitsIgnored", "12e", 12},
        LeadingCase{"SignedExponentWithoutDigitsIgnored", "12e+", 12},
        LeadingCase{"SecondPointEndsNumber", "1.2.3", 1.2},
        LeadingCase{"CommaIsNoDecimalPoint", "4,5", 4}, LeadingCase{"LoneSignGivesZero", "-", 0},
        LeadingCase{"LonePointGivesZero", ".", 0}, LeadingCase{"HugeGivesInfinity", "1e400", kInf},
        LeadingCase{"LongFractionUnderflowsToZero", kLongFraction.c_str(), 0},
        LeadingCase{"LongMantissaOverflows", kLongMantissa.c_str(), kInf}),
    [](const testing::TestParamInfo<LeadingCase>& info) { return info.param.name; });

struct RoundCase {
  const char* name;
  double value;
  bool fits;
  std::int16_t expected;  // the untouched marker 99 when it does not fit
};

class RoundToInt16 : public testing::TestWithParam<RoundCase> {};

TEST_P(RoundToInt16, RoundsHalvesToEvenWithinRange) {
  const RoundCase& c = GetParam();
  SCOPED_TRACE(c.value);
  std::int16_t out = 99;
  EXPECT_EQ(roundToInt16(c.value, out), c.fits);
  EXPECT_EQ(out, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, RoundToInt16,
    testing::Values(RoundCase{"HalfDownToEven", 36.5, true, 36},
                    RoundCase{"HalfUpToEven", 37.5, true, 38},
                    RoundCase{"NegativeHalfToEven", -2.5, true, -2},
                    RoundCase{"LargestFits", 32767.4, true, 32767},
                    RoundCase{"HalfAboveLargestOverflows", 32767.5, false, 99},
                    RoundCase{"SmallestFits", -32768, true, -32768},
                    RoundCase{"HalfBelowSmallestRoundsToEvenSmallest", -32768.5, true, -32768},
                    RoundCase{"BelowSmallestOverflows", -32768.6, false, 99},
                    RoundCase{"InfinityOverflows", kInf, false, 99},
                    RoundCase{"NotANumberFails", std::nan(""), false, 99}),
    [](const testing::TestParamInfo<RoundCase>& info) { return info.param.name; });

}  // namespace
}  // namespace fiberview
