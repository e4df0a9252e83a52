#include "frame/closest_pair.h"

// Stub: to be built.
void findClosestPair(RunState&) {}
