#include "plot/number_format.h"

#include <gtest/gtest.h>

#include <string>

namespace fiberview {
namespace {

struct FormatCase {
  const char* name;
  double value;
  const char* expected;
};

std::string caseName(const testing::TestParamInfo<FormatCase>& info) {
  return info.param.name;
}

class NumberText : public testing::TestWithParam<FormatCase> {};

TEST_P(NumberText, WritesShortDecimalForm) {
  SCOPED_TRACE(testing::PrintToString(GetParam().value));
  EXPECT_EQ(numberText(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    NumberFormat, NumberText,
    testing::Values(FormatCase{"IntegerWithoutPoint", 400, " 400"},
                    FormatCase{"Decimals", 12.25, " 12.25"},
                    FormatCase{"NoZeroBeforePoint", 0.5, " .5"},
                    FormatCase{"NegativeNoZeroBeforePoint", -0.5, "-.5"},
                    FormatCase{"NegativeInteger", -3, "-3"}, FormatCase{"Zero", 0, " 0"},
                    FormatCase{"NegativeZero", -0.0, " 0"},
                    FormatCase{"FifteenSignificantDigits", 1.0 / 3.0, " .333333333333333"},
                    FormatCase{"FifteenthDigitRounded", 2.0 / 3.0, " .666666666666667"},
                    FormatCase{"BinaryNoiseHidden", 0.1 + 0.2, " .3"},
                    FormatCase{"LargestPlainInteger", 999999999999999.0, " 999999999999999"},
                    FormatCase{"RoundingUpReachesExponentForm", 999999999999999.9, " 1E+15"},
                    FormatCase{"ExponentFrom1E15", 1e15, " 1E+15"},
                    FormatCase{"NegativeExponentForm", -2.5e20, "-2.5E+20"},
                    FormatCase{"SmallStaysPlain", 0.0001, " .0001"},
                    FormatCase{"SmallerTakesExponent", 1.5e-7, " 1.5E-07"},
                    FormatCase{"ThreeDigitExponent", 1e100, " 1E+100"}),
    caseName);

class ScientificText : public testing::TestWithParam<FormatCase> {};

TEST_P(ScientificText, WritesThreeSignificantDigitsAndSignedExponent) {
  SCOPED_TRACE(testing::PrintToString(GetParam().value));
  EXPECT_EQ(scientificText(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    NumberFormat, ScientificText,
    testing::Values(FormatCase{"Positive", 30000, "3.00E+04"},
                    FormatCase{"NegativeRoundedDown", -1234.5, "-1.23E+03"},
                    FormatCase{"NegativeExponent", 0.00000015, "1.50E-07"},
                    FormatCase{"Zero", 0, "0.00E+00"}, FormatCase{"NegativeZero", -0.0, "0.00E+00"},
                    FormatCase{"One", 1, "1.00E+00"},
                    FormatCase{"BelowHalfRoundsDown", 9.994999, "9.99E+00"},
                    FormatCase{"CarryIntoNextExponent", 9.995, "1.00E+01"},
                    FormatCase{"NegativeCarry", -99.95, "-1.00E+02"},
                    FormatCase{"HalfOnDecimalFormRoundsUp", 1.005, "1.01E+00"},
                    FormatCase{"ThreeDigitExponent", 1e100, "1.00E+100"},
                    FormatCase{"LargestDouble", 1.7976931348623157e308, "1.80E+308"}),
    caseName);

// The explorer's numbers, each form for its purpose.
struct PurposeCase {
  const char* name;
  std::string (*format)(double, double);
  double value;
  double step;  // the tick step or the pixel; unused by exactText and figureText
  const char* expected;
};

std::string exact(double v, double) {
  return exactText(v);
}
std::string figure(double v, double) {
  return figureText(v);
}
std::string read(double v, double) {
  return exportText(v, NumberKind::Read);
}
std::string computed(double v, double) {
  return exportText(v, NumberKind::Computed);
}
std::string relative(double v, double) {
  return exportText(v, NumberKind::RelativeDifference);
}

class PurposeText : public testing::TestWithParam<PurposeCase> {};

TEST_P(PurposeText, KeepsTheDigitsItsPurposeNeeds) {
  const PurposeCase& c = GetParam();
  SCOPED_TRACE(testing::PrintToString(c.value) + " / " + testing::PrintToString(c.step));
  EXPECT_EQ(c.format(c.value, c.step), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    NumberFormat, PurposeText,
    testing::Values(
        PurposeCase{"ExactTellsNeighboursApart", exact, 1234567, 0, "1234567"},
        PurposeCase{"ExactShortestDecimal", exact, 0.1, 0, "0.1"},
        PurposeCase{"ExactKeepsEveryDigit", exact, 1e7 + 0.125, 0, "10000000.125"},
        PurposeCase{"ExactExponentBeyond1E15", exact, 2.5e20, 0, "2.5e+20"},
        PurposeCase{"ExactMinusZero", exact, -0.0, 0, "0"},
        PurposeCase{"FigureDropsArithmeticNoise", figure, 0.1 + 0.2, 0, "0.3"},
        PurposeCase{"ExportReadAsRead", read, 0.1 + 0.2, 0, "0.30000000000000004"},
        PurposeCase{"ExportComputedTo12Digits", computed, 5890.486799999999, 0, "5890.4868"},
        PurposeCase{"ExportComputedNearAWhole", computed, 650.0000000000018, 0, "650"},
        PurposeCase{"ExportComputedSmallKeepsItsDigits", computed, 2.7984452362243946e-15, 0,
                    "2.79844523622e-15"},
        PurposeCase{"ExportRelativeNoiseIsZero", relative, 2.7984452362243946e-15, 0, "0"},
        PurposeCase{"ExportRelativeNegativeNoiseIsZero", relative, -4.9e-13, 0, "0"},
        PurposeCase{"ExportRelativeTo12Digits", relative, -0.04000000000000037, 0, "-0.04"},
        PurposeCase{"ExportRelativeAboveTheNoise", relative, 6e-13, 0, "6e-13"},
        PurposeCase{"TickAtAStepOfTen", tickText, 1234550, 10, "1234550"},
        PurposeCase{"TickFarOutAtAFineStep", tickText, 1234567.125, 0.005, "1234567.125"},
        PurposeCase{"TickKeepsTrailingZerosOfItsStep", tickText, 0.3, 0.1, "0.3"},
        PurposeCase{"TickTwoDecimals", tickText, 1.5, 0.05, "1.50"},
        PurposeCase{"TickMinusZero", tickText, -0.0, 0.5, "0.0"},
        PurposeCase{"TickBeyond1E15", tickText, 1.2e15, 1e12, "1.200e+15"},
        PurposeCase{"CursorToThePixel", resolvedText, 12.3456, 0.08, "12.35"},
        PurposeCase{"CursorCoarsePixel", resolvedText, 12.3456, 3, "12"},
        PurposeCase{"CursorFarOut", resolvedText, 10000001.23456, 0.001, "10000001.235"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NumberFormat, PropertyShowsNumberFormattedTextAsIsAndEmptyAsNothing) {
  EXPECT_EQ(propertyText(Value{30000.0}), "3.00E+04");
  EXPECT_EQ(propertyText(Value{std::string("A-12 x")}), "A-12 x");
  EXPECT_EQ(propertyText(Value{std::string("1.5")}), "1.5");
  EXPECT_EQ(propertyText(Value{}), "");
}

}  // namespace
}  // namespace fiberview
