#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "textio/file_channel.h"

// One item of a layout string: nX (skip), Iw (integer), Dw.d (real), Aw (text).
struct LayoutItem {
  enum class Kind { Skip, Integer, Real, Text };
  Kind kind = Kind::Skip;
  int width = 0;     // w of Iw, Dw.d, Aw; n of nX
  int decimals = 0;  // d of Dw.d
};

// A parsed layout string such as "(59X,D11.5)": the flat list of its items, repeat groups
// r(...) expanded. Blanks are ignored and letters may be of either case.
struct LayoutString {
  std::vector<LayoutItem> items;
  bool valid = false;  // false when the text is not a layout string this system knows
};

// Parses "(" item { "," item } ")" with the items nX, Iw, Dw.d, Aw and r(items), groups
// nested. n, w and r are at least 1, d at least 0. Anything else (other letters, a count in
// front of a single item such as 3I4, text after the closing parenthesis, more than 4096 items
// after expansion, groups nested deeper than 16) gives valid = false and no items.
// Parse once and keep the result: const LayoutString layout = parseLayout("(59X,I12)").
LayoutString parseLayout(std::string_view text);

// Where one data item of a fixed-layout read goes: exactly one of the pointers is set.
struct FieldTarget {
  int* integer = nullptr;
  double* real = nullptr;
  char* text = nullptr;  // a text target of textLength characters, no terminator
  int textLength = 0;
};

// One value of a fixed-layout write.
struct FieldValue {
  bool isInteger = false;
  int integer = 0;
  double real = 0.0;
};

// Converts the characters of one record by `layout` into the targets, one per data item in
// order (skip items take none; data items past the last target are not read). A numeric item
// needs a target of its kind (integer or real pointer), a text item a text pointer; a
// mismatch is Error. Returns Ok, Error (a field that does not convert, or an invalid layout:
// that target keeps its value, targets of earlier items stay stored, later items are not
// read) or EndOfFile (a character of code 26 in a numeric field). Missing columns at the end
// of the record read as blanks.
[[nodiscard]] IoStatus convertFixedRecord(std::string_view record, const LayoutString& layout,
                                          std::span<const FieldTarget> targets);

// Reads the next record of the channel and converts it. EndOfFile when no record is left;
// Error from the channel as it comes. An invalid layout gives Error without reading.
[[nodiscard]] IoStatus readFixedRecord(FileChannel& channel, const LayoutString& layout,
                                       std::span<const FieldTarget> targets);

// The characters of one record holding `values` by `layout` (no terminator, no padding).
// nX gives n blanks. Values past the last data item are ignored; the record ends at the first
// data item without a value. A field whose item cannot show its value (an integer value in a
// D field, a real in an I field, any value in an A field) is filled with asterisks.
std::string formatFixedRecord(const LayoutString& layout, std::span<const FieldValue> values);

// Writes one record of `values` by `layout` to the channel; a channel failure stops the run.
void writeFixedRecord(FileChannel& channel, const LayoutString& layout,
                      std::span<const FieldValue> values);

// The text of a real field Dw.d, right-aligned in w columns, e.g. 1.0 in D13.6 gives
// "  .100000D+01": the 17-digit form rounded half up to d significant digits (at most 16,
// later positions "0"), no digit before the point, exponent "D" sign two digits, or sign and
// three digits from 100 upward. Negative zero is written as zero; a text longer than w, and
// NaN or an infinity, give w asterisks. (d = 0 writes no digits; the exponent is then that of
// the value rounded to one digit.)
std::string formatRealField(double value, int width, int decimals);
// The text of an integer field Iw, e.g. -12 in I4 gives " -12"; w asterisks when too long.
std::string formatIntegerField(int value, int width);

// Converts one collected value text: blanks must already be dropped, nothing else is changed.
// Integer: empty gives 0; else an optional sign and at least one digit, from -2147483648 to
// 2147483647.
// Real: empty gives 0.0; else the whole text must be sign? mantissa exponent?, the mantissa
// digits ["." digits] or "." digits, the exponent [EeDd] sign? digits or a bare sign and
// digits ("1.5-3" is 0.0015). "-.5" and "1." are accepted as they stand. When the mantissa has
// no point, its last `impliedDecimals` digits are fraction digits, also when an exponent
// follows (12345E2 with 5 is 12.345); pass 0 for a value with no implied fraction digits.
// The result is the double nearest the decimal value; too small a magnitude gives zero with
// the sign of the text. convertRealText does NOT supply a missing leading "0": a text without
// a mantissa digit ("-", ".", "-E2") is Error here; the fixed-field reader makes "-" into "-0"
// and "." into "0." before it calls this.
// Returns Ok, or Error (no match, out of range, real too large) leaving the target unchanged.
[[nodiscard]] IoStatus convertIntegerText(std::string_view text, int& target);
[[nodiscard]] IoStatus convertRealText(std::string_view text, int impliedDecimals, double& target);
