#pragma once

#include "run/run_state.h"

// The distance between bodies 2 and 3 and the closest pair of orbiting bodies, on the
// physical positions of bodyState (metres). Among equal distances the last ordered pair (i, j)
// of the loop i = 2..N+1, j = 2..N+1 wins; a NaN distance never replaces the minimum.
void findClosestPair(RunState& run);
