#pragma once

#include "run/run_state.h"

// The rotation Rz(t) Rx(s u) of one vector, products and sums taken from the left in the
// order of the pericentre layout:
//   x' = x ct - y st cu + z s st su
//   y' = y ct cu + x st - z s ct su
//   z' = y s su + z cu
Vec3 turnAndTilt(const Vec3& v, double ct, double st, double cu, double su, int s);

// The same rotation with the products in the order of the Kepler-orbit layout (sign +1):
//   x' = (x ct - y cu st) + z su st
//   y' = (y cu ct + x st) - z su ct
//   z' = y su + z cu
Vec3 turnAndTiltKepler(const Vec3& v, double ct, double st, double cu, double su);

// Fills bodyState: the Kepler-orbit layout when layoutMode is 4, else the pericentre layout.
// REQUIRES: computeScales has run; 1 <= orbiterCount <= kMaxOrbiters.
void placeBodies(RunState& run);

// The pericentre layout: bodies from the reference state by two chains of rotations. Writes
// bodies 1 to 3 for every N, bodies up to N + 1 for N >= 3 and body N + 2 (a copy of body N)
// for N >= 4; every other row of bodyState keeps its value.
// REQUIRES: computeScales has run; 1 <= orbiterCount <= kMaxOrbiters.
void placePericentreLayout(RunState& run);
