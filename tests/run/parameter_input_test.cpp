#include "run/parameter_input.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "tests/e2e/run_harness.h"

namespace {

// A record of the parameter file: a 59-column label, then the value from column 60.
std::string record(const std::string& value) { return std::string(59, '.') + value + "\n"; }

// The thirteen records of a complete parameter file.
std::vector<std::string> completeRecords() {
  return {record("7"),      record("1.98892D+30"), record("0.99"),   record("2.5"),
          record("0.1"),    record("0.25"),        record("0.05"),   record("0.3"),
          record("1000.0"), record("4"),           record("0.5"),    record("data.dat"),
          record("-12")};
}

std::string joined(const std::vector<std::string>& records) {
  std::string text;
  for (const std::string& line : records) text += line;
  return text;
}

// A complete parameter file whose record k (1 to 13) is replaced by `line`.
std::string fileWithRecord(int k, const std::string& line) {
  std::vector<std::string> records = completeRecords();
  records[k - 1] = line;
  return joined(records);
}

std::string completeFile() { return joined(completeRecords()); }

// Runs readParameters and applyOverride in a fresh directory holding the given files.
class ParameterInput : public testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    run_ = std::make_unique<RunState>();
    setName(run_->parameterFileName, "Kelvara4.dat");
    setName(run_->reportFileName, "Kelvara4Err");
    setName(run_->overrideFileName, "file_okf.dat");
  }
  void TearDown() override { std::filesystem::current_path(previous_); }

  static void setName(Name12& field, const char* value) {
    field.fill(' ');
    std::memcpy(field.data(), value, std::strlen(value));
  }

  TempDir dir_;
  std::filesystem::path previous_;
  std::unique_ptr<RunState> run_;
};

TEST_F(ParameterInput, ReadsThirteenRecordsByColumn) {
  // A fourteenth record and text after the field change nothing.
  writeFile("Kelvara4.dat", completeFile() + record("garbage that is never read"));
  ASSERT_TRUE(readParameters(*run_));
  EXPECT_EQ(7, run_->orbiterCount);
  EXPECT_EQ(1.98892e30, run_->totalMass);
  EXPECT_EQ(0.99, run_->centralMassFraction);
  EXPECT_EQ(2.5, run_->semiMajorAxisAu);
  EXPECT_EQ(0.1, run_->eccentricity);
  EXPECT_EQ(0.25, run_->turnFactor);
  EXPECT_EQ(0.05, run_->tiltFactor);
  EXPECT_EQ(0.3, run_->inclinationAngle);
  EXPECT_EQ(1000.0, run_->bodyDensity);
  EXPECT_EQ(4, run_->layoutMode);
  EXPECT_EQ(0.5, run_->headerParameter);
  EXPECT_EQ(std::string("data.dat    "),
            std::string(run_->initialDataFileName.data(), kNameLength));
  EXPECT_EQ(-12, run_->trailerParameter);
}

TEST_F(ParameterInput, ReadsFieldsByTheirColumnRules) {
  struct Case {
    const char* what;
    std::string recordFour;  // the whole fourth line, label included
    double value;
  };
  const Case cases[] = {
      {"point anywhere", record("   1.5     "), 1.5},
      {"implied decimals", record("         15"), 0.00015},
      {"implied decimals with exponent", record("12345E2"), 12.345},
      {"exponent as a bare sign", record("1.5-3"), 0.0015},
      {"blank inside the number", record("1 5"), 0.00015},
      {"comma ends the field", record("1,5"), 0.00001},
      {"text after column 70 ignored", record("2.0        999"), 2.0},
      {"value before column 60 loses its start", std::string(57, '.') + "123.5\n", 3.5},
      {"record ends before the field", std::string(40, '.') + "\n", 0.0},
      {"CR LF line end", std::string(59, '.') + "2.75\r\n", 2.75},
      {"tab counts as one column", std::string(58, '.') + "\t4.25\n", 4.25},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeFile("Kelvara4.dat", fileWithRecord(4, c.recordFour));
    run_ = std::make_unique<RunState>();
    setName(run_->parameterFileName, "Kelvara4.dat");
    setName(run_->reportFileName, "Kelvara4Err");
    ASSERT_TRUE(readParameters(*run_));
    EXPECT_EQ(c.value, run_->semiMajorAxisAu);
  }
}

TEST_F(ParameterInput, BlankNameRecordIsNoFailure) {
  for (const std::string& twelve : {record("            "), std::string(30, '.') + "\n"}) {
    writeFile("Kelvara4.dat", fileWithRecord(12, twelve));
    ASSERT_TRUE(readParameters(*run_));
    EXPECT_EQ(std::string(12, ' '), std::string(run_->initialDataFileName.data(), kNameLength));
  }
}

TEST_F(ParameterInput, OverrideReplacesTurnFactorOrIsSilentlySkipped) {
  struct Case {
    const char* what;
    const char* override;  // null: no override file
    double turnFactor;
  };
  const Case cases[] = {
      {"absent", nullptr, 0.25},
      {"single value", "0.25e1\n", 2.5},
      {"empty file", "", 0.25},
      {"blank first line", "\n   \n 0.75 rest of line\n", 0.75},
      {"null value", ",0.5\n", 0.25},
      {"slash", "/0.5\n", 0.25},
      {"not a number", "abc\n", 0.25},
      {"no implied decimals", "15\n", 15.0},
  };
  writeFile("Kelvara4.dat", completeFile());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove("file_okf.dat");
    if (c.override != nullptr) writeFile("file_okf.dat", c.override);
    ASSERT_TRUE(readParameters(*run_));
    testing::internal::CaptureStdout();
    applyOverride(*run_);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    EXPECT_EQ(c.turnFactor, run_->turnFactor);
  }
}

// The read-error record as the report file holds it for a failure in record 4: the message and
// the values read before the failure, zeros (and a name of twelve code-0 characters) after it.
TEST(ReadErrorRecord, GoesToConsoleAndReportAndExitsWithOne) {
  const std::string zero = "   0.000000000000000E+000";
  const std::string nul(12, '\0');
  struct Case {
    const char* what;
    std::string file;
    std::vector<std::string> lines;  // the report's lines, without CR LF
  };
  std::vector<std::string> twelve = completeRecords();
  twelve.pop_back();
  const Case cases[] = {
      {"record 4 does not convert",
       fileWithRecord(4, record("abc")),
       {" *01Rt Error reading file Kelvara4.dat ***           7   1.988920000000000E+030",
        "   9.900000000000000E-001" + zero + zero, zero + zero + zero,
        zero + zero + zero + nul.substr(0, 4), " " + nul.substr(4) + "          0"}},
      {"record 1 does not convert",
       fileWithRecord(1, record("1.0")),
       {" *01Rt Error reading file Kelvara4.dat ***           0" + zero, zero + zero + zero,
        zero + zero + zero, zero + zero + zero + nul.substr(0, 4),
        " " + nul.substr(4) + "          0"}},
      {"twelve records",
       joined(twelve),
       {" *01Rt Error reading file Kelvara4.dat ***           7   1.988920000000000E+030",
        "   9.900000000000000E-001        2.500000000000000" + zero,
        "   1.000000000000000E-001   2.500000000000000E-001   5.000000000000000E-002",
        "   3.000000000000000E-001     1000.000000000000000   5.000000000000000E-001data",
        " .dat" + std::string(4 + 10, ' ') + "0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    writeFile(dir.path() / "Kelvara4.dat", c.file);
    const RunResult result = runProgram(dir.path());
    std::string report;
    std::string console;
    for (size_t i = 0; i < c.lines.size(); ++i) {
      report += c.lines[i] + "\r\n";
      console += (i == 0 ? "" : "\r\n") + c.lines[i].substr(1);
    }
    console += "\r\n";
    EXPECT_EQ(1, result.status);
    EXPECT_EQ(console, result.out);
    EXPECT_EQ("", result.err);
    EXPECT_EQ(report, readFile(dir.path() / "Kelvara4Err"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "data.dat"));
  }
}

}  // namespace
