#include "textio/file_channel.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// A fresh directory under /tmp, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/kelvara4-channels-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (made == nullptr) std::abort();
    path_ = made;
    ::chmod(made, 0755);  // open to the unprivileged user of UnprivilegedScope
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// While it lives, files are opened as an unprivileged user, so that permission bits bind even
// when the tests run as root; the effective user id is switched back at the end.
class UnprivilegedScope {
 public:
  UnprivilegedScope() : switched_(::geteuid() == 0 && ::seteuid(65534) == 0) {}
  ~UnprivilegedScope() {
    if (switched_ && ::seteuid(0) != 0) std::abort();
  }
  // Whether the effective user may open `path` with `rights` (R_OK, W_OK).
  static bool allows(const std::string& path, int rights) {
    return ::faccessat(AT_FDCWD, path.c_str(), rights, AT_EACCESS) == 0;
  }

 private:
  bool switched_;
};

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Reads every record left on the channel; ends at EndOfFile.
std::vector<std::string> readAll(FileChannel& channel) {
  std::vector<std::string> records;
  std::string record;
  IoStatus status;
  while ((status = readRecord(channel, record)) == IoStatus::Ok) records.push_back(record);
  EXPECT_EQ(IoStatus::EndOfFile, status);
  return records;
}

// Sends the console to a temporary file and takes the file-name answers from `input`; starts
// the console afresh and puts standard output and input back at the end.
class ConsoleCapture {
 public:
  explicit ConsoleCapture(const std::string& input = "")
      : output_(std::tmpfile()), input_(std::tmpfile()) {
    if (output_ == nullptr || input_ == nullptr) std::abort();
    std::fwrite(input.data(), 1, input.size(), input_);
    std::rewind(input_);
    consoleChannel() = FileChannel{};
    setConsoleStreams(output_, input_);
  }
  ~ConsoleCapture() {
    setConsoleStreams(nullptr, nullptr);
    consoleChannel() = FileChannel{};
    std::fclose(output_);
    std::fclose(input_);
  }
  // Everything the console has written so far; nothing stays buffered afterwards.
  std::string text() {
    std::fflush(output_);
    std::rewind(output_);
    std::string text;
    int c;
    while ((c = std::getc(output_)) != EOF) text.push_back(static_cast<char>(c));
    return text;
  }

 private:
  std::FILE* output_;
  std::FILE* input_;
};

// Command-line arguments for one test; none are left behind.
class Arguments {
 public:
  explicit Arguments(std::vector<std::string> arguments) : storage_(std::move(arguments)) {
    storage_.insert(storage_.begin(), "kelvara4");
    for (std::string& argument : storage_) pointers_.push_back(argument.data());
    setCommandLineArguments(static_cast<int>(pointers_.size()), pointers_.data());
  }
  ~Arguments() { setCommandLineArguments(0, nullptr); }

 private:
  std::vector<std::string> storage_;
  std::vector<char*> pointers_;
};

const std::string kQuestion = "File name missing or blank - please enter file name\r\nUNIT ";

}  // namespace

TEST(FileChannel, EndsEveryRecordWithCrLfAndWritesNothingAfterTheLast) {
  TempDir dir;
  const std::string path = dir.file("out.dat");
  FileChannel channel;
  openForOutput(channel, 5, path);
  writeRecord(channel, " 1  2");
  writeRecord(channel, "");
  writeRecord(channel, "last");
  closeChannel(channel);
  EXPECT_EQ(" 1  2\r\n\r\nlast\r\n", readFile(path));
  EXPECT_EQ(-1, channel.fd);
}

TEST(FileChannel, WrittenFileHoldsOnlyTheNewRecords) {
  TempDir dir;
  const std::string path = dir.file("Kelvara4Err");
  writeFile(path, std::string(100000, 'o') + "\r\nold tail\r\n");
  FileChannel channel;
  openForOutput(channel, 3, path);
  writeRecord(channel, "new one");
  writeRecord(channel, "new two");
  closeChannel(channel);
  EXPECT_EQ("new one\r\nnew two\r\n", readFile(path));
}

TEST(FileChannel, FileClosedWithoutWriteKeepsItsContent) {
  TempDir dir;
  const std::string path = dir.file("out.dat");
  writeFile(path, "kept\nas it was");
  FileChannel channel;
  openForOutput(channel, 5, path);
  closeChannel(channel);
  EXPECT_EQ("kept\nas it was", readFile(path));
}

TEST(FileChannel, CreatesMissingOutputFile) {
  TempDir dir;
  const std::string path = dir.file("new.dat");
  FileChannel channel;
  openForOutput(channel, 5, "  " + path + "   ");
  EXPECT_EQ(path, channel.name);
  closeChannel(channel);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ("", readFile(path));
}

TEST(FileChannel, WriteAfterReadCutsFileBehindTheRecordsRead) {
  // The whole file is read ahead into the buffer; the cut must still fall after "one".
  TempDir dir;
  const std::string path = dir.file("mixed.dat");
  writeFile(path, "one\r\ntwo\nthree\r\n");
  FileChannel channel;
  ASSERT_EQ(IoStatus::Ok, openExisting(channel, 1, path, true));
  std::string record;
  ASSERT_EQ(IoStatus::Ok, readRecord(channel, record));
  EXPECT_EQ("one", record);
  writeRecord(channel, "new");
  EXPECT_EQ(IoStatus::EndOfFile, readRecord(channel, record));
  closeChannel(channel);
  EXPECT_EQ("one\r\nnew\r\n", readFile(path));
}

TEST(FileChannel, ReadsLineFeedAndCrLfFilesAlike) {
  struct Case {
    const char* label;
    std::string bytes;
  };
  const Case cases[] = {
      {"line feed", "a\n\n x y \n"},
      {"CR LF", "a\r\n\r\n x y \r\n"},
      {"no final line end", "a\r\n\n x y "},
      {"final CR without line feed", "a\n\r\n x y \r"},
  };
  const std::vector<std::string> expected = {"a", "", " x y "};
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string path = dir.file("in.dat");
    writeFile(path, c.bytes);
    FileChannel file;
    ASSERT_EQ(IoStatus::Ok, openExisting(file, 1, path, false));
    EXPECT_EQ(expected, readAll(file));
    closeChannel(file);

    FileChannel text;
    text.source = &c.bytes;
    EXPECT_EQ(expected, readAll(text));
  }
}

TEST(FileChannel, KeepsCarriageReturnInsideARecord) {
  const std::string bytes = "x\ry\r\r\n";
  FileChannel channel;
  channel.source = &bytes;
  EXPECT_EQ(std::vector<std::string>{"x\ry\r"}, readAll(channel));
}

TEST(FileChannel, ReadsBackManyRecordsAcrossBufferBoundaries) {
  // About 5000 lines, as a run with 1000 bodies writes: several buffers full each way.
  std::vector<std::string> records;
  std::string expectedBytes;
  for (int i = 0; i < 5000; ++i) {
    std::string record(static_cast<size_t>(i % 157), static_cast<char>('a' + i % 26));
    record += std::to_string(i);
    expectedBytes += record + "\r\n";
    records.push_back(std::move(record));
  }
  TempDir dir;
  const std::string path = dir.file("big.dat");
  FileChannel out;
  openForOutput(out, 5, path);
  for (const std::string& record : records) writeRecord(out, record);
  closeChannel(out);
  EXPECT_EQ(expectedBytes, readFile(path));

  FileChannel in;
  ASSERT_EQ(IoStatus::Ok, openExisting(in, 1, path, false));
  EXPECT_EQ(records, readAll(in));
  closeChannel(in);
}

TEST(FileChannel, PassesOverTheRestOfAnOverlongLine) {
  constexpr size_t kMax = kMaxRecordLength;
  struct Case {
    size_t length;
    const char* ending;
    bool cut;
  };
  const Case cases[] = {
      {kMax, "\r\n", false},    {kMax, "\n", false},          {kMax + 1, "\n", true},
      {kMax + 1, "\r\n", true}, {3 * kMax + 5, "\r\n", true},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.length << (c.ending[0] == '\r' ? " CR LF" : " LF"));
    const std::string path = dir.file("long.dat");
    writeFile(path, std::string(c.length, 'x') + c.ending + "next\n");
    FileChannel channel;
    ASSERT_EQ(IoStatus::Ok, openExisting(channel, 1, path, false));
    std::string record;
    ASSERT_EQ(IoStatus::Ok, readRecord(channel, record));
    EXPECT_EQ(kMax, record.size());
    EXPECT_EQ(std::string::npos, record.find_first_not_of('x'));
    EXPECT_EQ(c.cut, channel.recordCut);
    // Neither the record nor the read-ahead grows with the line.
    EXPECT_LE(record.capacity(), 2 * kMax + 2);
    EXPECT_LT(channel.inBuffer.capacity(), kMax);
    ASSERT_EQ(IoStatus::Ok, readRecord(channel, record));
    EXPECT_EQ("next", record);
    EXPECT_FALSE(channel.recordCut);
    EXPECT_EQ(IoStatus::EndOfFile, readRecord(channel, record));
    closeChannel(channel);
  }
}

TEST(FileChannel, MissingFileGivesErrorWhenStatusIsAsked) {
  TempDir dir;
  FileChannel channel;
  errno = 0;
  EXPECT_EQ(IoStatus::Error, openExisting(channel, 1, dir.file("file_okf.dat"), true));
  EXPECT_EQ(ENOENT, errno);
  EXPECT_EQ(-1, channel.fd);
  EXPECT_EQ(0, channel.number);
}

TEST(FileChannel, OpensFilesWithTheAccessThePermissionsAllow) {
  // Where permission bits cannot be made to bind, the mode expected follows what the system
  // actually allows.
  struct Case {
    mode_t permissions;
    int missingRight;
    AccessMode fallback;
  };
  const Case cases[] = {
      {0444, W_OK, AccessMode::ReadOnly},
      {0222, R_OK, AccessMode::WriteOnly},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::oct << c.permissions);
    const std::string path = dir.file("Kelvara4.dat");
    std::filesystem::remove(path);
    writeFile(path, "first\r\nsecond\r\n");
    ASSERT_EQ(0, ::chmod(path.c_str(), c.permissions));

    FileChannel channel;
    AccessMode expected;
    {
      UnprivilegedScope unprivileged;
      expected =
          UnprivilegedScope::allows(path, c.missingRight) ? AccessMode::ReadWrite : c.fallback;
      ASSERT_EQ(IoStatus::Ok, openExisting(channel, 1, path, true));
    }
    EXPECT_EQ(expected, channel.access);
    std::string record;
    if (expected == AccessMode::WriteOnly) {
      EXPECT_EQ(IoStatus::Error, readRecord(channel, record));
    } else {
      EXPECT_EQ((std::vector<std::string>{"first", "second"}), readAll(channel));
    }
    closeChannel(channel);
  }
}

TEST(FileChannel, CaptureHookTakesWrittenRecords) {
  std::string captured;
  FileChannel channel;
  channel.capture = &captured;
  writeRecord(channel, " 0.5");
  writeRecord(channel, "");
  EXPECT_EQ(" 0.5\r\n\r\n", captured);
}

TEST(FileChannelDeathTest, MissingFileStopsRunWhenStatusIsNotAsked) {
  TempDir dir;
  const std::string path = dir.file("Kelvara4.dat");
  FileChannel channel;
  EXPECT_EXIT((void)openExisting(channel, 1, path, false), testing::ExitedWithCode(1),
              "^kelvara4: cannot open file '" + path + "': No such file or directory\n$");
}

TEST(FileChannelDeathTest, OutputFileThatCannotBeOpenedStopsRun) {
  TempDir dir;
  struct Case {
    std::string path;
    const char* cause;
  };
  const Case cases[] = {
      {dir.file("no-such-dir/out.dat"), "No such file or directory"},
      {dir.file(""), "Is a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    FileChannel channel;
    EXPECT_EXIT(openForOutput(channel, 5, c.path), testing::ExitedWithCode(1),
                "kelvara4: cannot open file '" + c.path + "': " + c.cause);
  }
}

TEST(FileChannelDeathTest, FullDeviceStopsRun) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  FileChannel channel;
  EXPECT_EXIT(
      {
        openForOutput(channel, 5, "/dev/full");
        writeRecord(channel, " 1");
        closeChannel(channel);
      },
      testing::ExitedWithCode(1),
      "^kelvara4: cannot write file '/dev/full': No space left on device\n$");
}

TEST(FileChannelDeathTest, FailOnWriteHookStopsRunAtThatWrite) {
  std::string captured;
  FileChannel channel;
  channel.name = "initial.dat";
  channel.capture = &captured;
  channel.failOnWrite = 2;
  writeRecord(channel, "first");
  EXPECT_EXIT(writeRecord(channel, "second"), testing::ExitedWithCode(1),
              "kelvara4: cannot write file 'initial.dat': ");
  EXPECT_EQ("first\r\n", captured);
}

TEST(FileChannelDeathTest, WriteToFileOpenedReadOnlyStopsRun) {
  TempDir dir;
  const std::string path = dir.file("ro.dat");
  writeFile(path, "old\r\n");
  ASSERT_EQ(0, ::chmod(path.c_str(), 0444));
  FileChannel channel;
  {
    UnprivilegedScope unprivileged;
    if (UnprivilegedScope::allows(path, W_OK)) GTEST_SKIP() << "permissions do not bind";
    openForOutput(channel, 3, path);
  }
  ASSERT_EQ(AccessMode::ReadOnly, channel.access);
  EXPECT_EXIT(writeRecord(channel, "new"), testing::ExitedWithCode(1),
              "kelvara4: cannot write file '" + path + "': Permission denied");
  closeChannel(channel);
  EXPECT_EQ("old\r\n", readFile(path));
}

TEST(Console, ShowsEachRecordWithoutItsFirstCharacter) {
  ConsoleCapture console;
  writeRecord(consoleChannel(), " first");
  writeRecord(consoleChannel(), " second");
  writeRecord(consoleChannel(), "x");
  writeRecord(consoleChannel(), " continued");
  EXPECT_EQ("first\r\nsecond\r\n\r\ncontinued", console.text());
  finishConsole();
  EXPECT_EQ("first\r\nsecond\r\n\r\ncontinued\r\n", console.text());
  finishConsole();
  EXPECT_EQ("first\r\nsecond\r\n\r\ncontinued\r\n", console.text());
}

TEST(Console, FinishWritesNothingWhenNoRecordWasShown) {
  ConsoleCapture console;
  finishConsole();
  EXPECT_EQ("", console.text());
}

TEST(ConsoleDeathTest, StopFinishesTheConsoleOutputFirst) {
  // The child must share the console's file to leave its output there for this process.
  GTEST_FLAG_SET(death_test_style, "fast");
  ConsoleCapture console;
  writeRecord(consoleChannel(), " read error");
  EXPECT_EQ("read error", console.text());
  TempDir dir;
  FileChannel channel;
  channel.name = "Kelvara4Err";
  EXPECT_EXIT(stopOnIoFailure(channel, "close", EIO), testing::ExitedWithCode(1),
              "^kelvara4: cannot close file 'Kelvara4Err': Input/output error\n$");
  EXPECT_EQ("read error\r\n", console.text());
  EXPECT_EXIT(stopRun("refused"), testing::ExitedWithCode(1), "^kelvara4: refused\n$");
}

TEST(FileName, TrimsBlanksAndCutsLongNames) {
  struct Case {
    std::string name;
    std::string used;
  };
  const Case cases[] = {
      {"Kelvara4Err ", "Kelvara4Err"},
      {"   out.dat  ", "out.dat"},
      {"two words", "two words"},
      {std::string(259, 'n'), std::string(259, 'n')},
      {"  " + std::string(259, 'n') + "xyz  ", std::string(259, 'n')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.used, resolveFileName(5, c.name));
  }
}

TEST(FileName, BlankNameTakesArgumentsInTurnThenAsks) {
  TempDir dir;
  Arguments arguments({dir.file("first.dat"), "  second.dat "});
  ConsoleCapture console("    \n  third.dat  \r\n");
  EXPECT_EQ("given.dat", resolveFileName(5, "given.dat"));

  FileChannel channel;
  openForOutput(channel, 5, "            ");
  EXPECT_EQ(dir.file("first.dat"), channel.name);
  closeChannel(channel);
  EXPECT_TRUE(std::filesystem::exists(dir.file("first.dat")));

  // An argument is the name as it stands, blanks included.
  EXPECT_EQ("  second.dat ", resolveFileName(5, ""));
  EXPECT_EQ("", console.text());
  EXPECT_EQ("third.dat", resolveFileName(5, "   "));
  EXPECT_EQ(kQuestion + "5? " + kQuestion + "5? ", console.text());
}

TEST(FileName, QuestionEndsTheOpenConsoleLineFirst) {
  ConsoleCapture console("answer.dat\n");
  writeRecord(consoleChannel(), " shown");
  EXPECT_EQ("answer.dat", resolveFileName(3, " "));
  finishConsole();
  EXPECT_EQ("shown\r\n" + kQuestion + "3? \r\n", console.text());
}

TEST(FileNameDeathTest, EndOfInputAtTheQuestionStopsRun) {
  // The child must share the console's file to leave its output there for this process.
  GTEST_FLAG_SET(death_test_style, "fast");
  struct Case {
    const char* input;
    int questions;
  };
  const Case cases[] = {{"", 1}, {"   \n", 2}, {"  \n \r\n  ", 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.input << '"');
    ConsoleCapture console(c.input);
    EXPECT_EXIT((void)resolveFileName(5, "  "), testing::ExitedWithCode(1),
                "^kelvara4: no file name for unit 5: standard input ended\n$");
    // Nothing follows the last question on the console; the message goes to standard error.
    std::string expected;
    for (int i = 0; i < c.questions; ++i) expected += kQuestion + "5? ";
    EXPECT_EQ(expected, console.text());
  }
}
