#pragma once

#include <string>
#include <string_view>

// Numbers as text for the checker's summary and picture. Every double goes through
// std::to_chars; NaN and infinities come out as "nan", "inf" and "-inf".

// Shortest form with at most `digits` significant digits, as printf's %g would write it:
// 5.2, 0.05, 1.98892e+30.
std::string formatGeneral(double value, int digits);

// One digit, a point, digits - 1 more digits and an exponent: 5.600e-15.
std::string formatScientific(double value, int digits);

// A fixed number of decimals: 11.862.
std::string formatFixed(double value, int decimals);

// `text` right-aligned (padLeft) or left-aligned (padRight) in `width` columns; longer texts
// are kept whole.
std::string padLeft(std::string_view text, int width);
std::string padRight(std::string_view text, int width);
