#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

// Result of an operation whose caller asks for failures instead of a stop.
enum class IoStatus { Ok, EndOfFile, Error };

// How a file channel's file was opened: read-write when allowed, else read-only, else write-only.
enum class AccessMode { ReadWrite, ReadOnly, WriteOnly };

// Longest file name used; longer names are cut to this many characters.
constexpr int kMaxFileNameLength = 259;
// Longest record kept in memory. The characters of a longer line past this many are passed
// over unread (the line still counts as one record), so no input can make a read grow without
// bound. readRecord reports that through FileChannel::recordCut.
constexpr int kMaxRecordLength = 1 << 20;

// A numbered connection to one file (channels 1, 3 and 5) or to the console (number 0).
// Records are lines: on output the characters and CR LF; on input a line feed ends a record,
// a CR before it is not data, and a last line without a line feed is still a record.
// Bytes are read and written as they stand, with no translation.
struct FileChannel {
  int number = 0;             // 1, 3 or 5; 0 for the console
  std::string name;           // the file name as opened, after the blank handling
  int fd = -1;                // the open file, -1 while the channel is closed
  int64_t position = 0;       // byte offset of the next record to read or write
  bool lastWasWrite = false;  // whether the last operation was a write
  bool recordCut = false;     // whether the last record read was longer than kMaxRecordLength
  std::unique_ptr<char[]> outBuffer;  // records not yet handed to the file
  size_t outCapacity = 0;             // bytes outBuffer has room for
  size_t outLength = 0;               // bytes outBuffer holds
  std::string inBuffer;       // bytes read ahead from the file
  size_t inOffset = 0;        // first unread byte of inBuffer
  bool inAtEnd = false;       // the file has no bytes past inBuffer
  AccessMode access = AccessMode::ReadWrite;  // how the open file was opened
  int refusedErrno = 0;      // errno with which the read-write open was refused, else 0
  bool truncatable = false;  // a regular file, cut off where writing begins; devices are not
  // Console only: a record has been shown since the run began (or since finishConsole), so the
  // next record starts with a line break and finishConsole owes one.
  bool recordShown = false;
  // Console only: the last record shown has had no line break after it yet.
  bool lineOpen = false;

  // Test hook: when set, written records (characters and CR LF) are appended here instead of
  // going to a file, on the console channel too (there the records are kept whole, as written,
  // and nothing reaches standard output).
  std::string* capture = nullptr;
  // Test hook: when set, records are read from this text instead of a file.
  const std::string* source = nullptr;
  // Test hook: when above 0, the write that would make this many writes fails and stops the
  // run as a failed write to the file would.
  int failOnWrite = 0;
  int writesDone = 0;  // writeRecord calls on this channel
};

// Remembers the program's command-line arguments: a blank file name takes the next one
// not yet used (the first argument first, each once). Calling it again starts over.
void setCommandLineArguments(int argc, char** argv);

// The name a file is opened under: `name` without leading and trailing blanks, at most
// kMaxFileNameLength characters; a blank name takes the next unused command-line argument
// (an argument that is blank itself is used up and passed over), or else asks on the console
// ("File name missing or blank - please enter file name", CR LF, "UNIT n? ") and reads a line
// of standard input until the answer is not blank.
// Stops the run (exit 1) when standard input ends or fails before a non-blank answer.
std::string resolveFileName(int channelNumber, std::string_view name);

// Opens an existing file for reading: read-write, else read-only, else write-only. A named
// pipe is opened read-only (waiting, as pipes do, for a program to write into it).
// A file still open on the channel is closed once the new one is open. Returns Ok, or Error
// (errno tells why; the channel is left as it was) when the file cannot be opened and
// wantStatus is true; with wantStatus false a failure stops the run.
[[nodiscard]] IoStatus openExisting(FileChannel& channel, int number, std::string_view name,
                                    bool wantStatus);

// Opens a file for writing, creating it (mode 0666 less the umask) when missing: read-write,
// else read-only, else write-only; a named pipe write-only (waiting, as pipes do, for a
// program to read from it). An existing file keeps its content until the first write,
// which cuts it off at the current position: the records written from there on are all the
// file holds after them. (The cut itself is made when those records reach the file, or at a
// stop.) Failure stops the run.
void openForOutput(FileChannel& channel, int number, std::string_view name);

// Reads the next record into `record` (its line feed and a CR before it removed; at most
// kMaxRecordLength characters, see recordCut). Returns Ok, EndOfFile after the last record,
// or Error (errno tells why) when the file cannot be read. The console cannot be read.
[[nodiscard]] IoStatus readRecord(FileChannel& channel, std::string& record);

// Appends one record: the characters, then CR LF. Records are buffered and reach the file no
// later than closeChannel. Failure stops the run.
void writeRecord(FileChannel& channel, std::string_view characters);

// Writes out what is buffered and closes the file; closing a closed channel, or the console,
// does nothing. Failure stops the run.
void closeChannel(FileChannel& channel);

// The console channel (standard output): each record is shown without its first character,
// with CR LF before every record but the run's first.
FileChannel& consoleChannel();

// Test hook: the console shows its records on `output` and the file-name question reads its
// answer from `input`; nullptr stands for standard output and standard input (the default).
void setConsoleStreams(std::FILE* output, std::FILE* input);

// Ends the run's console output: CR LF once more if the console showed any record, then a
// flush. Called once when the run ends, whichever way it ends; a second call adds nothing.
// A failed write or flush stops the run.
void finishConsole();

// Writes one line to standard error naming the operation ("open", "read", "write", "close"),
// the channel's file name and the cause (strerror of errorNumber), then ends the program with
// exit status 1. The console's output is finished first, and every file whose first write has
// not reached it yet is cut off where that write began. Every I/O failure whose caller did
// not ask for the status comes here.
[[noreturn]] void stopOnIoFailure(const FileChannel& channel, std::string_view operation,
                                  int errorNumber);

// Writes "kelvara4: " and `message` as one line to standard error, finishes the console's
// output and the waiting cuts as stopOnIoFailure does, then ends the program with exit
// status 1.
[[noreturn]] void stopRun(std::string_view message);
