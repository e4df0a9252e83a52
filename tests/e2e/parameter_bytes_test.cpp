// Whole runs of the built program on parameter files whose bytes are unusual: line ends,
// control characters, sheer size. Whatever the bytes, a run ends in one of the ways a run may
// end, with a message that says what is wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

}  // namespace
