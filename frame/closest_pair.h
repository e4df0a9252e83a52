#pragma once

#include "run/run_state.h"

// The distance between bodies 2 and 3 and the closest pair of orbiting bodies, on the
// physical positions of bodyState (metres). The result is that of testing every ordered pair
// (i, j) of the loop i = 2..N+1, j = 2..N+1, j != i, with the distance
// sqrt((dz*dz + dy*dy) + dx*dx) of dx = xj - xi etc., and taking a pair whenever
// minPairDistance >= its distance: among equal distances the last ordered pair wins (so
// minPairFirst > minPairSecond), a NaN distance never replaces the minimum, and no pair is
// taken whose distance exceeds the minPairDistance the search starts from (it is not reset
// here). distance23 is set when N >= 2; pairDistance ends, as after that loop, as the
// distance of the last ordered pair tested, (N+1, N), and is left alone when N < 2.
// REQUIRES: 0 <= orbiterCount <= kMaxOrbiters.
void findClosestPair(RunState& run);
