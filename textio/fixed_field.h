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
// order. Returns Ok, Error (a field that does not convert: that target keeps its value,
// earlier ones stay stored) or EndOfFile (a character of code 26 in a numeric field).
[[nodiscard]] IoStatus convertFixedRecord(std::string_view record, const LayoutString& layout,
                                          std::span<const FieldTarget> targets);

// Reads the next record of the channel and converts it. EndOfFile when no record is left.
[[nodiscard]] IoStatus readFixedRecord(FileChannel& channel, const LayoutString& layout,
                                       std::span<const FieldTarget> targets);

// The characters of one record holding `values` by `layout` (no terminator, no padding).
std::string formatFixedRecord(const LayoutString& layout, std::span<const FieldValue> values);

// Writes one record of `values` by `layout` to the channel; a channel failure stops the run.
void writeFixedRecord(FileChannel& channel, const LayoutString& layout,
                      std::span<const FieldValue> values);

// The text of a real field Dw.d, right-aligned in w columns, e.g. 1.0 in D13.6 gives
// "  .100000D+01".
std::string formatRealField(double value, int width, int decimals);
// The text of an integer field Iw, e.g. -12 in I4 gives " -12".
std::string formatIntegerField(int value, int width);

// Converts one collected field text (blanks already dropped) by the integer and real rules.
// `impliedDecimals` is d of Dw.d (0 for free-format values). Return Ok or Error; on Error
// the target is unchanged.
[[nodiscard]] IoStatus convertIntegerText(std::string_view text, int& target);
[[nodiscard]] IoStatus convertRealText(std::string_view text, int impliedDecimals,
                                       double& target);
