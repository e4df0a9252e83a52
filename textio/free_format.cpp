#include "textio/free_format.h"

// Stub: to be built.
std::string formatFreeReal(double) { return {}; }
FreeFormatRecord::FreeFormatRecord(FileChannel& channel) : channel_(channel) {}
void FreeFormatRecord::addInteger(int) {}
void FreeFormatRecord::addReal(double) {}
void FreeFormatRecord::addText(const char*, int) {}
void FreeFormatRecord::finishRecord() {}
void FreeFormatRecord::addNumber(std::string_view, int) {}
void FreeFormatRecord::handOverLine() {}
IoStatus readFreeFormat(FileChannel&, std::span<const FreeTarget>) { return IoStatus::Error; }
