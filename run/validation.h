#pragma once

#include <string>
#include <vector>

#include "run/run_state.h"

// The messages refusing a run whose parameters lie outside the ranges in which the formulas
// hold, one per offending parameter; empty when every parameter is valid.
std::vector<std::string> checkParameters(const RunState& run);

// The messages refusing a run whose report file is the parameter or override file under its
// own name (a link to it), which writing the report would overwrite; empty otherwise.
std::vector<std::string> checkReportFileName(const RunState& run);

// Resolves the name the initial-data file will be opened under (into dataFilePath) and
// returns the messages refusing it when it holds a character of code 0 or names the
// parameter, override or report file, by name or as the same existing file; empty when it is
// acceptable.
std::vector<std::string> checkDataFileName(RunState& run);

// The message refusing a run in which a value that the initial-data file or the report would
// hold is not finite, naming the first such quantity in the order the run computes them;
// empty when all are finite. REQUIRES: every value computed.
std::vector<std::string> checkResultsFinite(const RunState& run);

// Writes each message as one line to standard error and ends the program with status 1
// when there is any; returns otherwise.
void refuseRunIf(const std::vector<std::string>& messages);
