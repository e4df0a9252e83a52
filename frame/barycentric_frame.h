#pragma once

#include "run/run_state.h"

// Non-dimensional units and masses, scaled and inclined state, barycentric shift, angular
// momentum and residual momentum, in that order. Every body 1..bodyCount is moved into the
// barycentric frame, massless bodies included; the barycentre, momentum and angular-momentum
// sums take only the bodies whose mass is not exactly 0.0. totalMomentum ends as the residual
// momentum of the shifted configuration. REQUIRES: placeBodies has run; totalMass > 0.
void buildBarycentricFrame(RunState& run);
