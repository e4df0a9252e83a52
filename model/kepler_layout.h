#pragma once

#include "run/run_state.h"

// The Kepler-orbit layout: bodies spaced evenly in true anomaly on one orbit, body p+2
// carried through p rotations. Writes bodyState rows 1 to N + 2.
// REQUIRES: computeScales has run; 1 <= orbiterCount <= 1000.
void placeKeplerLayout(RunState& run);
