#include "plot/number_format.h"

#include <gtest/gtest.h>

#include <string>

namespace fiberview {
namespace {

// Each form of number text for its purpose: the drawing's read-outs and property line, the
// explorer's table, figures and rulers, and the exports.
struct FormatCase {
  const char* name;
  std::string (*format)(double, double);
  double value;
  double step;  // the tick step or the pixel; unused by the other forms
  const char* expected;
};

const auto number = [](double v, double) { return numberText(v); };
const auto scientific = [](double v, double) { return scientificText(v); };
const auto exact = [](double v, double) { return exactText(v); };
const auto figure = [](double v, double) { return figureText(v); };
const auto read = [](double v, double) { return exportText(v, NumberKind::Read); };
const auto computed = [](double v, double) { return exportText(v, NumberKind::Computed); };
const auto relative = [](double v, double) {
  return exportText(v, NumberKind::RelativeDifference);
};

const FormatCase kCases[] = {
    {"NumberIntegerWithoutPoint", number, 400, 0, " 400"},
    {"NumberDecimals", number, 12.25, 0, " 12.25"},
    {"NumberNoZeroBeforePoint", number, 0.5, 0, " .5"},
    {"NumberNegativeNoZeroBeforePoint", number, -0.5, 0, "-.5"},
    {"NumberNegativeInteger", number, -3, 0, "-3"},
    {"NumberZero", number, 0, 0, " 0"},
    {"NumberNegativeZero", number, -0.0, 0, " 0"},
    {"NumberFifteenSignificantDigits", number, 1.0 / 3.0, 0, " .333333333333333"},
    {"NumberFifteenthDigitRounded", number, 2.0 / 3.0, 0, " .666666666666667"},
    {"NumberBinaryNoiseHidden", number, 0.1 + 0.2, 0, " .3"},
    {"NumberLargestPlainInteger", number, 999999999999999.0, 0, " 999999999999999"},
    {"NumberRoundingUpReachesExponentForm", number, 999999999999999.9, 0, " 1E+15"},
    {"NumberExponentFrom1E15", number, 1e15, 0, " 1E+15"},
    {"NumberNegativeExponentForm", number, -2.5e20, 0, "-2.5E+20"},
    {"NumberSmallStaysPlain", number, 0.0001, 0, " .0001"},
    {"NumberSmallerTakesExponent", number, 1.5e-7, 0, " 1.5E-07"},
    {"NumberThreeDigitExponent", number, 1e100, 0, " 1E+100"},
    {"ScientificPositive", scientific, 30000, 0, "3.00E+04"},
    {"ScientificNegativeRoundedDown", scientific, -1234.5, 0, "-1.23E+03"},
    {"ScientificNegativeExponent", scientific, 0.00000015, 0, "1.50E-07"},
    {"ScientificZero", scientific, 0, 0, "0.00E+00"},
    {"ScientificNegativeZero", scientific, -0.0, 0, "0.00E+00"},
    {"ScientificOne", scientific, 1, 0, "1.00E+00"},
    {"ScientificBelowHalfRoundsDown", scientific, 9.994999, 0, "9.99E+00"},
    {"ScientificCarryIntoNextExponent", scientific, 9.995, 0, "1.00E+01"},
    {"ScientificNegativeCarry", scientific, -99.95, 0, "-1.00E+02"},
    {"ScientificHalfOnDecimalFormRoundsUp", scientific, 1.005, 0, "1.01E+00"},
    {"ScientificThreeDigitExponent", scientific, 1e100, 0, "1.00E+100"},
    {"ScientificLargestDouble", scientific, 1.7976931348623157e308, 0, "1.80E+308"},
    {"ExactTellsNeighboursApart", exact, 1234567, 0, "1234567"},
    {"ExactShortestDecimal", exact, 0.1, 0, "0.1"},
    {"ExactKeepsEveryDigit", exact, 1e7 + 0.125, 0, "10000000.125"},
    {"ExactExponentBeyond1E15", exact, 2.5e20, 0, "2.5e+20"},
    {"ExactMinusZero", exact, -0.0, 0, "0"},
    {"FigureDropsArithmeticNoise", figure, 0.1 + 0.2, 0, "0.3"},
    {"ExportReadAsRead", read, 0.1 + 0.2, 0, "0.30000000000000004"},
    {"ExportComputedTo12Digits", computed, 5890.486799999999, 0, "5890.4868"},
    {"ExportComputedNearAWhole", computed, 650.0000000000018, 0, "650"},
    {"ExportComputedSmallKeepsItsDigits", computed, 2.7984452362243946e-15, 0, "2.79844523622e-15"},
    {"ExportRelativeNoiseIsZero", relative, 2.7984452362243946e-15, 0, "0"},
    {"ExportRelativeNegativeNoiseIsZero", relative, -4.9e-13, 0, "0"},
    {"ExportRelativeTo12Digits", relative, -0.04000000000000037, 0, "-0.04"},
    {"ExportRelativeAboveTheNoise", relative, 6e-13, 0, "6e-13"},
    {"TickAtAStepOfTen", tickText, 1234550, 10, "1234550"},
    {"TickFarOutAtAFineStep", tickText, 1234567.125, 0.005, "1234567.125"},
    {"TickKeepsTrailingZerosOfItsStep", tickText, 0.3, 0.1, "0.3"},
    {"TickTwoDecimals", tickText, 1.5, 0.05, "1.50"},
    {"TickMinusZero", tickText, -0.0, 0.5, "0.0"},
    {"TickBeyond1E15", tickText, 1.2e15, 1e12, "1.200e+15"},
    {"CursorToThePixel", resolvedText, 12.3456, 0.08, "12.35"},
    {"CursorCoarsePixel", resolvedText, 12.3456, 3, "12"},
    {"CursorFarOut", resolvedText, 10000001.23456, 0.001, "10000001.235"},
};

class NumberText : public testing::TestWithParam<FormatCase> {};

TEST_P(NumberText, KeepsTheDigitsItsPurposeNeeds) {
  const FormatCase& c = GetParam();
  SCOPED_TRACE(testing::PrintToString(c.value) + " / " + testing::PrintToString(c.step));
  EXPECT_EQ(c.format(c.value, c.step), c.expected);
}

INSTANTIATE_TEST_SUITE_P(NumberFormat, NumberText, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NumberFormat, PropertyShowsNumberFormattedTextAsIsAndEmptyAsNothing) {
  EXPECT_EQ(propertyText(Value{30000.0}), "3.00E+04");
  EXPECT_EQ(propertyText(Value{std::string("A-12 x")}), "A-12 x");
  EXPECT_EQ(propertyText(Value{std::string("1.5")}), "1.5");
  EXPECT_EQ(propertyText(Value{}), "");
}

}  // namespace
}  // namespace fiberview
