// Whole runs of the built program on parameter files whose bytes are unusual: line ends,
// control characters, sheer size. Whatever the bytes, a run ends in one of the ways a run may
// end, with a message that says what is wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/run_harness.h"

namespace fs = std::filesystem;

namespace {

const fs::path kCases = fs::path(KELVARA4_SOURCE_DIR) / "tests" / "e2e" / "cases";

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

// periN4's parameter file with columns 60 onward of record 12 replaced by `field`.
std::string withNameField(const std::string& field) {
  std::istringstream lines(readFile(kCases / "periN4" / "Kelvara4.dat"));
  std::string text;
  int record = 0;
  for (std::string line; std::getline(lines, line);) {
    if (++record == 12) line = line.substr(0, 59) + field;
    text += line + "\n";
  }
  return text;
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
    const std::string parameters = withNameField(field);
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
  writeFile(dir.path() / "Kelvara4.dat", withNameField("      "));
  const RunResult result = runProgram(dir.path(), {}, std::string("ab\0cd\n", 6));
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("File name missing or blank - please enter file name\r\nUNIT 5? ", result.out);
  EXPECT_EQ("kelvara4: run refused: the initial-data file name given for the blank record 12 "
            "holds a character of code 0, which no file name can hold\n",
            result.err);
  EXPECT_FALSE(fs::exists(dir.path() / "ab"));
  EXPECT_FALSE(fs::exists(dir.path() / "Kelvara4Err"));
}

}  // namespace
