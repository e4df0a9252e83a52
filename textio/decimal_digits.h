#pragma once

// The decimal form of a double: 0.d1d2d3... x 10^exponent.
struct DecimalDigits {
  bool negative = false;  // the value is below zero
  char digits[18] = {};   // significant digits, "1".."9" first, at most 17, no trailing zeros;
                          // "0" for zero; NUL-terminated
  int count = 0;          // number of characters in digits
  int exponent = 0;       // decimal exponent; 0 for zero
};

// The 17 leading significant digits of a finite value, correctly rounded, trailing zeros
// removed; zero of either sign gives digits "0", exponent 0, not negative.
// REQUIRES: value is finite.
DecimalDigits toDecimalDigits(double value);

// Rounds half up on the digit string to at most n significant digits (n >= 1): only the digit
// after the cut decides. A carry out of the first digit gives "1" followed by n zeros and
// raises the exponent by one; *carried (if not null) tells whether that happened.
DecimalDigits roundDigits(const DecimalDigits& value, int n, bool* carried = nullptr);

// The same 17 digits with every position kept, for writers that lay out a fixed number of
// digits: digits[k] is the (k+1)-th significant digit, trailing zeros included, no terminator;
// zero of either sign is seventeen "0", exponent 0, not negative.
struct FullDecimalDigits {
  bool negative = false;
  char digits[17] = {};
  int exponent = 0;
};

// The digits of toDecimalDigits(value) before its trailing zeros are dropped.
// REQUIRES: value is finite.
FullDecimalDigits toFullDecimalDigits(double value);

// roundDigits on the full form, in place: digits n.. become "0" and the first n digits are
// rounded half up by digit n + 1. Returns whether the carry ran out of the first digit (the
// digits are then "1" and zeros, the exponent one higher). REQUIRES: 1 <= n <= 16.
bool roundFullDigits(FullDecimalDigits& d, int n);
