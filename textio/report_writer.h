#pragma once

#include "run/run_state.h"

// Writes the report file on channel 3: the coordinate table of slots 1 to N+2, then the
// summary records. Changes no field of the run.
void writeReport(RunState& run);
