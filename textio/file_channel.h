#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Result of an operation whose caller asks for failures instead of a stop.
enum class IoStatus { Ok, EndOfFile, Error };

// Longest file name used; longer names are cut to this many characters.
constexpr int kMaxFileNameLength = 259;
// Longest record kept in memory. The characters of a longer line past this many are passed
// over unread (the line still counts as one record), so no input can make a read grow without
// bound. readRecord reports that through FileChannel::recordCut.
constexpr int kMaxRecordLength = 1 << 20;

// A numbered connection to one file (channels 1, 3 and 5) or to the console (number 0).
// Records are lines: on output the characters and CR LF; on input a line feed ends a record,
// a CR before it is not data, and a last line without a line feed is still a record.
struct FileChannel {
  int number = 0;              // 1, 3 or 5; 0 for the console
  std::string name;            // the file name as opened, after the blank handling
  int fd = -1;                 // the open file, -1 while the channel is closed
  int64_t position = 0;        // byte offset of the next record to read or write
  bool lastWasWrite = false;   // whether the last operation was a write
  bool recordCut = false;      // whether the last record read was longer than kMaxRecordLength
  std::string outBuffer;       // records written but not yet handed to the file
  std::string inBuffer;        // bytes read ahead from the file
  size_t inOffset = 0;         // first unread byte of inBuffer
  bool inAtEnd = false;        // the file has no bytes past inBuffer

  // Test hook: when set, written records (characters and CR LF) are appended here instead of
  // going to a file.
  std::string* capture = nullptr;
  // Test hook: when set, records are read from this text instead of a file.
  const std::string* source = nullptr;
  // Test hook: when above 0, the write that would make this many writes fails.
  int failOnWrite = 0;
  int writesDone = 0;
};

// Remembers the program's command-line arguments: a blank file name takes the next one
// not yet used (the first argument first, each once).
void setCommandLineArguments(int argc, char** argv);

// The name a file is opened under: `name` without leading and trailing blanks, at most
// kMaxFileNameLength characters; a blank name takes the next unused command-line argument,
// or else asks on the console ("File name missing or blank - please enter file name", a line
// break, "UNIT n? ") and reads a line of standard input until the answer is not blank.
// Stops the run (exit 1) when standard input ends or fails before a non-blank answer.
std::string resolveFileName(int channelNumber, std::string_view name);

// Opens an existing file for reading: read-write, else read-only, else write-only.
// REQUIRES: channel closed. Returns Ok, or Error when the file cannot be opened and
// wantStatus is true; with wantStatus false a failure stops the run.
[[nodiscard]] IoStatus openExisting(FileChannel& channel, int number, std::string_view name,
                                    bool wantStatus);

// Opens a file for writing, creating it when missing. An existing file keeps its content until
// the first write, which cuts it off at the current position. Failure stops the run.
void openForOutput(FileChannel& channel, int number, std::string_view name);

// Reads the next record into `record` (its line feed and a CR before it removed).
// Returns Ok, EndOfFile after the last record, or Error when the file cannot be read.
[[nodiscard]] IoStatus readRecord(FileChannel& channel, std::string& record);

// Appends one record: the characters, then CR LF. Failure stops the run.
void writeRecord(FileChannel& channel, std::string_view characters);

// Writes out what is buffered and closes the file; closing a closed channel does nothing.
// Failure stops the run.
void closeChannel(FileChannel& channel);

// The console channel (standard output): each record is shown without its first character,
// with CR LF before every record but the run's first.
FileChannel& consoleChannel();

// Ends the run's console output: CR LF once more if the console showed any record, then a
// flush. Called once when the run ends, whichever way it ends.
void finishConsole();

// Writes one line to standard error naming the operation ("open", "read", "write", "close"),
// the channel's file name and the cause (strerror of errorNumber), then ends the program with
// exit status 1. Every I/O failure whose caller did not ask for the status comes here.
[[noreturn]] void stopOnIoFailure(const FileChannel& channel, std::string_view operation,
                                  int errorNumber);

// Writes `message` as one line to standard error, then ends the program with exit status 1.
[[noreturn]] void stopRun(std::string_view message);
