#pragma once

#include "run/run_state.h"

// Reads the thirteen parameters from the parameter file on channel 1. Returns true when all
// thirteen were read. On the first failing read it writes the read-error record to the
// console and to the report file and returns false. A parameter file that cannot be opened
// stops the run.
bool readParameters(RunState& run);

// Replaces turnFactor by the first free-format value of the override file, when that file
// can be opened and the value read; every failure is silent.
void applyOverride(RunState& run);
