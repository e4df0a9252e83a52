#pragma once

// Independent reference readings for the fuzz targets: what a numeric text must convert to,
// worked out the plain way (the C library's strtod on a rewritten text) so that the fuzzers
// compare the program's conversion against it.

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzzoracle {

enum class Outcome { Value, Error };

struct Reading {
  Outcome outcome = Outcome::Error;
  double real = 0.0;
  int integer = 0;
};

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A real text with its blanks already dropped: sign? (digits ["." digits*] | "." digits)
// ([EeDd] sign? digits | sign digits)?. Without a point the last `impliedDecimals` mantissa
// digits are fraction digits. The value is strtod's reading of the same number written as
// "[-]int.frac e[sign]exp", which rounds correctly; an infinite result is an Error.
inline Reading readReal(std::string_view text, int impliedDecimals) {
  Reading reading;
  if (text.empty()) {
    reading.outcome = Outcome::Value;
    reading.real = 0.0;
    return reading;
  }
  size_t pos = 0;
  std::string sign;
  if (text[pos] == '+' || text[pos] == '-') sign = text[pos++];
  const size_t intStart = pos;
  while (pos < text.size() && isDigit(text[pos])) ++pos;
  std::string intDigits(text.substr(intStart, pos - intStart));
  std::string fracDigits;
  bool point = false;
  if (pos < text.size() && text[pos] == '.') {
    point = true;
    const size_t fracStart = ++pos;
    while (pos < text.size() && isDigit(text[pos])) ++pos;
    fracDigits = std::string(text.substr(fracStart, pos - fracStart));
  }
  if (intDigits.empty() && fracDigits.empty()) return reading;
  std::string exponent = "0";
  if (pos < text.size()) {
    const char c = text[pos];
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
      ++pos;
    } else if (c != '+' && c != '-') {
      return reading;
    }
    std::string expSign;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) expSign = text[pos++];
    const size_t expStart = pos;
    while (pos < text.size() && isDigit(text[pos])) ++pos;
    if (pos == expStart || pos != text.size()) return reading;
    exponent = expSign + std::string(text.substr(expStart, pos - expStart));
  }
  if (!point && impliedDecimals > 0) {
    // "15" with 5 implied decimals -> "0.00015"; "12345" -> "0.12345"; "1234567" -> "12.34567"
    const size_t d = static_cast<size_t>(impliedDecimals);
    if (intDigits.size() <= d) {
      fracDigits = std::string(d - intDigits.size(), '0') + intDigits;
      intDigits = "0";
    } else {
      fracDigits = intDigits.substr(intDigits.size() - d);
      intDigits.resize(intDigits.size() - d);
    }
  }
  if (intDigits.empty()) intDigits = "0";
  const std::string plain = sign + intDigits + "." + fracDigits + "e" + exponent;
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(plain.c_str(), &end);
  if (end != plain.c_str() + plain.size()) {
    std::fprintf(stderr, "oracle could not read its own text '%s'\n", plain.c_str());
    std::abort();
  }
  if (std::isinf(value)) return reading;
  reading.outcome = Outcome::Value;
  reading.real = value;
  return reading;
}

// An integer text with its blanks already dropped: empty is 0, else sign? digits in the
// range of a 32-bit int.
inline Reading readInteger(std::string_view text) {
  Reading reading;
  if (text.empty()) {
    reading.outcome = Outcome::Value;
    return reading;
  }
  size_t pos = 0;
  const bool negative = text[0] == '-';
  if (text[0] == '+' || text[0] == '-') ++pos;
  if (pos == text.size()) return reading;
  for (size_t k = pos; k < text.size(); ++k) {
    if (!isDigit(text[k])) return reading;
  }
  while (pos + 1 < text.size() && text[pos] == '0') ++pos;  // leading zeros
  if (text.size() - pos > 10) return reading;
  long long magnitude = std::stoll(std::string(text.substr(pos)));
  const long long value = negative ? -magnitude : magnitude;
  if (value < -2147483648LL || value > 2147483647LL) return reading;
  reading.outcome = Outcome::Value;
  reading.integer = static_cast<int>(value);
  return reading;
}

// What the target is checking, shown when a check fails (e.g. the record being converted).
inline std::string& context() {
  static std::string text;
  return text;
}

// Ends the fuzz run with a message when `condition` fails.
inline void require(bool condition, const char* what) {
  if (!condition) {
    std::string shown;
    for (const char c : context()) {
      char escaped[8];
      const unsigned char u = static_cast<unsigned char>(c);
      if (u >= 32 && u < 127 && u != '\\') {
        shown += c;
      } else {
        std::snprintf(escaped, sizeof escaped, "\\x%02x", u);
        shown += escaped;
      }
    }
    std::fprintf(stderr, "fuzz check failed: %s\nwhile checking: \"%s\"\n", what, shown.c_str());
    std::abort();
  }
}

}  // namespace fuzzoracle
