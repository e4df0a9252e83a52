#include "textio/free_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// Lets failures name the status instead of showing its bytes.
void PrintTo(IoStatus status, std::ostream* out) {
  switch (status) {
    case IoStatus::Ok:
      *out << "Ok";
      break;
    case IoStatus::EndOfFile:
      *out << "EndOfFile";
      break;
    case IoStatus::Error:
      *out << "Error";
      break;
  }
}

namespace {

// Expected text written with "·" for each blank, as the layouts are easiest to read that way.
std::string blanksFromDots(std::string_view dotted) {
  const std::string_view dot = "·";
  std::string text;
  for (size_t i = 0; i < dotted.size();) {
    if (dotted.substr(i, dot.size()) == dot) {
      text += ' ';
      i += dot.size();
    } else {
      text += dotted[i++];
    }
  }
  return text;
}

// The records a channel receives for these lines: each line ended by CR LF.
std::string records(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::string dottedRecords(const std::vector<std::string_view>& dottedLines) {
  std::string text;
  for (std::string_view line : dottedLines) text += blanksFromDots(line) + "\r\n";
  return text;
}

// One item of a write statement.
struct Item {
  enum class Kind { Integer, Real, Text };
  Kind kind = Kind::Text;
  int integer = 0;
  double real = 0.0;
  std::string text;
};

Item integerItem(int value) { return {Item::Kind::Integer, value, 0.0, {}}; }
Item realItem(double value) { return {Item::Kind::Real, 0, value, {}}; }
Item textItem(std::string text) { return {Item::Kind::Text, 0, 0.0, std::move(text)}; }

// The records one statement of these items writes to a file channel.
std::string writeStatement(const std::vector<Item>& items) {
  std::string captured;
  FileChannel channel;
  channel.number = 5;
  channel.capture = &captured;
  FreeFormatRecord record(channel);
  for (const Item& item : items) {
    switch (item.kind) {
      case Item::Kind::Integer:
        record.addInteger(item.integer);
        break;
      case Item::Kind::Real:
        record.addReal(item.real);
        break;
      case Item::Kind::Text:
        record.addText(item.text.data(), static_cast<int>(item.text.size()));
        break;
    }
  }
  record.finishRecord();
  return captured;
}

std::string blanks(int n) { return std::string(static_cast<size_t>(n), ' '); }

// `text` right-aligned in `width` columns.
std::string field(const std::string& text, int width) {
  return blanks(width - static_cast<int>(text.size())) + text;
}

}  // namespace

TEST(FormatFreeReal, ChoosesFixedOrExponentFormByTheSeventeenDigitExponent) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {3.141592653589793, "3.141592653589793"},
      {1234567.123456789, "1234567.123456789000000"},
      {365.25636042, "365.256360420000000"},
      {12345678.0, "1.234567800000000E+007"},
      {0.001234, "1.234000000000000E-003"},
      {0.5, "5.000000000000000E-001"},
      {-6.67259e-11, "-6.672590000000000E-011"},
      {2.0 / 3.0, "6.666666666666666E-001"},
      {1.0, "1.000000000000000"},
      {-1.5, "-1.500000000000000"},
      {1234.5, "1234.500000000000000"},
      {10000000.0, "1.000000000000000E+007"},
      {9999999.5, "9999999.500000000000000"},
      {-9999999.5, "-9999999.500000000000000"},
      {0.0, "0.000000000000000E+000"},
      {-0.0, "0.000000000000000E+000"},
      // Half up on the 17 digits 12613670881738115, though the exact value lies below the half.
      {1.2613670881738115, "1.261367088173812"},
      // Largest double below 10^7 keeps exponent 7 and its seven digits before the point.
      {9999999.999999998, "9999999.999999998000000"},
      {1.0e-100, "1.000000000000000E-100"},
      {1.7976931348623157e308, "1.797693134862316E+308"},
      {-4.9406564584124654e-324, "-4.940656458412465E-324"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.text, formatFreeReal(c.value));
  }
}

TEST(FormatFreeReal, NamesValuesThatAreNotFinite) {
  const double infinity = std::numeric_limits<double>::infinity();
  EXPECT_EQ("NaN", formatFreeReal(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ("NaN", formatFreeReal(-std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ("Infinity", formatFreeReal(infinity));
  EXPECT_EQ("-Infinity", formatFreeReal(-infinity));
}

TEST(FreeFormatRecord, LaysOutWorkedExamples) {
  struct Case {
    const char* name;
    std::vector<Item> items;
    std::vector<std::string_view> lines;
    std::vector<size_t> lengths;
  };
  const Case cases[] = {
      {"three reals",
       {realItem(1.0), realItem(-1.5), realItem(0.0)},
       {"········1.000000000000000·······-1.500000000000000···0.000000000000000E+000"},
       {75}},
      {"three integers",
       {integerItem(1), integerItem(-2), integerItem(3)},
       {"···········1··········-2···········3"},
       {36}},
      {"text then real",
       {textItem("Distance between bodies 2 and 3"), realItem(1234.5)},
       {"·Distance·between·bodies·2·and·3····1234.500000000000000"},
       {56}},
      {"text then real 1.0",
       {textItem("Initial period in sideral years = "), realItem(1.0)},
       {"·Initial·period·in·sideral·years·=········1.000000000000000"},
       {59}},
      {"closest pair",
       {textItem("Minimal distance between bodies "), integerItem(2), textItem(" and "),
        integerItem(3), textItem(" "), realItem(0.00123)},
       {"·Minimal·distance·between·bodies···········2·and···········3·",
        "··1.230000000000000E-003"},
       {61, 24}},
      {"real, blank, name, integer",
       {realItem(0.5), textItem(" "), textItem("init.dat    "), integerItem(7)},
       {"···5.000000000000000E-001·init.dat··············7"},
       {49}},
      {"five reals",
       {realItem(0.5), realItem(1.0), realItem(2.0), realItem(3.0), realItem(4.0)},
       {"···5.000000000000000E-001········1.000000000000000········2.000000000000000",
        "········3.000000000000000········4.000000000000000"},
       {75, 50}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.lines.size(), c.lengths.size());
    for (size_t i = 0; i < c.lines.size(); ++i) {
      EXPECT_EQ(c.lengths[i], blanksFromDots(c.lines[i]).size()) << "line " << i + 1;
    }
    EXPECT_EQ(dottedRecords(c.lines), writeStatement(c.items));
  }
}

TEST(FreeFormatRecord, LaysOutEdgesOfRoomAndSeparators) {
  const std::string text55(55, 't');
  const std::string text79(79, 'u');
  const std::string text200 = std::string(79, 'a') + std::string(79, 'b') + std::string(42, 'c');
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    std::vector<Item> items;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"no items: one blank", {}, {" "}},
      {"a number first fills columns 2 to W + 1", {integerItem(5)}, {blanks(11) + "5"}},
      // Room 24 is not strictly greater than the 24 columns of the real.
      {"real after a 55-character text opens a new line",
       {textItem(text55), realItem(1.0)},
       {" " + text55, field("1.000000000000000", 24)}},
      {"integer after a text takes 11 columns",
       {textItem("AB"), integerItem(5)},
       {" AB" + blanks(10) + "5"}},
      {"integer after a number takes 12 columns",
       {integerItem(1), integerItem(5)},
       {blanks(11) + "1" + blanks(11) + "5"}},
      {"an empty text still ends the run of numbers",
       {integerItem(1), textItem(""), integerItem(5)},
       {blanks(11) + "1" + blanks(10) + "5"}},
      {"an empty text at the start keeps the opening blank", {textItem(""), textItem("x")}, {" x"}},
      {"a 79-character text fills its line and leaves a blank line",
       {textItem(text79)},
       {" " + text79, " "}},
      {"a number after a text that filled its line starts the next line",
       {textItem(text79), integerItem(5)},
       {" " + text79, blanks(11) + "5"}},
      {"a long text splits where each line is full",
       {textItem(text200)},
       {" " + std::string(79, 'a'), " " + std::string(79, 'b'), " " + std::string(42, 'c')}},
      // After 1.0 the room is 55: the text fills it, and the line holds 80 characters.
      {"a text after a number splits at the end of the room",
       {realItem(1.0), textItem(std::string(60, 'v'))},
       {field("1.000000000000000", 25) + std::string(55, 'v'), " " + std::string(5, 'v')}},
      {"a text of 78 characters fits",
       {textItem(std::string(78, 'w'))},
       {" " + std::string(78, 'w')}},
      {"values that are not finite stand right-aligned",
       {realItem(nan), realItem(infinity), realItem(-infinity)},
       {field("NaN", 25) + field("Infinity", 25) + field("-Infinity", 25)}},
      {"the extreme integers",
       {integerItem(std::numeric_limits<int>::min()), integerItem(std::numeric_limits<int>::max()),
        integerItem(0)},
       {" -2147483648  2147483647" + blanks(11) + "0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(records(c.lines), writeStatement(c.items));
  }
}

// 17 reals, 3 integers, 3 reals, 1 integer: a real takes 24 columns first and 25 after a
// number, an integer after a number 12; a line takes items while the room left is larger.
TEST(FreeFormatRecord, BreaksHeaderShapedRecordIntoEightLines) {
  std::vector<Item> items;
  std::vector<std::string> reals;
  for (int i = 1; i <= 17; ++i) {
    items.push_back(realItem(i));
    reals.push_back(field(formatFreeReal(i), 25));
  }
  for (int i = 18; i <= 20; ++i) items.push_back(integerItem(i));
  for (int i = 21; i <= 23; ++i) {
    items.push_back(realItem(i));
    reals.push_back(field(formatFreeReal(i), 25));
  }
  items.push_back(integerItem(24));
  const std::string first = " " + field("1.000000000000000", 24);
  const std::vector<std::string> lines = {
      first + reals[1] + reals[2],
      reals[3] + reals[4] + reals[5],
      reals[6] + reals[7] + reals[8],
      reals[9] + reals[10] + reals[11],
      reals[12] + reals[13] + reals[14],
      reals[15] + reals[16] + field("18", 12) + field("19", 12),
      field("20", 12) + reals[17] + reals[18],
      reals[19] + field("24", 12),
  };
  EXPECT_EQ(records(lines), writeStatement(items));
  EXPECT_EQ(74u, lines[5].size());
}

TEST(FreeFormatRecord, ContinuesLongNumberListWithLinesThatLookAlike) {
  std::vector<Item> items(12, realItem(1.0));
  const std::string line = blanks(8) + "1.000000000000000";
  const std::string alike = line + line + line;
  EXPECT_EQ(records({alike, alike, alike, alike}), writeStatement(items));
}

// Text of 42, integer, 10 reals, text of 12, integer: the first real ends line 1 in column
// 79, three reals fill each of the next three lines, and the 12-character text splits after
// its fourth character.
TEST(FreeFormatRecord, BreaksReadErrorShapedRecordIntoFiveLines) {
  const std::string opening(42, 'e');
  const std::string name = "abcdefghijkl";
  std::vector<Item> items = {textItem(opening), integerItem(3)};
  for (int i = 0; i < 10; ++i) items.push_back(realItem(0.5));
  items.push_back(textItem(name));
  items.push_back(integerItem(4));
  const std::string real = " " + field("5.000000000000000E-001", 24);
  const std::vector<std::string> lines = {
      " " + opening + field("3", 11) + real, real + real + real,           real + real + real,
      real + real + real + "abcd",           " efghijkl" + field("4", 11),
  };
  EXPECT_EQ(79u, lines[0].size());
  EXPECT_EQ(records(lines), writeStatement(items));
}

TEST(FreeFormatRecord, StartsAfreshAfterFinishRecord) {
  std::string captured;
  FileChannel channel;
  channel.number = 3;
  channel.capture = &captured;
  FreeFormatRecord record(channel);
  record.addText("abc");
  record.addInteger(1);
  record.finishRecord();
  record.addInteger(2);
  record.finishRecord();
  record.finishRecord();
  EXPECT_EQ(records({" abc" + field("1", 11), blanks(11) + "2", " "}), captured);
}

namespace {

// Every target starts at -1, so a target left alone reads back as -1.
struct ReadCase {
  const char* source;
  const char* kinds;  // one letter per target: 'I' integer, 'R' real
  IoStatus status;
  std::vector<double> expected;  // the targets' values after the read
};

void checkRead(const ReadCase& c) {
  SCOPED_TRACE(testing::Message() << "source \"" << c.source << "\" into " << c.kinds);
  const std::string source = c.source;
  FileChannel channel;
  channel.number = 1;
  channel.source = &source;
  const std::string kinds = c.kinds;
  std::vector<int> integers(kinds.size(), -1);
  std::vector<double> reals(kinds.size(), -1.0);
  std::vector<FreeTarget> targets(kinds.size());
  for (size_t i = 0; i < kinds.size(); ++i) {
    if (kinds[i] == 'I') {
      targets[i].integer = &integers[i];
    } else {
      targets[i].real = &reals[i];
    }
  }
  EXPECT_EQ(c.status, readFreeFormat(channel, targets));
  ASSERT_EQ(kinds.size(), c.expected.size());
  for (size_t i = 0; i < kinds.size(); ++i) {
    if (kinds[i] == 'I') {
      EXPECT_EQ(c.expected[i], integers[i]) << "target " << i + 1;
    } else {
      EXPECT_EQ(c.expected[i], reals[i]) << "target " << i + 1;
    }
  }
}

}  // namespace

// Reads whose outcome needs no value converted.
TEST(ReadFreeFormat, HandlesSeparatorsNullsAndFailuresBeforeAnyValue) {
  const ReadCase cases[] = {
      {"", "R", IoStatus::EndOfFile, {-1}},
      {"\n\n  \t\n", "R", IoStatus::EndOfFile, {-1}},
      {",\n", "R", IoStatus::Ok, {-1}},
      {"/\n", "R", IoStatus::Ok, {-1}},
      {"  ,  ,  /\n", "RRR", IoStatus::Ok, {-1, -1, -1}},
      {",,,", "RIR", IoStatus::Ok, {-1, -1, -1}},
      {"3*\n", "RRR", IoStatus::Ok, {-1, -1, -1}},
      {"2*,/\n", "RRR", IoStatus::Ok, {-1, -1, -1}},
      {"2*/\n", "RRR", IoStatus::Ok, {-1, -1, -1}},
      // A comma at the end of a line separates: the next line's comma is a null value.
      {",\n,\n/", "RRR", IoStatus::Ok, {-1, -1, -1}},
      {"99999999999999*\n", "RR", IoStatus::Ok, {-1, -1}},
      {"184467440737095516170*\n", "RR", IoStatus::Ok, {-1, -1}},
      {"0*1\n", "R", IoStatus::Error, {-1}},
      {"000*\n", "R", IoStatus::Error, {-1}},
      {"abc\n", "R", IoStatus::Error, {-1}},
      {"'0.25'\n", "R", IoStatus::Error, {-1}},
      {"\"0.25\"\n", "R", IoStatus::Error, {-1}},
      {"(1.0,2.0)\n", "R", IoStatus::Error, {-1}},
      {"2*'a'\n", "RR", IoStatus::Error, {-1, -1}},
      {",\n", "RR", IoStatus::EndOfFile, {-1, -1}},
      {"3*\n", "RRRR", IoStatus::EndOfFile, {-1, -1, -1, -1}},
  };
  for (const ReadCase& c : cases) checkRead(c);
}

// These need the integer and real conversions of the fixed-layout fields.
TEST(ReadFreeFormat, ConvertsValuesBetweenSeparators) {
  const ReadCase cases[] = {
      {"0.25\n", "R", IoStatus::Ok, {0.25}},
      {"0.25", "R", IoStatus::Ok, {0.25}},
      {"0.25\r\n", "R", IoStatus::Ok, {0.25}},
      {"\n0.25\n", "R", IoStatus::Ok, {0.25}},
      {"\t 0.25 \t\n", "R", IoStatus::Ok, {0.25}},
      {"15\n", "R", IoStatus::Ok, {15.0}},
      {"1.5D-3 1.5-3 -.5\n", "RRR", IoStatus::Ok, {0.0015, 0.0015, -0.5}},
      {"1,,3\n", "RRR", IoStatus::Ok, {1, -1, 3}},
      {"1 , 2,3\n", "RRR", IoStatus::Ok, {1, 2, 3}},
      {",5\n", "RR", IoStatus::Ok, {-1, 5}},
      {"1\n\n  2\n3\n", "RIR", IoStatus::Ok, {1, 2, 3}},
      {"1\n,2\n", "RR", IoStatus::Ok, {1, 2}},
      {"1/2\n", "RR", IoStatus::Ok, {1, -1}},
      {"1 / 2\n", "RR", IoStatus::Ok, {1, -1}},
      {"2*7\n", "IR", IoStatus::Ok, {7, 7}},
      {"2*7 8\n", "RRR", IoStatus::Ok, {7, 7, 8}},
      {"2*,5\n", "RRR", IoStatus::Ok, {-1, -1, 5}},
      {"3*7\n", "R", IoStatus::Ok, {7}},
      {"99999999999999*1\n", "RR", IoStatus::Ok, {1, 1}},
      {"1\n", "RR", IoStatus::EndOfFile, {1, -1}},
      {"1 abc\n", "RR", IoStatus::Error, {1, -1}},
      {"1 2.5\n", "RI", IoStatus::Error, {1, -1}},
      {"2*1.5\n", "RI", IoStatus::Error, {1.5, -1}},
      {"2147483648\n", "I", IoStatus::Error, {-1}},
      {"-2147483648\n", "I", IoStatus::Ok, {-2147483648.0}},
      // A carriage return ends the record's data wherever it stands.
      {"1\r2\n3\n", "RR", IoStatus::Ok, {1, 3}},
  };
  for (const ReadCase& c : cases) checkRead(c);
}

// These need the real conversion of the fixed-layout fields.
TEST(ReadFreeFormat, StartsEachReadAtTheRecordAfterTheLastValue) {
  const std::string source = "1 2 3\n4\n/ 5\n6,\n";
  FileChannel channel;
  channel.number = 1;
  channel.source = &source;
  double value = -1.0;
  const FreeTarget target[] = {{nullptr, &value}};
  EXPECT_EQ(IoStatus::Ok, readFreeFormat(channel, target));
  EXPECT_EQ(1.0, value);
  EXPECT_EQ(IoStatus::Ok, readFreeFormat(channel, target));
  EXPECT_EQ(4.0, value);
  EXPECT_EQ(IoStatus::Ok, readFreeFormat(channel, target));  // the slash
  EXPECT_EQ(4.0, value);
  EXPECT_EQ(IoStatus::Ok, readFreeFormat(channel, target));
  EXPECT_EQ(6.0, value);
  EXPECT_EQ(IoStatus::EndOfFile, readFreeFormat(channel, target));
  EXPECT_EQ(6.0, value);
}

// A record longer than the channel keeps is cut; a value that reaches the cut may have lost
// characters, so the read fails rather than take the part it saw.
TEST(ReadFreeFormat, FailsWhenValueRunsIntoCutRecord) {
  const std::string source = std::string(kMaxRecordLength - 4, ' ') + "12345678\n";
  FileChannel channel;
  channel.number = 1;
  channel.source = &source;
  double value = -1.0;
  const FreeTarget target[] = {{nullptr, &value}};
  const IoStatus status = readFreeFormat(channel, target);
  if (channel.recordCut) {
    EXPECT_EQ(IoStatus::Error, status);
    EXPECT_EQ(-1.0, value);
  } else {
    EXPECT_EQ(IoStatus::Ok, status);
    EXPECT_EQ(12345678.0, value);
  }
}
