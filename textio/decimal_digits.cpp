#include "textio/decimal_digits.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

void dropTrailingZeros(DecimalDigits& d) {
  while (d.count > 1 && d.digits[d.count - 1] == '0') --d.count;
  d.digits[d.count] = '\0';
}

}  // namespace

DecimalDigits toDecimalDigits(double value) {
  assert(std::isfinite(value));
  DecimalDigits d;
  if (value == 0.0) {
    d.digits[0] = '0';
    d.count = 1;
    return d;
  }
  d.negative = value < 0.0;
  // 17 significant digits in scientific form: "d.dddddddddddddddde[+-]xx", correctly rounded.
  char text[40];
  const auto result =
      std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific, 16);
  assert(result.ec == std::errc());
  const char* p = text;
  d.digits[d.count++] = *p++;
  ++p;  // the decimal point
  while (*p != 'e') d.digits[d.count++] = *p++;
  ++p;
  int exponent = 0;
  std::from_chars(*p == '+' ? p + 1 : p, result.ptr, exponent);
  // 0.d1d2... x 10^(x+1) is d1.d2... x 10^x.
  d.exponent = exponent + 1;
  dropTrailingZeros(d);
  return d;
}

DecimalDigits roundDigits(const DecimalDigits& value, int n, bool* carried) {
  assert(n >= 1);
  if (carried != nullptr) *carried = false;
  DecimalDigits d = value;
  if (d.count <= n) return d;
  const bool up = d.digits[n] >= '5';
  d.count = n;
  if (up) {
    int i = n - 1;
    // Invariant: digits after i are nines that became zeros.
    while (i >= 0 && d.digits[i] == '9') {
      d.digits[i] = '0';
      --i;
    }
    if (i >= 0) {
      ++d.digits[i];
    } else {
      // 0.99..9 x 10^e rounds to 0.1 x 10^(e+1).
      d.digits[0] = '1';
      d.count = 1;
      ++d.exponent;
      if (carried != nullptr) *carried = true;
    }
  }
  dropTrailingZeros(d);
  return d;
}
