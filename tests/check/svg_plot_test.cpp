#include "check/svg_plot.h"

#include <gtest/gtest.h>

#include "check/text_number.h"

namespace {

TEST(ChooseTickStep, TakesOneTwoOrFiveTimesAPowerOfTen) {
  struct Case {
    double extent;
    double step;
  };
  const Case cases[] = {{0.0143, 0.005}, {1.0, 0.5},     {4.0, 1.0},      {0.9, 0.5},
                        {10.0, 5.0},     {3.2e13, 1e13}, {7.9e-21, 2e-21}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extent);
    EXPECT_DOUBLE_EQ(c.step, chooseTickStep(c.extent, 4));
  }
}

TEST(TextNumber, WritesDigitsAsAskedAndPads) {
  EXPECT_EQ("1.98892e+30", formatGeneral(1.98892e30, 16));
  EXPECT_EQ("0.05", formatGeneral(0.05, 10));
  EXPECT_EQ("5.6e-15", formatScientific(5.6e-15, 2));
  EXPECT_EQ("-1.0e-02", formatScientific(-0.0099999, 2));
  EXPECT_EQ("11.862", formatFixed(11.86169, 3));
  EXPECT_EQ("   ab", padLeft("ab", 5));
  EXPECT_EQ("ab   ", padRight("ab", 5));
  EXPECT_EQ("abcdef", padLeft("abcdef", 3));
}

}  // namespace
