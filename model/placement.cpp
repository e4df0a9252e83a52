#include "model/placement.h"

#include <cassert>

#include "model/kepler_layout.h"

Vec3 turnAndTilt(const Vec3& v, double ct, double st, double cu, double su, int s) {
  const double x = v[1];
  const double y = v[2];
  const double z = v[3];
  const double sign = static_cast<double>(s);
  Vec3 turned{};
  turned[1] = x * ct - y * st * cu + z * sign * st * su;
  turned[2] = y * ct * cu + x * st - z * sign * ct * su;
  turned[3] = y * sign * su + z * cu;
  return turned;
}

Vec3 turnAndTiltKepler(const Vec3& v, double ct, double st, double cu, double su) {
  const double x = v[1];
  const double y = v[2];
  const double z = v[3];
  Vec3 turned{};
  turned[1] = x * ct - y * cu * st + z * su * st;
  turned[2] = y * cu * ct + x * st - z * su * ct;
  turned[3] = y * su + z * cu;
  return turned;
}

void placeBodies(RunState& run) {
  if (run.layoutMode == 4) {
    placeKeplerLayout(run);
  } else {
    placePericentreLayout(run);
  }
}

namespace {

// Start state of a chain: the reference state (rp, 0, 0), (0, speed, 0) turned by
// doubleTurnAngle and tilted by sign * tiltAngle, written out term by term.
struct ChainStart {
  Vec3 position{};
  Vec3 velocity{};
};

ChainStart makeChainStart(const RunState& run, double speed, int sign) {
  ChainStart start;
  start.position[1] = run.cosDoubleTurn * run.periDistance;
  start.position[2] = run.sinDoubleTurn * run.periDistance;
  start.position[3] = run.zero;
  start.velocity[1] = -(run.sinDoubleTurn * speed * run.cosTilt);
  start.velocity[2] = run.cosDoubleTurn * speed * run.cosTilt;
  start.velocity[3] = static_cast<double>(sign) * run.sinTilt * speed;
  return start;
}

// Sets work slots 2 .. N to the start state of a chain with the given speed, slot k tilted
// with the sign (-1)^(k+1), and leaves altSign as the last slot set it.
void restartSlots(RunState& run, double speed) {
  const ChainStart odd = makeChainStart(run, speed, 1);
  const ChainStart even = makeChainStart(run, speed, -1);
  for (int k = 2; k <= run.orbiterCount; ++k) {
    const ChainStart& start = (k % 2 == 0) ? even : odd;
    run.workState[kPosition][k] = start.position;
    run.workState[kVelocity][k] = start.velocity;
  }
  run.altSign = (run.orbiterCount % 2 == 0) ? -1 : 1;
}

// Runs one chain of the pericentre layout by direct iteration. Slots topSlot, topSlot - 2,
// ..., 1 or 2 of the work table form the chain; all start with the same state X. The shift
// passes move each slot down by two per pass and rotate it once, so after every pass the
// lowest slot holds one more rotation of X than before, computed as successive rotations of
// X operation for operation. Iterating X directly gives the same bits with one rotation per
// body instead of one per slot and pass. Each iterate goes to its body and to the slot where
// the passes leave it: the q-th rotation of X ends in slot topSlot - 2q.
void runChain(RunState& run, int topSlot, int firstBody, int sign) {
  const int n = run.orbiterCount;
  Vec3 position = run.workState[kPosition][topSlot];
  Vec3 velocity = run.workState[kVelocity][topSlot];
  int slot = topSlot;
  for (int body = firstBody; body <= n + 1; body += 2) {
    position =
        turnAndTilt(position, run.cosDoubleTurn, run.sinDoubleTurn, run.cosTilt, run.sinTilt, sign);
    velocity =
        turnAndTilt(velocity, run.cosDoubleTurn, run.sinDoubleTurn, run.cosTilt, run.sinTilt, sign);
    slot -= 2;
    // The chain reaches slot 1 or 2, the slot the passes copy into the bodies, last.
    assert(slot >= 1);
    run.workState[kPosition][slot] = position;
    run.workState[kVelocity][slot] = velocity;
    run.bodyState[kPosition][body] = position;
    run.bodyState[kVelocity][body] = velocity;
  }
  run.rotated = velocity;
  run.altSign = sign;
  // The outer passes of the chain run i = firstBody - 1, firstBody + 1, ... up to N + 1, each
  // with top slot N + firstBody - 1 - i and copying into body i + 1. When the last of them is
  // i = N + 1 its top is below the first slot, it has no step, and body N + 2 repeats body N.
  const int firstOuter = firstBody - 1;
  const int lastOuter = firstOuter + ((n + 1 - firstOuter) / 2) * 2;
  run.shiftTop = n + firstOuter - lastOuter;
  if (lastOuter == n + 1) {
    run.bodyState[kPosition][n + 2] = run.bodyState[kPosition][n];
    run.bodyState[kVelocity][n + 2] = run.bodyState[kVelocity][n];
  }
}

// The largest slot of at most n with the parity of `parity`.
int topSlotOfParity(int n, int parity) { return (n % 2 == parity % 2) ? n : n - 1; }

}  // namespace

// Two chains of rotations of the reference state R = (rp, 0, 0), (0, vp, 0):
//   chain A: A(0) = P R, A(p) = M A(p-1), into bodies 4, 6, 8, ...
//   chain B: B(0) = M R', B(p) = P B(p-1), into bodies 5, 7, 9, ... (R' runs backwards)
// with P = Rz(doubleTurnAngle) Rx(+tiltAngle) and M = Rz(doubleTurnAngle) Rx(-tiltAngle).
// Bodies 1 to 3 are fixed; for N >= 4 body N + 2 repeats body N. The work table and the scratch
// fields end as the slot-shifting passes leave them.
void placePericentreLayout(RunState& run) {
  const int n = run.orbiterCount;
  if (n >= 3) {
    restartSlots(run, run.periSpeed);
    // Chain A lives in the odd slots; each step takes the sign of its odd source slot, -1.
    runChain(run, topSlotOfParity(n, 1), 4, -1);
    if (n >= 4) {
      run.retroSpeed = -run.periSpeed;
      restartSlots(run, run.retroSpeed);
      // Chain B lives in the even slots, with sign +1 for every step.
      runChain(run, topSlotOfParity(n, 0), 5, 1);
    }
  }

  const double rp = run.periDistance;
  const double vp = run.periSpeed;
  for (int axis = 1; axis <= 3; ++axis) {
    run.bodyState[kPosition][1][axis] = run.zero;
    run.bodyState[kVelocity][1][axis] = run.zero;
  }
  run.bodyState[kPosition][2][1] = rp;
  run.bodyState[kPosition][2][2] = run.zero;
  run.bodyState[kPosition][2][3] = run.zero;
  run.bodyState[kVelocity][2][1] = run.zero;
  run.bodyState[kVelocity][2][2] = vp;
  run.bodyState[kVelocity][2][3] = run.zero;
  run.bodyState[kPosition][3][1] = run.cosDoubleTurn * rp;
  run.bodyState[kPosition][3][2] = run.sinDoubleTurn * rp;
  run.bodyState[kPosition][3][3] = run.zero;
  run.bodyState[kVelocity][3][1] = -(run.sinDoubleTurn * vp * run.cosTilt);
  run.bodyState[kVelocity][3][2] = run.cosDoubleTurn * vp * run.cosTilt;
  run.bodyState[kVelocity][3][3] = run.sinTilt * vp;
}
