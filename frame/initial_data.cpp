#include "frame/initial_data.h"

// Stub: to be built.
void computeInitialDataValues(RunState&) {}
void writeInitialData(RunState&) {}
