#include "textio/file_channel.h"

// Stub: to be built.
#include <cstdio>
#include <cstdlib>
void setCommandLineArguments(int, char**) {}
std::string resolveFileName(int, std::string_view name) { return std::string(name); }
IoStatus openExisting(FileChannel&, int, std::string_view, bool) { return IoStatus::Error; }
void openForOutput(FileChannel&, int, std::string_view) {}
// Minimal in-memory paths until the file channels are built.
IoStatus readRecord(FileChannel& c, std::string& record) {
  if (c.source == nullptr || c.position >= static_cast<int64_t>(c.source->size())) return IoStatus::EndOfFile;
  size_t end = c.source->find('\n', c.position);
  size_t stop = end == std::string::npos ? c.source->size() : end;
  record.assign(*c.source, c.position, stop - c.position);
  if (!record.empty() && record.back() == '\r') record.pop_back();
  c.position = end == std::string::npos ? c.source->size() : end + 1;
  return IoStatus::Ok;
}
void writeRecord(FileChannel& c, std::string_view chars) {
  if (c.capture != nullptr) { c.capture->append(chars); c.capture->append("\r\n"); }
}
void closeChannel(FileChannel&) {}
FileChannel& consoleChannel() { static FileChannel c; return c; }
void finishConsole() {}
void stopOnIoFailure(const FileChannel&, std::string_view, int) { std::exit(1); }
void stopRun(std::string_view) { std::exit(1); }
