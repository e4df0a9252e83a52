#include "textio/fixed_field.h"

// Stub: to be built.
LayoutString parseLayout(std::string_view) { return {}; }
IoStatus convertFixedRecord(std::string_view, const LayoutString&, std::span<const FieldTarget>) { return IoStatus::Error; }
IoStatus readFixedRecord(FileChannel&, const LayoutString&, std::span<const FieldTarget>) { return IoStatus::Error; }
std::string formatFixedRecord(const LayoutString&, std::span<const FieldValue>) { return {}; }
void writeFixedRecord(FileChannel&, const LayoutString&, std::span<const FieldValue>) {}
std::string formatRealField(double, int, int) { return {}; }
std::string formatIntegerField(int, int) { return {}; }
IoStatus convertIntegerText(std::string_view, int&) { return IoStatus::Error; }
IoStatus convertRealText(std::string_view, int, double&) { return IoStatus::Error; }
