#pragma once

#include "run/run_state.h"

// Non-dimensional units and masses, scaled and inclined state, barycentric shift, angular
// momentum and residual momentum, in that order. REQUIRES: placeBodies has run.
void buildBarycentricFrame(RunState& run);
