// Whole runs of the built program on parameter files whose bytes are unusual: line ends,
// control characters, sheer size. Whatever the bytes, a run ends in one of the ways a run may
// end, with a message that says what is wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/e2e/fault_helpers.h"
#include "tests/e2e/run_harness.h"

namespace fs = std::filesystem;

namespace {

using faults::kCases;

// `text` with every line feed preceded by `lineEnd` instead of what it had.
std::string withLineEnds(const std::string& text, const std::string& lineEnd) {
  std::string result;
  for (const char c : text) {
    if (c == '\n') result += lineEnd;
    else if (c != '\r') result += c;
  }
  return result;
}

// A carriage return ends a record's data wherever it stands: a parameter file whose lines end
// with CR CR LF (a CR LF file converted once more) gives the run of the same file with LF.
TEST(ParameterBytes, CarriageReturnsBeforeTheLineEndAreNotData) {
  const std::string parameters = readFile(kCases / "periN4" / "Kelvara4.dat");
  TempDir dir;
  writeFile(dir.path() / "Kelvara4.dat", withLineEnds(parameters, "\r\r\n"));
  const RunResult result = runProgram(dir.path());
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("", result.out);
  EXPECT_EQ("", result.err);
  EXPECT_EQ(readFile(kCases / "periN4" / "expected" / "n4.dat"), readFile(dir.path() / "n4.dat"));
  EXPECT_EQ(readFile(kCases / "periN4" / "expected" / "Kelvara4Err"),
            readFile(dir.path() / "Kelvara4Err"));
  EXPECT_FALSE(fs::exists(dir.path() / "n4.dat\r")) << "a file named with the carriage return";
}

// A file name cannot hold a character of code 0: the system would open the name cut off there
// ("ab" for "ab\0cd", or the report file for "Kelvara4Err\0", which the report then
// overwrites). The run is refused before any file is written.
TEST(ParameterBytes, RefusesAFileNameHoldingACharacterOfCodeZero) {
  const std::string fields[] = {std::string("ab\0cd", 5), std::string("Kelvara4Err\0", 12),
                                std::string("\0", 1)};
  for (const std::string& field : fields) {
    SCOPED_TRACE(testing::PrintToString(field));
    TempDir dir;
    const std::string parameters = faults::withNameField("periN4", field);
    writeFile(dir.path() / "Kelvara4.dat", parameters);
    const RunResult result = runProgram(dir.path());
    EXPECT_EQ(1, result.status);
    EXPECT_EQ("", result.out);
    EXPECT_EQ("kelvara4: run refused: parameter file record 12, initialDataFileName, holds a "
              "character of code 0, which no file name can hold\n",
              result.err);
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      files.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(std::vector<std::string>{"Kelvara4.dat"}, files);
    EXPECT_EQ(parameters, readFile(dir.path() / "Kelvara4.dat"));
  }

  // The same for a name answered to the question that a blank record 12 brings up.
  TempDir dir;
  writeFile(dir.path() / "Kelvara4.dat", faults::withNameField("periN4", "      "));
  const RunResult result = runProgram(dir.path(), {}, std::string("ab\0cd\n", 6));
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("File name missing or blank - please enter file name\r\nUNIT 5? ", result.out);
  EXPECT_EQ("kelvara4: run refused: the initial-data file name given for the blank record 12 "
            "holds a character of code 0, which no file name can hold\n",
            result.err);
  EXPECT_FALSE(fs::exists(dir.path() / "ab"));
  EXPECT_FALSE(fs::exists(dir.path() / "Kelvara4Err"));
}

// Writes `head`, then `count` copies of `fill`, then `tail` to `path`, a mebibyte at a time.
void writeLongFile(const fs::path& path, const std::string& head, char fill, size_t count,
                   const std::string& tail) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << head;
  const std::string chunk(1 << 20, fill);
  for (size_t left = count; left > 0;) {
    const size_t n = std::min(left, chunk.size());
    out.write(chunk.data(), static_cast<std::streamsize>(n));
    left -= n;
  }
  out << tail;
}

// No input makes a run hold more than a bounded part of a line: the characters of a record past
// its first mebibyte are passed over unread. Lines of 100 MB, in the parameter file or the
// override file, end in the run their first columns call for, and the run's peak memory stays
// within a few MB of that of a run on short lines (holding such a line would add 100 MB).
TEST(ParameterBytes, HundredMegabyteLinesEndProperlyInBoundedMemory) {
  constexpr size_t kLong = 100u << 20;
  constexpr long kSlackKb = 32 * 1024;
  const std::string parameters = readFile(kCases / "periN4" / "Kelvara4.dat");
  const size_t firstLineEnd = parameters.find('\n');
  std::string longRecordHead = parameters.substr(0, firstLineEnd);  // "...N.......4"
  longRecordHead.resize(71, ' ');  // the field ends in column 71

  TempDir shortDir;
  writeFile(shortDir.path() / "Kelvara4.dat", parameters);
  const faults::MeasuredRun shortRun = faults::runMeasured(shortDir.path());
  ASSERT_EQ(0, shortRun.result.status);

  struct Case {
    const char* what;
    std::string parameterHead;  // then kLong fill characters, then parameterTail
    char parameterFill;
    std::string parameterTail;
    bool longOverride;  // an override file of one line of kLong digits
    const char* expectedCase;  // whose expected files the run must give
  };
  const Case cases[] = {
      // Record 1 holds its value in columns 60 to 71, then 100 MB more.
      {"long record 1", longRecordHead, '.', parameters.substr(firstLineEnd), false, "periN4"},
      // The override value runs into the cut: it is not a value, and the file is ignored.
      {"long override line", parameters, '\n', "", true, "periN4"},
      // One line and nothing else: record 1 does not convert.
      {"one long line", "", 'x', "", false, "readErrorRecord1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    writeLongFile(dir.path() / "Kelvara4.dat", c.parameterHead, c.parameterFill,
                  c.parameterFill == '\n' ? 0 : kLong, c.parameterTail);
    if (c.longOverride) writeLongFile(dir.path() / "file_okf.dat", "", '7', kLong, "");
    const faults::MeasuredRun run = faults::runMeasured(dir.path());
    const fs::path expected = kCases / c.expectedCase / "expected";
    const bool complete = !fs::exists(expected / ".status");
    EXPECT_EQ(complete ? 0 : 1, run.result.status);
    EXPECT_EQ(complete ? "" : readFile(expected / ".stdout"), run.result.out);
    EXPECT_EQ("", run.result.err);
    for (const auto& entry : fs::directory_iterator(expected)) {
      const std::string name = entry.path().filename().string();
      if (name[0] == '.') continue;
      EXPECT_EQ(readFile(entry.path()), readFile(dir.path() / name)) << name;
    }
    EXPECT_LT(run.peakMemoryKb, shortRun.peakMemoryKb + kSlackKb)
        << "short lines: " << shortRun.peakMemoryKb << " kB";
  }
}

}  // namespace
