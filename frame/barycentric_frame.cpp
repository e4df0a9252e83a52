#include "frame/barycentric_frame.h"

// Stub: to be built.
void buildBarycentricFrame(RunState&) {}
