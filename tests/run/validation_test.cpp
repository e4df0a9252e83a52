#include "run/validation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>

#include "tests/e2e/run_harness.h"
#include "textio/file_channel.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void setName(Name12& field, const char* value) {
  field.fill(' ');
  std::memcpy(field.data(), value, std::min(std::strlen(value), field.size()));
}

// A run state holding valid parameters.
std::unique_ptr<RunState> validRun() {
  auto run = std::make_unique<RunState>();
  run->orbiterCount = 8;
  run->totalMass = 2e30;
  run->centralMassFraction = 0.99;
  run->semiMajorAxisAu = 5.2;
  run->eccentricity = 0.05;
  run->bodyDensity = 1300.0;
  setName(run->parameterFileName, "Kelvara4.dat");
  setName(run->reportFileName, "Kelvara4Err");
  setName(run->overrideFileName, "file_okf.dat");
  setName(run->initialDataFileName, "out.dat");
  return run;
}

TEST(CheckParameters, AcceptsTheBoundsOfEveryRange) {
  struct Case {
    const char* what;
    void (*set)(RunState&);
  };
  const Case cases[] = {
      {"one orbiting body", [](RunState& r) { r.orbiterCount = 1; }},
      {"a full table", [](RunState& r) { r.orbiterCount = 1000; }},
      {"no central mass", [](RunState& r) { r.centralMassFraction = 0.0; }},
      {"all mass central", [](RunState& r) { r.centralMassFraction = 1.0; }},
      {"eccentricity just below 1", [](RunState& r) { r.eccentricity = std::nextafter(1.0, 0.0); }},
      {"eccentricity just above -1",
       [](RunState& r) { r.eccentricity = std::nextafter(-1.0, 0.0); }},
      {"smallest mass", [](RunState& r) { r.totalMass = 4.9e-324; }},
      {"any turn, tilt and inclination",
       [](RunState& r) {
         r.turnFactor = -1e300;
         r.tiltFactor = 7.5;
         r.inclinationAngle = -3.0;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto run = validRun();
    c.set(*run);
    EXPECT_TRUE(checkParameters(*run).empty());
  }
}

TEST(CheckParameters, RefusesEachParameterOutsideItsRange) {
  struct Case {
    void (*set)(RunState&);
    const char* message;
  };
  const Case cases[] = {
      {[](RunState& r) { r.orbiterCount = 0; },
       "parameter file record 1, orbiterCount (number of orbiting bodies), is 0: it must be from "
       "1 to 1000"},
      {[](RunState& r) { r.orbiterCount = 1001; },
       "parameter file record 1, orbiterCount (number of orbiting bodies), is 1001: it must be "
       "from 1 to 1000"},
      {[](RunState& r) { r.orbiterCount = -2147483647 - 1; },
       "parameter file record 1, orbiterCount (number of orbiting bodies), is -2147483648: it "
       "must be from 1 to 1000"},
      {[](RunState& r) { r.totalMass = 0.0; },
       "parameter file record 2, totalMass (total mass, kg), is 0: it must be above 0"},
      {[](RunState& r) { r.centralMassFraction = -1e-300; },
       "parameter file record 3, centralMassFraction (central body's share of the mass), is "
       "-1e-300: it must be from 0 to 1"},
      {[](RunState& r) { r.centralMassFraction = 1.0000000000000002; },
       "parameter file record 3, centralMassFraction (central body's share of the mass), is "
       "1.0000000000000002: it must be from 0 to 1"},
      {[](RunState& r) { r.semiMajorAxisAu = -5.2; },
       "parameter file record 4, semiMajorAxisAu (semi-major axis, AU), is -5.2: it must be "
       "above 0"},
      {[](RunState& r) { r.eccentricity = 1.0; },
       "parameter file record 5, eccentricity, is 1: it must be above -1 and below 1"},
      {[](RunState& r) { r.eccentricity = -1.0; },
       "parameter file record 5, eccentricity, is -1: it must be above -1 and below 1"},
      {[](RunState& r) { r.turnFactor = kInf; },
       "parameter file record 6, turnFactor (turn between orbits; the override file may set "
       "it), is infinity: it must be a finite number"},
      {[](RunState& r) { r.tiltFactor = kNaN; },
       "parameter file record 7, tiltFactor (tilt between orbits), is NaN: it must be a finite "
       "number"},
      {[](RunState& r) { r.inclinationAngle = -kInf; },
       "parameter file record 8, inclinationAngle (inclination, rad), is -infinity: it must be a "
       "finite number"},
      {[](RunState& r) { r.bodyDensity = 0.0; },
       "parameter file record 9, bodyDensity (density of the bodies, kg/m^3), is 0: it must be "
       "above 0"},
      {[](RunState& r) { r.headerParameter = kNaN; },
       "parameter file record 11, headerParameter, is NaN: it must be a finite number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    auto run = validRun();
    c.set(*run);
    const auto messages = checkParameters(*run);
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(c.message, messages[0]);
  }
}

TEST(CheckDataFileName, RefusesNamesOfTheRunsOwnFiles) {
  TempDir dir;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  writeFile("Kelvara4.dat", "parameters\n");
  std::filesystem::create_hard_link("Kelvara4.dat", "alias.dat");
  struct Case {
    const char* name;
    const char* refusedAs;  // null: accepted
  };
  const Case cases[] = {
      {"out.dat", nullptr},
      {"  out.dat   ", nullptr},
      {"Kelvara4.dat", "the parameter file"},
      {" Kelvara4Err", "the report file"},
      {"alias.dat", "the parameter file"},  // the same file under another name
      {"file_okf.dat", "the override file"},
      {"Kelvara4Err", "the report file"},
      // Names longer than the record's twelve characters come from the command line.
      {"./file_okf.dat", "the override file"},  // does not exist
      {"x/../Kelvara4Err", "the report file"},
      {"kelvara4err", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto run = validRun();
    std::string argument = c.name;
    char* argv[] = {nullptr, argument.data()};
    if (argument.size() <= kNameLength) {
      setName(run->initialDataFileName, c.name);
      setCommandLineArguments(1, argv);
    } else {
      setName(run->initialDataFileName, "");
      setCommandLineArguments(2, argv);
    }
    const auto messages = checkDataFileName(*run);
    std::string expected = c.name;
    expected.erase(0, expected.find_first_not_of(' '));
    expected.erase(expected.find_last_not_of(' ') + 1);
    EXPECT_EQ(expected, std::string(run->dataFilePath.data(), run->dataFilePathLength));
    if (c.refusedAs == nullptr) {
      EXPECT_TRUE(messages.empty());
    } else {
      ASSERT_EQ(1u, messages.size());
      EXPECT_NE(std::string::npos, messages[0].find(c.refusedAs)) << messages[0];
    }
  }
  setCommandLineArguments(0, nullptr);
  std::filesystem::current_path(previous);
}

TEST(CheckResultsFinite, NamesTheFirstQuantityThatOverflowed) {
  auto run = validRun();
  run->bodyCount = 9;
  run->periodYears = 11.86;
  EXPECT_TRUE(checkResultsFinite(*run).empty());
  run->bodyRadius[9] = kInf;
  run->minPairDistance = kNaN;
  const auto messages = checkResultsFinite(*run);
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ(
      "the result bodyRadius of body 9 is infinity: the parameters are too extreme for double "
      "precision (1 later results are not finite either)",
      messages[0]);
}

TEST(RefuseRun, StopsWithStatusOneAndEveryMessage) {
  EXPECT_EXIT(refuseRunIf({"first reason", "second reason"}), testing::ExitedWithCode(1),
              "kelvara4: run refused: first reason\nkelvara4: run refused: second reason");
  refuseRunIf({});  // nothing to refuse: returns
}

}  // namespace
