#include "model/placement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "model/kepler_layout.h"
#include "model/scales.h"
#include "run/run_state.h"
#include "tests/model/layout_test_support.h"

namespace {

using namespace layout_test;

std::unique_ptr<RunState> scaledRun(int orbiterCount, double turnFactor, double tiltFactor,
                                    double eccentricity = 0.3) {
  return layout_test::scaledRun(orbiterCount, turnFactor, tiltFactor, eccentricity, 0);
}

bool rowIsZero(const RunState& run, int body) {
  const Vec3 zero{};
  return sameBits(zero, run.bodyState[kPosition][body]) &&
         sameBits(zero, run.bodyState[kVelocity][body]);
}

// ---- The pericentre layout exactly as described: work slots rebuilt by shift passes -------

void restartSlotsLiterally(RunState& run, double speed) {
  for (int k = 2; k <= run.orbiterCount; ++k) {
    run.altSign = ((k + 1) % 2 == 0) ? 1 : -1;
    Vec3& position = run.workState[kPosition][k];
    position[1] = run.cosDoubleTurn * run.periDistance;
    position[2] = run.sinDoubleTurn * run.periDistance;
    position[3] = 0.0;
    Vec3& velocity = run.workState[kVelocity][k];
    velocity[1] = -(run.sinDoubleTurn * speed * run.cosTilt);
    velocity[2] = run.cosDoubleTurn * speed * run.cosTilt;
    velocity[3] = run.altSign * run.sinTilt * speed;
  }
}

// Slot k - 2 becomes turnAndTilt of slot k for k = first, first + 2, ... up to top, each step
// with the sign (-1)^k of its source slot.
void shiftPassLiterally(RunState& run, int kind, int first, int top) {
  for (int k = first; k <= top; k += 2) {
    run.altSign = (k % 2 == 0) ? 1 : -1;
    run.rotated = turnAndTilt(run.workState[kind][k], run.cosDoubleTurn, run.sinDoubleTurn,
                              run.cosTilt, run.sinTilt, run.altSign);
    run.workState[kind][k - 2] = run.rotated;
  }
}

void placePericentreLayoutLiterally(RunState& run) {
  const int n = run.orbiterCount;
  if (n >= 3) {
    restartSlotsLiterally(run, run.periSpeed);
    for (int kind = 1; kind <= 2; ++kind) {
      for (int i = 3; i <= n + 1; i += 2) {
        run.shiftTop = n + 3 - i;
        shiftPassLiterally(run, kind, 3, run.shiftTop);
        run.bodyState[kind][i + 1] = run.workState[kind][1];
      }
    }
    if (n >= 4) {
      run.retroSpeed = -run.periSpeed;
      restartSlotsLiterally(run, run.retroSpeed);
      for (int kind = 1; kind <= 2; ++kind) {
        for (int i = 4; i <= n + 1; i += 2) {
          run.shiftTop = n + 4 - i;
          shiftPassLiterally(run, kind, 4, run.shiftTop);
          run.bodyState[kind][i + 1] = run.workState[kind][2];
        }
      }
    }
  }
  const double rp = run.periDistance;
  const double vp = run.periSpeed;
  run.bodyState[kPosition][1] = vec(0.0, 0.0, 0.0);
  run.bodyState[kVelocity][1] = vec(0.0, 0.0, 0.0);
  run.bodyState[kPosition][2] = vec(rp, 0.0, 0.0);
  run.bodyState[kVelocity][2] = vec(0.0, vp, 0.0);
  run.bodyState[kPosition][3] = vec(run.cosDoubleTurn * rp, run.sinDoubleTurn * rp, 0.0);
  run.bodyState[kVelocity][3] = vec(-(run.sinDoubleTurn * vp * run.cosTilt),
                                    run.cosDoubleTurn * vp * run.cosTilt, run.sinTilt * vp);
}

void expectSamePlacement(const RunState& expected, const RunState& actual) {
  EXPECT_EQ(0, std::memcmp(&expected.bodyState, &actual.bodyState, sizeof(StateTable)));
  EXPECT_EQ(0, std::memcmp(&expected.workState, &actual.workState, sizeof(StateTable)));
  EXPECT_EQ(expected.altSign, actual.altSign);
  EXPECT_EQ(expected.shiftTop, actual.shiftTop);
  EXPECT_TRUE(sameBits(expected.rotated, actual.rotated));
  EXPECT_EQ(0, std::memcmp(&expected.retroSpeed, &actual.retroSpeed, sizeof(double)));
}

// Turn and tilt factors for the layouts: none, small, and large enough to wrap around.
struct Factors {
  double turn;
  double tilt;
};
const Factors kFactorCases[] = {{0.0, 0.0}, {0.37, 0.21}, {1.3, -0.45}, {0.0, 0.6}};

}  // namespace

// ---- Rotation step -------------------------------------------------------------------------

TEST(TurnAndTilt, IsTheTurnAfterTheTilt) {
  const double t = 0.7;
  const double u = -0.3;
  const Vec3 vectors[] = {vec(1.0, 0.0, 0.0), vec(0.0, 1.0, 0.0), vec(0.0, 0.0, 1.0),
                          vec(3.5, -2.25, 1.75)};
  for (const Vec3& v : vectors) {
    SCOPED_TRACE(v[1] + 10.0 * v[2] + 100.0 * v[3]);
    const Vec3 expected = turnThenTilt(v, t, u);
    expectNearVec(expected, turnAndTilt(v, std::cos(t), std::sin(t), std::cos(u), std::sin(u), 1),
                  1e-15);
    expectNearVec(turnThenTilt(v, t, -u),
                  turnAndTilt(v, std::cos(t), std::sin(t), std::cos(u), std::sin(u), -1), 1e-15);
    expectNearVec(expected,
                  turnAndTiltKepler(v, std::cos(t), std::sin(t), std::cos(u), std::sin(u)), 1e-15);
  }
}

// The sign only flips the tilt sine: multiplying by -1.0 is exact, so the bits are those of
// the rotation with the negated sine.
TEST(TurnAndTilt, NegativeSignEqualsNegatedTiltSineBitForBit) {
  const Vec3 v = vec(1.2345678901234567e11, -9.876543210987654e10, 3.3333333333333333e9);
  const double ct = std::cos(0.41);
  const double st = std::sin(0.41);
  const double cu = std::cos(0.17);
  const double su = std::sin(0.17);
  EXPECT_TRUE(sameBits(turnAndTilt(v, ct, st, cu, -su, 1), turnAndTilt(v, ct, st, cu, su, -1)));
}

// Products and sums are taken from the left, in the order written for each layout; the two
// orders agree only to rounding. Expected values are built one rounded operation at a time.
TEST(TurnAndTilt, FormsProductsInTheOrderOfEachLayout) {
  const double ct = std::cos(0.41);
  const double st = std::sin(0.41);
  const double cu = std::cos(0.17);
  const double su = std::sin(0.17);
  int ordersDiffer = 0;
  for (int i = 1; i <= 200; ++i) {
    SCOPED_TRACE(i);
    const double x = 1.0e11 * std::sin(1.3 * i);
    const double y = 1.0e11 * std::cos(2.9 * i + 0.5);
    const double z = 1.0e10 * std::sin(0.7 * i + 1.0);
    const Vec3 v = vec(x, y, z);
    for (int s : {1, -1}) {
      const double sign = s;
      double a = x * ct;
      double b = y * st;
      b = b * cu;
      double c = z * sign;
      c = c * st;
      c = c * su;
      const double px = (a - b) + c;
      a = y * ct;
      a = a * cu;
      b = x * st;
      c = z * sign;
      c = c * ct;
      c = c * su;
      const double py = (a + b) - c;
      a = y * sign;
      a = a * su;
      const double pz = a + z * cu;
      EXPECT_TRUE(sameBits(vec(px, py, pz), turnAndTilt(v, ct, st, cu, su, s)));
    }
    double a = x * ct;
    double b = y * cu;
    b = b * st;
    double c = z * su;
    c = c * st;
    const double kx = (a - b) + c;
    a = y * cu;
    a = a * ct;
    b = x * st;
    c = z * su;
    c = c * ct;
    const double ky = (a + b) - c;
    const double kz = y * su + z * cu;
    const Vec3 kepler = turnAndTiltKepler(v, ct, st, cu, su);
    EXPECT_TRUE(sameBits(vec(kx, ky, kz), kepler));
    if (!sameBits(kepler, turnAndTilt(v, ct, st, cu, su, 1))) ++ordersDiffer;
  }
  EXPECT_GT(ordersDiffer, 0);
}

// ---- Layout selection ----------------------------------------------------------------------

TEST(PlaceBodies, SelectsTheKeplerLayoutOnlyForModeFour) {
  struct Case {
    int layoutMode;
    bool kepler;
  };
  const Case cases[] = {{4, true},  {0, false},  {1, false}, {3, false},
                        {5, false}, {-4, false}, {-1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layoutMode);
    auto run = scaledRun(6, 0.37, 0.21);
    auto expected = scaledRun(6, 0.37, 0.21);
    run->layoutMode = c.layoutMode;
    placeBodies(*run);
    if (c.kepler) {
      placeKeplerLayout(*expected);
    } else {
      placePericentreLayout(*expected);
    }
    EXPECT_EQ(0, std::memcmp(&expected->bodyState, &run->bodyState, sizeof(StateTable)));
  }
}

// ---- Pericentre layout ---------------------------------------------------------------------

TEST(PericentreLayout, MatchesTheShiftPassesBitForBit) {
  for (int n : bodyCountsToCompare()) {
    for (const Factors& f : kFactorCases) {
      SCOPED_TRACE(testing::Message() << "N " << n << " turn " << f.turn << " tilt " << f.tilt);
      auto fast = scaledRun(n, f.turn, f.tilt);
      auto literal = scaledRun(n, f.turn, f.tilt);
      placePericentreLayout(*fast);
      placePericentreLayoutLiterally(*literal);
      expectSamePlacement(*literal, *fast);
    }
  }
}

TEST(PericentreLayout, WritesItsBodiesAndLeavesTheRestZero) {
  struct Case {
    int orbiterCount;
    int lastBody;        // rows above it stay zero
    int repeatedByLast;  // 0: the last body is no copy
  };
  const Case cases[] = {{1, 3, 0}, {2, 3, 0},  {3, 4, 0}, {4, 6, 4},
                        {5, 7, 5}, {8, 10, 8}, {9, 11, 9}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.orbiterCount);
    auto run = scaledRun(c.orbiterCount, 0.37, 0.21);
    placePericentreLayout(*run);
    EXPECT_TRUE(rowIsZero(*run, 1));
    for (int body = 2; body <= c.lastBody; ++body) {
      EXPECT_FALSE(rowIsZero(*run, body)) << "body " << body;
    }
    for (int body = c.lastBody + 1; body <= kSlotCount; ++body) {
      ASSERT_TRUE(rowIsZero(*run, body)) << "body " << body;
    }
    if (c.repeatedByLast != 0) {
      EXPECT_TRUE(sameBits(run->bodyState[kPosition][c.repeatedByLast],
                           run->bodyState[kPosition][c.lastBody]));
      EXPECT_TRUE(sameBits(run->bodyState[kVelocity][c.repeatedByLast],
                           run->bodyState[kVelocity][c.lastBody]));
    }
  }
}

// Bodies 2p+2 are A(p) = M^p P R and bodies 2p+3 are B(p) = P^p M R', with P turning by the
// double turn angle after tilting by +tiltAngle, M after tilting by -tiltAngle.
TEST(PericentreLayout, FollowsTheTwoChainsOfRotations) {
  const int n = 11;
  auto run = scaledRun(n, 0.37, 0.21);
  placePericentreLayout(*run);
  const double t = run->doubleTurnAngle;
  const double u = run->tiltAngle;
  const double rp = run->periDistance;
  const double vp = run->periSpeed;
  Vec3 aPosition = turnThenTilt(vec(rp, 0.0, 0.0), t, u);
  Vec3 aVelocity = turnThenTilt(vec(0.0, vp, 0.0), t, u);
  Vec3 bPosition = turnThenTilt(vec(rp, 0.0, 0.0), t, -u);
  Vec3 bVelocity = turnThenTilt(vec(0.0, -vp, 0.0), t, -u);
  expectNearVec(vec(rp, 0.0, 0.0), run->bodyState[kPosition][2], 0.0);
  expectNearVec(vec(0.0, vp, 0.0), run->bodyState[kVelocity][2], 0.0);
  expectNearVec(aPosition, run->bodyState[kPosition][3], 1e-15 * rp);
  expectNearVec(aVelocity, run->bodyState[kVelocity][3], 1e-15 * vp);
  for (int p = 1; 2 * p + 2 <= n + 1; ++p) {
    SCOPED_TRACE(p);
    aPosition = turnThenTilt(aPosition, t, -u);
    aVelocity = turnThenTilt(aVelocity, t, -u);
    expectNearVec(aPosition, run->bodyState[kPosition][2 * p + 2], 1e-14 * rp);
    expectNearVec(aVelocity, run->bodyState[kVelocity][2 * p + 2], 1e-14 * vp);
    bPosition = turnThenTilt(bPosition, t, u);
    bVelocity = turnThenTilt(bVelocity, t, u);
    if (2 * p + 3 <= n + 1) {
      expectNearVec(bPosition, run->bodyState[kPosition][2 * p + 3], 1e-14 * rp);
      expectNearVec(bVelocity, run->bodyState[kVelocity][2 * p + 3], 1e-14 * vp);
    }
  }
}

TEST(PericentreLayout, StartsEveryBodyAtThePericentre) {
  for (int n : {1, 2, 3, 4, 7, 30, 1000}) {
    for (const Factors& f : kFactorCases) {
      SCOPED_TRACE(testing::Message() << "N " << n << " turn " << f.turn << " tilt " << f.tilt);
      auto run = scaledRun(n, f.turn, f.tilt);
      placePericentreLayout(*run);
      const double rp = run->periDistance;
      const double vp = run->periSpeed;
      const int last = (n <= 2) ? 3 : (n == 3) ? 4 : n + 2;
      for (int body = 2; body <= last; ++body) {
        const Vec3& r = run->bodyState[kPosition][body];
        const Vec3& v = run->bodyState[kVelocity][body];
        ASSERT_NEAR(rp, norm(r), 1e-12 * rp) << "body " << body;
        ASSERT_NEAR(vp, norm(v), 1e-12 * vp) << "body " << body;
        ASSERT_NEAR(0.0, dot(r, v) / (rp * vp), 1e-12) << "body " << body;
      }
      EXPECT_EQ(0.0, run->bodyState[kPosition][2][3]);
      EXPECT_EQ(0.0, run->bodyState[kPosition][3][3]);
    }
  }
}

// Body 2p+3 is body 2p+2 mirrored in the plane z = 0 with its motion reversed; without tilt
// both sit at the same point.
TEST(PericentreLayout, MirrorsChainAIntoChainB) {
  for (const Factors& f : kFactorCases) {
    SCOPED_TRACE(testing::Message() << "turn " << f.turn << " tilt " << f.tilt);
    const int n = 40;
    auto run = scaledRun(n, f.turn, f.tilt);
    placePericentreLayout(*run);
    const double rp = run->periDistance;
    const double vp = run->periSpeed;
    for (int p = 1; 2 * p + 3 <= n + 1; ++p) {
      SCOPED_TRACE(p);
      const Vec3& r = run->bodyState[kPosition][2 * p + 2];
      const Vec3& v = run->bodyState[kVelocity][2 * p + 2];
      expectNearVec(vec(r[1], r[2], -r[3]), run->bodyState[kPosition][2 * p + 3], 1e-13 * rp);
      expectNearVec(vec(-v[1], -v[2], v[3]), run->bodyState[kVelocity][2 * p + 3], 1e-13 * vp);
    }
  }
}

TEST(PericentreLayout, WithoutTurnAllBodiesStartOnThePositiveXAxis) {
  auto run = scaledRun(9, 0.0, 0.6);
  placePericentreLayout(*run);
  const double rp = run->periDistance;
  for (int body = 2; body <= 11; ++body) {
    SCOPED_TRACE(body);
    expectNearVec(vec(rp, 0.0, 0.0), run->bodyState[kPosition][body], 1e-15 * rp);
  }
}
