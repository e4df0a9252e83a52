// Fixed-layout reads of records holding unusual bytes, as a parameter file may hold them.
#include <gtest/gtest.h>

#include <string>

#include "textio/fixed_field.h"

namespace {

std::string labelled(const std::string& field) { return std::string(59, '.') + field; }

// A carriage return ends the data of a record wherever it stands, not only right before the
// line feed: a line ended by CR CR LF reads like one ended by CR LF.
TEST(FixedFieldBytes, CarriageReturnEndsTheRecordData) {
  static const LayoutString integerLayout = parseLayout("(59X,I12)");
  static const LayoutString realLayout = parseLayout("(59X,D11.5)");
  static const LayoutString textLayout = parseLayout("(59X,A12)");
  struct Case {
    std::string record;
    IoStatus integerStatus;
    int integer;  // -1: left as it was
    IoStatus realStatus;
    double real;  // -1.0: left as it was
    std::string text;
  };
  const IoStatus ok = IoStatus::Ok;
  const IoStatus error = IoStatus::Error;
  const Case cases[] = {
      {labelled("12\r"), ok, 12, ok, 0.00012, "12          "},
      {labelled("1.5\r9"), error, -1, ok, 1.5, "1.5         "},
      {labelled("ring8.dat\r\r"), error, -1, error, -1.0, "ring8.dat   "},
      {labelled("\r12345678"), ok, 0, ok, 0.0, "            "},
      {std::string(30, '.') + "\r" + std::string(40, '7'), ok, 0, ok, 0.0, "            "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record);
    int integer = -1;
    double real = -1.0;
    std::string text(12, '?');
    const FieldTarget integerTarget{.integer = &integer};
    const FieldTarget realTarget{.real = &real};
    const FieldTarget textTarget{.text = text.data(), .textLength = 12};
    EXPECT_EQ(c.integerStatus, convertFixedRecord(c.record, integerLayout, {&integerTarget, 1}));
    EXPECT_EQ(c.integer, integer);
    EXPECT_EQ(c.realStatus, convertFixedRecord(c.record, realLayout, {&realTarget, 1}));
    EXPECT_EQ(c.real, real);
    EXPECT_EQ(IoStatus::Ok, convertFixedRecord(c.record, textLayout, {&textTarget, 1}));
    EXPECT_EQ(c.text, text);
  }
}

}  // namespace
