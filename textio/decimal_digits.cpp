#include "textio/decimal_digits.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <cstring>

#include "textio/short_text.h"

namespace {

void dropTrailingZeros(DecimalDigits& d) {
  while (d.count > 1 && d.digits[d.count - 1] == '0') --d.count;
  d.digits[d.count] = '\0';
}

// Adds one to the last of the first n digits, carrying to the left through nines. Returns
// true when the carry leaves the first digit: the digits are then "1" followed by zeros.
bool addOneCarrying(char* digits, int n) {
  int i = n - 1;
  // Invariant: digits after i are nines that became zeros.
  while (i >= 0 && digits[i] == '9') {
    digits[i] = '0';
    --i;
  }
  if (i >= 0) {
    ++digits[i];
    return false;
  }
  digits[0] = '1';
  return true;
}

}  // namespace

// std::to_chars in scientific form with 16 digits after the point writes the 17 correctly
// rounded significant digits in one fixed shape, "d.dddddddddddddddde+xx" (two or three
// exponent digits), so the digits and the exponent are taken from fixed places:
//   6.6725899999999997e-11  ->  digits 66725899999999997, exponent -11 + 1 = -10
FullDecimalDigits toFullDecimalDigits(double value) {
  assert(std::isfinite(value));
  FullDecimalDigits d;
  if (value == 0.0) {
    std::memset(d.digits, '0', sizeof d.digits);
    return d;
  }
  d.negative = value < 0.0;
  constexpr int kPoint = 1;
  constexpr int kExponentLetter = kPoint + 16 + 1;
  constexpr int kExponentSign = kExponentLetter + 1;
  char text[32];
  const auto result =
      std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific, 16);
  assert(result.ec == std::errc() && text[kPoint] == '.' && text[kExponentLetter] == 'e');
  d.digits[0] = text[0];
  std::memcpy(d.digits + 1, text + kPoint + 1, 16);
  const char* x = text + kExponentSign + 1;
  int exponent = (x[0] - '0') * 10 + (x[1] - '0');
  if (result.ptr - x == 3) exponent = exponent * 10 + (x[2] - '0');
  // d.ddd x 10^x is 0.dddd x 10^(x+1).
  d.exponent = (text[kExponentSign] == '-' ? -exponent : exponent) + 1;
  return d;
}

DecimalDigits toDecimalDigits(double value) {
  const FullDecimalDigits full = toFullDecimalDigits(value);
  DecimalDigits d;
  d.negative = full.negative;
  d.exponent = full.exponent;
  std::memcpy(d.digits, full.digits, sizeof full.digits);
  d.count = sizeof full.digits;
  dropTrailingZeros(d);
  return d;
}

bool roundFullDigits(FullDecimalDigits& d, int n) {
  assert(n >= 1 && n <= 16);
  const bool up = d.digits[n] >= '5';
  fillShort(d.digits + n, '0', static_cast<int>(sizeof d.digits) - n);
  if (!up || !addOneCarrying(d.digits, n)) return false;
  // 0.99..9 x 10^e rounds to 0.1 x 10^(e+1).
  ++d.exponent;
  return true;
}

DecimalDigits roundDigits(const DecimalDigits& value, int n, bool* carried) {
  assert(n >= 1);
  if (carried != nullptr) *carried = false;
  DecimalDigits d = value;
  if (d.count <= n) return d;
  const bool up = d.digits[n] >= '5';
  d.count = n;
  if (up && addOneCarrying(d.digits, n)) {
    // 0.99..9 x 10^e rounds to 0.1 x 10^(e+1).
    d.count = 1;
    ++d.exponent;
    if (carried != nullptr) *carried = true;
  }
  dropTrailingZeros(d);
  return d;
}
