#include "textio/decimal_digits.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

TEST(DecimalDigits, GivesSeventeenDigitsWithoutTrailingZeros) {
  struct Case {
    double value;
    bool negative;
    const char* digits;
    int exponent;
  };
  const Case cases[] = {
      {1.5, false, "15", 1},
      {0.00123, false, "123", -2},
      {149597870691.0, false, "149597870691", 12},
      {0.0, false, "0", 0},
      {-0.0, false, "0", 0},
      {-6.67259e-11, true, "66725899999999997", -10},
      {0.1, false, "10000000000000001", 0},
      {1.0 / 3.0, false, "33333333333333331", 0},
      {1.0e-100, false, "1", -99},
      {4.9406564584124654e-324, false, "49406564584124654", -323},
      {1.7976931348623157e308, false, "17976931348623157", 309},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.digits);
    const DecimalDigits d = toDecimalDigits(c.value);
    EXPECT_EQ(c.negative, d.negative);
    EXPECT_STREQ(c.digits, d.digits);
    EXPECT_EQ(static_cast<int>(std::strlen(c.digits)), d.count);
    EXPECT_EQ(c.exponent, d.exponent);
  }
}

TEST(RoundDigits, RoundsHalfUpOnTheDigitString) {
  struct Case {
    double value;
    int n;
    const char* digits;
    int exponent;
    bool carried;
  };
  const Case cases[] = {
      {0.1234565, 6, "123457", 0, false},   // 17-digit form 12345650000000000
      {0.1234564999, 6, "123456", 0, false},
      {9.9999996, 6, "1", 2, true},        // carries through every nine
      {9.999994, 6, "999999", 1, false},
      {1.5, 6, "15", 1, false},             // fewer digits than n: unchanged
      {0.99999999999999988898, 15, "1", 1, true},  // 1 - 2^-53
      {9999999.99999999999, 16, "1", 8, false},  // reads as 1.0e7 exactly
      {0.0, 16, "0", 0, false},
      {129.96, 4, "13", 3, false},          // trailing zeros after the carry dropped
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    bool carried = !c.carried;
    const DecimalDigits d = roundDigits(toDecimalDigits(c.value), c.n, &carried);
    EXPECT_STREQ(c.digits, d.digits);
    EXPECT_EQ(c.exponent, d.exponent);
    EXPECT_EQ(c.carried, carried);
  }
}

// The same rule computed independently from printf's "%.16e", for random bit patterns over
// every magnitude and both signs.
TEST(RoundDigits, AgreesWithPrintfOnRandomDoubles) {
  std::mt19937_64 random(20261211);
  for (int trial = 0; trial < 200000; ++trial) {
    uint64_t bits = random();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value) || value == 0.0) continue;
    char text[64];
    std::snprintf(text, sizeof text, "%.16e", value);
    // text: [-]d.dddddddddddddddde[+-]xxx
    const char* p = text + (text[0] == '-' ? 1 : 0);
    std::string digits;
    digits += p[0];
    digits.append(p + 2, 16);
    const int exponent = std::atoi(std::strchr(text, 'e') + 1) + 1;
    const int n = 1 + static_cast<int>(trial % 17);
    // Independent half-up rounding of the 17-digit string.
    std::string kept = digits.substr(0, n);
    int roundedExponent = exponent;
    if (digits[n < 17 ? n : 16] >= '5' && n < 17) {
      int i = n - 1;
      while (i >= 0 && kept[i] == '9') kept[i--] = '0';
      if (i < 0) {
        kept = "1" + std::string(n, '0');
        ++roundedExponent;
      } else {
        ++kept[i];
      }
    }
    while (kept.size() > 1 && kept.back() == '0') kept.pop_back();
    SCOPED_TRACE(text);
    const DecimalDigits d = roundDigits(toDecimalDigits(value), n);
    ASSERT_EQ(value < 0.0, d.negative);
    ASSERT_EQ(kept, std::string(d.digits));
    ASSERT_EQ(roundedExponent, d.exponent);
  }
}
