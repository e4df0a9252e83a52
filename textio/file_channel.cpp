#include "textio/file_channel.h"

// Stub: to be built.
#include <cstdio>
#include <cstdlib>
void setCommandLineArguments(int, char**) {}
std::string resolveFileName(int, std::string_view name) { return std::string(name); }
IoStatus openExisting(FileChannel&, int, std::string_view, bool) { return IoStatus::Error; }
void openForOutput(FileChannel&, int, std::string_view) {}
IoStatus readRecord(FileChannel&, std::string&) { return IoStatus::EndOfFile; }
void writeRecord(FileChannel&, std::string_view) {}
void closeChannel(FileChannel&) {}
FileChannel& consoleChannel() { static FileChannel c; return c; }
void finishConsole() {}
void stopOnIoFailure(const FileChannel&, std::string_view, int) { std::exit(1); }
void stopRun(std::string_view) { std::exit(1); }
