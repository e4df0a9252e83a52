#include "model/kepler_layout.h"

// Stub: to be built.
void placeKeplerLayout(RunState&) {}
