#include "frame/barycentric_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>

#include "model/scales.h"

namespace {

constexpr double kOrbitRadius = 1.5e11;  // m
constexpr double kSolarMass = 1.989e30;  // kg

// A run with N orbiting bodies on a circle of radius kOrbitRadius in the xy plane, evenly
// spread and moving on circular orbits about the central body (anticlockwise seen from +z),
// which holds centralMassFraction of the total mass.
std::unique_ptr<RunState> makeRingRun(int n, double centralMassFraction, double inclination) {
  auto run = std::make_unique<RunState>();
  run->orbiterCount = n;
  run->bodyCount = n + 1;
  run->pi = kPi;
  run->gravConst = kGravConst;
  run->oneThird = kOneThird;
  run->totalMass = kSolarMass;
  run->centralMassFraction = centralMassFraction;
  run->centralMass = kSolarMass * centralMassFraction;
  run->orbiterMass = (kSolarMass - run->centralMass) / n;
  run->inclinationAngle = inclination;
  run->bodyDensity = 2000.0;
  const double speed = std::sqrt(kGravConst * kSolarMass / kOrbitRadius);
  const double period = 2.0 * kPi * kOrbitRadius / speed;
  run->unitFrequency = 1.0 / (100.0 * period);
  for (int k = 0; k < n; ++k) {
    const double angle = 2.0 * kPi * k / n;
    run->bodyState[kPosition][k + 2][1] = kOrbitRadius * std::cos(angle);
    run->bodyState[kPosition][k + 2][2] = kOrbitRadius * std::sin(angle);
    run->bodyState[kVelocity][k + 2][1] = -speed * std::sin(angle);
    run->bodyState[kVelocity][k + 2][2] = speed * std::cos(angle);
  }
  return run;
}

// Moves the bodies to arbitrary places and speeds, the central body included.
void scatterBodies(RunState& run, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> place(-3e11, 3e11);
  std::uniform_real_distribution<double> speed(-4e4, 4e4);
  for (int i = 1; i <= run.bodyCount; ++i) {
    for (int k = 1; k <= 3; ++k) {
      run.bodyState[kPosition][i][k] = place(rng);
      run.bodyState[kVelocity][i][k] = speed(rng);
    }
  }
}

double norm(const Vec3& v) { return std::sqrt(v[1] * v[1] + v[2] * v[2] + v[3] * v[3]); }

}  // namespace

TEST(BarycentricFrame, MassesAddUpToOne) {
  const double fractions[] = {0.0, 0.3, 0.999, 1.0};
  const int counts[] = {1, 7, 1000};
  for (double fraction : fractions) {
    for (int n : counts) {
      SCOPED_TRACE("fraction " + std::to_string(fraction) + ", n " + std::to_string(n));
      auto run = makeRingRun(n, fraction, 0.0);
      buildBarycentricFrame(*run);
      EXPECT_EQ(kSolarMass, run->massUnit);
      EXPECT_NEAR(fraction, run->bodyMass[1], 1e-16);
      double sum = 0.0;
      for (int i = 1; i <= run->bodyCount; ++i) sum += run->bodyMass[i];
      EXPECT_NEAR(1.0, sum, 1e-15 * n);
      EXPECT_NEAR((1.0 - fraction) / n, run->bodyMass[run->bodyCount], 1e-16);
    }
  }
}

// G M T^2 / L^3 = 1 with T = 1/f; for a Kepler orbit of period P = 1/(100 f) this puts L at
// a (40000 pi^2)^(1/3) when the central body holds all the mass.
TEST(BarycentricFrame, UnitsMakeGravitationalConstantOne) {
  auto run = makeRingRun(4, 0.6, 0.0);
  buildBarycentricFrame(*run);
  const double f = run->unitFrequency;
  const double length = run->lengthUnit;
  EXPECT_NEAR(1.0, kGravConst * run->massUnit / (f * f * length * length * length), 1e-14);
  EXPECT_NEAR(1.0, run->velocityScale * length * f, 1e-15);
  EXPECT_NEAR(2000.0, run->scaledDensity * run->massUnit / (length * length * length), 1e-10);
  EXPECT_NEAR(std::cbrt(40000.0 * kPi * kPi), length / kOrbitRadius, 1e-12);
  // A circular speed of 2 pi a / P becomes 2 pi * 100 (a / L) in the new units.
  const double expectedSpeed = 2.0 * kPi * 100.0 * kOrbitRadius / length;
  EXPECT_NEAR(expectedSpeed, norm(run->scaledVelocity[2]), 1e-12 * expectedSpeed);
  EXPECT_NEAR(kOrbitRadius / length, norm(run->scaledPosition[3]), 1e-15);
}

TEST(BarycentricFrame, ZeroInclinationLeavesScaledStateUnturned) {
  auto run = makeRingRun(9, 0.5, 0.0);
  scatterBodies(*run, 3);
  buildBarycentricFrame(*run);
  for (int i = 2; i <= run->bodyCount; ++i) {
    SCOPED_TRACE(i);
    for (int k = 1; k <= 3; ++k) {
      EXPECT_EQ(run->scaledPosition[i][k], run->rotatedPosition[i][k]);
      EXPECT_EQ(run->scaledVelocity[i][k], run->rotatedVelocity[i][k]);
    }
  }
}

TEST(BarycentricFrame, CentralBodyEntersAtOriginAtRest) {
  auto run = makeRingRun(5, 0.5, 0.7);
  scatterBodies(*run, 11);
  buildBarycentricFrame(*run);
  EXPECT_NE(0.0, run->scaledPosition[1][1]);
  EXPECT_NE(0.0, run->scaledVelocity[1][2]);
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(0.0, run->rotatedPosition[1][k]);
    EXPECT_EQ(0.0, run->rotatedVelocity[1][k]);
    EXPECT_EQ(-run->barycentrePosition[k], run->barycentricPosition[1][k]);
  }
}

// A ring turned about x by the inclination: its barycentre stays at the centre, and its
// angular momentum N m r v, along z before the turn, points along (0, -sin i, cos i).
TEST(BarycentricFrame, InclinationTurnsRingAboutXAxis) {
  const double inclinations[] = {0.0, 0.3, -1.2, 2.5};
  for (double inclination : inclinations) {
    SCOPED_TRACE(inclination);
    const int n = 12;
    auto run = makeRingRun(n, 0.4, inclination);
    buildBarycentricFrame(*run);
    const double r = norm(run->scaledPosition[2]);
    const double v = norm(run->scaledVelocity[2]);
    for (int k = 1; k <= 3; ++k) EXPECT_NEAR(0.0, run->barycentrePosition[k], 1e-16 * r);
    const double expected = n * run->bodyMass[2] * r * v;
    EXPECT_NEAR(0.0, run->angularMomentum[1], 1e-14 * expected);
    EXPECT_NEAR(-std::sin(inclination) * expected, run->angularMomentum[2], 1e-14 * expected);
    EXPECT_NEAR(std::cos(inclination) * expected, run->angularMomentum[3], 1e-14 * expected);
    // Distances from the centre do not change in the turn.
    EXPECT_NEAR(r, norm(run->barycentricPosition[5]), 1e-15 * r);
  }
}

// Any configuration is turned rigidly about x: its barycentre, barycentre velocity and
// angular momentum come out turned by the inclination, components mixed as (x, cy - sz, sy + cz).
TEST(BarycentricFrame, InclinationTurnsAnyConfigurationRigidly) {
  const double inclination = 0.8;
  const double c = std::cos(inclination);
  const double s = std::sin(inclination);
  auto flat = makeRingRun(10, 0.5, 0.0);
  scatterBodies(*flat, 21);
  auto turned = makeRingRun(10, 0.5, inclination);
  scatterBodies(*turned, 21);
  buildBarycentricFrame(*flat);
  buildBarycentricFrame(*turned);
  auto expectTurned = [&](const Vec3& before, const Vec3& after) {
    const double tolerance = 1e-14 * norm(before);
    EXPECT_NEAR(before[1], after[1], tolerance);
    EXPECT_NEAR(c * before[2] - s * before[3], after[2], tolerance);
    EXPECT_NEAR(s * before[2] + c * before[3], after[3], tolerance);
  };
  expectTurned(flat->barycentrePosition, turned->barycentrePosition);
  expectTurned(flat->angularMomentum, turned->angularMomentum);
  expectTurned(flat->barycentricVelocity[1], turned->barycentricVelocity[1]);
}

// The residual momentum of the shifted configuration is zero up to rounding, whatever the
// bodies do, and the angular momentum is the sum of m (r x v) about the barycentre.
TEST(BarycentricFrame, ShiftLeavesNoMomentumAndKeepsAngularMomentum) {
  const double fractions[] = {0.0, 0.5, 0.97};
  for (double fraction : fractions) {
    SCOPED_TRACE(fraction);
    auto run = makeRingRun(30, fraction, 0.9);
    scatterBodies(*run, 5);
    buildBarycentricFrame(*run);
    double momentumScale = 0.0;
    Vec3 angular{};
    double angularScale = 0.0;
    for (int i = 1; i <= run->bodyCount; ++i) {
      const double m = run->bodyMass[i];
      const Vec3& p = run->barycentricPosition[i];
      const Vec3& u = run->barycentricVelocity[i];
      momentumScale += m * norm(u);
      angular[1] += m * (p[2] * u[3] - p[3] * u[2]);
      angular[2] += m * (p[3] * u[1] - p[1] * u[3]);
      angular[3] += m * (p[1] * u[2] - p[2] * u[1]);
      angularScale += m * norm(p) * norm(u);
    }
    for (int k = 1; k <= 3; ++k) {
      EXPECT_NEAR(0.0, run->totalMomentum[k], 1e-15 * momentumScale);
      EXPECT_NEAR(angular[k], run->angularMomentum[k], 1e-14 * angularScale);
    }
  }
}

// Massless orbiting bodies: the barycentre is the central body at the origin, so every
// orbiting body stays on its orbit, exactly where the inclination put it.
TEST(BarycentricFrame, MasslessOrbitingBodiesKeepTheirOrbits) {
  auto run = makeRingRun(6, 1.0, 0.4);
  buildBarycentricFrame(*run);
  EXPECT_EQ(0.0, run->bodyMass[2]);
  for (int i = 2; i <= run->bodyCount; ++i) {
    SCOPED_TRACE(i);
    EXPECT_NE(0.0, norm(run->barycentricPosition[i]));
    for (int k = 1; k <= 3; ++k) {
      EXPECT_EQ(run->rotatedPosition[i][k], run->barycentricPosition[i][k]);
      EXPECT_EQ(run->rotatedVelocity[i][k], run->barycentricVelocity[i][k]);
    }
  }
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(0.0, run->angularMomentum[k]);
    EXPECT_EQ(0.0, run->totalMomentum[k]);
  }
}

// A massless central body is shifted with the others: it keeps its place relative to them
// instead of staying at the origin of the new frame.
TEST(BarycentricFrame, MasslessCentralBodyMovesWithTheOthers) {
  auto run = makeRingRun(7, 0.0, 0.4);
  scatterBodies(*run, 8);
  buildBarycentricFrame(*run);
  EXPECT_EQ(0.0, run->bodyMass[1]);
  EXPECT_GT(norm(run->barycentrePosition), 1e-3);
  EXPECT_GT(norm(run->barycentricVelocity[1]), 0.1);
  for (int i = 1; i <= run->bodyCount; ++i) {
    SCOPED_TRACE(i);
    for (int k = 1; k <= 3; ++k) {
      const double relative = run->barycentricPosition[i][k] - run->barycentricPosition[1][k];
      EXPECT_NEAR(run->rotatedPosition[i][k], relative, 1e-15 * norm(run->rotatedPosition[i]));
      const double relativeSpeed = run->barycentricVelocity[i][k] - run->barycentricVelocity[1][k];
      EXPECT_NEAR(run->rotatedVelocity[i][k], relativeSpeed, 1e-14 * norm(run->rotatedVelocity[i]));
    }
  }
}
