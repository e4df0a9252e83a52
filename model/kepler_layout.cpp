#include "model/kepler_layout.h"

#include <cmath>
#include <cstddef>

namespace {

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

// Lanes of doubles handled side by side: a body takes two lanes, its position component of
// one axis and the velocity component of the same axis. Every lane operation is the IEEE
// operation of the scalar code, rounded the same way (products and sums are never fused), so
// every lane gets exactly the scalar result, whatever the width.
typedef double Lanes2 __attribute__((vector_size(16)));
typedef double Lanes4 __attribute__((vector_size(32)));
typedef double Lanes8 __attribute__((vector_size(64)));

// The four factors of the rotation, each in every lane.
template <typename Lanes>
struct LaneFactors {
  Lanes ct;
  Lanes st;
  Lanes cu;
  Lanes su;
};

template <typename Lanes>
[[gnu::always_inline]] inline void fillLanes(Lanes& lanes, double value) {
  for (size_t lane = 0; lane < sizeof(Lanes) / sizeof(double); ++lane) lanes[lane] = value;
}

template <typename Lanes>
[[gnu::always_inline]] inline void fillFactors(LaneFactors<Lanes>& q, const RunState& run) {
  fillLanes(q.ct, run.cosTurn);
  fillLanes(q.st, run.sinTurn);
  fillLanes(q.cu, run.cosTilt);
  fillLanes(q.su, run.sinTilt);
}

// One turnAndTiltKepler step of all lanes:
//   x' = (x ct - (y cu) st) + (z su) st
//   y' = ((y cu) ct + x st) - (z su) ct
//   z' = y su + z cu
// y cu and z su occur twice; forming each product once gives the same bits. The products
// are written so that each value's second use is its last, which lets the compiler keep the
// register copies of SSE2's two-operand instructions to one per value used twice.
template <typename Lanes>
[[gnu::always_inline]] inline void turnOnce(Lanes& x, Lanes& y, Lanes& z,
                                            const LaneFactors<Lanes>& q) {
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

// Bodies p + 2, p + 3, ... turned side by side, kVectors vectors of them: body p + 2 + j,
// from work slot p + 1 + j, takes p + j steps, exactly the steps it takes on its own. A step
// waits for the results of the step before it in the same vector only, so the chains of
// dependent operations of the vectors overlap in time and the processor is not left idle
// while each waits.
template <typename Lanes, int kVectors>
[[gnu::always_inline]] inline void turnGroup(RunState& run, int p) {
  constexpr int kPerVector = static_cast<int>(sizeof(Lanes) / sizeof(double)) / 2;
  constexpr int kBodies = kPerVector * kVectors;
  LaneFactors<Lanes> q;
  fillFactors(q, run);
  Lanes x[kVectors];
  Lanes y[kVectors];
  Lanes z[kVectors];
  for (int j = 0; j < kBodies; ++j) {
    const int v = j / kPerVector;
    const int lane = 2 * (j % kPerVector);
    const Vec3& position = run.workState[kPosition][p + 1 + j];
    const Vec3& velocity = run.workState[kVelocity][p + 1 + j];
    x[v][lane] = position[1];
    y[v][lane] = position[2];
    z[v][lane] = position[3];
    x[v][lane + 1] = velocity[1];
    y[v][lane + 1] = velocity[2];
    z[v][lane + 1] = velocity[3];
  }
  for (int k = 0; k < p; ++k) {
#pragma GCC unroll 8
    for (int v = 0; v < kVectors; ++v) turnOnce(x[v], y[v], z[v], q);
  }
  // Body p + 2 + j is done after j more steps; the vectors of the later bodies take them.
  for (int j = 0; j < kBodies; ++j) {
    const int v = j / kPerVector;
    const int lane = 2 * (j % kPerVector);
    // The vectors before v hold only bodies that are done.
    if (j > 0) {
      for (int w = v; w < kVectors; ++w) turnOnce(x[w], y[w], z[w], q);
    }
    Vec3& position = run.bodyState[kPosition][p + 2 + j];
    Vec3& velocity = run.bodyState[kVelocity][p + 2 + j];
    position[1] = x[v][lane];
    position[2] = y[v][lane];
    position[3] = z[v][lane];
    velocity[1] = x[v][lane + 1];
    velocity[2] = y[v][lane + 1];
    velocity[3] = z[v][lane + 1];
  }
}

// Bodies 3 to N + 1 (p = 1 .. N - 1, body p + 2 taking p steps): whole groups of the given
// width, then the few left one at a time.
template <typename Lanes, int kVectors>
[[gnu::always_inline]] inline void turnBodies(RunState& run) {
  constexpr int kBodies = static_cast<int>(sizeof(Lanes) / sizeof(double)) / 2 * kVectors;
  const int n = run.orbiterCount;
  int p = 1;
  for (; p + kBodies - 1 <= n - 1; p += kBodies) turnGroup<Lanes, kVectors>(run, p);
  for (; p <= n - 1; ++p) turnGroup<Lanes2, 1>(run, p);
}

void turnBodiesTwoLanes(RunState& run) { turnBodies<Lanes2, 3>(run); }

// Wider lanes where the processor family has them; elsewhere the two-lane code serves.
#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx"))) void turnBodiesFourLanes(RunState& run) {
  turnBodies<Lanes4, 3>(run);
}

__attribute__((target("avx512f"))) void turnBodiesEightLanes(RunState& run) {
  turnBodies<Lanes8, 3>(run);
}
#else
void turnBodiesFourLanes(RunState& run) { turnBodiesTwoLanes(run); }
void turnBodiesEightLanes(RunState& run) { turnBodiesTwoLanes(run); }
#endif

// Slot N + 1 turned 1 .. N times, each result kept in the slot below, as the last passes
// leave the work table.
void turnLastSlot(RunState& run) {
  const int n = run.orbiterCount;
  LaneFactors<Lanes2> q;
  fillFactors(q, run);
  const Vec3& position = run.workState[kPosition][n + 1];
  const Vec3& velocity = run.workState[kVelocity][n + 1];
  Lanes2 x = {position[1], velocity[1]};
  Lanes2 y = {position[2], velocity[2]};
  Lanes2 z = {position[3], velocity[3]};
  for (int slot = n; slot >= 1; --slot) {
    turnOnce(x, y, z, q);
    run.workState[kPosition][slot] = Vec3{x[0], y[0], z[0]};
    run.workState[kVelocity][slot] = Vec3{x[1], y[1], z[1]};
  }
}

}  // namespace

TurnLanes widestTurnLanes() {
#if defined(__x86_64__) || defined(__i386__)
  if (__builtin_cpu_supports("avx512f")) return TurnLanes::Eight;
  if (__builtin_cpu_supports("avx")) return TurnLanes::Four;
#endif
  return TurnLanes::Two;
}

// Body p + 2 is Q^p K(p angleStep): the orbit state p steps of anomaly from the pericentre,
// turned p times by Q = Rz(turnAngle) Rx(tiltAngle), each time in the product order of
// turnAndTiltKepler. The slot-shifting passes (slot k - 1 becomes Q of slot k, once per
// pass) compute exactly these successive rotations of each slot's own state, as many steps
// as here; there is nothing to share between bodies, as each starts from its own state.
// The work table and the scratch fields end as those passes leave them: the states of the
// last slot, turned 0 .. N times, in slots N + 1 .. 1.
void placeKeplerLayout(RunState& run) { placeKeplerLayoutWith(run, TurnLanes::Widest); }

void placeKeplerLayoutWith(RunState& run, TurnLanes lanes) {
  const int n = run.orbiterCount;
  for (int slot = 1; slot <= n + 1; ++slot) {
    setOrbitState(run, slot);
  }

  switch (lanes == TurnLanes::Widest ? widestTurnLanes() : lanes) {
    case TurnLanes::Eight:
      turnBodiesEightLanes(run);
      break;
    case TurnLanes::Four:
      turnBodiesFourLanes(run);
      break;
    default:
      turnBodiesTwoLanes(run);
      break;
  }

  turnLastSlot(run);
  run.bodyState[kPosition][n + 2] = run.workState[kPosition][1];
  run.bodyState[kVelocity][n + 2] = run.workState[kVelocity][1];
  run.rotated = run.workState[kVelocity][1];
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
