#include "model/scales.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "run/run_state.h"

namespace {

struct Parameters {
  int orbiterCount = 7;
  double totalMass = 2.0e30;
  double centralMassFraction = 0.999;
  double semiMajorAxisAu = 5.2;
  double eccentricity = 0.3;
  double turnFactor = 0.37;
  double tiltFactor = 0.21;
};

std::unique_ptr<RunState> scalesFor(const Parameters& p) {
  auto run = std::make_unique<RunState>();
  run->orbiterCount = p.orbiterCount;
  run->totalMass = p.totalMass;
  run->centralMassFraction = p.centralMassFraction;
  run->semiMajorAxisAu = p.semiMajorAxisAu;
  run->eccentricity = p.eccentricity;
  run->turnFactor = p.turnFactor;
  run->tiltFactor = p.tiltFactor;
  computeScales(*run);
  return run;
}

// Gravitational parameter G (centralMass + orbiterMass ringSum) of the reference orbit.
double gravParamOf(const RunState& run) {
  return kGravConst * (run.centralMass + run.orbiterMass * run.ringSum);
}

}  // namespace

TEST(ComputeScales, StoresBuiltInConstants) {
  const auto run = scalesFor(Parameters{});
  EXPECT_EQ(3.141592653589793, run->pi);
  EXPECT_EQ(6.283185307179586, run->twoPi);
  EXPECT_EQ(6.67259e-11, run->gravConst);
  EXPECT_EQ(149597870691.0, run->astroUnit);
  EXPECT_EQ(365.25636042, run->siderealYear);
  EXPECT_EQ(86400.0, run->secondsPerDay);
  EXPECT_EQ(1.0e99, run->minPairDistance);
  EXPECT_EQ(0.0, run->zero);
  EXPECT_EQ(1.5, run->threeHalves);
  EXPECT_EQ(1.0 / 3.0, run->oneThird);
  EXPECT_EQ(8, run->bodyCount);
  EXPECT_EQ(1, run->firstBody);
}

// The last digits of every derived value are fixed by the grouping of its formula: each
// expected value below is built one rounded operation at a time in that grouping.
TEST(ComputeScales, EvaluatesEachFormulaInItsWrittenGrouping) {
  const Parameters cases[] = {{7, 2.0e30, 0.999, 5.2, 0.3, 0.37, 0.21},
                              {13, 1.989e30, 0.9, 0.387, 0.123456, 1.7, -0.3},
                              {999, 3.3e29, 0.75, 30.07, -0.37, 0.01, 2.5}};
  for (const Parameters& p : cases) {
    SCOPED_TRACE(p.orbiterCount);
    const auto run = scalesFor(p);
    const double n = p.orbiterCount;
    const double angleStep = run->twoPi / n;
    const double turnAngle = angleStep * p.turnFactor;
    const double tiltAngle = angleStep * p.tiltFactor;
    EXPECT_EQ(angleStep, run->angleStep);
    EXPECT_EQ(turnAngle, run->turnAngle);
    EXPECT_EQ(tiltAngle, run->tiltAngle);
    EXPECT_EQ(turnAngle * 2.0, run->doubleTurnAngle);
    EXPECT_EQ(std::cos(turnAngle), run->cosTurn);
    EXPECT_EQ(std::sin(turnAngle), run->sinTurn);
    EXPECT_EQ(std::cos(tiltAngle), run->cosTilt);
    EXPECT_EQ(std::sin(tiltAngle), run->sinTilt);
    EXPECT_EQ(std::cos(turnAngle * 2.0), run->cosDoubleTurn);
    EXPECT_EQ(std::sin(turnAngle * 2.0), run->sinDoubleTurn);

    double ringSum = 0.0;
    for (int k = 2; k <= p.orbiterCount; ++k) {
      const double times = static_cast<double>(k - 1) * kPi;
      const double angle = times / n;
      const double term = 0.25 / std::sin(angle);
      ringSum = term + ringSum;
    }
    EXPECT_EQ(ringSum, run->ringSum);

    const double centralMass = p.totalMass * p.centralMassFraction;
    const double orbiterMass = (p.totalMass - centralMass) / n;
    EXPECT_EQ(centralMass, run->centralMass);
    EXPECT_EQ(orbiterMass, run->orbiterMass);

    const double a = kAstroUnit * p.semiMajorAxisAu;
    const double f = -(1.0 / (p.eccentricity + 1.0));
    const double periNumerator = (f * 2.0 + 1.0) * a;
    const double periDistance = periNumerator / f;
    const double attracting = ringSum * orbiterMass + centralMass;
    const double negGravParam = -(attracting * kGravConst);
    const double periSpeed = std::sqrt(negGravParam / (periDistance * f));
    const double periodDivisor = std::pow(-(f * 2.0) - 1.0, 1.5) * periSpeed;
    const double turnLength = run->twoPi * periDistance;
    const double periodSeconds = -(turnLength * f / periodDivisor);
    EXPECT_EQ(a, run->semiMajorAxis);
    EXPECT_EQ(f, run->eccFactor);
    EXPECT_EQ(periDistance, run->periDistance);
    EXPECT_EQ(negGravParam, run->negGravParam);
    EXPECT_EQ(periSpeed, run->periSpeed);
    EXPECT_EQ(periodDivisor, run->periodDivisor);
    EXPECT_EQ(periodSeconds, run->periodSeconds);
    EXPECT_EQ(periodSeconds / (86400.0 * 365.25636042), run->periodYears);
    EXPECT_EQ(1.0 / (periodSeconds * 100.0), run->unitFrequency);
  }
}

TEST(ComputeScales, SumsTheRingPull) {
  struct Case {
    int orbiterCount;
    double ringSum;
  };
  const Case cases[] = {
      {1, 0.0}, {2, 0.25}, {3, 1.0 / std::sqrt(3.0)}, {4, (1.0 + 2.0 * std::sqrt(2.0)) / 4.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.orbiterCount);
    Parameters p;
    p.orbiterCount = c.orbiterCount;
    const auto run = scalesFor(p);
    EXPECT_NEAR(c.ringSum, run->ringSum, 1e-15);
    EXPECT_EQ(c.orbiterCount + 1, run->bodyCount);
  }
  // One and two orbiting bodies give the exact values.
  EXPECT_EQ(0.0, scalesFor(Parameters{1})->ringSum);
  EXPECT_EQ(0.25, scalesFor(Parameters{2})->ringSum);
}

TEST(ComputeScales, SingleOrbiterFeelsOnlyTheCentralBody) {
  const auto run = scalesFor(Parameters{1});
  EXPECT_EQ(run->twoPi, run->angleStep);
  EXPECT_EQ(run->orbitersTotalMass, run->orbiterMass);
  EXPECT_EQ(-(run->centralMass * kGravConst), run->negGravParam);
}

TEST(ComputeScales, GivesThePericentreAndPeriodOfTheReferenceOrbit) {
  const double eccentricities[] = {0.3, 0.0, -0.4, 0.95};
  for (double e : eccentricities) {
    SCOPED_TRACE(e);
    Parameters p;
    p.eccentricity = e;
    const auto run = scalesFor(p);
    const double a = run->semiMajorAxis;
    const double mu = gravParamOf(*run);
    const double period = 2.0 * kPi * std::sqrt(a * a * a / mu);
    EXPECT_NEAR(a * (1.0 - e), run->periDistance, 1e-14 * a);
    EXPECT_NEAR(-mu, run->negGravParam, 1e-15 * mu);
    const double periSpeed = std::sqrt(mu * (1.0 + e) / (a * (1.0 - e)));
    EXPECT_NEAR(periSpeed, run->periSpeed, 1e-13 * periSpeed);
    EXPECT_NEAR(period, run->periodSeconds, 1e-13 * period);
    const double year = 365.25636042 * 86400.0;
    EXPECT_NEAR(period / year, run->periodYears, 1e-13 * period / year);
    EXPECT_NEAR(1.0 / (100.0 * period), run->unitFrequency, 1e-13 / (100.0 * period));
  }
}

TEST(ComputeScales, NegativeEccentricityStartsAtTheFarEnd) {
  Parameters p;
  p.eccentricity = -0.4;
  const auto run = scalesFor(p);
  EXPECT_NEAR(1.4 * run->semiMajorAxis, run->periDistance, 1e-14 * run->semiMajorAxis);
  // Slower than the circular speed: the far end of an orbit of eccentricity 0.4.
  EXPECT_LT(run->periSpeed, std::sqrt(gravParamOf(*run) / run->periDistance));
}

TEST(ComputeScales, CircularOrbitIdentitiesHoldExactly) {
  Parameters p;
  p.eccentricity = 0.0;
  const auto run = scalesFor(p);
  EXPECT_EQ(-1.0, run->eccFactor);
  EXPECT_EQ(run->semiMajorAxis, run->periDistance);
  EXPECT_EQ(std::sqrt(-run->negGravParam / run->semiMajorAxis), run->periSpeed);
  EXPECT_EQ(run->periSpeed, run->periodDivisor);
  EXPECT_EQ(run->twoPi * run->semiMajorAxis / run->periSpeed, run->periodSeconds);
}

TEST(ComputeScales, AllMassInTheCentreLeavesMasslessOrbiters) {
  Parameters p;
  p.centralMassFraction = 1.0;
  const auto run = scalesFor(p);
  EXPECT_EQ(p.totalMass, run->centralMass);
  EXPECT_EQ(0.0, run->orbitersTotalMass);
  EXPECT_EQ(0.0, run->orbiterMass);
  EXPECT_EQ(-(p.totalMass * kGravConst), run->negGravParam);
}

TEST(ComputeScales, ZeroTurnAndTiltGiveUnitCosinesAndZeroSines) {
  Parameters p;
  p.turnFactor = 0.0;
  p.tiltFactor = 0.0;
  const auto run = scalesFor(p);
  EXPECT_EQ(1.0, run->cosTurn);
  EXPECT_EQ(0.0, run->sinTurn);
  EXPECT_EQ(1.0, run->cosTilt);
  EXPECT_EQ(0.0, run->sinTilt);
  EXPECT_EQ(1.0, run->cosDoubleTurn);
  EXPECT_EQ(0.0, run->sinDoubleTurn);
}

TEST(ComputeScales, TurnAndTiltAreMultiplesOfTheAngleStep) {
  Parameters p;
  p.orbiterCount = 12;
  p.turnFactor = 1.5;
  p.tiltFactor = -0.5;
  const auto run = scalesFor(p);
  EXPECT_NEAR(kPi / 6.0, run->angleStep, 1e-15);
  EXPECT_NEAR(kPi / 4.0, run->turnAngle, 1e-15);
  EXPECT_NEAR(-kPi / 12.0, run->tiltAngle, 1e-15);
  EXPECT_NEAR(kPi / 2.0, run->doubleTurnAngle, 1e-15);
  EXPECT_NEAR(std::sqrt(0.5), run->cosTurn, 1e-15);
  EXPECT_NEAR(std::sin(-kPi / 12.0), run->sinTilt, 1e-15);
  EXPECT_NEAR(0.0, run->cosDoubleTurn, 1e-15);
  EXPECT_NEAR(1.0, run->sinDoubleTurn, 1e-15);
}
