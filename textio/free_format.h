#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "textio/file_channel.h"

// Columns of one free-format line, not counting the opening blank.
constexpr int kFreeFormatRoom = 79;
constexpr int kIntegerFieldWidth = 11;
constexpr int kRealFieldWidth = 24;

// The text of a real in a free-format record: fixed form "1234.500000000000000" when the
// 17-digit exponent lies in 1..7, else exponent form "5.000000000000000E-001". Zero of either
// sign is "0.000000000000000E+000". A value that is not finite (never written by a valid run)
// gives "NaN", "Infinity" or "-Infinity".
std::string formatFreeReal(double value);

// Room for the longest text formatFreeReal gives: "-", at most seven digits before the point
// (eight are allowed for, should rounding carry seven nines into a new digit), the point and
// fifteen digits.
constexpr int kMaxFreeRealLength = 1 + 8 + 1 + 15;

// Writes the text of formatFreeReal(value) to `text` and returns its length.
// REQUIRES: `text` has room for kMaxFreeRealLength characters.
int writeFreeReal(double value, char* text);

// One free-format write statement on a channel (a file channel or the console). Items are
// added in order; lines that are full go to the channel as records; finishRecord hands over
// the last line and leaves the object ready for a new statement on the same channel.
// A channel failure stops the run inside writeRecord; no item ever fails.
class FreeFormatRecord {
 public:
  explicit FreeFormatRecord(FileChannel& channel);
  void addInteger(int value);
  void addReal(double value);
  // REQUIRES: length >= 0 and `characters` holds at least `length` bytes.
  void addText(const char* characters, int length);
  void addText(std::string_view text) { addText(text.data(), static_cast<int>(text.size())); }
  void finishRecord();

 private:
  // The most characters a number adds to a line: the opening blank, its field and the blank
  // that separates it from a number before it.
  static constexpr int kRealSpan = 1 + kRealFieldWidth + 1;
  static constexpr int kIntegerSpan = 1 + kIntegerFieldWidth + 1;
  // The field of a real written at one item position of a statement: its text right-aligned
  // after blanks, kRealSpan characters.
  struct RememberedReal {
    uint64_t bits = 0;  // the value's bit pattern
    int length = 0;     // characters of the text; 0 while nothing is remembered
    char field[kRealSpan];
  };
  // Item positions whose reals are remembered: a body record holds fifteen reals.
  static constexpr int kRememberedPositions = 16;
  // The opening blank and the full room.
  static constexpr int kLineCapacity = 1 + kFreeFormatRoom;

  // Adds a number whose field of `width` columns ends at `fieldEnd`: its text right-aligned
  // after blanks, with one more blank before for the opening and one for the separator
  // (width + 2 characters in all).
  void addNumber(const char* fieldEnd, int width);
  void append(const char* characters, int count);
  void handOverLine();
  void appendPendingBlanks();

  FileChannel& channel_;
  char line_[kLineCapacity];    // characters of the line being built
  int lineLength_ = 0;          // characters in line_
  int room_ = kFreeFormatRoom;  // columns still available on the line; always >= 1
  int pendingBlanks_ = 1;       // blanks owed before the next characters: 1 only while a
                                // fresh line still owes its opening blank
  bool afterNumber_ = false;    // the last item was an integer or a real
  int itemPosition_ = 0;        // items added since the statement began
  // A table written one statement per row repeats values down its columns (every orbiting
  // body has the same mass and radius). A real whose bits equal those of the last real added
  // at the same item position (by this object, in any statement) reuses that real's text,
  // which depends on nothing but the bits, so it is converted once.
  RememberedReal remembered_[kRememberedPositions];
};

// Where one free-format value goes: exactly one pointer is set.
struct FreeTarget {
  int* integer = nullptr;
  double* real = nullptr;
};

// Reads values for the targets from the channel's next record onward (list-directed input:
// blanks, tabs and line ends pass, commas separate and give null values, a slash ends the read,
// r*v repeats). The rest of the record in which the read ended is passed over: the next read
// starts at the following record. Returns Ok (null values and an early slash included),
// EndOfFile when the file ends before a value, or Error (a value that does not convert, a
// quoted or parenthesised value, a repeat count of 0, a record that cannot be read, or a value
// that runs into the cut end of an over-long record). A target whose value failed, or that got
// a null value, keeps its former value; targets filled before a failure stay filled.
[[nodiscard]] IoStatus readFreeFormat(FileChannel& channel, std::span<const FreeTarget> targets);
