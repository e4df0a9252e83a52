#pragma once

#include "run/run_state.h"

// The Kepler-orbit layout: bodies spaced evenly in true anomaly on one orbit, body p+2
// carried through p rotations. Writes bodyState rows 1 to N + 2.
// REQUIRES: computeScales has run; 1 <= orbiterCount <= 1000.
void placeKeplerLayout(RunState& run);

// How many lanes of doubles each rotation step works on at once. Every choice gives the same
// bits; Widest takes the widest the processor offers, and tests try the others.
enum class TurnLanes { Widest, Two, Four, Eight };

// The widest lanes this processor offers (Two, Four or Eight), never Widest.
TurnLanes widestTurnLanes();

// placeKeplerLayout with the given lanes.
// REQUIRES: as placeKeplerLayout; lanes no wider than widestTurnLanes().
void placeKeplerLayoutWith(RunState& run, TurnLanes lanes);
