// kelvara4-check run as a program: on every initial-data file the golden runs and the examples
// hold, on the shipped example found through its parameter file, and on broken copies of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/run_harness.h"

namespace fs = std::filesystem;

namespace {

const fs::path kSource = KELVARA4_SOURCE_DIR;

RunResult runChecker(const fs::path& dir, const std::vector<std::string>& args) {
  return runProgram(dir, args, "", KELVARA4_CHECK_BINARY);
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
  return lines;
}

bool hasLine(const std::string& text, const std::string& line) {
  const std::vector<std::string> lines = linesOf(text);
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Every run folder whose run wrote an initial-data file: the folder and that file, the one
// file of expected/ besides the report.
std::vector<std::pair<fs::path, fs::path>> completeRuns() {
  std::vector<std::pair<fs::path, fs::path>> runs;
  for (const char* folder : {"tests/e2e/cases", "examples"}) {
    for (const auto& entry : fs::directory_iterator(kSource / folder)) {
      const fs::path expected = entry.path() / "expected";
      if (!fs::exists(entry.path() / "Kelvara4.dat") || fs::exists(expected / ".status")) continue;
      for (const auto& file : fs::directory_iterator(expected)) {
        const std::string name = file.path().filename().string();
        if (name != "Kelvara4Err" && name[0] != '.') runs.emplace_back(entry.path(), file.path());
      }
    }
  }
  std::sort(runs.begin(), runs.end());
  return runs;
}

TEST(CheckerRun, FindsEveryGoldenAndExampleFileConsistent) {
  const auto runs = completeRuns();
  EXPECT_GE(runs.size(), 24u);
  for (const auto& [folder, dataFile] : runs) {
    SCOPED_TRACE(dataFile.string());
    const RunResult result =
        runChecker(folder, {"--params", (folder / "Kelvara4.dat").string(), dataFile.string()});
    EXPECT_EQ(0, result.status);
    EXPECT_EQ("", result.err);
    const std::vector<std::string> lines = linesOf(result.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(
        "Verdict: consistent (well-formed, G = 1, barycentric, every orbiting body on its "
        "orbit).\n",
        lines.back());
  }
}

// A copy of the shipped example in a fresh folder: its parameter file and its data file.
class ShippedExample : public testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(kSource / "examples/default/Kelvara4.dat", dir_.path() / "Kelvara4.dat");
    data_ = readFile(kSource / "examples/default/expected/ring8.dat");
    writeFile(dir_.path() / "ring8.dat", data_);
  }
  TempDir dir_;
  std::string data_;
};

TEST_F(ShippedExample, IsFoundThroughRecord12AndSummarised) {
  const RunResult result = runChecker(dir_.path(), {});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ("", result.err);
  const char* const expectedLines[] = {
      "kelvara4-check: ring8.dat, 9 bodies (parameters from Kelvara4.dat)\n",
      "  number of bodies            9 body records; header value 20: 9, trailer value 2: 9\n",
      "  orbiting bodies             8 x 0.0001250000000000019, all equal\n",
      "  sum of masses               1 exactly (tolerance 2.4e-15)\n",
      "  mass unit M                 1.98892e+30 kg (the total mass)\n",
      "  length unit L               57078958599560.83 m = 381.5492716 AU\n",
      "                              = 100 initial orbital periods of 11.8616923 years\n",
      "  velocity unit L/T           1524.817463285687 m/s (1 / velocity scale)\n",
      "  These are not the standard N-body (Hénon) units, in which G = M = 1 and E = -1/4.\n",
      "  virial ratio -2T/W          1.047414629\n",
      "  compared with a0 = 5.2 AU and |e0| = 0.05 of Kelvara4.dat\n",
      "  closest for their size      bodies 4 and 5, 0.0001438 (8.208e+09 m) apart\n",
      "  no two bodies overlap\n",
  };
  for (const char* line : expectedLines) {
    EXPECT_TRUE(hasLine(result.out, line)) << line;
  }
}

TEST_F(ShippedExample, WithoutParameterFileComparesTheBodiesWithEachOther) {
  fs::remove(dir_.path() / "Kelvara4.dat");
  const RunResult result = runChecker(dir_.path(), {"ring8.dat"});
  EXPECT_EQ(0, result.status);
  EXPECT_TRUE(hasLine(result.out, "kelvara4-check: ring8.dat, 9 bodies (no parameter file)\n"));
  EXPECT_TRUE(hasLine(result.out,
                      "Verdict: consistent (well-formed, G = 1, barycentric, the orbiting bodies "
                      "on one orbit).\n"));
}

// Broken copies of ring8.dat: each edit, the exit status, and one line that must be among the
// messages on standard error.
TEST_F(ShippedExample, NamesWhatIsWrongWithBrokenCopies) {
  using Edit = std::function<std::string(std::string)>;
  auto replace = [](std::string from, std::string to, int occurrence = 1) -> Edit {
    return [=](std::string text) {
      size_t at = text.find(from);
      for (int i = 1; i < occurrence; ++i) at = text.find(from, at + 1);
      return text.replace(at, from.size(), to);
    };
  };
  // the first `count` lines, each with its CR LF
  auto keepLines = [](int count) -> Edit {
    return [=](std::string text) {
      size_t at = 0;
      for (int i = 0; i < count; ++i) at = text.find("\r\n", at) + 2;
      return text.substr(0, at);
    };
  };
  auto dropLine = [](int number) -> Edit {
    return [=](std::string text) {
      size_t at = 0;
      for (int i = 1; i < number; ++i) at = text.find("\r\n", at) + 2;
      return text.erase(at, text.find("\r\n", at) + 2 - at);
    };
  };
  struct Case {
    const char* what;
    Edit edit;
    int status;
    const char* message;
  };
  const std::string prefix = "kelvara4-check: ring8.dat: ";
  const Case cases[] = {
      {"a body moved off its orbit", replace("9.157824596462704E-003", "9.157924596462704E-003"), 1,
       "body 3 is off its orbit: a = 5.20005978913 AU (a/a0 - 1 = 1.1e-05, tolerance 1.3e-13), "
       "e = 0.0500057348451 (e - e0 = 5.7e-06, tolerance 1.0e-13)"},
      {"a mass changed", replace("1.250000000000019E-004", "1.260000000000019E-004", 3), 1,
       "the masses add up to 1 + 1.0e-06, not 1 (tolerance 2.4e-15)"},
      {"a mass changed, the equal masses",
       replace("1.250000000000019E-004", "1.260000000000019E-004", 3), 1,
       "body 4 has mass 0.0001260000000000019, body 2 has 0.0001250000000000019: the orbiting "
       "bodies have equal masses"},
      {"the header's count changed", replace("           9        1.0", "           8        1.0"),
       1, "the header gives 8 bodies (value 20) but the file holds 9 body records"},
      {"the trailer's count changed",
       replace("        1000           9", "        1000           7"), 1,
       "the trailer gives 7 bodies (value 2) but the file holds 9 body records"},
      {"the cube-root count changed",
       replace("   2.500000000000000E-001           2", "   2.500000000000000E-001           3"), 1,
       "the cube-root count (header value 24) is 3, not 2"},
      {"the header's momentum changed", replace("3.059906521956160E-020", "3.059906521956160E-010"),
       1,
       "the header's momentum x (value 5) is 3.1e-10, the bodies give 4.6e-20 (tolerance 1.6e-17)"},
      {"a reserved value set",
       replace(
           "0.000000000000000E+000   0.000000000000000E+000\r\n   0.000000000000000E+000   1.25191",
           "0.000000000000000E+000   1.000000000000000E+000\r\n   0.000000000000000E+000   "
           "1.25191"),
       1, "body 1 value 12 is 1, a run writes 0"},
      {"the file cut inside a record", keepLines(25), 2,
       "cannot be read: the file ends after value 6 of the 15 of record 5 (body 4)"},
      {"a line missing inside a record", dropLine(20), 2,
       "cannot be read: the file ends after value 11 of the 15 of record 11 (the trailer); an "
       "earlier record may have lost values"},
      {"the trailer missing", keepLines(53), 2,
       "cannot be read: the file ends after the 9 body records the header announces: the "
       "trailer is missing"},
      {"an empty file", [](std::string) { return std::string(); }, 2,
       "cannot be read: the file is empty"},
      {"a letter in a number", replace("1.251913260721408E-005", "1.2519132607x1408E-005"), 2,
       "cannot be read: record 2 (body 1), value 14 (radius) is not a number; line 13: \"   "
       "0.000000000000000E+000   1.2519132607x1408E-005   0.000000000000000E+000\""},
      {"a real where the trailer has an integer", replace("        1000 ", "      1000.0 "), 2,
       "cannot be read: record 11 (the trailer), value 1 (trailer parameter) is not an integer; "
       "line 54: \"      1000.0           9   1.988920000000000E+030   5.707895859956083E+013\""},
      {"two commas in a row", replace("\r\n  -6.658380364823939E-007", "\r\n,,"), 2,
       "cannot be read: record 2 (body 1), value 4 (z position) has no value (two commas in a "
       "row, or a slash); the record begins on line 9"},
      {"values after the trailer", [](std::string text) { return text + " 1 2 3\r\n"; }, 2,
       "cannot be read: 3 values follow the trailer, from line 57"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeFile(dir_.path() / "ring8.dat", c.edit(data_));
    const RunResult result = runChecker(dir_.path(), {});
    EXPECT_EQ(c.status, result.status);
    EXPECT_TRUE(hasLine(result.err, prefix + c.message + "\n")) << result.err;
    if (c.status == 2) {
      EXPECT_EQ("", result.out);
    }
    if (c.status == 1) {
      EXPECT_TRUE(hasLine(result.out, "Verdict: NOT consistent: see the problems above.\n"));
    }
  }
}

TEST_F(ShippedExample, ComparesWithTheParameterFile) {
  const std::string parameters = readFile(dir_.path() / "Kelvara4.dat");
  struct Case {
    const char* from;
    const char* to;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {".5.2\n", ".5.3\n", 1,
       "kelvara4-check: ring8.dat: body 2 is off its orbit: a = 5.2 AU (a/a0 - 1 = -1.9e-02, "
       "tolerance 1.3e-13), e = 0.05 (e - e0 = 6.0e-15, tolerance 1.0e-13)"},
      {"...1000\n", "...1001\n", 1,
       "kelvara4-check: ring8.dat: the trailer parameter (trailer value 1) is 1000, the "
       "parameter file gives 1001"},
      {".8\n", ".7\n", 1,
       "kelvara4-check: ring8.dat: the parameter file gives 7 orbiting bodies, the file holds 8"},
      {".0.999\n", ".1.5\n", 1,
       "kelvara4-check: ring8.dat: the parameter file holds values a run refuses "
       "(centralMassFraction): no run wrote this file from it; nothing compared"},
      {".5.2\n", ".5.x\n", 2,
       "kelvara4-check: Kelvara4.dat: cannot be read as a parameter file: record 4 "
       "(semiMajorAxisAu): the field in columns 60-70, \"5.x\", does not convert"},
      {".ring8.dat\n", ".         \n", 2,
       "kelvara4-check: Kelvara4.dat: record 12 (initialDataFileName) is blank, so the run took "
       "the name from its command line or asked for it: name the initial-data file as the "
       "argument"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.to);
    std::string edited = parameters;
    const size_t at = edited.find(c.from);
    ASSERT_NE(std::string::npos, at);
    edited.replace(at, std::string(c.from).size(), c.to);
    writeFile(dir_.path() / "Kelvara4.dat", edited);
    const RunResult result = runChecker(dir_.path(), {});
    EXPECT_EQ(c.status, result.status);
    EXPECT_TRUE(hasLine(result.err, std::string(c.message) + "\n")) << result.err;
  }
}

TEST_F(ShippedExample, DrawsThePicture) {
  const RunResult result = runChecker(dir_.path(), {"--plot", "ring8.svg"});
  EXPECT_EQ(0, result.status);
  const std::string svg = readFile(dir_.path() / "ring8.svg");
  EXPECT_TRUE(svg.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg "));
  EXPECT_TRUE(svg.ends_with("</svg>\n"));
  // two panels, each with nine bodies and the ring around the central body
  size_t circles = 0;
  for (size_t at = svg.find("<circle"); at != std::string::npos; at = svg.find("<circle", at + 1)) {
    ++circles;
  }
  EXPECT_EQ(20u, circles);

  const RunResult unwritable = runChecker(dir_.path(), {"--plot", "no/such/folder/x.svg"});
  EXPECT_EQ(2, unwritable.status);
  EXPECT_EQ("kelvara4-check: no/such/folder/x.svg: cannot be written: No such file or directory\n",
            unwritable.err);
}

TEST(CheckerRun, ExplainsItsCommandLine) {
  TempDir dir;
  const RunResult help = runChecker(dir.path(), {"--help"});
  EXPECT_EQ(0, help.status);
  EXPECT_TRUE(help.out.starts_with(
      "Usage: kelvara4-check [--params FILE | --no-params] [--plot PICTURE.svg] [DATAFILE]\n"));

  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{},
       "kelvara4-check: no initial-data file given, and no Kelvara4.dat in the working "
       "directory to name one\n"},
      {{"--frobnicate"},
       "kelvara4-check: unknown option --frobnicate (kelvara4-check --help explains the "
       "options)\n"},
      {{"a.dat", "b.dat"},
       "kelvara4-check: more than one initial-data file: a.dat and b.dat (kelvara4-check --help "
       "explains the options)\n"},
      {{"--plot"},
       "kelvara4-check: --plot needs a file name (kelvara4-check --help explains the options)\n"},
      {{"missing.dat"},
       "kelvara4-check: missing.dat: cannot be read: cannot be opened: No such file or "
       "directory\n"},
      {{"--params", "missing.dat", "x.dat"},
       "kelvara4-check: missing.dat: cannot be read as a parameter file: cannot be opened: No "
       "such file or directory\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const RunResult result = runChecker(dir.path(), c.args);
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("", result.out);
    EXPECT_EQ(c.message, result.err);
  }
}

}  // namespace
