#include "model/kepler_layout.h"

#include <cmath>

namespace {

// Two doubles handled side by side: lane 0 a position component, lane 1 the velocity
// component of the same axis. Every lane operation is the IEEE operation of the scalar code,
// rounded the same way, so both lanes get exactly the scalar results.
typedef double Lanes __attribute__((vector_size(16)));

// Orbit state of work slot `slot` at true anomaly (slot - 1) angleStep, with f = eccFactor:
//   conic equation:  r = rp / ((f + 1) cos(anomaly) - f)
//   radial speed:    sqrt((f + 1)^2 - (rp / r + f)^2) vp, of the sign of e sin(anomaly)
//   transverse:      vp rp / r, the angular momentum of the pericentre state
// The radicand equals (f + 1)^2 sin^2(anomaly); near anomalies 0 and pi it can round to just
// below zero, and is then taken as 0. For e < 0 the pericentre formulas describe the far end
// of the orbit, so the radial speed takes the sign of e sin(anomaly) by one more negation.
void setOrbitState(RunState& run, int slot) {
  const double f = run.eccFactor;
  const double rp = run.periDistance;
  const double vp = run.periSpeed;
  run.anomaly = static_cast<double>(slot - 1) * run.angleStep;
  run.cosAnomaly = std::cos(run.anomaly);
  run.sinAnomaly = std::sin(run.anomaly);
  run.orbitRadius = rp / ((f + 1.0) * run.cosAnomaly - f);
  const double radicand =
      (f + 1.0) * (f + 1.0) - (rp / run.orbitRadius + f) * (rp / run.orbitRadius + f);
  run.radialSpeed = std::sqrt(radicand < 0.0 ? 0.0 : radicand) * vp;
  if (0.0 > run.sinAnomaly) {
    run.radialSpeed = -run.radialSpeed;
  }
  if (run.eccentricity < 0.0) {
    run.radialSpeed = -run.radialSpeed;
  }
  run.transverseSpeed = vp * rp / run.orbitRadius;

  Vec3& position = run.workState[kPosition][slot];
  position[1] = run.orbitRadius * run.cosAnomaly;
  position[2] = run.orbitRadius * run.sinAnomaly;
  position[3] = run.zero;
  Vec3& velocity = run.workState[kVelocity][slot];
  velocity[1] = run.radialSpeed * run.cosAnomaly - run.transverseSpeed * run.sinAnomaly;
  velocity[2] = run.transverseSpeed * run.cosAnomaly + run.radialSpeed * run.sinAnomaly;
  velocity[3] = run.zero;
}

// The four factors of the rotation, each in both lanes.
struct LaneFactors {
  Lanes ct;
  Lanes st;
  Lanes cu;
  Lanes su;
};

// One turnAndTiltKepler step of both lanes:
//   x' = (x ct - (y cu) st) + (z su) st
//   y' = ((y cu) ct + x st) - (z su) ct
//   z' = y su + z cu
// y cu and z su occur twice; forming each product once gives the same bits. The products
// are written so that each value's second use is its last, which lets the compiler keep the
// register copies of SSE2's two-operand instructions to one per value used twice.
inline void turnOnce(Lanes& x, Lanes& y, Lanes& z, const LaneFactors& q) {
  const Lanes ycu = y * q.cu;
  const Lanes zsu = z * q.su;
  const Lanes xct = x * q.ct;
  const Lanes xst = x * q.st;
  const Lanes ysu = y * q.su;
  const Lanes zcu = z * q.cu;
  const Lanes ycuSt = ycu * q.st;
  const Lanes ycuCt = ycu * q.ct;
  const Lanes zsuSt = zsu * q.st;
  const Lanes zsuCt = zsu * q.ct;
  x = (xct - ycuSt) + zsuSt;
  y = (ycuCt + xst) - zsuCt;
  z = ysu + zcu;
}

// Applies turnAndTiltKepler `count` times to a position and a velocity, both at once. This
// loop is where the layout spends its time: about N^2 / 2 steps for N bodies.
void turnRepeatedly(Vec3& position, Vec3& velocity, int count, const RunState& run) {
  const LaneFactors q = {{run.cosTurn, run.cosTurn},
                         {run.sinTurn, run.sinTurn},
                         {run.cosTilt, run.cosTilt},
                         {run.sinTilt, run.sinTilt}};
  Lanes x = {position[1], velocity[1]};
  Lanes y = {position[2], velocity[2]};
  Lanes z = {position[3], velocity[3]};
  for (; count >= 2; count -= 2) {
    turnOnce(x, y, z, q);
    turnOnce(x, y, z, q);
  }
  if (count == 1) {
    turnOnce(x, y, z, q);
  }
  position[1] = x[0];
  position[2] = y[0];
  position[3] = z[0];
  velocity[1] = x[1];
  velocity[2] = y[1];
  velocity[3] = z[1];
}

// Bodies turned side by side, three at a time: body j of the group (0, 1, 2) takes
// count + j steps, exactly the steps turnRepeatedly gives it. A step waits for the results of
// the step before it of the same body only, so the three chains of dependent operations
// overlap in time and the processor is not left idle while each waits.
constexpr int kGroupSize = 3;

void turnGroupRepeatedly(Vec3 (&positions)[kGroupSize], Vec3 (&velocities)[kGroupSize], int count,
                         const RunState& run) {
  const LaneFactors q = {{run.cosTurn, run.cosTurn},
                         {run.sinTurn, run.sinTurn},
                         {run.cosTilt, run.cosTilt},
                         {run.sinTilt, run.sinTilt}};
  Lanes x[kGroupSize];
  Lanes y[kGroupSize];
  Lanes z[kGroupSize];
  for (int j = 0; j < kGroupSize; ++j) {
    x[j] = Lanes{positions[j][1], velocities[j][1]};
    y[j] = Lanes{positions[j][2], velocities[j][2]};
    z[j] = Lanes{positions[j][3], velocities[j][3]};
  }
  for (int k = 0; k < count; ++k) {
#pragma GCC unroll 3
    for (int j = 0; j < kGroupSize; ++j) turnOnce(x[j], y[j], z[j], q);
  }
  // The later bodies of the group take one and two steps more.
  for (int extra = 1; extra < kGroupSize; ++extra) {
    for (int j = extra; j < kGroupSize; ++j) turnOnce(x[j], y[j], z[j], q);
  }
  for (int j = 0; j < kGroupSize; ++j) {
    positions[j][1] = x[j][0];
    positions[j][2] = y[j][0];
    positions[j][3] = z[j][0];
    velocities[j][1] = x[j][1];
    velocities[j][2] = y[j][1];
    velocities[j][3] = z[j][1];
  }
}

}  // namespace

// Body p + 2 is Q^p K(p angleStep): the orbit state p steps of anomaly from the pericentre,
// turned p times by Q = Rz(turnAngle) Rx(tiltAngle), each time in the product order of
// turnAndTiltKepler. The slot-shifting passes (slot k - 1 becomes Q of slot k, once per
// pass) compute exactly these successive rotations of each slot's own state, as many steps
// as here; there is nothing to share between bodies, as each starts from its own state.
// The work table and the scratch fields end as those passes leave them: the states of the
// last slot, turned 0 .. N times, in slots N + 1 .. 1.
void placeKeplerLayout(RunState& run) {
  const int n = run.orbiterCount;
  for (int slot = 1; slot <= n + 1; ++slot) {
    setOrbitState(run, slot);
  }

  // Bodies p + 2, p + 3 and p + 4 together, then the few left one at a time.
  int p = 1;
  for (; p + kGroupSize - 1 <= n - 1; p += kGroupSize) {
    Vec3 positions[kGroupSize];
    Vec3 velocities[kGroupSize];
    for (int j = 0; j < kGroupSize; ++j) {
      positions[j] = run.workState[kPosition][p + 1 + j];
      velocities[j] = run.workState[kVelocity][p + 1 + j];
    }
    turnGroupRepeatedly(positions, velocities, p, run);
    for (int j = 0; j < kGroupSize; ++j) {
      run.bodyState[kPosition][p + 2 + j] = positions[j];
      run.bodyState[kVelocity][p + 2 + j] = velocities[j];
    }
  }
  for (; p <= n - 1; ++p) {
    Vec3 position = run.workState[kPosition][p + 1];
    Vec3 velocity = run.workState[kVelocity][p + 1];
    turnRepeatedly(position, velocity, p, run);
    run.bodyState[kPosition][p + 2] = position;
    run.bodyState[kVelocity][p + 2] = velocity;
  }

  Vec3 position = run.workState[kPosition][n + 1];
  Vec3 velocity = run.workState[kVelocity][n + 1];
  for (int slot = n; slot >= 1; --slot) {
    turnRepeatedly(position, velocity, 1, run);
    run.workState[kPosition][slot] = position;
    run.workState[kVelocity][slot] = velocity;
  }
  run.bodyState[kPosition][n + 2] = position;
  run.bodyState[kVelocity][n + 2] = velocity;
  run.rotated = velocity;
  run.shiftTop = 2;

  for (int axis = 1; axis <= 3; ++axis) {
    run.bodyState[kPosition][1][axis] = run.zero;
    run.bodyState[kVelocity][1][axis] = run.zero;
  }
  run.bodyState[kPosition][2][1] = run.periDistance;
  run.bodyState[kPosition][2][2] = run.zero;
  run.bodyState[kPosition][2][3] = run.zero;
  run.bodyState[kVelocity][2][1] = run.zero;
  run.bodyState[kVelocity][2][2] = run.periSpeed;
  run.bodyState[kVelocity][2][3] = run.zero;
}
