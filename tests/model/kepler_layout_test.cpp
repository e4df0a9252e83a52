#include "model/kepler_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "model/placement.h"
#include "model/scales.h"
#include "run/run_state.h"
#include "tests/model/layout_test_support.h"

namespace {

using namespace layout_test;

std::unique_ptr<RunState> scaledRun(int orbiterCount, double turnFactor, double tiltFactor,
                                    double eccentricity) {
  return layout_test::scaledRun(orbiterCount, turnFactor, tiltFactor, eccentricity, 4);
}

using layout_test::sameBits;
bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof(double)) == 0; }

double gravParamOf(const RunState& run) { return -run.negGravParam; }

// Textbook state on the reference orbit (pericentre on +x, counter-clockwise seen from +z) at
// true anomaly nu, with signed eccentricity e: for e < 0 the pericentre lies on -x.
struct OrbitState {
  Vec3 position;
  Vec3 velocity;
};

OrbitState textbookState(const RunState& run, double nu) {
  const double e = run.eccentricity;
  const double a = run.semiMajorAxis;
  const double mu = gravParamOf(run);
  const double semiLatus = a * (1.0 - e * e);
  const double r = semiLatus / (1.0 + e * std::cos(nu));
  const double radial = std::sqrt(mu / semiLatus) * e * std::sin(nu);
  const double transverse = std::sqrt(mu * semiLatus) / r;
  return {vec(r * std::cos(nu), r * std::sin(nu), 0.0),
          vec(radial * std::cos(nu) - transverse * std::sin(nu),
              radial * std::sin(nu) + transverse * std::cos(nu), 0.0)};
}

// ---- The Kepler-orbit layout exactly as described: work slots rebuilt by shift passes ------

void setOrbitStateLiterally(RunState& run, int i) {
  const double f = run.eccFactor;
  const double rp = run.periDistance;
  const double vp = run.periSpeed;
  run.anomaly = (i - 1) * run.angleStep;
  run.cosAnomaly = std::cos(run.anomaly);
  run.sinAnomaly = std::sin(run.anomaly);
  run.orbitRadius = rp / ((f + 1.0) * run.cosAnomaly - f);
  const double excess = rp / run.orbitRadius + f;
  double radicand = (f + 1.0) * (f + 1.0) - excess * excess;
  if (radicand < 0.0) radicand = 0.0;
  run.radialSpeed = std::sqrt(radicand) * vp;
  if (0.0 > run.sinAnomaly) run.radialSpeed = -run.radialSpeed;
  if (run.eccentricity < 0.0) run.radialSpeed = -run.radialSpeed;
  run.transverseSpeed = vp * rp / run.orbitRadius;
  run.workState[kPosition][i] =
      vec(run.orbitRadius * run.cosAnomaly, run.orbitRadius * run.sinAnomaly, 0.0);
  run.workState[kVelocity][i] =
      vec(run.radialSpeed * run.cosAnomaly - run.transverseSpeed * run.sinAnomaly,
          run.transverseSpeed * run.cosAnomaly + run.radialSpeed * run.sinAnomaly, 0.0);
}

void placeKeplerLayoutLiterally(RunState& run) {
  const int n = run.orbiterCount;
  for (int i = 1; i <= n + 1; ++i) setOrbitStateLiterally(run, i);
  for (int kind = 1; kind <= 2; ++kind) {
    for (int i = 2; i <= n + 1; ++i) {
      run.shiftTop = n + 3 - i;
      for (int k = 2; k <= run.shiftTop; ++k) {
        run.rotated = turnAndTiltKepler(run.workState[kind][k], run.cosTurn, run.sinTurn,
                                        run.cosTilt, run.sinTilt);
        run.workState[kind][k - 1] = run.rotated;
      }
      run.bodyState[kind][i + 1] = run.workState[kind][1];
    }
  }
  run.bodyState[kPosition][1] = vec(0.0, 0.0, 0.0);
  run.bodyState[kVelocity][1] = vec(0.0, 0.0, 0.0);
  run.bodyState[kPosition][2] = vec(run.periDistance, 0.0, 0.0);
  run.bodyState[kVelocity][2] = vec(0.0, run.periSpeed, 0.0);
}

void expectSamePlacement(const RunState& expected, const RunState& actual) {
  EXPECT_EQ(0, std::memcmp(&expected.bodyState, &actual.bodyState, sizeof(StateTable)));
  EXPECT_EQ(0, std::memcmp(&expected.workState, &actual.workState, sizeof(StateTable)));
  EXPECT_EQ(expected.shiftTop, actual.shiftTop);
  EXPECT_EQ(expected.altSign, actual.altSign);
  EXPECT_TRUE(sameBits(expected.rotated, actual.rotated));
  EXPECT_TRUE(sameBits(expected.retroSpeed, actual.retroSpeed));
  EXPECT_TRUE(sameBits(expected.anomaly, actual.anomaly));
  EXPECT_TRUE(sameBits(expected.cosAnomaly, actual.cosAnomaly));
  EXPECT_TRUE(sameBits(expected.sinAnomaly, actual.sinAnomaly));
  EXPECT_TRUE(sameBits(expected.orbitRadius, actual.orbitRadius));
  EXPECT_TRUE(sameBits(expected.radialSpeed, actual.radialSpeed));
  EXPECT_TRUE(sameBits(expected.transverseSpeed, actual.transverseSpeed));
}

struct Shape {
  double turn;
  double tilt;
  double eccentricity;
};
const Shape kShapeCases[] = {{0.0, 0.0, 0.3},    {0.37, 0.21, 0.3}, {1.3, -0.45, 0.7},
                             {0.37, 0.21, -0.4}, {0.2, 0.1, 0.0},   {0.5, -0.3, 0.5}};

}  // namespace

// Every lane width this processor offers gives the bits of the literal passes.
TEST(KeplerLayout, MatchesTheShiftPassesBitForBit) {
  std::vector<TurnLanes> widths = {TurnLanes::Widest, TurnLanes::Two};
  if (widestTurnLanes() != TurnLanes::Two) widths.push_back(TurnLanes::Four);
  if (widestTurnLanes() == TurnLanes::Eight) widths.push_back(TurnLanes::Eight);
  for (int n : bodyCountsToCompare()) {
    for (const Shape& s : kShapeCases) {
      SCOPED_TRACE(testing::Message() << "N " << n << " turn " << s.turn << " tilt " << s.tilt
                                      << " e " << s.eccentricity);
      auto literal = scaledRun(n, s.turn, s.tilt, s.eccentricity);
      placeKeplerLayoutLiterally(*literal);
      for (TurnLanes lanes : widths) {
        SCOPED_TRACE(testing::Message() << "lanes " << static_cast<int>(lanes));
        auto fast = scaledRun(n, s.turn, s.tilt, s.eccentricity);
        placeKeplerLayoutWith(*fast, lanes);
        expectSamePlacement(*literal, *fast);
      }
    }
  }
}

// Without turn and tilt every body keeps its orbit state: bodies 2 .. N+1 lie on one ellipse
// at anomalies 0, step, 2 step, ..., each with that orbit's velocity, and body N+2 is back at
// the pericentre.
TEST(KeplerLayout, WithoutTurnOrTiltSpreadsTheBodiesAlongOneOrbit) {
  for (int n : {1, 2, 3, 4, 7, 8, 64, 1000}) {
    for (double e : {0.3, 0.0, 0.7, -0.4, 0.5}) {
      SCOPED_TRACE(testing::Message() << "N " << n << " e " << e);
      auto run = scaledRun(n, 0.0, 0.0, e);
      placeKeplerLayout(*run);
      const double a = run->semiMajorAxis;
      const double mu = gravParamOf(*run);
      const double rp = run->periDistance;
      const double vp = run->periSpeed;
      for (int p = 0; p <= n; ++p) {
        SCOPED_TRACE(p);
        const double nu = p * run->angleStep;
        const OrbitState expected = textbookState(*run, nu);
        const Vec3& r = run->bodyState[kPosition][p + 2];
        const Vec3& v = run->bodyState[kVelocity][p + 2];
        expectNearVec(expected.position, r, 1e-13 * rp);
        expectNearVec(expected.velocity, v, 1e-13 * vp);
        // vis-viva
        EXPECT_NEAR(mu * (2.0 / norm(r) - 1.0 / a), dot(v, v), 1e-12 * vp * vp);
        EXPECT_EQ(0.0, r[3]);
        EXPECT_EQ(0.0, v[3]);
      }
      expectNearVec(vec(rp, 0.0, 0.0), run->bodyState[kPosition][n + 2], 1e-13 * rp);
      expectNearVec(vec(0.0, vp, 0.0), run->bodyState[kVelocity][n + 2], 1e-13 * vp);
      if (n % 2 == 0) {
        // The apocentre: at distance a (1 + e), moving across the radius.
        const Vec3& r = run->bodyState[kPosition][n / 2 + 2];
        const Vec3& v = run->bodyState[kVelocity][n / 2 + 2];
        EXPECT_NEAR(a * (1.0 + e), norm(r), 1e-13 * a);
        EXPECT_NEAR(0.0, dot(r, v) / (norm(r) * norm(v)), 1e-13);
      }
    }
  }
}

// A negative eccentricity puts the pericentre of the orbit on -x; every body's eccentricity
// vector, (v x h) / mu - r / |r|, must then be (e, 0, 0): the radial speed takes the sign of
// e sin(anomaly).
TEST(KeplerLayout, KeepsOneEccentricityVectorForEveryBody) {
  for (double e : {-0.4, -0.05, 0.3}) {
    SCOPED_TRACE(e);
    const int n = 12;
    auto run = scaledRun(n, 0.0, 0.0, e);
    placeKeplerLayout(*run);
    const double mu = -run->negGravParam;
    for (int body = 2; body <= n + 2; ++body) {
      SCOPED_TRACE(body);
      const Vec3& r = run->bodyState[kPosition][body];
      const Vec3& v = run->bodyState[kVelocity][body];
      const Vec3 vh = cross(v, cross(r, v));
      const Vec3 eccVector = vec(vh[1] / mu - r[1] / norm(r), vh[2] / mu - r[2] / norm(r),
                                 vh[3] / mu - r[3] / norm(r));
      expectNearVec(vec(e, 0.0, 0.0), eccVector, 1e-12);
    }
  }
}

// Body p+2 is the orbit state p steps of anomaly on, turned p times by Rz(turn) Rx(tilt).
TEST(KeplerLayout, TurnsTheBodyAtStepPThroughPRotations) {
  struct Case {
    int orbiterCount;
    double turn;
    double tilt;
  };
  const Case cases[] = {{1, 0.37, 0.21}, {2, 0.37, 0.21}, {9, 1.3, -0.45}, {50, 0.37, 0.21}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.orbiterCount);
    auto run = scaledRun(c.orbiterCount, c.turn, c.tilt, 0.3);
    placeKeplerLayout(*run);
    const double rp = run->periDistance;
    const double vp = run->periSpeed;
    expectNearVec(vec(rp, 0.0, 0.0), run->bodyState[kPosition][2], 0.0);
    expectNearVec(vec(0.0, vp, 0.0), run->bodyState[kVelocity][2], 0.0);
    for (int p = 1; p <= c.orbiterCount; ++p) {
      SCOPED_TRACE(p);
      OrbitState expected = textbookState(*run, p * run->angleStep);
      for (int step = 0; step < p; ++step) {
        expected.position = turnThenTilt(expected.position, run->turnAngle, run->tiltAngle);
        expected.velocity = turnThenTilt(expected.velocity, run->turnAngle, run->tiltAngle);
      }
      expectNearVec(expected.position, run->bodyState[kPosition][p + 2], 1e-12 * rp);
      expectNearVec(expected.velocity, run->bodyState[kVelocity][p + 2], 1e-12 * vp);
    }
    for (int body = c.orbiterCount + 3; body <= kSlotCount; ++body) {
      ASSERT_TRUE(sameBits(Vec3{}, run->bodyState[kPosition][body]));
      ASSERT_TRUE(sameBits(Vec3{}, run->bodyState[kVelocity][body]));
    }
  }
}

// With e = 0.5 the radicand of the radial speed rounds to just below zero at the apocentre;
// it counts as zero there, so the apocentre body moves across its radius.
TEST(KeplerLayout, RoundedNegativeRadicandGivesNoRadialSpeed) {
  for (int n : {2, 4, 10}) {
    SCOPED_TRACE(n);
    auto run = scaledRun(n, 0.0, 0.0, 0.5);
    placeKeplerLayout(*run);
    const Vec3& r = run->bodyState[kPosition][n / 2 + 2];
    const Vec3& v = run->bodyState[kVelocity][n / 2 + 2];
    EXPECT_NEAR(1.5 * run->semiMajorAxis, norm(r), 1e-13 * run->semiMajorAxis);
    EXPECT_NEAR(0.0, dot(r, v) / (norm(r) * norm(v)), 1e-15);
  }
}

// On a circle every slot has radius rp and radial speed zero, exactly; the transverse speed
// vp rp / rp is vp up to its rounding.
TEST(KeplerLayout, CircularOrbitHasNoRadialSpeed) {
  const int n = 6;
  auto run = scaledRun(n, 0.0, 0.0, 0.0);
  placeKeplerLayout(*run);
  const double rp = run->periDistance;
  const double vp = run->periSpeed;
  const double transverse = vp * rp / rp;
  EXPECT_EQ(rp, run->orbitRadius);
  EXPECT_EQ(transverse, run->transverseSpeed);
  EXPECT_NEAR(vp, transverse, 1e-15 * vp);
  EXPECT_EQ(0.0, run->radialSpeed);
  for (int p = 1; p < n; ++p) {
    SCOPED_TRACE(p);
    const double nu = p * run->angleStep;
    EXPECT_EQ(rp * std::cos(nu), run->bodyState[kPosition][p + 2][1]);
    EXPECT_EQ(rp * std::sin(nu), run->bodyState[kPosition][p + 2][2]);
    EXPECT_EQ(-(transverse * std::sin(nu)), run->bodyState[kVelocity][p + 2][1]);
    EXPECT_EQ(transverse * std::cos(nu), run->bodyState[kVelocity][p + 2][2]);
  }
}
