#pragma once

#include "run/run_state.h"

// Radii, reserved fields, the largest mass and the fixed header values (everything the
// initial-data file holds beyond the frame), without writing anything. Recomputes every value
// from the frame, so calling it again gives the same result. REQUIRES: buildBarycentricFrame
// has run.
void computeInitialDataValues(RunState& run);

// Writes the initial-data file on channel 5: the header record, one record per body, the
// trailer record, each one free-format record. The file is opened under dataFilePath when it
// has been resolved, else under initialDataFileName. A failure to open or write stops the run.
// REQUIRES: computeInitialDataValues has run.
void writeInitialData(RunState& run);
