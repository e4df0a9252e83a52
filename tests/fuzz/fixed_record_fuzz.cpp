// Fuzz target: the parameter-file reads over arbitrary bytes.
//
// The input is taken as the bytes of a parameter file. Every record of it is converted by each
// of the three read layouts "(59X,I12)", "(59X,D11.5)" and "(59X,A12)", and the outcome is
// compared with the field worked out independently: the columns 60 onward of the record's data
// (which a carriage return ends), blanks and tabs dropped, a comma ending the field, a
// character of code 26 giving EndOfFile, the text converted by the reference readings of
// fuzz_oracle.h. A failed read must leave its target as it was. Then the thirteen reads of a
// parameter file run through readFixedRecord on a channel over the same bytes and must agree
// with the conversions record by record.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/fuzz_oracle.h"
#include "textio/file_channel.h"
#include "textio/fixed_field.h"

namespace {

using fuzzoracle::Outcome;
using fuzzoracle::require;

constexpr int kLabelColumns = 59;
constexpr int kMaxRecords = 64;
constexpr int kTextLength = 12;

const LayoutString& integerLayout() {
  static const LayoutString layout = parseLayout("(59X,I12)");
  return layout;
}
const LayoutString& realLayout() {
  static const LayoutString layout = parseLayout("(59X,D11.5)");
  return layout;
}
const LayoutString& textLayout() {
  static const LayoutString layout = parseLayout("(59X,A12)");
  return layout;
}

// The raw columns of the field that starts in column 60 and is `width` wide.
std::string_view fieldColumns(std::string_view record, size_t width) {
  const std::string_view data = record.substr(0, record.find('\r'));
  if (data.size() <= kLabelColumns) return {};
  return data.substr(kLabelColumns, width);
}

// The text a numeric field collects, or false when a character of code 26 ends the read.
bool collectField(std::string_view columns, std::string& text) {
  text.clear();
  for (const char c : columns) {
    if (c == ',') break;
    if (c == 26) return false;
    if (c == ' ' || c == '\t') continue;
    text += c;
  }
  return true;
}

struct Converted {
  IoStatus status = IoStatus::Ok;
  int integer = 0;
  double real = 0.0;
  std::string text;
};

constexpr int kIntegerSentinel = -123456789;
constexpr double kRealSentinel = -1.25e-77;

Converted convertInteger(std::string_view record) {
  Converted c;
  c.integer = kIntegerSentinel;
  const FieldTarget target{.integer = &c.integer};
  c.status = convertFixedRecord(record, integerLayout(), std::span(&target, 1));

  std::string text;
  if (!collectField(fieldColumns(record, 12), text)) {
    require(c.status == IoStatus::EndOfFile, "I12: code 26 gives EndOfFile");
    require(c.integer == kIntegerSentinel, "I12: EndOfFile leaves the target");
    return c;
  }
  const fuzzoracle::Reading expected = fuzzoracle::readInteger(text);
  if (expected.outcome == Outcome::Error) {
    require(c.status == IoStatus::Error, "I12: a text that does not convert gives Error");
    require(c.integer == kIntegerSentinel, "I12: Error leaves the target");
  } else {
    require(c.status == IoStatus::Ok, "I12: a valid text gives Ok");
    require(c.integer == expected.integer, "I12: value as the reference reads it");
  }
  return c;
}

Converted convertReal(std::string_view record) {
  Converted c;
  c.real = kRealSentinel;
  const FieldTarget target{.real = &c.real};
  c.status = convertFixedRecord(record, realLayout(), std::span(&target, 1));

  std::string text;
  if (!collectField(fieldColumns(record, 11), text)) {
    require(c.status == IoStatus::EndOfFile, "D11.5: code 26 gives EndOfFile");
    require(std::memcmp(&c.real, &kRealSentinel, sizeof c.real) == 0,
            "D11.5: EndOfFile leaves the target");
    return c;
  }
  // "-.5" -> "-0.5", ".5" -> "0.5", "-" -> "-0"
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.insert(1, "0");
  else if (!text.empty() && text[0] == '.') text.insert(0, "0");
  const fuzzoracle::Reading expected = fuzzoracle::readReal(text, 5);
  if (expected.outcome == Outcome::Error) {
    require(c.status == IoStatus::Error, "D11.5: a text that does not convert gives Error");
    require(std::memcmp(&c.real, &kRealSentinel, sizeof c.real) == 0,
            "D11.5: Error leaves the target");
  } else {
    require(c.status == IoStatus::Ok, "D11.5: a valid text gives Ok");
    require(std::memcmp(&c.real, &expected.real, sizeof c.real) == 0,
            "D11.5: the nearest double, sign of zero included");
  }
  return c;
}

Converted convertText(std::string_view record) {
  Converted c;
  c.text.assign(kTextLength, '\0');
  const FieldTarget target{.text = c.text.data(), .textLength = kTextLength};
  c.status = convertFixedRecord(record, textLayout(), std::span(&target, 1));
  require(c.status == IoStatus::Ok, "A12: a text field always reads");
  std::string expected(fieldColumns(record, kTextLength));
  expected.resize(kTextLength, ' ');
  require(c.text == expected, "A12: columns 60 to 71 as they stand, blanks after the end");
  return c;
}

// The thirteen layouts of the parameter file, in record order.
std::vector<const LayoutString*> parameterLayouts() {
  const LayoutString* i = &integerLayout();
  const LayoutString* d = &realLayout();
  const LayoutString* a = &textLayout();
  return {i, d, d, d, d, d, d, d, d, i, d, a, i};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // Every record by every layout.
  std::vector<std::string> records;
  {
    FileChannel channel;
    channel.source = &bytes;
    std::string record;
    while (records.size() < kMaxRecords) {
      const IoStatus status = readRecord(channel, record);
      if (status == IoStatus::EndOfFile) break;
      require(status == IoStatus::Ok, "a text source always reads");
      require(record.find('\n') == std::string::npos, "a record holds no line feed");
      records.push_back(record);
    }
  }
  std::vector<Converted> asInteger, asReal, asText;
  for (const std::string& record : records) {
    fuzzoracle::context() = record;
    asInteger.push_back(convertInteger(record));
    asReal.push_back(convertReal(record));
    asText.push_back(convertText(record));
  }

  // The thirteen reads of the parameter file, through the channel.
  FileChannel channel;
  channel.source = &bytes;
  const std::vector<const LayoutString*> layouts = parameterLayouts();
  for (size_t k = 0; k < layouts.size(); ++k) {
    int integer = kIntegerSentinel;
    double real = kRealSentinel;
    char text[kTextLength];
    std::memset(text, 0, sizeof text);
    FieldTarget target;
    if (layouts[k] == &integerLayout()) target.integer = &integer;
    if (layouts[k] == &realLayout()) target.real = &real;
    if (layouts[k] == &textLayout()) {
      target.text = text;
      target.textLength = kTextLength;
    }
    fuzzoracle::context() = "record " + std::to_string(k + 1) + " through the channel";
    const IoStatus status = readFixedRecord(channel, *layouts[k], std::span(&target, 1));
    if (k >= records.size()) {
      require(status == IoStatus::EndOfFile, "a read past the last record gives EndOfFile");
      break;
    }
    if (layouts[k] == &integerLayout()) {
      require(status == asInteger[k].status && integer == asInteger[k].integer,
              "readFixedRecord agrees with convertFixedRecord (I12)");
    } else if (layouts[k] == &realLayout()) {
      require(status == asReal[k].status &&
                  std::memcmp(&real, &asReal[k].real, sizeof real) == 0,
              "readFixedRecord agrees with convertFixedRecord (D11.5)");
    } else {
      require(status == asText[k].status && std::string(text, kTextLength) == asText[k].text,
              "readFixedRecord agrees with convertFixedRecord (A12)");
    }
    if (status != IoStatus::Ok) break;
  }
  closeChannel(channel);
  return 0;
}
