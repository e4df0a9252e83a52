#include "model/placement.h"

// Stub: to be built.
Vec3 turnAndTilt(const Vec3& v, double, double, double, double, int) { return v; }
Vec3 turnAndTiltKepler(const Vec3& v, double, double, double, double) { return v; }
void placeBodies(RunState&) {}
void placePericentreLayout(RunState&) {}
