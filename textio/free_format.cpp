#include "textio/free_format.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "textio/decimal_digits.h"
#include "textio/fixed_field.h"
#include "textio/short_text.h"

namespace {

// Significant digits shown by a free-format real: one or more before the point, 15 after
// the first digit.
constexpr int kRealSignificantDigits = 16;
constexpr int kFractionDigits = kRealSignificantDigits - 1;
// Exponents 1..7 (1 <= |value| < 10^7 on the 17-digit form) take the fixed form.
constexpr int kLargestFixedExponent = 7;

constexpr std::string_view kZeroText = "0.000000000000000E+000";

int copyText(std::string_view from, char* text) {
  copyShort(text, from.data(), static_cast<int>(from.size()));
  return static_cast<int>(from.size());
}

}  // namespace

int writeFreeReal(double value, char* text) {
  if (std::isnan(value)) return copyText("NaN", text);
  if (std::isinf(value)) return copyText(value < 0.0 ? "-Infinity" : "Infinity", text);
  // 0.0 and -0.0  ->  "0.000000000000000E+000"
  if (value == 0.0) return copyText(kZeroText, text);

  FullDecimalDigits d = toFullDecimalDigits(value);
  // The form is chosen on the exponent before rounding, the digits before the point by the
  // exponent after it.
  const int exactExponent = d.exponent;
  roundFullDigits(d, kRealSignificantDigits);
  char* out = text;
  if (d.negative) *out++ = '-';
  if (exactExponent >= 1 && exactExponent <= kLargestFixedExponent) {
    // 1234.5  ->  "1234.500000000000000": the digits, "0" past the sixteenth, with the point
    // after the first d.exponent (1 to 8) of them.
    char digits[32];
    std::memcpy(digits, d.digits, sizeof d.digits);
    std::memset(digits + sizeof d.digits, '0', sizeof digits - sizeof d.digits);
    const int whole = d.exponent;
    assert(whole >= 1 && whole + kFractionDigits <= static_cast<int>(sizeof digits));
    copyShort(out, digits, whole);
    out += whole;
    *out++ = '.';
    copyShort(out, digits + whole, kFractionDigits);
    out += kFractionDigits;
    return static_cast<int>(out - text);
  }
  // 0.00123  ->  "1.230000000000000E-003"
  *out++ = d.digits[0];
  *out++ = '.';
  std::memcpy(out, d.digits + 1, kFractionDigits);
  out += kFractionDigits;
  const int shown = d.exponent - 1;
  const int magnitude = std::abs(shown);
  assert(magnitude <= 999);
  *out++ = 'E';
  *out++ = shown < 0 ? '-' : '+';
  *out++ = static_cast<char>('0' + magnitude / 100);
  *out++ = static_cast<char>('0' + magnitude / 10 % 10);
  *out++ = static_cast<char>('0' + magnitude % 10);
  return static_cast<int>(out - text);
}

std::string formatFreeReal(double value) {
  char text[kMaxFreeRealLength];
  return std::string(text, static_cast<size_t>(writeFreeReal(value, text)));
}

FreeFormatRecord::FreeFormatRecord(FileChannel& channel) : channel_(channel) {}

namespace {

// Right-aligns `length` characters of text in a field of `span` characters.
void putRightAligned(char* field, int span, const char* text, int length) {
  fillShort(field, ' ', span - length);
  copyShort(field + (span - length), text, length);
}

}  // namespace

void FreeFormatRecord::addInteger(int value) {
  ++itemPosition_;
  char text[16];
  const auto result = std::to_chars(text, text + sizeof text, value);
  assert(result.ec == std::errc());
  const int length = static_cast<int>(result.ptr - text);
  char field[kIntegerSpan];
  std::memset(field, ' ', sizeof field);
  std::memcpy(field + kIntegerSpan - length, text, static_cast<size_t>(length));
  addNumber(field + kIntegerSpan, kIntegerFieldWidth);
}

void FreeFormatRecord::addReal(double value) {
  const int position = itemPosition_++;
  char text[kMaxFreeRealLength];
  if (position >= kRememberedPositions) {
    const int length = writeFreeReal(value, text);
    char field[kRealSpan];
    putRightAligned(field, kRealSpan, text, length);
    addNumber(field + kRealSpan, kRealFieldWidth);
    return;
  }
  RememberedReal& remembered = remembered_[position];
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  if (remembered.length == 0 || remembered.bits != bits) {
    remembered.bits = bits;
    remembered.length = writeFreeReal(value, text);
    putRightAligned(remembered.field, kRealSpan, text, remembered.length);
  }
  addNumber(remembered.field + kRealSpan, kRealFieldWidth);
}

// A number stands right-aligned in its field; after another number the field is one column
// wider, which gives the separating blank. It goes to a new line unless the room left is
// strictly larger than its columns, and is never split.
//   first item 1.0     ->  " " + 7 blanks + "1.000000000000000"   (opening blank, 24 columns)
//   -2 after a number  ->  9 blanks + "-2"                          (12 columns)
//   5 after a text     ->  10 blanks + "5"                          (11 columns)
void FreeFormatRecord::addNumber(const char* fieldEnd, int width) {
  const int columns = afterNumber_ ? width + 1 : width;
  afterNumber_ = true;
  // The owed opening blank, the padding and the text: the end of the field.
  const int taken = pendingBlanks_ + columns;
  assert(taken <= width + 2);
  pendingBlanks_ = 0;
  if (room_ <= columns) handOverLine();
  assert(lineLength_ + taken <= kLineCapacity);
  copyShort(line_ + lineLength_, fieldEnd - taken, taken);
  lineLength_ += taken;
  room_ -= columns;
  assert(room_ >= 1);
}

// A text goes in as it stands. When it does not fit in the room left it fills the line to
// the last column and goes on at column 2 of the next line, after a blank:
//   79 characters at the start  ->  " " + 79 characters (80), then a fresh line owing " "
void FreeFormatRecord::addText(const char* characters, int length) {
  assert(length >= 0);
  ++itemPosition_;
  afterNumber_ = false;
  int remaining = length;
  while (remaining > 0) {
    // Invariant: room_ >= 1 and pendingBlanks_ is 1 only on a fresh line.
    assert(room_ >= 1 && pendingBlanks_ <= 1);
    if (room_ > remaining) {
      appendPendingBlanks();
      append(characters, remaining);
      room_ -= remaining;
      return;
    }
    const int taken = room_;
    appendPendingBlanks();
    append(characters, taken);
    characters += taken;
    remaining -= taken;
    handOverLine();
    pendingBlanks_ = 1;
  }
}

void FreeFormatRecord::finishRecord() {
  appendPendingBlanks();
  handOverLine();
  pendingBlanks_ = 1;
  afterNumber_ = false;
  itemPosition_ = 0;
}

void FreeFormatRecord::append(const char* characters, int count) {
  assert(count >= 0 && lineLength_ + count <= kLineCapacity);
  std::memcpy(line_ + lineLength_, characters, static_cast<size_t>(count));
  lineLength_ += count;
}

void FreeFormatRecord::appendPendingBlanks() {
  assert(lineLength_ + pendingBlanks_ <= kLineCapacity);
  fillShort(line_ + lineLength_, ' ', pendingBlanks_);
  lineLength_ += pendingBlanks_;
  pendingBlanks_ = 0;
}

void FreeFormatRecord::handOverLine() {
  writeRecord(channel_, std::string_view(line_, static_cast<size_t>(lineLength_)));
  lineLength_ = 0;
  room_ = kFreeFormatRoom;
}

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Characters that end the text of a value (a line end ends it too).
bool endsValue(char c) { return isBlank(c) || c == ',' || c == '/'; }

// The record being scanned, fetched from the channel one record at a time.
class RecordCursor {
 public:
  explicit RecordCursor(FileChannel& channel) : channel_(channel) {}

  // Fetches the channel's next record: Ok, EndOfFile or Error. A carriage return ends the
  // record's data wherever it stands.
  IoStatus nextRecord() {
    const IoStatus status = readRecord(channel_, record_);
    if (status != IoStatus::Ok) return status;
    cut_ = channel_.recordCut;
    end_ = record_.find('\r');
    if (end_ == std::string::npos) end_ = record_.size();
    position_ = 0;
    return IoStatus::Ok;
  }

  bool atEnd() const { return position_ >= end_; }
  char peek() const { return record_[position_]; }
  void advance() { ++position_; }
  // Whether characters past the end of this record's data were passed over unread.
  bool cut() const { return cut_; }

  void skipBlanks() {
    while (!atEnd() && isBlank(peek())) advance();
  }

  // The text of the value starting here: up to a blank, tab, comma, slash or the line end.
  std::string_view takeValue() {
    const size_t start = position_;
    while (!atEnd() && !endsValue(peek())) advance();
    return std::string_view(record_).substr(start, position_ - start);
  }

 private:
  FileChannel& channel_;
  std::string record_;
  size_t end_ = 0;       // end of the record's data
  size_t position_ = 0;  // next character to scan
  bool cut_ = false;
};

enum class ItemKind { Value, Null, Slash };

struct Item {
  ItemKind kind = ItemKind::Null;
  std::string_view text;  // the value's characters, for ItemKind::Value
};

// Finds the next item: passes over blanks, tabs and line ends, takes a comma that follows a
// value as that value's separator, and gives a null item for any other comma. `afterValue`
// tells whether the last item was a value (or a repeat) whose separator may still follow.
IoStatus findItem(RecordCursor& cursor, bool& afterValue, Item& item) {
  for (;;) {
    cursor.skipBlanks();
    if (cursor.atEnd()) {
      // Characters past a cut were never seen: what comes next is not known.
      if (cursor.cut()) return IoStatus::Error;
      const IoStatus status = cursor.nextRecord();
      if (status != IoStatus::Ok) return status;
      continue;
    }
    const char c = cursor.peek();
    if (c == ',') {
      cursor.advance();
      if (afterValue) {
        afterValue = false;
        continue;
      }
      item.kind = ItemKind::Null;
      return IoStatus::Ok;
    }
    if (c == '/') {
      item.kind = ItemKind::Slash;
      return IoStatus::Ok;
    }
    item.kind = ItemKind::Value;
    item.text = cursor.takeValue();
    // A value that runs into a cut may have lost characters.
    if (cursor.atEnd() && cursor.cut()) return IoStatus::Error;
    afterValue = true;
    return IoStatus::Ok;
  }
}

bool beginsQuotedOrParenthesised(std::string_view text) {
  return !text.empty() && (text[0] == '\'' || text[0] == '"' || text[0] == '(' || text[0] == ')');
}

// Converts `text` into the target by the integer or real rules (no implied fraction digits).
// On failure the target keeps its value.
IoStatus storeValue(const FreeTarget& target, std::string_view text) {
  if (beginsQuotedOrParenthesised(text)) return IoStatus::Error;
  if (target.integer != nullptr) {
    int value = *target.integer;
    if (convertIntegerText(text, value) != IoStatus::Ok) return IoStatus::Error;
    *target.integer = value;
  } else if (target.real != nullptr) {
    double value = *target.real;
    if (convertRealText(text, 0, value) != IoStatus::Ok) return IoStatus::Error;
    *target.real = value;
  }
  return IoStatus::Ok;
}

// Splits "r*v" into its count and value; false when the text is not of that form (no "*", or
// something other than decimal digits before it). A count larger than `limit` comes back as
// limit + 1: a repeat never covers more than the targets left, so a huge count such as
// 99999999999999* simply covers them all. (limit + 1 fits easily: a span of targets holds far
// fewer than SIZE_MAX / 10 elements.)
bool splitRepeat(std::string_view text, size_t limit, size_t& count, std::string_view& value) {
  const size_t star = text.find('*');
  if (star == std::string_view::npos || star == 0) return false;
  size_t n = 0;
  for (size_t i = 0; i < star; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    if (n <= limit) n = n * 10 + static_cast<size_t>(c - '0');
  }
  count = n <= limit ? n : limit + 1;
  value = text.substr(star + 1);
  return true;
}

}  // namespace

// List-directed reading. Items are separated by blanks, tabs and line ends, with at most one
// comma among them; a comma with no value before it is a null value that leaves its target
// alone. "r*v" stands for r copies of v and "r*" for r null values; a slash ends the read with
// the targets not yet reached unchanged. Each call starts at a new record and never looks past
// the record in which its last item ended, so the rest of that record is passed over.
IoStatus readFreeFormat(FileChannel& channel, std::span<const FreeTarget> targets) {
  if (targets.empty()) return IoStatus::Ok;
  RecordCursor cursor(channel);
  if (const IoStatus status = cursor.nextRecord(); status != IoStatus::Ok) return status;

  bool afterValue = false;
  size_t repeatsLeft = 0;  // further targets that take the current repeat
  bool repeatIsNull = false;
  std::string repeatText;  // the v of the current r*v
  for (size_t i = 0; i < targets.size(); ++i) {
    const FreeTarget& target = targets[i];
    if (repeatsLeft > 0) {
      --repeatsLeft;
      if (!repeatIsNull && storeValue(target, repeatText) != IoStatus::Ok) return IoStatus::Error;
      continue;
    }
    Item item;
    if (const IoStatus status = findItem(cursor, afterValue, item); status != IoStatus::Ok) {
      return status;
    }
    if (item.kind == ItemKind::Slash) return IoStatus::Ok;
    if (item.kind == ItemKind::Null) continue;

    size_t count = 0;
    std::string_view value;
    if (!beginsQuotedOrParenthesised(item.text) &&
        splitRepeat(item.text, targets.size() - i, count, value)) {
      // "3*" -> three null values;  "2*7" -> 7 into this target and the next
      if (count == 0) return IoStatus::Error;
      repeatsLeft = count - 1;
      repeatIsNull = value.empty();
      repeatText.assign(value);
      if (repeatIsNull) continue;
    } else {
      value = item.text;
    }
    if (storeValue(target, value) != IoStatus::Ok) return IoStatus::Error;
  }
  return IoStatus::Ok;
}
