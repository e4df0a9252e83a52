#include "textio/fixed_field.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

// The items of a parsed layout as "X59 I12", "D13.6", "A12".
std::string describe(const LayoutString& layout) {
  std::string text;
  for (const LayoutItem& item : layout.items) {
    if (!text.empty()) text += ' ';
    switch (item.kind) {
      case LayoutItem::Kind::Skip:
        text += "X" + std::to_string(item.width);
        break;
      case LayoutItem::Kind::Integer:
        text += "I" + std::to_string(item.width);
        break;
      case LayoutItem::Kind::Real:
        text += "D" + std::to_string(item.width) + "." + std::to_string(item.decimals);
        break;
      case LayoutItem::Kind::Text:
        text += "A" + std::to_string(item.width);
        break;
    }
  }
  return text;
}

// A parameter-file record: a label filling columns 1 to 59, then `field` from column 60 on.
std::string labelled(const std::string& field) {
  std::string label = "Number of bodies on the orbit";
  label.resize(59, '.');
  return label + field;
}

// Same bits, so that -0.0 and 0.0 differ.
void expectSameDouble(double expected, double actual) {
  EXPECT_EQ(std::bit_cast<uint64_t>(expected), std::bit_cast<uint64_t>(actual))
      << expected << " vs " << actual;
}

const char* statusName(IoStatus status) {
  switch (status) {
    case IoStatus::Ok:
      return "Ok";
    case IoStatus::EndOfFile:
      return "EndOfFile";
    case IoStatus::Error:
      return "Error";
  }
  return "?";
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Layout strings

TEST(ParseLayout, ExpandsGroupsIgnoringBlanksAndCase) {
  struct Case {
    const char* text;
    const char* items;
  };
  const Case cases[] = {
      {"(59X,I12)", "X59 I12"},
      {"(59X,D11.5)", "X59 D11.5"},
      {"(59X,A12)", "X59 A12"},
      {"(I4,3(D13.6))", "I4 D13.6 D13.6 D13.6"},
      {" ( 5 9x , i 1 2 ) ", "X59 I12"},
      {"(i4,3(d13.6))", "I4 D13.6 D13.6 D13.6"},
      {"(a3,2(I1,2(D3.0)),1X)", "A3 I1 D3.0 D3.0 I1 D3.0 D3.0 X1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const LayoutString layout = parseLayout(c.text);
    EXPECT_TRUE(layout.valid);
    EXPECT_EQ(c.items, describe(layout));
  }
}

TEST(ParseLayout, RejectsEverythingElse) {
  std::string nested = "(I4)";
  for (int depth = 0; depth < 17; ++depth) nested = "(1" + nested + ")";
  const std::string cases[] = {
      "",           "59X,I12", "(59X,I12",       "(59X,I12))", "(59X,,I12)",
      "(59X,I12,)", "()",      "(2())",          "(X)",        "(0X)",
      "(I0)",       "(I)",     "(D11)",          "(D11.)",     "(D.5)",
      "(F11.5)",    "(E11.5)", "(3I4)",          "(0(I4))",    "(59X,I12)x",
      "(I4;I4)",    "(I-4)",   "(99999999999X)", "(5000(I4))", "(65(64(I4)))",
      nested,
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(text);
    const LayoutString layout = parseLayout(text);
    EXPECT_FALSE(layout.valid);
    EXPECT_TRUE(layout.items.empty());
  }
}

// ---------------------------------------------------------------------------------------------
// Writing

TEST(FixedField, WritesTableOfIntegersAndReals) {
  struct Case {
    const char* layout;
    FieldValue value;
    const char* text;
  };
  const Case cases[] = {
      {"(I4)", {true, 0, 0.0}, "   0"},
      {"(I4)", {true, 5, 0.0}, "   5"},
      {"(I4)", {true, -12, 0.0}, " -12"},
      {"(I4)", {true, 9999, 0.0}, "9999"},
      {"(I4)", {true, 12345, 0.0}, "****"},
      {"(I4)", {true, -1000, 0.0}, "****"},
      {"(I4)", {true, -999, 0.0}, "-999"},
      {"(I4)", {true, 10000, 0.0}, "****"},
      {"(I12)", {true, std::numeric_limits<int>::min(), 0.0}, " -2147483648"},
      {"(I10)", {true, std::numeric_limits<int>::min(), 0.0}, "**********"},
      {"(D13.6)", {false, 0, 1.0}, "  .100000D+01"},
      {"(D13.6)", {false, 0, -1.0}, " -.100000D+01"},
      {"(D13.6)", {false, 0, 0.0}, "  .000000D+00"},
      {"(D13.6)", {false, 0, -0.0}, "  .000000D+00"},
      {"(D13.6)", {false, 0, 149597870691.0}, "  .149598D+12"},
      {"(D13.6)", {false, 0, -6.67259e-11}, " -.667259D-10"},
      {"(D13.6)", {false, 0, 1.0e-100}, "  .100000D-99"},
      {"(D13.6)", {false, 0, 1.0e-101}, "  .100000-100"},
      {"(D13.6)", {false, 0, -1.0e-101}, " -.100000-100"},
      {"(D13.6)", {false, 0, 1.0e150}, "  .100000+151"},
      {"(D13.6)", {false, 0, 9.9999996}, "  .100000D+02"},
      // 1.0e99 is 0.99999999999999997e99: the carry reaches a three-digit exponent.
      {"(D13.6)", {false, 0, 1.0e99}, "  .100000+100"},
      {"(D13.6)", {false, 0, 9.0e98}, "  .900000D+99"},
      {"(D13.6)", {false, 0, 1.7976931348623157e308}, "  .179769+309"},
      {"(D13.6)", {false, 0, -4.9406564584124654e-324}, " -.494066-323"},
      // The 17-digit form decides, not the exact double: 0.1234565 is 0.12345649999... as a
      // double but 12345650000000000 in 17 digits; 0.5000005 is 50000049999999996.
      {"(D13.6)", {false, 0, 0.1234565}, "  .123457D+00"},
      {"(D13.6)", {false, 0, 0.1234575}, "  .123458D+00"},
      {"(D13.6)", {false, 0, 1.2345675}, "  .123457D+01"},
      {"(D13.6)", {false, 0, 0.5000005}, "  .500000D+00"},
      {"(D13.6)", {false, 0, 0.1234564999}, "  .123456D+00"},
      // Digit positions past the 16th are written "0".
      {"(D25.18)", {false, 0, 1.0 / 3.0}, "  .333333333333333300D+00"},
      {"(D25.18)", {false, 0, 0.1}, "  .100000000000000000D+00"},
      {"(D8.6)", {false, 0, 1.0}, "********"},
      {"(D12.6)", {false, 0, -1.0}, "-.100000D+01"},
      {"(D13.6)", {true, 3, 0.0}, "*************"},  // a value of the wrong kind
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.layout) + " -> " + c.text);
    const LayoutString layout = parseLayout(c.layout);
    ASSERT_TRUE(layout.valid);
    EXPECT_EQ(c.text, formatFixedRecord(layout, {&c.value, 1}));
  }
}

TEST(FixedField, WritesAsterisksForValuesThatAreNotFinite) {
  const double values[] = {std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity()};
  for (const double value : values) {
    SCOPED_TRACE(value);
    EXPECT_EQ("*************", formatRealField(value, 13, 6));
    EXPECT_EQ("****", formatRealField(value, 4, 2));
  }
}

TEST(FixedField, WritesWholeRecordWithoutPaddingThroughChannel) {
  static const LayoutString layout = parseLayout("(I4,3(D13.6))");
  const FieldValue values[] = {{true, 3, 0.0}, {false, 0, 1.0}, {false, 0, -0.5}, {false, 0, 0.0}};
  const std::string expected = "   3  .100000D+01 -.500000D+00  .000000D+00";
  ASSERT_EQ(43u, expected.size());
  EXPECT_EQ(expected, formatFixedRecord(layout, values));

  std::string written;
  FileChannel channel;
  channel.capture = &written;
  writeFixedRecord(channel, layout, values);
  writeFixedRecord(channel, layout, {values, 2});  // the record ends with the values
  EXPECT_EQ(expected + "\r\n" + "   3  .100000D+01\r\n", written);
}

// ---------------------------------------------------------------------------------------------
// Reading

TEST(FixedField, ReadsIntegerFields) {
  struct Case {
    const char* field;  // columns 60 onward
    IoStatus status;
    int value;
  };
  const Case cases[] = {
      {"          12", IoStatus::Ok, 12},
      {"1 2", IoStatus::Ok, 12},
      {"1 5", IoStatus::Ok, 15},
      {"+7", IoStatus::Ok, 7},
      {"   -7   ", IoStatus::Ok, -7},
      {"12.0", IoStatus::Error, 0},
      {"", IoStatus::Ok, 0},        // record of 59 characters
      {"      ", IoStatus::Ok, 0},  // blank field
      {"-2147483648", IoStatus::Ok, std::numeric_limits<int>::min()},
      {"2147483647", IoStatus::Ok, std::numeric_limits<int>::max()},
      {"2147483648", IoStatus::Error, 0},
      {"-2147483649", IoStatus::Error, 0},
      {"999999999999", IoStatus::Error, 0},
      {"000000000012", IoStatus::Ok, 12},
      {"0000000000123", IoStatus::Ok, 12},  // column 72 is past the field
      {"         1  2", IoStatus::Ok, 1},   // the 2 stands in column 72
      {"1e3", IoStatus::Error, 0},
      {"16#FF", IoStatus::Error, 0},
      {"-", IoStatus::Error, 0},
      {"+-1", IoStatus::Error, 0},
      {"abc", IoStatus::Error, 0},
      {"12,34", IoStatus::Ok, 12},  // the comma ends the field
      {",5", IoStatus::Ok, 0},      // an empty field before the comma
      {"\t7\t", IoStatus::Ok, 7},   // tabs are dropped like blanks
      {"1\t2", IoStatus::Ok, 12},
      {"1\x1a", IoStatus::EndOfFile, 0},
  };
  static const LayoutString layout = parseLayout("(59X,I12)");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("[") + c.field + "]");
    int value = -99;
    const FieldTarget target{.integer = &value};
    const IoStatus status = convertFixedRecord(labelled(c.field), layout, {&target, 1});
    EXPECT_STREQ(statusName(c.status), statusName(status));
    EXPECT_EQ(c.status == IoStatus::Ok ? c.value : -99, value);
  }
}

TEST(FixedField, ReadsRealFields) {
  struct Case {
    const char* field;  // columns 60 onward
    IoStatus status;
    double value;
  };
  const Case cases[] = {
      {"1.5", IoStatus::Ok, 1.5},
      {"        1.5", IoStatus::Ok, 1.5},
      {"         15", IoStatus::Ok, 0.00015},
      {"1 5", IoStatus::Ok, 0.00015},
      {"150000", IoStatus::Ok, 1.5},
      {"1.5D3", IoStatus::Ok, 1500.0},
      {"1.5e3", IoStatus::Ok, 1500.0},
      {"1.5d-3", IoStatus::Ok, 0.0015},
      {"1.5E+3", IoStatus::Ok, 1500.0},
      {"1.5-3", IoStatus::Ok, 0.0015},
      {"1.5+3", IoStatus::Ok, 1500.0},
      {"15-3", IoStatus::Ok, 1.5e-7},  // implied fraction digits and a bare-sign exponent
      {"12345E2", IoStatus::Ok, 12.345},
      {"-.5", IoStatus::Ok, -0.5},
      {"+.5", IoStatus::Ok, 0.5},
      {".5", IoStatus::Ok, 0.5},
      {"1.", IoStatus::Ok, 1.0},
      {"+7", IoStatus::Ok, 0.00007},
      {"-7", IoStatus::Ok, -0.00007},
      {"1,5", IoStatus::Ok, 0.00001},
      {"1.5,9", IoStatus::Ok, 1.5},
      {"1 . 5", IoStatus::Ok, 1.5},
      {"\t1.5\t", IoStatus::Ok, 1.5},
      {"12345678901", IoStatus::Ok, 123456.78901},
      {"123456789012", IoStatus::Ok, 123456.78901},  // column 71 is past the field
      {"", IoStatus::Ok, 0.0},
      {"           ", IoStatus::Ok, 0.0},
      {"-", IoStatus::Ok, -0.0},  // becomes "-0"
      {"+", IoStatus::Ok, 0.0},
      {".", IoStatus::Ok, 0.0},  // becomes "0."
      {"-.", IoStatus::Ok, -0.0},
      {"-E5", IoStatus::Ok, -0.0},  // becomes "-0E5"
      {"1e-999", IoStatus::Ok, 0.0},
      {"-1e-999", IoStatus::Ok, -0.0},
      {"1e999", IoStatus::Error, 0.0},
      {"abc", IoStatus::Error, 0.0},
      {"E5", IoStatus::Error, 0.0},
      {"1.5E", IoStatus::Error, 0.0},
      {"1.5-", IoStatus::Error, 0.0},
      {"1.5E-+3", IoStatus::Error, 0.0},
      {"1.5.3", IoStatus::Error, 0.0},
      {"--5", IoStatus::Ok, -0.0},  // becomes "-0-5": zero with an exponent
      {"1.5x", IoStatus::Error, 0.0},
      {"..5", IoStatus::Error, 0.0},
      {"1.5\x1a", IoStatus::EndOfFile, 0.0},
      {"\x1a", IoStatus::EndOfFile, 0.0},
  };
  static const LayoutString layout = parseLayout("(59X,D11.5)");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("[") + c.field + "]");
    double value = -99.0;
    const FieldTarget target{.real = &value};
    const IoStatus status = convertFixedRecord(labelled(c.field), layout, {&target, 1});
    EXPECT_STREQ(statusName(c.status), statusName(status));
    expectSameDouble(c.status == IoStatus::Ok ? c.value : -99.0, value);
  }
}

TEST(FixedField, ReadsTextFieldsAsTheyStand) {
  struct Case {
    const char* layout;
    const char* field;  // columns 60 onward
    const char* text;   // the 12 characters stored
  };
  const Case cases[] = {
      {"(59X,A12)", "init.dat", "init.dat    "},
      {"(59X,A12)", "init.dat    tail", "init.dat    "},
      {"(59X,A12)", "  a,b\tc  d  e", "  a,b\tc  d  "},
      {"(59X,A12)", "", "            "},
      {"(59X,A4)", "init.dat", "init        "},
      {"(59X,A14)", "init.dat.file", "it.dat.file "},  // first two columns skipped
      {"(59X,A14)", "in", "            "},
      // A carriage return ends the record's data: the rest reads as blanks.
      {"(59X,A12)", "init\r.dat", "init        "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.layout) + " [" + c.field + "]");
    char name[12];
    for (char& ch : name) ch = 'Q';
    const FieldTarget target{.text = name, .textLength = 12};
    EXPECT_EQ(IoStatus::Ok,
              convertFixedRecord(labelled(c.field), parseLayout(c.layout), {&target, 1}));
    EXPECT_EQ(std::string(c.text), std::string(name, 12));
  }
}

TEST(FixedField, CountsColumnsFromTheRecordStart) {
  struct Case {
    const char* layout;
    std::string record;
    int first;
    int second;  // -99 when the layout has one data item
  };
  const Case cases[] = {
      // A value that starts before column 60 loses its first characters to the skip.
      {"(59X,I12)", std::string(57, 'L') + "12345", 345, -99},
      // A tab is one column.
      {"(59X,I12)", std::string(58, 'L') + "\t7", 7, -99},
      {"(59X,I12)", "\t" + std::string(57, 'L') + "41", 1, -99},
      // A comma in the skipped columns is skipped like any other character.
      {"(59X,I12)", std::string(58, ',') + ",8", 8, -99},
      // A record that ends inside the skip.
      {"(59X,I12)", "short", 0, -99},
      // The comma ends the first field and is consumed; the next field starts after it.
      {"(I3,I3)", "1,23456", 1, 234},
      {"(I3,1X,I3)", "1,2345", 1, 345},
      {"(I3,I3)", "12", 12, 0},
      // A carriage return ends the record's data, in a field or before it.
      {"(I3,I3)", "12\r3456", 12, 0},
      {"(I3,I3)", "123\r456", 123, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record);
    int first = -99;
    int second = -99;
    const FieldTarget targets[] = {{.integer = &first}, {.integer = &second}};
    EXPECT_EQ(IoStatus::Ok, convertFixedRecord(c.record, parseLayout(c.layout), targets));
    EXPECT_EQ(c.first, first);
    EXPECT_EQ(c.second, second);
  }
}

TEST(FixedField, FailingTargetKeepsItsValueAndEarlierOnesStay) {
  struct Case {
    const char* record;
    IoStatus status;
    int first;
    double second;
  };
  const Case cases[] = {
      {" 12  3.5", IoStatus::Ok, 12, 3.5},
      {" 12  abc", IoStatus::Error, 12, -1.0},
      {"1.2  3.5", IoStatus::Error, -1, -1.0},
      {" 12 \x1a.5", IoStatus::EndOfFile, 12, -1.0},
  };
  static const LayoutString layout = parseLayout("(I3,D5.0)");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record);
    int first = -1;
    double second = -1.0;
    const FieldTarget targets[] = {{.integer = &first}, {.real = &second}};
    EXPECT_EQ(c.status, convertFixedRecord(c.record, layout, targets));
    EXPECT_EQ(c.first, first);
    EXPECT_EQ(c.second, second);
  }
}

TEST(FixedField, RejectsTargetOfTheWrongKindAndInvalidLayout) {
  int value = -1;
  const FieldTarget target{.integer = &value};
  EXPECT_EQ(IoStatus::Error, convertFixedRecord("1.5", parseLayout("(D5.1)"), {&target, 1}));
  EXPECT_EQ(IoStatus::Error, convertFixedRecord("12", parseLayout("(A5)"), {&target, 1}));
  EXPECT_EQ(IoStatus::Error, convertFixedRecord("12", parseLayout("(F5.1)"), {&target, 1}));
  EXPECT_EQ(-1, value);
}

TEST(FixedField, ReadsOneRecordPerCallFromChannel) {
  static const LayoutString integerLayout = parseLayout("(59X,I12)");
  static const LayoutString realLayout = parseLayout("(59X,D11.5)");
  static const LayoutString textLayout = parseLayout("(59X,A12)");
  const std::string text = labelled("          12   ignored") + "\r\n" + labelled("12.0") + "\n" +
                           labelled("        1.5") + "\r\n" + labelled("init.dat") + "\n";
  FileChannel channel;
  channel.source = &text;
  int count = 0;
  double mass = 0.0;
  char name[12] = {};
  const FieldTarget countTarget{.integer = &count};
  const FieldTarget massTarget{.real = &mass};
  const FieldTarget nameTarget{.text = name, .textLength = 12};
  EXPECT_EQ(IoStatus::Ok, readFixedRecord(channel, integerLayout, {&countTarget, 1}));
  EXPECT_EQ(12, count);
  // A failed read still passes over its record.
  EXPECT_EQ(IoStatus::Error, readFixedRecord(channel, integerLayout, {&countTarget, 1}));
  EXPECT_EQ(12, count);
  EXPECT_EQ(IoStatus::Ok, readFixedRecord(channel, realLayout, {&massTarget, 1}));
  EXPECT_EQ(1.5, mass);
  EXPECT_EQ(IoStatus::Ok, readFixedRecord(channel, textLayout, {&nameTarget, 1}));
  EXPECT_EQ("init.dat    ", std::string(name, 12));
  EXPECT_EQ(IoStatus::EndOfFile, readFixedRecord(channel, integerLayout, {&countTarget, 1}));
  EXPECT_EQ(12, count);
}

// ---------------------------------------------------------------------------------------------
// Value conversion shared with free-format reading

TEST(ConvertRealText, GivesNearestDoubleOfTheDecimalValue) {
  const std::string manyZeros(800, '0');
  struct Case {
    std::string text;
    int impliedDecimals;
    std::string plain;  // the same decimal value, for strtod
  };
  const Case cases[] = {
      {"15", 0, "15"},
      {"-.5", 0, "-0.5"},
      {"1.5-3", 0, "1.5e-3"},
      {"1.5D-3", 0, "1.5e-3"},
      {"0.1", 0, "0.1"},
      {"1E23", 0, "1e23"},
      {"9007199254740993", 0, "9007199254740993"},  // halfway: to even
      {"9007199254740993", 5, "90071992547.40993"},
      // Just above halfway, known only from the 818th digit.
      {"9007199254740993." + manyZeros + "1", 0, "9007199254740993." + manyZeros + "1"},
      {"1.00000000000000011102230246251565404236316680908203125", 0,
       "1.00000000000000011102230246251565404236316680908203125"},
      {"1.00000000000000011102230246251565404236316680908203126", 0,
       "1.00000000000000011102230246251565404236316680908203126"},
      {"12345678901234567890123E-300", 5, "12345678901234567890123e-305"},
      {"0." + manyZeros + "1D800", 0, "0.1"},
      {"2.2250738585072011e-308", 0, "2.2250738585072011e-308"},
      {"2.2250738585072012D-308", 0, "2.2250738585072012e-308"},
      {"4.9406564584124654-324", 0, "4.9406564584124654e-324"},
      {"2.4703282292062328e-324", 0, "2.4703282292062328e-324"},  // rounds up to the least
      {"1.7976931348623158e308", 0, "1.7976931348623158e308"},    // rounds down to the largest
      {"7.038531e-26", 0, "7.038531e-26"},
      {"8.98846567431158e307", 0, "8.98846567431158e307"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.plain.substr(0, 60));
    double value = -99.0;
    ASSERT_EQ(IoStatus::Ok, convertRealText(c.text, c.impliedDecimals, value));
    expectSameDouble(std::strtod(c.plain.c_str(), nullptr), value);
  }
}

TEST(ConvertRealText, ClampsHugeExponents) {
  struct Case {
    const char* text;
    IoStatus status;
    double value;
  };
  const Case cases[] = {
      {"1e999999999999", IoStatus::Error, 0.0},
      {"1d99999999999999999999999999999", IoStatus::Error, 0.0},
      {"1+999999999999", IoStatus::Error, 0.0},
      {"1.7976931348623159e308", IoStatus::Error, 0.0},  // past the half-way point to infinity
      {"1e-999999999999", IoStatus::Ok, 0.0},
      {"-1e-99999999999999999999999999", IoStatus::Ok, -0.0},
      {"2.4703282292062327e-324", IoStatus::Ok, 0.0},  // just below half the least double
      {"-2.4703282292062327e-324", IoStatus::Ok, -0.0},
      {"0e999999999999", IoStatus::Ok, 0.0},
      {"-0.000e99999999999999999999", IoStatus::Ok, -0.0},
      {"0.0000000000000000000001e999999999999", IoStatus::Error, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    double value = -99.0;
    EXPECT_STREQ(statusName(c.status), statusName(convertRealText(c.text, 0, value)));
    expectSameDouble(c.status == IoStatus::Ok ? c.value : -99.0, value);
  }
}

TEST(ConvertRealText, LeavesMissingLeadingZeroToTheFieldReader) {
  const char* const texts[] = {"-", "+", ".", "-.", "-E5", " 1.5", "1.5 ", ""};
  const IoStatus expected[] = {IoStatus::Error, IoStatus::Error, IoStatus::Error, IoStatus::Error,
                               IoStatus::Error, IoStatus::Error, IoStatus::Error, IoStatus::Ok};
  for (size_t k = 0; k < std::size(texts); ++k) {
    SCOPED_TRACE(texts[k]);
    double value = -99.0;
    EXPECT_STREQ(statusName(expected[k]), statusName(convertRealText(texts[k], 0, value)));
  }
}
