#include "run/parameter_input.h"

// Stub: to be built.
bool readParameters(RunState&) { return true; }
void applyOverride(RunState&) {}
