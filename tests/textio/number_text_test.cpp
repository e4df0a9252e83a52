// The number texts built in place (full digit form, free-format reals, fixed-layout fields,
// remembered reals of a statement, short copies) against independent references: printf's
// correctly rounded "%.16e" and the string forms of the digit functions.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "textio/decimal_digits.h"
#include "textio/fixed_field.h"
#include "textio/free_format.h"
#include "textio/short_text.h"

namespace {

// 17 significant digits and the exponent of 0.d1d2... x 10^e, from printf.
struct PrintfDigits {
  bool negative = false;
  std::string digits;  // 17 characters
  int exponent = 0;
};

PrintfDigits printfDigits(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.16e", value);
  const char* p = text;
  PrintfDigits d;
  if (*p == '-') {
    d.negative = true;
    ++p;
  }
  d.digits = std::string(1, p[0]) + std::string(p + 2, 16);
  d.exponent = std::atoi(std::strchr(text, 'e') + 1) + 1;
  return d;
}

// Half-up rounding of the 17 digits to n, the carry raising the exponent; positions past n
// become "0".
void roundReference(PrintfDigits& d, int n) {
  const bool up = d.digits[n] >= '5';
  for (size_t k = static_cast<size_t>(n); k < d.digits.size(); ++k) d.digits[k] = '0';
  if (!up) return;
  int i = n - 1;
  while (i >= 0 && d.digits[i] == '9') d.digits[i--] = '0';
  if (i >= 0) {
    ++d.digits[i];
  } else {
    d.digits[0] = '1';
    ++d.exponent;
  }
}

std::string threeDigits(int magnitude) {
  char text[16];
  std::snprintf(text, sizeof text, "%03d", magnitude);
  return text;
}

// formatFreeReal by its rule: 16 digits half up; fixed form when the unrounded exponent is
// 1 to 7, else d.ddddddddddddddd E sign three digits.
std::string freeRealReference(double value) {
  if (value == 0.0) return "0.000000000000000E+000";
  PrintfDigits d = printfDigits(value);
  const int exact = d.exponent;
  roundReference(d, 16);
  const std::string digits = d.digits + std::string(16, '0');
  std::string text = d.negative ? "-" : "";
  if (exact >= 1 && exact <= 7) {
    return text + digits.substr(0, d.exponent) + "." + digits.substr(d.exponent, 15);
  }
  const int shown = d.exponent - 1;
  return text + digits.substr(0, 1) + "." + digits.substr(1, 15) + "E" + (shown < 0 ? "-" : "+") +
         threeDigits(std::abs(shown));
}

// formatRealField by its rule: d digits half up (1 to 16 decide), positions past the 16th
// "0", exponent "D" sign two digits or sign three digits, right-aligned or asterisks.
std::string realFieldReference(double value, int width, int decimals) {
  PrintfDigits d;
  if (value == 0.0) {
    d.digits = std::string(17, '0');
  } else {
    d = printfDigits(value);
  }
  roundReference(d, std::min(std::max(decimals, 1), 16));
  const std::string digits = d.digits + std::string(static_cast<size_t>(decimals), '0');
  const int magnitude = std::abs(d.exponent);
  const char sign = d.exponent < 0 ? '-' : '+';
  std::string exponent = magnitude <= 99
                             ? std::string("D") + sign + threeDigits(magnitude).substr(1)
                             : std::string(1, sign) + threeDigits(magnitude);
  const std::string text =
      (d.negative ? "-" : "") + std::string(".") + digits.substr(0, decimals) + exponent;
  if (static_cast<int>(text.size()) > width) return std::string(width, '*');
  return std::string(width - text.size(), ' ') + text;
}

// Random bit patterns over every magnitude, with values near powers of ten and near the
// rounding halves mixed in.
std::vector<double> sampleDoubles(int count) {
  std::mt19937_64 random(20261212);
  std::vector<double> values;
  for (int k = 0; k < count; ++k) {
    uint64_t bits = random();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value) || value == 0.0) continue;
    values.push_back(value);
  }
  for (int e = -30; e <= 30; ++e) {
    const double power = std::pow(10.0, e);
    for (const double v : {power, std::nextafter(power, 0.0), std::nextafter(power, 1e300),
                           9.9999995 * power, 9.9999999999999995 * power, 1.2345675 * power}) {
      values.push_back(v);
      values.push_back(-v);
    }
  }
  return values;
}

}  // namespace

TEST(FullDecimalDigits, KeepEverySeventeenthDigitAndMatchTheShortForm) {
  for (const double value : sampleDoubles(50000)) {
    SCOPED_TRACE(value);
    const PrintfDigits expected = printfDigits(value);
    const FullDecimalDigits full = toFullDecimalDigits(value);
    ASSERT_EQ(expected.negative, full.negative);
    ASSERT_EQ(expected.digits, std::string(full.digits, sizeof full.digits));
    ASSERT_EQ(expected.exponent, full.exponent);
    const DecimalDigits d = toDecimalDigits(value);
    ASSERT_EQ(expected.digits.substr(0, expected.digits.find_last_not_of('0') + 1),
              std::string(d.digits));
    for (const int n : {1, 6, 15, 16}) {
      FullDecimalDigits rounded = full;
      const bool carried = roundFullDigits(rounded, n);
      bool shortCarried = false;
      const DecimalDigits shortForm = roundDigits(d, n, &shortCarried);
      ASSERT_EQ(shortCarried, carried);
      ASSERT_EQ(shortForm.exponent, rounded.exponent);
      std::string padded = shortForm.digits;
      padded.resize(17, '0');
      ASSERT_EQ(padded, std::string(rounded.digits, sizeof rounded.digits)) << "n " << n;
    }
  }
  const FullDecimalDigits zero = toFullDecimalDigits(-0.0);
  EXPECT_EQ(std::string(17, '0'), std::string(zero.digits, sizeof zero.digits));
  EXPECT_FALSE(zero.negative);
  EXPECT_EQ(0, zero.exponent);
}

TEST(FormatFreeReal, FollowsItsRuleOnRandomDoubles) {
  char text[kMaxFreeRealLength];
  for (const double value : sampleDoubles(50000)) {
    SCOPED_TRACE(value);
    const std::string expected = freeRealReference(value);
    ASSERT_EQ(expected, formatFreeReal(value));
    const int length = writeFreeReal(value, text);
    ASSERT_LE(length, kMaxFreeRealLength);
    ASSERT_EQ(expected, std::string(text, static_cast<size_t>(length)));
  }
  // The longest text of the fixed form: seven digits before the point.
  EXPECT_EQ("-9999999.999999998000000", formatFreeReal(-9999999.999999998));
}

TEST(FormatRealField, FollowsItsRuleOnRandomDoubles) {
  struct Field {
    int width;
    int decimals;
  };
  const Field fields[] = {{13, 6}, {11, 5}, {25, 18}, {8, 1}, {6, 0}, {40, 16}, {40, 17}, {12, 6}};
  for (const double value : sampleDoubles(10000)) {
    for (const Field& f : fields) {
      SCOPED_TRACE(std::to_string(value) + " in D" + std::to_string(f.width) + "." +
                   std::to_string(f.decimals));
      ASSERT_EQ(realFieldReference(value, f.width, f.decimals),
                formatRealField(value, f.width, f.decimals));
    }
  }
}

// One statement object writing many records remembers the real at each item position; what it
// writes must equal what fresh objects write, whatever repeats or changes between records.
TEST(FreeFormatRecord, RememberedRealsWriteWhatFreshRecordsWrite) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<std::vector<double>> rows = {
      {1.0, 0.0, 2.5},
      {1.0, -0.0, 2.5},                // the same text from other bits
      {1.0, 0.0, 2.5000000000000004},  // other bits, the same text
      {1.0, 0.0, 2.500000000000001},   // a change in the last digit
      {nan, 0.0, 2.5},
      {-1.0, 1e-300, 1e300},
      {1.0, 0.0},  // a shorter record
      {1.0, 0.0, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, 8.5, 9.5, 10.5, 11.5, 12.5, 13.5, 14.5, 15.5, 16.5,
       17.5, 18.5},  // past the remembered positions
      {1.0, 0.0, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, 8.5, 9.5, 10.5, 11.5, 12.5, 13.5, 14.5, 15.5, 16.5,
       17.25, 18.5},
  };
  std::string reused;
  std::string fresh;
  FileChannel reusedChannel;
  reusedChannel.capture = &reused;
  FileChannel freshChannel;
  freshChannel.capture = &fresh;
  FreeFormatRecord record(reusedChannel);
  for (int pass = 0; pass < 2; ++pass) {
    for (const std::vector<double>& row : rows) {
      FreeFormatRecord once(freshChannel);
      if (pass == 1) {
        // Items of other kinds shift the positions of the reals.
        record.addInteger(7);
        once.addInteger(7);
        record.addText("x");
        once.addText("x");
      }
      for (const double value : row) {
        record.addReal(value);
        once.addReal(value);
      }
      record.finishRecord();
      once.finishRecord();
    }
  }
  EXPECT_EQ(fresh, reused);
  EXPECT_NE(std::string::npos, reused.find("2.500000000000001"));
}

TEST(ShortText, CopiesAndFillsExactlyTheCharactersAsked) {
  char from[40];
  for (int k = 0; k < 40; ++k) from[k] = static_cast<char>('a' + k % 26);
  for (int n = 0; n <= 32; ++n) {
    SCOPED_TRACE(n);
    char copied[48];
    std::memset(copied, '#', sizeof copied);
    copyShort(copied + 4, from, n);
    char filled[48];
    std::memset(filled, '#', sizeof filled);
    fillShort(filled + 4, ' ', n);
    for (int k = 0; k < 48; ++k) {
      const bool inside = k >= 4 && k < 4 + n;
      ASSERT_EQ(inside ? from[k - 4] : '#', copied[k]) << "at " << k;
      ASSERT_EQ(inside ? ' ' : '#', filled[k]) << "at " << k;
    }
  }
  std::string wide(100, '#');
  fillChars(wide.data() + 1, '0', 98);
  EXPECT_EQ("#" + std::string(98, '0') + "#", wide);
}
