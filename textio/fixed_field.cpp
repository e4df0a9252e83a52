#include "textio/fixed_field.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "textio/decimal_digits.h"
#include "textio/short_text.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Layout strings

// Bounds that keep a malformed layout from exhausting the stack or the memory; the layouts of
// this program are far inside them.
constexpr int kMaxGroupDepth = 16;
constexpr int kMaxLayoutItems = 4096;
constexpr int64_t kMaxLayoutNumber = kMaxRecordLength;

// Recursive-descent parser over a layout text whose blanks are already removed.
class LayoutParser {
 public:
  explicit LayoutParser(std::string_view text) : text_(text) {}

  // layout := "(" list ")" and nothing after it.
  bool parse(std::vector<LayoutItem>& items) {
    if (!accept('(')) return false;
    if (!parseList(items, 1)) return false;
    return accept(')') && pos_ == text_.size();
  }

 private:
  // list := element { "," element }
  bool parseList(std::vector<LayoutItem>& items, int depth) {
    if (!parseElement(items, depth)) return false;
    while (accept(',')) {
      if (!parseElement(items, depth)) return false;
    }
    return true;
  }

  // element := nX | Iw | Dw.d | Aw | r "(" list ")"
  bool parseElement(std::vector<LayoutItem>& items, int depth) {
    int64_t count = 0;
    const bool counted = parseNumber(count);
    if (counted && count < 1) return false;
    if (counted && accept('(')) {
      // 3(D13.6) -> the items of the group, three times over.
      if (depth >= kMaxGroupDepth) return false;
      std::vector<LayoutItem> group;
      if (!parseList(group, depth + 1) || !accept(')')) return false;
      if (group.size() * static_cast<uint64_t>(count) + items.size() > kMaxLayoutItems) {
        return false;
      }
      for (int64_t k = 0; k < count; ++k) items.insert(items.end(), group.begin(), group.end());
      return true;
    }
    if (pos_ == text_.size()) return false;
    const char letter = upper(text_[pos_++]);
    LayoutItem item;
    if (letter == 'X') {
      // 59X: the number before the letter is the width of the skip.
      if (!counted) return false;
      item.kind = LayoutItem::Kind::Skip;
      item.width = static_cast<int>(count);
    } else {
      // A repeat count in front of a single item (3I4) is not a form this program knows.
      if (counted) return false;
      int64_t width = 0;
      if (!parseNumber(width) || width < 1) return false;
      item.width = static_cast<int>(width);
      if (letter == 'I') {
        item.kind = LayoutItem::Kind::Integer;
      } else if (letter == 'A') {
        item.kind = LayoutItem::Kind::Text;
      } else if (letter == 'D') {
        int64_t decimals = 0;
        if (!accept('.') || !parseNumber(decimals)) return false;
        item.kind = LayoutItem::Kind::Real;
        item.decimals = static_cast<int>(decimals);
      } else {
        return false;
      }
    }
    if (items.size() >= kMaxLayoutItems) return false;
    items.push_back(item);
    return true;
  }

  // An unsigned decimal number, at most kMaxLayoutNumber.
  bool parseNumber(int64_t& value) {
    const size_t start = pos_;
    value = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
      value = value * 10 + (text_[pos_] - '0');
      if (value > kMaxLayoutNumber) return false;
      ++pos_;
    }
    return pos_ > start;
  }

  bool accept(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  static char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }

  std::string_view text_;
  size_t pos_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Reading

constexpr char kEndOfFileMark = 26;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The characters of one record and the column the next item starts in (0-based).
struct RecordCursor {
  std::string_view record;
  size_t column = 0;

  size_t remaining() const { return record.size() - column; }
};

// Collects the text of a numeric field of `width` columns: blanks and tabs dropped, ended early
// by the end of the record or by a comma, which is consumed. EndOfFile on a character of
// code 26.
IoStatus collectNumericField(RecordCursor& cursor, int width, std::string& text) {
  text.clear();
  const size_t end =
      cursor.column + std::min<size_t>(static_cast<size_t>(width), cursor.remaining());
  while (cursor.column < end) {
    const char c = cursor.record[cursor.column++];
    if (c == ',') break;
    if (c == kEndOfFileMark) return IoStatus::EndOfFile;
    if (c == ' ' || c == '\t') continue;
    text += c;
  }
  return IoStatus::Ok;
}

// The "0" a real field supplies where its text starts without a digit:
// "-.5" -> "-0.5", ".5" -> "0.5", "-" -> "-0", "+E2" -> "+0E2".
void supplyLeadingZero(std::string& text) {
  if (text.empty()) return;
  if (text[0] == '+' || text[0] == '-') {
    text.insert(1, 1, '0');
  } else if (text[0] == '.') {
    text.insert(0, 1, '0');
  }
}

// Aw into a text target of length L:
//   A4  into L = 12, "init.dat" -> "init        "
//   A12 into L = 12, "init.dat" -> "init.dat    "
//   A14 into L = 12, "init.dat" -> ".dat        " (the first two columns skipped)
void readTextField(RecordCursor& cursor, int width, char* target, int length) {
  const size_t fieldEnd =
      cursor.column + std::min<size_t>(static_cast<size_t>(width), cursor.remaining());
  const size_t skip = width > length ? static_cast<size_t>(width - length) : 0;
  size_t column = cursor.column + skip;
  const int wanted = std::min(width, length);
  for (int k = 0; k < length; ++k) {
    if (k < wanted && column < fieldEnd) {
      target[k] = cursor.record[column++];
    } else {
      target[k] = ' ';
    }
  }
  cursor.column = fieldEnd;
}

// Reads one integer or real field into its target. Error also when the target has no pointer
// of the field's kind.
IoStatus readNumericField(RecordCursor& cursor, const LayoutItem& item, const FieldTarget& target) {
  std::string text;
  const IoStatus collected = collectNumericField(cursor, item.width, text);
  if (collected != IoStatus::Ok) return collected;
  if (item.kind == LayoutItem::Kind::Integer) {
    if (target.integer == nullptr) return IoStatus::Error;
    return convertIntegerText(text, *target.integer);
  }
  if (target.real == nullptr) return IoStatus::Error;
  supplyLeadingZero(text);
  return convertRealText(text, item.decimals, *target.real);
}

// ---------------------------------------------------------------------------------------------
// Real text conversion

// Beyond these decimal magnitudes a double is certainly infinite or zero: the largest double is
// below 10^309, half the smallest subnormal above 10^-325.
constexpr int64_t kOverflowOrder = 310;
constexpr int64_t kUnderflowOrder = -330;
// An exponent of more digits than this is clamped: its effect is already decided.
constexpr int64_t kExponentClamp = 1'000'000'000'000'000;

// The pieces of a real text that matched the syntax.
struct RealSyntax {
  bool negative = false;
  std::string_view integerDigits;   // mantissa digits before the point
  std::string_view fractionDigits;  // mantissa digits after the point
  bool hasPoint = false;
  int64_t exponent = 0;  // written exponent, clamped to +-kExponentClamp
};

// sign? mantissa exponent?, mantissa = digits ["." digits*] | "." digits,
// exponent = [EeDd] sign? digits | sign digits.
bool matchReal(std::string_view text, RealSyntax& syntax) {
  size_t pos = 0;
  auto digitRun = [&]() {
    const size_t start = pos;
    while (pos < text.size() && isDigit(text[pos])) ++pos;
    return text.substr(start, pos - start);
  };
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    syntax.negative = text[pos] == '-';
    ++pos;
  }
  syntax.integerDigits = digitRun();
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    syntax.hasPoint = true;
    syntax.fractionDigits = digitRun();
  }
  if (syntax.integerDigits.empty() && syntax.fractionDigits.empty()) return false;
  if (pos == text.size()) return true;

  const char c = text[pos];
  if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
    ++pos;
  } else if (c != '+' && c != '-') {
    return false;
  }
  bool negativeExponent = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negativeExponent = text[pos] == '-';
    ++pos;
  }
  const std::string_view exponentDigits = digitRun();
  if (exponentDigits.empty() || pos != text.size()) return false;
  int64_t exponent = 0;
  for (const char digit : exponentDigits) {
    exponent = std::min(exponent * 10 + (digit - '0'), kExponentClamp);
  }
  syntax.exponent = negativeExponent ? -exponent : exponent;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Writing
//
// Every field of a record takes exactly its width in characters, whatever it holds, so a
// record's length is known before it is written and each field is written in place.

// Significant digits a real field can show; later positions are written "0".
constexpr int kMaxShownDigits = 16;

// Records up to this long are built on the stack.
constexpr size_t kStackRecordLength = 256;

void putAsterisks(char* out, int width) { fillChars(out, '*', width); }

// Right-aligns `length` characters in `width` columns, or writes asterisks when they do not
// fit. REQUIRES: width >= 0, 0 <= length <= 32.
void putFitted(char* out, int width, const char* text, int length) {
  if (length > width) {
    putAsterisks(out, width);
    return;
  }
  fillChars(out, ' ', width - length);
  copyShort(out + (width - length), text, length);
}

// 42 in I4 -> "  42"; -7 in I4 -> "  -7"; 12345 in I4 -> "****".
void putIntegerField(char* out, int value, int width) {
  char text[16];
  const auto result = std::to_chars(text, text + sizeof text, value);
  putFitted(out, width, text, static_cast<int>(result.ptr - text));
}

// 1.0 in D13.6 -> "  .100000D+01"; -6.67259e-11 -> " -.667259D-10"; 1.0e150 -> "  .100000+151".
// REQUIRES: width >= 0.
void putRealField(char* out, double value, int width, int decimals) {
  if (!std::isfinite(value)) {
    putAsterisks(out, width);
    return;
  }
  const int shown = std::max(decimals, 0);
  FullDecimalDigits rounded = toFullDecimalDigits(value);
  roundFullDigits(rounded, std::clamp(shown, 1, kMaxShownDigits));
  // Sign, point, the digits and four characters of exponent: "D+01" or "+151".
  const int length = (rounded.negative ? 1 : 0) + 1 + shown + 4;
  if (length > width) {
    putAsterisks(out, width);
    return;
  }
  fillChars(out, ' ', width - length);
  char* p = out + (width - length);
  if (rounded.negative) *p++ = '-';
  *p++ = '.';
  // Positions past the seventeenth digit are "0" too.
  const int copied = std::min(shown, static_cast<int>(sizeof rounded.digits));
  copyShort(p, rounded.digits, copied);
  if (shown > copied) fillChars(p + copied, '0', shown - copied);
  p += shown;
  const int exponent = rounded.exponent;
  const int magnitude = exponent < 0 ? -exponent : exponent;
  const char sign = exponent < 0 ? '-' : '+';
  if (magnitude <= 99) {
    // D+01, D-10
    *p++ = 'D';
    *p++ = sign;
    *p++ = static_cast<char>('0' + magnitude / 10);
    *p++ = static_cast<char>('0' + magnitude % 10);
  } else {
    // +151, -100: no letter, three digits (a double's decimal exponent stays below 1000)
    assert(magnitude <= 999);
    *p++ = sign;
    *p++ = static_cast<char>('0' + magnitude / 100);
    *p++ = static_cast<char>('0' + magnitude / 10 % 10);
    *p++ = static_cast<char>('0' + magnitude % 10);
  }
  assert(p == out + width);
}

// The characters a record of `values` by `layout` takes: the widths of its items up to the
// data item that finds no value.
size_t recordLength(const LayoutString& layout, std::span<const FieldValue> values) {
  size_t length = 0;
  size_t next = 0;
  for (const LayoutItem& item : layout.items) {
    if (item.kind != LayoutItem::Kind::Skip) {
      if (next == values.size()) break;
      ++next;
    }
    length += static_cast<size_t>(item.width);
  }
  return length;
}

// Writes the record of `values` by `layout` to `out`, recordLength characters.
void putRecord(char* out, const LayoutString& layout, std::span<const FieldValue> values) {
  size_t next = 0;  // the value of the next data item
  for (const LayoutItem& item : layout.items) {
    if (item.kind == LayoutItem::Kind::Skip) {
      fillChars(out, ' ', item.width);
      out += item.width;
      continue;
    }
    // Fewer values than data items: the record ends with the values.
    if (next == values.size()) break;
    const FieldValue& value = values[next++];
    if (item.kind == LayoutItem::Kind::Integer && value.isInteger) {
      putIntegerField(out, value.integer, item.width);
    } else if (item.kind == LayoutItem::Kind::Real && !value.isInteger) {
      putRealField(out, value.real, item.width, item.decimals);
    } else {
      // A value of the other kind, or a text item on output: the field cannot show it.
      putAsterisks(out, item.width);
    }
    out += item.width;
  }
}

}  // namespace

LayoutString parseLayout(std::string_view text) {
  std::string compact;
  for (const char c : text) {
    if (c != ' ') compact += c;
  }
  LayoutString layout;
  layout.valid = LayoutParser(compact).parse(layout.items);
  if (!layout.valid) layout.items.clear();
  return layout;
}

IoStatus convertIntegerText(std::string_view text, int& target) {
  if (text.empty()) {
    target = 0;
    return IoStatus::Ok;
  }
  size_t pos = 0;
  const bool negative = text[0] == '-';
  if (text[0] == '+' || text[0] == '-') ++pos;
  if (pos == text.size()) return IoStatus::Error;
  // The magnitude is accumulated in 64 bits and checked after every digit, so it never
  // exceeds 2147483648 * 10 + 9.
  constexpr int64_t kLimit = int64_t{1} << 31;  // 2147483648, the magnitude of the lowest int
  int64_t magnitude = 0;
  for (; pos < text.size(); ++pos) {
    if (!isDigit(text[pos])) return IoStatus::Error;
    magnitude = magnitude * 10 + (text[pos] - '0');
    if (magnitude > kLimit) return IoStatus::Error;
  }
  if (!negative && magnitude == kLimit) return IoStatus::Error;
  target = static_cast<int>(negative ? -magnitude : magnitude);
  return IoStatus::Ok;
}

// The value is built as one decimal string, significant digits and exponent, "12345e-3" for
// 12345E2 with five implied fraction digits, and converted once by std::from_chars, which
// gives the nearest double. Leading and trailing zeros are taken off first so that the decimal
// order of the value is known and an absurd exponent never reaches the conversion.
IoStatus convertRealText(std::string_view text, int impliedDecimals, double& target) {
  if (text.empty()) {
    target = 0.0;
    return IoStatus::Ok;
  }
  RealSyntax syntax;
  if (!matchReal(text, syntax)) return IoStatus::Error;

  std::string digits;
  digits.reserve(syntax.integerDigits.size() + syntax.fractionDigits.size() + 24);
  if (syntax.negative) digits += '-';
  const size_t first = digits.size();
  digits.append(syntax.integerDigits);
  digits.append(syntax.fractionDigits);
  const int64_t fractionCount = syntax.hasPoint ? static_cast<int64_t>(syntax.fractionDigits.size())
                                                : std::max(impliedDecimals, 0);
  // value = digits x 10^exponent
  int64_t exponent = syntax.exponent - fractionCount;

  const size_t leading = digits.find_first_not_of('0', first);
  if (leading == std::string::npos) {
    target = syntax.negative ? -0.0 : 0.0;
    return IoStatus::Ok;
  }
  digits.erase(first, leading - first);
  const size_t last = digits.find_last_not_of('0');
  exponent += static_cast<int64_t>(digits.size() - 1 - last);
  digits.erase(last + 1);

  // value = 0.digits x 10^order, so 10^(order-1) <= |value| < 10^order.
  const int64_t order = exponent + static_cast<int64_t>(digits.size() - first);
  if (order > kOverflowOrder) return IoStatus::Error;
  if (order < kUnderflowOrder) {
    target = syntax.negative ? -0.0 : 0.0;
    return IoStatus::Ok;
  }
  digits += 'e';
  char exponentText[24];
  const auto written = std::to_chars(exponentText, exponentText + sizeof exponentText, exponent);
  digits.append(exponentText, written.ptr);

  double value = 0.0;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // from_chars reports both ends; near zero the nearest double is a zero.
    if (order > 0) return IoStatus::Error;
    value = syntax.negative ? -0.0 : 0.0;
  } else if (result.ec != std::errc() || result.ptr != digits.data() + digits.size()) {
    return IoStatus::Error;
  }
  target = value;
  return IoStatus::Ok;
}

IoStatus convertFixedRecord(std::string_view record, const LayoutString& layout,
                            std::span<const FieldTarget> targets) {
  if (!layout.valid) return IoStatus::Error;
  // A carriage return ends the record's data wherever it stands: what follows it reads as
  // blanks, like the columns past the end of a short record.
  record = record.substr(0, record.find('\r'));
  RecordCursor cursor{record, 0};
  size_t next = 0;  // the target of the next data item
  for (const LayoutItem& item : layout.items) {
    if (item.kind == LayoutItem::Kind::Skip) {
      cursor.column += std::min<size_t>(static_cast<size_t>(item.width), cursor.remaining());
      continue;
    }
    // More data items than targets: the read ends with the targets.
    if (next == targets.size()) break;
    const FieldTarget& target = targets[next++];
    if (item.kind == LayoutItem::Kind::Text) {
      if (target.text == nullptr) return IoStatus::Error;
      readTextField(cursor, item.width, target.text, target.textLength);
      continue;
    }
    const IoStatus status = readNumericField(cursor, item, target);
    if (status != IoStatus::Ok) return status;
  }
  return IoStatus::Ok;
}

IoStatus readFixedRecord(FileChannel& channel, const LayoutString& layout,
                         std::span<const FieldTarget> targets) {
  if (!layout.valid) return IoStatus::Error;
  std::string record;
  const IoStatus status = readRecord(channel, record);
  if (status != IoStatus::Ok) return status;
  return convertFixedRecord(record, layout, targets);
}

std::string formatIntegerField(int value, int width) {
  std::string text(static_cast<size_t>(std::max(width, 0)), ' ');
  putIntegerField(text.data(), value, std::max(width, 0));
  return text;
}

std::string formatRealField(double value, int width, int decimals) {
  std::string text(static_cast<size_t>(std::max(width, 0)), ' ');
  putRealField(text.data(), value, std::max(width, 0), decimals);
  return text;
}

std::string formatFixedRecord(const LayoutString& layout, std::span<const FieldValue> values) {
  std::string record(recordLength(layout, values), ' ');
  putRecord(record.data(), layout, values);
  return record;
}

void writeFixedRecord(FileChannel& channel, const LayoutString& layout,
                      std::span<const FieldValue> values) {
  const size_t length = recordLength(layout, values);
  if (length > kStackRecordLength) {
    writeRecord(channel, formatFixedRecord(layout, values));
    return;
  }
  char record[kStackRecordLength];
  putRecord(record, layout, values);
  writeRecord(channel, std::string_view(record, length));
}
