#pragma once

#include <string>
#include <vector>

#include "check/data_file.h"
#include "check/parameter_file.h"

// What to check: the file read back and, when there is one, the parameter file of its run.
struct CheckInput {
  std::string dataName;  // the initial-data file as the user named it
  const InitialData* data = nullptr;
  std::string parameterName;  // "" when there is no parameter file
  const ParameterValues* parameters = nullptr;
};

struct CheckResult {
  std::string summary;                // the plain-text summary, verdict line last
  std::vector<std::string> problems;  // what makes the file inconsistent (exit status 1)
  std::vector<std::string> warnings;  // worth knowing but not wrong (overlapping bodies, ...)
};

// Checks the file and writes the summary: units, frame, energies, orbits, close approaches,
// the comparison with the parameters, problems and warnings, and the verdict.
CheckResult checkInitialData(const CheckInput& input);
