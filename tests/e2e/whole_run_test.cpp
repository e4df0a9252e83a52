// Whole runs of the built program, each in a fresh temporary directory, compared byte for byte
// with golden files.
//
// A case is a folder under tests/e2e/cases/ or examples/: its input files (Kelvara4.dat, file_okf.dat, ...)
// are copied into the run directory; optional "args" holds command-line arguments, one per
// line, and "stdin" the program's standard input. Its folder expected/ holds every file the
// run must leave behind besides the inputs, plus ".status", ".stdout" and ".stderr" when they
// are not 0 and empty. Set KELVARA4_UPDATE_GOLDEN=1 to rewrite expected/ from the program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/run_harness.h"

namespace fs = std::filesystem;

namespace {

// The run cases of the tests and the shipped examples, as paths relative to the source tree.
std::vector<std::string> caseNames() {
  std::vector<std::string> names;
  for (const char* folder : {"tests/e2e/cases", "examples"}) {
    for (const auto& entry : fs::directory_iterator(fs::path(KELVARA4_SOURCE_DIR) / folder)) {
      if (entry.is_directory()) {
        names.push_back(std::string(folder) + "/" + entry.path().filename().string());
      }
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

class WholeRun : public testing::TestWithParam<std::string> {};

TEST_P(WholeRun, MatchesGoldenFiles) {
  const fs::path caseDir = fs::path(KELVARA4_SOURCE_DIR) / GetParam();
  const fs::path expectedDir = caseDir / "expected";
  TempDir dir;
  std::set<std::string> inputs;
  std::vector<std::string> args;
  std::string stdinText;
  for (const auto& entry : fs::directory_iterator(caseDir)) {
    const std::string name = entry.path().filename().string();
    if (name == "expected" || name.starts_with("README")) continue;
    if (name == "args") {
      std::istringstream lines(readFile(entry.path()));
      for (std::string line; std::getline(lines, line);) args.push_back(line);
    } else if (name == "stdin") {
      stdinText = readFile(entry.path());
    } else {
      fs::copy_file(entry.path(), dir.path() / name);
      inputs.insert(name);
    }
  }
  const RunResult result = runProgram(dir.path(), args, stdinText);

  std::map<std::string, std::string> produced;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (inputs.count(name) == 0) produced[name] = readFile(entry.path());
  }
  if (result.status != 0) produced[".status"] = std::to_string(result.status) + "\n";
  if (!result.out.empty()) produced[".stdout"] = result.out;
  if (!result.err.empty()) produced[".stderr"] = result.err;

  if (std::getenv("KELVARA4_UPDATE_GOLDEN") != nullptr) {
    fs::remove_all(expectedDir);
    fs::create_directories(expectedDir);
    for (const auto& [name, text] : produced) writeFile(expectedDir / name, text);
    GTEST_SKIP() << "golden files rewritten";
  }

  std::map<std::string, std::string> expected;
  for (const auto& entry : fs::directory_iterator(expectedDir)) {
    expected[entry.path().filename().string()] = readFile(entry.path());
  }
  for (const auto& [name, text] : expected) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(produced.count(name)) << "the run did not produce " << name;
    EXPECT_EQ(text, produced[name]);
  }
  for (const auto& [name, text] : produced) {
    EXPECT_TRUE(expected.count(name)) << "the run produced an unexpected " << name << ":\n"
                                      << text.substr(0, 2000);
  }
}

// A normal run is silent, and the same parameters give the same files the second time, over
// the files of the first run.
TEST(WholeRun, RepeatsItselfExactlyAndSilently) {
  TempDir dir;
  fs::copy_file(fs::path(KELVARA4_SOURCE_DIR) / "examples" / "default" / "Kelvara4.dat",
                dir.path() / "Kelvara4.dat");
  const RunResult first = runProgram(dir.path());
  const std::string data = readFile(dir.path() / "ring8.dat");
  const std::string report = readFile(dir.path() / "Kelvara4Err");
  const RunResult second = runProgram(dir.path());
  for (const RunResult& result : {first, second}) {
    EXPECT_EQ(0, result.status);
    EXPECT_EQ("", result.out);
    EXPECT_EQ("", result.err);
  }
  EXPECT_FALSE(data.empty());
  EXPECT_EQ(data, readFile(dir.path() / "ring8.dat"));
  EXPECT_EQ(report, readFile(dir.path() / "Kelvara4Err"));
}

INSTANTIATE_TEST_SUITE_P(Cases, WholeRun, testing::ValuesIn(caseNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           // "tests/e2e/cases/periN1" -> "periN1", "examples/kepler-orbit" ->
                           // "examplekeplerorbit"
                           const std::string& path = info.param;
                           std::string name = path.starts_with("examples/") ? "example" : "";
                           for (char c : path.substr(path.rfind('/') + 1)) {
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           }
                           return name;
                         });

}  // namespace
