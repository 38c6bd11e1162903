#include "plot/ruler_ticks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace fiberview {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(RulerTicks, StepIsOneTwoOrFiveTimesAPowerOfTen) {
  const struct {
    double minStep, step;
  } cases[] = {{1, 1},       {1.01, 2},    {2, 2},    {2.1, 5}, {4.9, 5}, {5.1, 10}, {1000, 1000},
               {1e-3, 1e-3}, {0.03, 0.05}, {73, 100}, {0, 0},   {-1, 0},  {kInf, 0}, {kNaN, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.minStep);
    EXPECT_DOUBLE_EQ(niceStep(c.minStep), c.step);
  }
}

TEST(RulerTicks, TicksAreTheMultiplesOfTheStepWithinTheRange) {
  const struct {
    const char* name;
    double from, to, step;
    std::vector<double> ticks;
  } cases[] = {
      {"EndsIncluded", -100, 100, 50, {-100, -50, 0, 50, 100}},
      {"EndsBetweenTicks", 12, 61, 20, {20, 40, 60}},
      {"DecimalStepsGiveTheNearestDoubles", 0.25, 0.55, 0.1, {0.3, 0.4, 0.5}},
      {"NoTickInside", 1, 1.5, 2, {}},
      {"ReversedRange", 10, 0, 1, {}},
      {"TooManyTicks", 0, 1e6, 1, {}},
      {"ZeroStep", 0, 1, 0, {}},
      {"InfiniteEnd", 0, kInf, 1, {}},
      {"BeyondExactIntegersStillEnds", 1e300, 1e300, 1, {1e300}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(tickValues(c.from, c.to, c.step), c.ticks);
  }
  // Zero is +0, so its label never reads "-0".
  EXPECT_FALSE(std::signbit(tickValues(-1, 1, 1).at(1)));
}

TEST(RulerTicks, CursorCoordinatesKeepTheDigitsAPixelCanShow) {
  const struct {
    double value, resolution, rounded;
  } cases[] = {{12.345, 0.8, 12.3}, {12.345, 0.05, 12.35}, {12.345, 3, 12},  {1234.5, 30, 1230},
               {-0.04, 0.8, 0},     {7.5, 0, 7.5},         {7.5, kNaN, 7.5}, {1e307, 1e-10, 1e307}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value << " at " << c.resolution);
    const double r = roundToResolution(c.value, c.resolution);
    EXPECT_EQ(r, c.rounded);
    EXPECT_FALSE(std::signbit(r));
  }
}

}  // namespace
}  // namespace fiberview
