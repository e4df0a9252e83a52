#pragma once

#include <span>
#include <string>
#include <string_view>

#include "textio/file_channel.h"

// Columns of one free-format line, not counting the opening blank.
constexpr int kFreeFormatRoom = 79;
constexpr int kIntegerFieldWidth = 11;
constexpr int kRealFieldWidth = 24;

// The text of a real in a free-format record: fixed form "1234.500000000000000" when the
// 17-digit exponent lies in 1..7, else exponent form "5.000000000000000E-001".
std::string formatFreeReal(double value);

// One free-format write statement on a channel (a file channel or the console). Items are
// added in order; lines that are full go to the channel as records; finishRecord hands over
// the last line.
class FreeFormatRecord {
 public:
  explicit FreeFormatRecord(FileChannel& channel);
  void addInteger(int value);
  void addReal(double value);
  void addText(const char* characters, int length);
  void addText(std::string_view text) { addText(text.data(), static_cast<int>(text.size())); }
  void finishRecord();

 private:
  void addNumber(std::string_view text, int width);
  void handOverLine();

  FileChannel& channel_;
  std::string line_;                 // characters of the line being built
  int room_ = kFreeFormatRoom;       // columns still available on the line
  int pendingBlanks_ = 1;            // blanks owed before the next characters
  bool afterNumber_ = false;         // the last item was an integer or a real
  bool freshLine_ = true;            // nothing has been appended to the line yet
};

// Where one free-format value goes: exactly one pointer is set.
struct FreeTarget {
  int* integer = nullptr;
  double* real = nullptr;
};

// Reads values for the targets from the channel's next record onward (list-directed input:
// blanks and line ends pass, commas separate and give null values, a slash ends the read,
// r*v repeats). Returns Ok, EndOfFile when the file ends before a value, or Error.
[[nodiscard]] IoStatus readFreeFormat(FileChannel& channel, std::span<const FreeTarget> targets);
