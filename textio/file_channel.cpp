#include "textio/file_channel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Bytes asked of the file per read, and the size of the output buffer, whose contents go to
// the file in one write. Both are small: the files read hold a few records, and every page of
// a buffer is a fresh page the process must be given, which costs more than a few more reads
// or writes of the same bytes.
constexpr size_t kReadChunk = 4 * 1024;
constexpr size_t kWriteChunk = 16 * 1024;

constexpr std::string_view kLineEnd = "\r\n";

std::vector<std::string> commandLineArguments;
size_t nextArgument = 0;

// Files whose cut waits for their first records (see startWriting): the descriptor and the
// offset to cut at. A run writes one file at a time; a few entries are plenty, and a cut that
// finds no free entry is made at once.
struct WaitingCut {
  int fd = -1;
  off_t at = 0;
};
std::array<WaitingCut, 4> waitingCuts;

std::FILE* consoleOutputHook = nullptr;
std::FILE* consoleInputHook = nullptr;

std::FILE* consoleOutput() { return consoleOutputHook != nullptr ? consoleOutputHook : stdout; }
std::FILE* consoleInput() { return consoleInputHook != nullptr ? consoleInputHook : stdin; }

bool isConsole(const FileChannel& channel) { return &channel == &consoleChannel(); }

// `text` without leading and trailing blanks, cut to the longest file name.
// "  run.dat  "  ->  "run.dat"
std::string toFileName(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::string();
  const size_t last = text.find_last_not_of(' ');
  std::string_view trimmed = text.substr(first, last - first + 1);
  return std::string(trimmed.substr(0, kMaxFileNameLength));
}

// Writes all of `data` to `fd`, going on after short writes. Returns false with errno set
// when the file refuses a byte.
bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void writeConsole(std::string_view text) {
  if (text.empty()) return;
  if (std::fwrite(text.data(), 1, text.size(), consoleOutput()) != text.size()) {
    stopOnIoFailure(consoleChannel(), "write", errno);
  }
}

// Finishes the console's output; returns false with errno in `error` when the line break or
// the flush cannot be written. Leaves the stop to the caller, so that a failing console does
// not hide the failure that stops the run.
bool endConsoleOutput(int& error) {
  FileChannel& console = consoleChannel();
  bool ok = true;
  if (console.recordShown) {
    console.recordShown = false;
    console.lineOpen = false;
    if (std::fwrite(kLineEnd.data(), 1, kLineEnd.size(), consoleOutput()) != kLineEnd.size()) {
      error = errno;
      ok = false;
    }
  }
  if (std::fflush(consoleOutput()) != 0 && ok) {
    error = errno;
    ok = false;
  }
  return ok;
}

// Asks on the console for the name of the file on `channelNumber` until the answer is not
// blank. Stops the run when standard input ends or fails first.
std::string askFileName(int channelNumber) {
  FileChannel& console = consoleChannel();
  const std::string question = "File name missing or blank - please enter file name" +
                               std::string(kLineEnd) + "UNIT " + std::to_string(channelNumber) +
                               "? ";
  for (;;) {
    if (console.lineOpen) {
      writeConsole(kLineEnd);
      console.lineOpen = false;
    }
    writeConsole(question);
    if (std::fflush(consoleOutput()) != 0) stopOnIoFailure(console, "write", errno);

    // One line of input; past kMaxRecordLength characters the rest of the line is passed over.
    std::string answer;
    int c;
    std::FILE* in = consoleInput();
    while ((c = std::getc(in)) != EOF && c != '\n') {
      if (answer.size() < static_cast<size_t>(kMaxRecordLength)) {
        answer.push_back(static_cast<char>(c));
      }
    }
    if (c == EOF && std::ferror(in)) {
      const int error = errno;
      stopRun("cannot read standard input: " + std::string(std::strerror(error)));
    }
    if (!answer.empty() && answer.back() == '\r') answer.pop_back();  // not part of the name
    std::string fileName = toFileName(answer);
    if (!fileName.empty()) return fileName;
    if (c == EOF) {
      stopRun("no file name for unit " + std::to_string(channelNumber) + ": standard input ended");
    }
  }
}

// Opens `path` read-write, else read-only, else write-only (the first creating the file when
// `create`). Returns the descriptor and fills the channel's access fields, or returns -1 with
// errno set to the reason the read-write open was refused.
int openFile(const std::string& path, bool create, FileChannel& opened) {
  struct Attempt {
    int flags;
    AccessMode access;
  };
  const Attempt attempts[] = {
      {O_RDWR | (create ? O_CREAT : 0), AccessMode::ReadWrite},
      {O_RDONLY, AccessMode::ReadOnly},
      {O_WRONLY, AccessMode::WriteOnly},
  };
  // A name with a character of code 0 cannot be handed to the system whole: refuse it rather
  // than open the file its first characters name.
  if (path.find('\0') != std::string::npos) {
    errno = EINVAL;
    return -1;
  }
  // A named pipe is opened one way only: held open for writing by the program itself, a pipe
  // being read would never reach its end, and one being written would fill up with no one
  // reading it. It is read read-only and written write-only. This is known before the open:
  // opening a pipe the wrong way, even for a moment, would make the program its writer's
  // partner, and what the writer wrote would be lost when that open is closed.
  struct stat named;
  const bool pipe = ::stat(path.c_str(), &named) == 0 && S_ISFIFO(named.st_mode);
  int refused = 0;
  for (const Attempt& attempt : attempts) {
    if (pipe && attempt.access != (create ? AccessMode::WriteOnly : AccessMode::ReadOnly)) {
      continue;
    }
    int fd;
    do {
      fd = ::open(path.c_str(), attempt.flags | O_CLOEXEC | O_NOCTTY, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      if (refused == 0) refused = errno;
      // A file that is not there opens in no other mode either.
      if (errno == ENOENT) break;
      continue;
    }
    struct stat status;
    int error = 0;
    if (::fstat(fd, &status) != 0) {
      error = errno;
    } else if (S_ISDIR(status.st_mode)) {
      error = EISDIR;  // a directory opens for reading but is not a file of records
    }
    if (error != 0) {
      ::close(fd);
      if (refused == 0) refused = error;
      break;
    }
    opened.access = attempt.access;
    opened.refusedErrno = refused;
    opened.truncatable = S_ISREG(status.st_mode);
    return fd;
  }
  errno = refused;
  return -1;
}

// Makes `channel` an open channel on `fd`, positioned at the start of the file.
void connect(FileChannel& channel, int number, std::string path, int fd,
             const FileChannel& opened) {
  channel.number = number;
  channel.name = std::move(path);
  channel.fd = fd;
  channel.position = 0;
  channel.lastWasWrite = false;
  channel.recordCut = false;
  channel.outLength = 0;
  channel.inBuffer.clear();
  channel.inOffset = 0;
  channel.inAtEnd = false;
  channel.access = opened.access;
  channel.refusedErrno = opened.refusedErrno;
  channel.truncatable = opened.truncatable;
}

// Cuts the file off at `at`. Returns false with errno set when the file refuses.
bool cutFile(int fd, off_t at) {
  int result;
  do {
    result = ::ftruncate(fd, at);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

WaitingCut* findWaitingCut(int fd) {
  for (WaitingCut& cut : waitingCuts) {
    if (cut.fd == fd) return &cut;
  }
  return nullptr;
}

// Makes the cuts still waiting, before a stop drops the buffered records: each file ends
// where the records written since its cut began, as if the cut had been made at once.
void makeWaitingCuts() {
  for (WaitingCut& cut : waitingCuts) {
    if (cut.fd >= 0) (void)cutFile(cut.fd, cut.at);
    cut.fd = -1;
  }
}

// Hands the buffered records to the file. A cut waiting for them is made just after they are
// written, where they end (or where the file stopped taking them).
void flushOutput(FileChannel& channel) {
  if (channel.outLength == 0) return;
  const bool written = writeAll(channel.fd, channel.outBuffer.get(), channel.outLength);
  const int writeError = errno;
  if (WaitingCut* cut = channel.fd >= 0 ? findWaitingCut(channel.fd) : nullptr) {
    cut->fd = -1;
    const off_t end = ::lseek(channel.fd, 0, SEEK_CUR);
    if (end < 0 || !cutFile(channel.fd, end)) stopOnIoFailure(channel, "write", errno);
  }
  if (!written) stopOnIoFailure(channel, "write", writeError);
  channel.outLength = 0;
}

// Turns the channel from reading to writing: the read-ahead is dropped and a file is cut off
// where the next record goes, so that what follows the written records is gone. Cutting a
// file to nothing and filling it again costs the file system several times what writing over
// its start and cutting off the rest does, so the cut waits for the first records to reach
// the file (or for a stop, which makes it at once).
void startWriting(FileChannel& channel) {
  channel.inBuffer.clear();
  channel.inOffset = 0;
  channel.inAtEnd = false;
  if (!channel.truncatable) return;
  const off_t at = static_cast<off_t>(channel.position);
  if (::lseek(channel.fd, at, SEEK_SET) < 0) stopOnIoFailure(channel, "write", errno);
  WaitingCut* cut = findWaitingCut(channel.fd);
  if (cut == nullptr) cut = findWaitingCut(-1);
  if (cut != nullptr) {
    *cut = WaitingCut{channel.fd, at};
  } else if (!cutFile(channel.fd, at)) {
    stopOnIoFailure(channel, "write", errno);
  }
}

// One record being read: what is kept of it and what is known of the bytes passed.
struct LineScan {
  size_t length = 0;      // bytes of the line so far, its line feed not counted
  bool endsInCr = false;  // the last of those bytes is a CR
  bool lineFeedFound = false;
};

// Scans `size` bytes at `data` for the end of the line, keeping at most kMaxRecordLength + 1
// bytes of the line in `record` (one more than a record holds, for a CR that may end it).
// Returns the bytes used, the line feed included.
size_t scanLine(const char* data, size_t size, LineScan& scan, std::string& record) {
  const void* lineFeed = std::memchr(data, '\n', size);
  const size_t take =
      lineFeed != nullptr ? static_cast<size_t>(static_cast<const char*>(lineFeed) - data) : size;
  constexpr size_t kKept = static_cast<size_t>(kMaxRecordLength) + 1;
  if (record.size() < kKept) record.append(data, std::min(take, kKept - record.size()));
  if (take > 0) scan.endsInCr = data[take - 1] == '\r';
  scan.length += take;
  assert(record.size() == std::min(scan.length, kKept));
  if (lineFeed == nullptr) return take;
  scan.lineFeedFound = true;
  return take + 1;
}

// Ends a record whose bytes are all scanned: a CR at its end is not data, and a longer record
// keeps its first kMaxRecordLength characters.
IoStatus finishRecord(FileChannel& channel, const LineScan& scan, std::string& record) {
  if (!scan.lineFeedFound && scan.length == 0) return IoStatus::EndOfFile;
  channel.position += static_cast<int64_t>(scan.length + (scan.lineFeedFound ? 1 : 0));
  const size_t dataLength = scan.length - (scan.endsInCr ? 1 : 0);
  channel.recordCut = dataLength > static_cast<size_t>(kMaxRecordLength);
  record.resize(std::min(dataLength, static_cast<size_t>(kMaxRecordLength)));
  return IoStatus::Ok;
}

IoStatus readFromSource(FileChannel& channel, std::string& record) {
  const std::string& text = *channel.source;
  const size_t at = std::min(static_cast<size_t>(channel.position), text.size());
  LineScan scan;
  scanLine(text.data() + at, text.size() - at, scan, record);
  return finishRecord(channel, scan, record);
}

}  // namespace

void setCommandLineArguments(int argc, char** argv) {
  commandLineArguments.clear();
  for (int i = 1; i < argc; ++i) commandLineArguments.emplace_back(argv[i]);
  nextArgument = 0;
}

std::string resolveFileName(int channelNumber, std::string_view name) {
  std::string fileName = toFileName(name);
  if (!fileName.empty()) return fileName;
  // The next argument is the name as it stands, blanks included.
  if (nextArgument < commandLineArguments.size()) {
    fileName = commandLineArguments[nextArgument++].substr(0, kMaxFileNameLength);
    return fileName;
  }
  return askFileName(channelNumber);
}

namespace {

// Opens the named file on the channel, creating it when `create`; a channel whose test hook
// stands in for the file (`source` for reading, `capture` for writing) opens no file. A file
// that cannot be opened gives Error when `wantStatus`, else stops the run.
IoStatus openChannel(FileChannel& channel, int number, std::string_view name, bool create,
                     bool wantStatus) {
  std::string path = resolveFileName(number, name);
  const bool inMemory = create ? channel.capture != nullptr : channel.source != nullptr;
  if (inMemory) {
    closeChannel(channel);
    connect(channel, number, std::move(path), -1, FileChannel{});
    return IoStatus::Ok;
  }
  FileChannel opened;
  const int fd = openFile(path, create, opened);
  if (fd < 0) {
    if (wantStatus) return IoStatus::Error;
    const int error = errno;
    opened.number = number;
    opened.name = path;
    stopOnIoFailure(opened, "open", error);
  }
  closeChannel(channel);
  connect(channel, number, std::move(path), fd, opened);
  return IoStatus::Ok;
}

}  // namespace

IoStatus openExisting(FileChannel& channel, int number, std::string_view name, bool wantStatus) {
  return openChannel(channel, number, name, /*create=*/false, wantStatus);
}

void openForOutput(FileChannel& channel, int number, std::string_view name) {
  (void)openChannel(channel, number, name, /*create=*/true, /*wantStatus=*/false);
}

IoStatus readRecord(FileChannel& channel, std::string& record) {
  record.clear();
  if (channel.source != nullptr) return readFromSource(channel, record);
  if (isConsole(channel) || channel.fd < 0) {
    errno = EBADF;
    return IoStatus::Error;
  }
  if (channel.access == AccessMode::WriteOnly) {
    errno = channel.refusedErrno;
    return IoStatus::Error;
  }
  if (channel.lastWasWrite) {
    // The written records come first; reading goes on after them.
    flushOutput(channel);
    channel.lastWasWrite = false;
  }

  LineScan scan;
  while (!scan.lineFeedFound) {
    if (channel.inOffset == channel.inBuffer.size()) {
      if (channel.inAtEnd) break;
      channel.inBuffer.resize(kReadChunk);
      channel.inOffset = 0;
      ssize_t n;
      do {
        n = ::read(channel.fd, channel.inBuffer.data(), kReadChunk);
      } while (n < 0 && errno == EINTR);
      if (n < 0) {
        const int error = errno;
        channel.inBuffer.clear();
        errno = error;
        return IoStatus::Error;
      }
      channel.inBuffer.resize(static_cast<size_t>(n));
      channel.inAtEnd = n == 0;
      continue;
    }
    channel.inOffset += scanLine(channel.inBuffer.data() + channel.inOffset,
                                 channel.inBuffer.size() - channel.inOffset, scan, record);
  }
  return finishRecord(channel, scan, record);
}

void writeRecord(FileChannel& channel, std::string_view characters) {
  ++channel.writesDone;
  if (channel.failOnWrite > 0 && channel.writesDone == channel.failOnWrite) {
    stopOnIoFailure(channel, "write", ENOSPC);
  }
  if (channel.capture != nullptr) {
    channel.capture->append(characters);
    channel.capture->append(kLineEnd);
    channel.position += static_cast<int64_t>(characters.size() + kLineEnd.size());
    channel.lastWasWrite = true;
    return;
  }
  // The console is never opened on a file: only a channel without one can be the console.
  if (channel.fd < 0) {
    if (isConsole(channel)) {
      // The first character controls the line and is not shown: " abc"  ->  "abc".
      if (channel.recordShown) writeConsole(kLineEnd);
      writeConsole(characters.substr(std::min<size_t>(1, characters.size())));
      channel.recordShown = true;
      channel.lineOpen = true;
      return;
    }
    stopOnIoFailure(channel, "write", EBADF);
  }
  if (channel.access == AccessMode::ReadOnly) {
    stopOnIoFailure(channel, "write", channel.refusedErrno != 0 ? channel.refusedErrno : EBADF);
  }
  if (!channel.lastWasWrite) startWriting(channel);
  // A record goes into the buffer whole; when the buffer lacks room, what it holds goes to the
  // file first, and a record longer than the buffer gets a buffer of its size.
  const size_t size = characters.size() + kLineEnd.size();
  if (channel.outCapacity - channel.outLength < size) {
    flushOutput(channel);
    if (channel.outCapacity < size) {
      channel.outCapacity = std::max(kWriteChunk, size);
      channel.outBuffer = std::make_unique_for_overwrite<char[]>(channel.outCapacity);
    }
  }
  char* const at = channel.outBuffer.get() + channel.outLength;
  std::memcpy(at, characters.data(), characters.size());
  at[characters.size()] = kLineEnd[0];
  at[characters.size() + 1] = kLineEnd[1];
  channel.outLength += size;
  channel.position += static_cast<int64_t>(size);
  channel.lastWasWrite = true;
}

void closeChannel(FileChannel& channel) {
  if (isConsole(channel)) return;
  if (channel.fd >= 0) {
    flushOutput(channel);
    const int fd = channel.fd;
    channel.fd = -1;
    if (WaitingCut* cut = findWaitingCut(fd)) {
      // Nothing was written since the cut began: the file ends there.
      cut->fd = -1;
      if (!cutFile(fd, cut->at)) stopOnIoFailure(channel, "write", errno);
    }
    // After an interrupted close the descriptor is gone all the same; nothing to retry.
    if (::close(fd) != 0 && errno != EINTR) stopOnIoFailure(channel, "close", errno);
  }
  channel.position = 0;
  channel.lastWasWrite = false;
  channel.outBuffer.reset();
  channel.outCapacity = 0;
  channel.outLength = 0;
  std::string().swap(channel.inBuffer);
  channel.inOffset = 0;
  channel.inAtEnd = false;
}

FileChannel& consoleChannel() {
  static FileChannel console;
  return console;
}

void setConsoleStreams(std::FILE* output, std::FILE* input) {
  consoleOutputHook = output;
  consoleInputHook = input;
}

void finishConsole() {
  int error = 0;
  if (!endConsoleOutput(error)) stopOnIoFailure(consoleChannel(), "write", error);
}

void stopOnIoFailure(const FileChannel& channel, std::string_view operation, int errorNumber) {
  // A console that cannot be finished must not hide this failure; the exit status says enough.
  makeWaitingCuts();
  int ignored = 0;
  endConsoleOutput(ignored);
  std::string message = "kelvara4: cannot ";
  message.append(operation);
  if (isConsole(channel)) {
    message += " standard output";
  } else {
    message += " file '" + channel.name + "'";
  }
  message += ": ";
  message += std::strerror(errorNumber);
  message += '\n';
  std::fwrite(message.data(), 1, message.size(), stderr);
  std::exit(1);
}

void stopRun(std::string_view message) {
  makeWaitingCuts();
  int ignored = 0;
  endConsoleOutput(ignored);
  std::string line = "kelvara4: ";
  line.append(message);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::exit(1);
}
