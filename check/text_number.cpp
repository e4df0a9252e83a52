#include "check/text_number.h"

#include <charconv>
#include <system_error>

namespace {

std::string toText(double value, std::chars_format format, int precision) {
  char buffer[400];  // room for any double in fixed form with a few decimals
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
  if (result.ec != std::errc()) return "?";
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string formatGeneral(double value, int digits) {
  return toText(value, std::chars_format::general, digits);
}

std::string formatScientific(double value, int digits) {
  return toText(value, std::chars_format::scientific, digits - 1);
}

std::string formatFixed(double value, int decimals) {
  return toText(value, std::chars_format::fixed, decimals);
}

std::string padLeft(std::string_view text, int width) {
  std::string padded;
  if (static_cast<int>(text.size()) < width) padded.assign(width - text.size(), ' ');
  padded.append(text);
  return padded;
}

std::string padRight(std::string_view text, int width) {
  std::string padded(text);
  if (static_cast<int>(text.size()) < width) padded.append(width - text.size(), ' ');
  return padded;
}
