// Whole runs of the built program under file-system faults that no permission bit makes, so
// that they hold when the tests run as root: missing files and directories, directories in the
// way, a full device. Each test checks the exit status, the message, and which files exist
// afterwards with which content. The last test checks that no kind of run writes the input
// files, and that a refused run leaves earlier output alone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/fault_helpers.h"
#include "tests/e2e/run_harness.h"

namespace fs = std::filesystem;

namespace {

using faults::Entry;
using faults::kCases;

const std::string kEarlier = "record of an earlier run\r\n";

// Output of an earlier run, longer than anything a run writes: 2000 records.
std::string earlierOutput() {
  std::string text;
  for (int k = 0; k < 2000; ++k) text += kEarlier;
  return text;
}

std::string expectedFile(const char* caseName, const char* file) {
  return readFile(kCases / caseName / "expected" / file);
}

// A run directory holding `parameters` as the parameter file and an earlier report, all with
// an old modification time.
struct RunDir {
  TempDir dir;
  explicit RunDir(const std::string& parameters) {
    writeFile(path() / "Kelvara4.dat", parameters);
    writeFile(path() / "Kelvara4Err", earlierOutput());
    faults::makeOld(path() / "Kelvara4.dat");
    faults::makeOld(path() / "Kelvara4Err");
  }
  const fs::path& path() const { return dir.path(); }
};

TEST(FileFaults, ParameterFileThatCannotBeOpenedStopsTheRunBeforeAnyWrite) {
  struct Case {
    const char* what;
    bool directory;  // a directory named Kelvara4.dat; else no such entry at all
    const char* err;
  };
  const Case cases[] = {
      {"missing", false, "kelvara4: cannot open file 'Kelvara4.dat': No such file or directory\n"},
      {"a directory", true, "kelvara4: cannot open file 'Kelvara4.dat': Is a directory\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunDir run("");
    fs::remove(run.path() / "Kelvara4.dat");
    if (c.directory) fs::create_directory(run.path() / "Kelvara4.dat");
    const auto before = faults::snapshot(run.path());
    const RunResult result = runProgram(run.path());
    EXPECT_EQ(1, result.status);
    EXPECT_EQ("", result.out);
    EXPECT_EQ(c.err, result.err);
    EXPECT_EQ(before, faults::snapshot(run.path())) << "the earlier report must stay";
  }
}

// An empty parameter file opens but has no record 1: the read-error record, with every value
// still 0, goes to the console and replaces the earlier report whole.
TEST(FileFaults, EmptyParameterFileGivesTheReadErrorRecord) {
  RunDir run("");
  const Entry parameters = faults::snapshot(run.path())["Kelvara4.dat"];
  const RunResult result = runProgram(run.path());
  EXPECT_EQ(1, result.status);
  EXPECT_EQ(expectedFile("readErrorRecord1", ".stdout"), result.out);
  EXPECT_EQ("", result.err);
  auto after = faults::snapshot(run.path());
  EXPECT_EQ((std::vector<std::string>{"Kelvara4.dat", "Kelvara4Err"}), faults::namesIn(run.path()));
  EXPECT_EQ(expectedFile("readErrorRecord1", "Kelvara4Err"), after["Kelvara4Err"].content);
  EXPECT_EQ(parameters, after["Kelvara4.dat"]);
}

// The initial-data file is written before the report: when it cannot be written, the run stops
// with the earlier report untouched and no initial-data file.
TEST(FileFaults, InitialDataFileThatCannotBeWrittenStopsTheRun) {
  struct Case {
    const char* field;  // record 12 from column 60
    const char* err;
  };
  const Case cases[] = {
      {"nodir/x.dat", "kelvara4: cannot open file 'nodir/x.dat': No such file or directory\n"},
      {"/dev/full", "kelvara4: cannot write file '/dev/full': No space left on device\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    if (std::string(c.field) == "/dev/full" && access("/dev/full", W_OK) != 0) {
      GTEST_SKIP() << "no writable /dev/full";
    }
    RunDir run(faults::withNameField("periN4", c.field));
    const auto before = faults::snapshot(run.path());
    const RunResult result = runProgram(run.path());
    EXPECT_EQ(1, result.status);
    EXPECT_EQ("", result.out);
    EXPECT_EQ(c.err, result.err);
    EXPECT_EQ(before, faults::snapshot(run.path()));
    EXPECT_FALSE(fs::exists(run.path() / "nodir"));
  }
}

// A directory named Kelvara4Err: the report cannot be opened. A complete run has by then
// written and closed the initial-data file, which stays as written; on the read-error path
// the console has already shown the record.
TEST(FileFaults, ReportFileNameTakenByADirectoryStopsTheRun) {
  struct Case {
    const char* what;
    std::string parameters;
    std::string out;
    std::vector<std::string> files;  // what the directory holds afterwards
  };
  const Case cases[] = {
      {"complete run", readFile(kCases / "periN4" / "Kelvara4.dat"), "",
       {"Kelvara4.dat", "Kelvara4Err", "n4.dat"}},
      {"read-error path", "", expectedFile("readErrorRecord1", ".stdout"),
       {"Kelvara4.dat", "Kelvara4Err"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    writeFile(dir.path() / "Kelvara4.dat", c.parameters);
    fs::create_directory(dir.path() / "Kelvara4Err");
    const RunResult result = runProgram(dir.path());
    EXPECT_EQ(1, result.status);
    EXPECT_EQ(c.out, result.out);
    EXPECT_EQ("kelvara4: cannot open file 'Kelvara4Err': Is a directory\n", result.err);
    EXPECT_EQ(c.files, faults::namesIn(dir.path()));
    EXPECT_TRUE(fs::is_empty(dir.path() / "Kelvara4Err"));
    if (fs::exists(dir.path() / "n4.dat")) {
      EXPECT_EQ(expectedFile("periN4", "n4.dat"), readFile(dir.path() / "n4.dat"));
    }
  }
}

// Output files that existed before, longer than what the run writes, hold exactly the new
// records afterwards: no tail of the old content remains.
TEST(FileFaults, LongerEarlierOutputFilesHoldExactlyTheNewRecords) {
  RunDir run(readFile(kCases / "periN4" / "Kelvara4.dat"));
  writeFile(run.path() / "n4.dat", earlierOutput());
  const RunResult result = runProgram(run.path());
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("", result.out);
  EXPECT_EQ("", result.err);
  EXPECT_EQ(expectedFile("periN4", "n4.dat"), readFile(run.path() / "n4.dat"));
  EXPECT_EQ(expectedFile("periN4", "Kelvara4Err"), readFile(run.path() / "Kelvara4Err"));
}

// A process at the other end of a named pipe: it writes `text` into the pipe and closes it,
// or, when `text` is null, reads the pipe into the file `copy` until its end or until it has
// `limit` bytes, and then closes it. Killed, if still there, when the test ends, and ended by
// an alarm after twenty seconds in any case.
class PipePeer {
 public:
  PipePeer(const fs::path& pipe, const std::string* text, const fs::path& copy = {},
           size_t limit = SIZE_MAX) {
    pid_ = fork();
    if (pid_ != 0) return;
    alarm(20);  // a peer left waiting for a partner that never comes ends all the same
    if (text != nullptr) {
      const int fd = open(pipe.c_str(), O_WRONLY);
      if (fd < 0 || write(fd, text->data(), text->size()) != static_cast<ssize_t>(text->size())) {
        _exit(1);
      }
      _exit(close(fd) == 0 ? 0 : 1);
    }
    const int in = open(pipe.c_str(), O_RDONLY);
    const int out = open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) _exit(1);
    char buffer[4096];
    ssize_t n = 0;
    for (size_t copied = 0; copied < limit; copied += static_cast<size_t>(n)) {
      n = read(in, buffer, std::min(sizeof buffer, limit - copied));
      if (n <= 0) break;
      if (write(out, buffer, static_cast<size_t>(n)) != n) _exit(1);
    }
    _exit(n >= 0 && close(out) == 0 ? 0 : 1);
  }
  ~PipePeer() {
    if (pid_ > 0 && !waited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // The peer's exit status once it has ended.
  int wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  bool waited_ = false;
};

// A parameter file and an initial-data file that are named pipes work like files when another
// program is at the other end: each pipe is opened one way only, so that the run sees the end
// of the parameters where the writer closes the pipe (a run holding the pipe open for writing
// itself would wait for its own end forever), and its records reach the reader. A run on the
// whole parameter file and one on its first five records end as they do on regular files.
TEST(FileFaults, NamedPipesAreReadAndWrittenLikeFiles) {
  const std::string whole = readFile(kCases / "periN4" / "Kelvara4.dat");
  std::string firstFive;
  for (size_t at = 0, records = 0; records < 5; ++records) {
    at = whole.find('\n', at) + 1;
    firstFive = whole.substr(0, at);
  }
  for (const std::string* parameters : {&whole, static_cast<const std::string*>(&firstFive)}) {
    SCOPED_TRACE(parameters == &whole ? "whole parameter file" : "first five records");
    TempDir fromFile;
    writeFile(fromFile.path() / "Kelvara4.dat", *parameters);
    const RunResult expected = runProgram(fromFile.path());

    TempDir dir;
    ASSERT_EQ(0, mkfifo((dir.path() / "Kelvara4.dat").c_str(), 0644));
    ASSERT_EQ(0, mkfifo((dir.path() / "n4.dat").c_str(), 0644));
    PipePeer writer(dir.path() / "Kelvara4.dat", parameters);
    PipePeer reader(dir.path() / "n4.dat", nullptr, dir.path() / "copy.dat");
    // Ten seconds at most: a run that waits for itself is ended with status 124.
    const RunResult result =
        runProgram(dir.path(), {"10", KELVARA4_BINARY}, "", "/usr/bin/timeout");
    EXPECT_EQ(expected.status, result.status);
    EXPECT_EQ(expected.out, result.out);
    EXPECT_EQ(expected.err, result.err);
    EXPECT_EQ(0, writer.wait());
    EXPECT_EQ(readFile(fromFile.path() / "Kelvara4Err"), readFile(dir.path() / "Kelvara4Err"));
    if (parameters == &whole) {
      EXPECT_EQ(0, reader.wait());
      EXPECT_EQ(readFile(fromFile.path() / "n4.dat"), readFile(dir.path() / "copy.dat"));
    }
  }
}

// A reader that leaves a named pipe early makes the run's next write to it fail: the run
// stops with a message naming the file and the cause, and the report is not written.
TEST(FileFaults, ReaderLeavingAPipeStopsTheRunWithAMessage) {
  TempDir dir;
  writeFile(dir.path() / "Kelvara4.dat", readFile(kCases / "periN1000" / "Kelvara4.dat"));
  ASSERT_EQ(0, mkfifo((dir.path() / "n1000.dat").c_str(), 0644));
  // The file is some 300 KiB, more than a pipe holds: a write comes after the reader is gone.
  PipePeer reader(dir.path() / "n1000.dat", nullptr, dir.path() / "copy.dat", 100);
  const RunResult result = runProgram(dir.path(), {"10", KELVARA4_BINARY}, "", "/usr/bin/timeout");
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("", result.out);
  EXPECT_EQ("kelvara4: cannot write file 'n1000.dat': Broken pipe\n", result.err);
  EXPECT_EQ(0, reader.wait());
  EXPECT_EQ(expectedFile("periN1000", "n1000.dat").substr(0, 100),
            readFile(dir.path() / "copy.dat"));
  EXPECT_FALSE(fs::exists(dir.path() / "Kelvara4Err"));
}

// A report or initial-data file name that is a link to an input file would make the run
// write over that input: the run is refused before anything is read or written, on the
// read-error path too.
TEST(FileFaults, OutputFileLinkedToAnInputFileIsRefused) {
  struct Case {
    const char* what;
    const char* parametersFrom;  // the case whose parameter file the run reads
    const char* link;            // the output name made a link
    const char* target;          // the input it links to
    bool hard;                   // a hard link; else a symbolic one
    const char* err;
  };
  const char* reportIsParameters =
      "kelvara4: run refused: the report file Kelvara4Err is the parameter file Kelvara4.dat: "
      "the report must not overwrite it\n";
  const char* dataIsParameters =
      "kelvara4: run refused: parameter file record 12, initialDataFileName, names 'n4.dat', "
      "which is the parameter file Kelvara4.dat: the initial-data file must not overwrite it\n";
  const Case cases[] = {
      {"report linked to the parameter file", "periN4", "Kelvara4Err", "Kelvara4.dat", false,
       reportIsParameters},
      {"report hard-linked to the parameter file", "periN4", "Kelvara4Err", "Kelvara4.dat", true,
       reportIsParameters},
      {"report linked to the override file", "periN4", "Kelvara4Err", "file_okf.dat", false,
       "kelvara4: run refused: the report file Kelvara4Err is the override file file_okf.dat: "
       "the report must not overwrite it\n"},
      {"read-error path, report linked to the parameter file", "readErrorRecord4", "Kelvara4Err",
       "Kelvara4.dat", false, reportIsParameters},
      {"initial-data file linked to the parameter file", "periN4", "n4.dat", "Kelvara4.dat",
       false, dataIsParameters},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    writeFile(dir.path() / "Kelvara4.dat", readFile(kCases / c.parametersFrom / "Kelvara4.dat"));
    writeFile(dir.path() / "file_okf.dat", "0.25\n");
    if (c.hard) {
      fs::create_hard_link(dir.path() / c.target, dir.path() / c.link);
    } else {
      fs::create_symlink(c.target, dir.path() / c.link);
    }
    const auto before = faults::snapshot(dir.path());
    const RunResult result = runProgram(dir.path());
    EXPECT_EQ(1, result.status);
    EXPECT_EQ("", result.out);
    EXPECT_EQ(c.err, result.err);
    EXPECT_EQ(before, faults::snapshot(dir.path()));
  }
}

// The parameter and override files are never written, whichever way the run ends (same bytes,
// same modification time). A refused run, and a run stopped before its first output file,
// leave the earlier output files as they were, byte for byte; the read-error path replaces
// only the report.
TEST(FileFaults, RunsNeverWriteTheirInputsAndRefusalsLeaveEarlierOutput) {
  enum class Output { Replaced, ReportReplaced, Kept };
  struct Case {
    const char* what;
    std::string parameters;
    int status;
    Output output;
  };
  const Case cases[] = {
      {"complete run", readFile(kCases / "periN4" / "Kelvara4.dat"), 0, Output::Replaced},
      {"read-error record", readFile(kCases / "readErrorRecord4" / "Kelvara4.dat"), 1,
       Output::ReportReplaced},
      {"refused parameters", readFile(kCases / "refusedParameters" / "Kelvara4.dat"), 1,
       Output::Kept},
      {"refused body count", readFile(kCases / "refusedTooMany" / "Kelvara4.dat"), 1,
       Output::Kept},
      {"refused non-finite result", readFile(kCases / "refusedOverflow" / "Kelvara4.dat"), 1,
       Output::Kept},
      {"refused own file name", readFile(kCases / "refusedOwnFile" / "Kelvara4.dat"), 1,
       Output::Kept},
      {"refused override file name", faults::withNameField("periN4", "file_okf.dat"), 1,
       Output::Kept},
      {"refused name with code 0", faults::withNameField("periN4", std::string("n4.dat\0", 7)),
       1, Output::Kept},
      {"blank name, no answer", faults::withNameField("periN4", ""), 1, Output::Kept},
      {"initial-data file in a missing directory", faults::withNameField("periN4", "no/n4.dat"),
       1, Output::Kept},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunDir run(c.parameters);
    writeFile(run.path() / "file_okf.dat", "0.25 the turn factor\n");
    writeFile(run.path() / "n4.dat", earlierOutput());
    writeFile(run.path() / "bad.dat", earlierOutput());
    writeFile(run.path() / "big.dat", earlierOutput());
    for (const char* name : {"file_okf.dat", "n4.dat", "bad.dat", "big.dat"}) {
      faults::makeOld(run.path() / name);
    }
    const auto before = faults::snapshot(run.path());
    const RunResult result = runProgram(run.path());
    EXPECT_EQ(c.status, result.status) << result.err;
    auto after = faults::snapshot(run.path());
    EXPECT_EQ(before.at("Kelvara4.dat"), after["Kelvara4.dat"]);
    EXPECT_EQ(before.at("file_okf.dat"), after["file_okf.dat"]);
    switch (c.output) {
      case Output::Kept:
        EXPECT_EQ(before, after);
        break;
      case Output::ReportReplaced:
        EXPECT_EQ(" *01Rt Error reading file Kelvara4.dat *** ",
                  after["Kelvara4Err"].content.substr(0, 43));
        after.erase("Kelvara4Err");
        EXPECT_EQ(after.size() + 1, before.size());
        for (const auto& [name, entry] : after) EXPECT_EQ(before.at(name), entry) << name;
        break;
      case Output::Replaced:
        EXPECT_EQ(std::string::npos, after["Kelvara4Err"].content.find(kEarlier));
        EXPECT_EQ(std::string::npos, after["n4.dat"].content.find(kEarlier));
        EXPECT_EQ(before.at("bad.dat"), after["bad.dat"]);
        break;
    }
  }
}

}  // namespace
