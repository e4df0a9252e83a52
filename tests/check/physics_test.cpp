#include "check/physics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr double kPi = 3.141592653589793;

// A body of mass m at (x, y, z) moving with (vx, vy, vz).
Body makeBody(double m, Vector position, Vector velocity, double radius = 0.0) {
  Body body;
  body.mass = m;
  body.position = position;
  body.velocity = velocity;
  body.radius = radius;
  return body;
}

// n bodies of mass 1/n on a circle of radius r about the origin, turning rigidly at the speed
// that balances the pull of the others: v^2 = m S / r, S the ring sum.
std::vector<Body> makeRotatingRing(int n, double r) {
  const double m = 1.0 / n;
  const double speed = std::sqrt(m * computeRingSum(n) / r);
  std::vector<Body> ring;
  for (int k = 0; k < n; ++k) {
    const double angle = 2.0 * kPi * k / n;
    ring.push_back(makeBody(m, {r * std::cos(angle), r * std::sin(angle), 0.0},
                            {-speed * std::sin(angle), speed * std::cos(angle), 0.0}));
  }
  return ring;
}

TEST(RingSum, MatchesClosedForms) {
  struct Case {
    int n;
    double sum;
  };
  const Case cases[] = {{1, 0.0},
                        {2, 0.25},
                        {3, 1.0 / std::sqrt(3.0)},
                        {4, (1.0 + 2.0 * std::sqrt(2.0)) / 4.0},
                        {6, (4.0 + 4.0 / std::sqrt(3.0) + 1.0) / 4.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    EXPECT_NEAR(c.sum, computeRingSum(c.n), 4e-16 * c.n);
  }
}

// A circular binary in its barycentric frame: W = -m1 m2 / d, T = -W/2, so -2T/W = 1.
TEST(Energies, CircularBinaryIsInVirialEquilibrium) {
  struct Case {
    double m1, m2, d;
  };
  const Case cases[] = {{0.5, 0.5, 1.0}, {0.999, 0.001, 2.5}, {0.9, 0.1, 0.01}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m1);
    const double speed = std::sqrt((c.m1 + c.m2) / c.d);  // relative speed
    const std::vector<Body> bodies = {
        makeBody(c.m1, {-c.m2 * c.d, 0.0, 0.0}, {0.0, -c.m2 * speed, 0.0}),
        makeBody(c.m2, {c.m1 * c.d, 0.0, 0.0}, {0.0, c.m1 * speed, 0.0})};
    const Energies e = computeEnergies(bodies);
    const double w = -c.m1 * c.m2 / c.d;
    EXPECT_NEAR(w, e.potential, 1e-15 * std::fabs(w));
    EXPECT_NEAR(-w / 2.0, e.kinetic, 1e-15 * std::fabs(w));
    EXPECT_NEAR(w / 2.0, e.total, 1e-15 * std::fabs(w));
    EXPECT_NEAR(1.0, e.virialRatio, 1e-14);
  }
}

// Equal masses on a regular polygon: the pairs at each chord length, counted by hand, and
// the rigid rotation that the ring sum balances.
TEST(Energies, RegularPolygonHasItsPairSumAndVirialRatioOne) {
  struct Case {
    int n;
    double potentialTimesRadiusOverMassSquared;
  };
  const Case cases[] = {
      {2, -0.5},                                             // one pair at 2R
      {3, -3.0 / std::sqrt(3.0)},                            // three sides of sqrt(3) R
      {4, -(4.0 / std::sqrt(2.0) + 2.0 / 2.0)},              // four sides, two diagonals
      {6, -(6.0 / 1.0 + 6.0 / std::sqrt(3.0) + 3.0 / 2.0)},  // R, sqrt(3) R, 2R
  };
  const double r = 0.37;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    const double m = 1.0 / c.n;
    const Energies e = computeEnergies(makeRotatingRing(c.n, r));
    EXPECT_NEAR(c.potentialTimesRadiusOverMassSquared * m * m / r, e.potential, 1e-14);
    EXPECT_NEAR(1.0, e.virialRatio, 1e-14);
    EXPECT_EQ(0, e.coincidentPairs);
  }
}

TEST(Energies, MasslessBodiesAddNothingAndCoincidentMassesAreInfinite) {
  const std::vector<Body> testParticles = {makeBody(1.0, {0, 0, 0}, {0, 0, 0}),
                                           makeBody(0.0, {1, 0, 0}, {0, 1, 0}),
                                           makeBody(0.0, {1, 0, 0}, {0, -1, 0})};
  const Energies alone = computeEnergies(testParticles);
  EXPECT_EQ(0.0, alone.potential);
  EXPECT_EQ(0.0, alone.kinetic);
  EXPECT_TRUE(std::isnan(alone.virialRatio));

  const std::vector<Body> coincident = {makeBody(0.5, {1, 2, 3}, {0, 0, 0}),
                                        makeBody(0.25, {1, 2, 3}, {0, 0, 0}),
                                        makeBody(0.25, {2, 2, 3}, {0, 0, 0})};
  const Energies e = computeEnergies(coincident);
  EXPECT_EQ(1, e.coincidentPairs);
  EXPECT_EQ(1, e.coincidentFirst);
  EXPECT_EQ(2, e.coincidentSecond);
  EXPECT_TRUE(std::isinf(e.potential) && e.potential < 0.0);
  EXPECT_DOUBLE_EQ(-(0.5 * 0.25 + 0.25 * 0.25), e.otherPairsPotential);
  EXPECT_TRUE(std::isnan(e.virialRatio));
}

TEST(CompensatedSum, KeepsSmallTermsBesideLargeOnes) {
  CompensatedSum sum;
  for (double term : {1.0, 1e100, 1.0, -1e100}) sum.add(term);
  EXPECT_EQ(2.0, sum.value());
  // 0.1 ten thousand times: a plain sum drifts in the 13th digit
  CompensatedSum tenths;
  for (int i = 0; i < 10000; ++i) tenths.add(0.1);
  EXPECT_EQ(1000.0, tenths.value());
}

TEST(Moments, SumMomentaAndAngularMomentum) {
  const std::vector<Body> bodies = {makeBody(0.75, {1, 0, 0}, {0, 2, 0}),
                                    makeBody(0.25, {-3, 0, 0}, {0, -6, 1})};
  const Moments m = computeMoments(bodies);
  EXPECT_EQ(1.0, m.massSum);
  EXPECT_EQ((Vector{0.0, 0.0, 0.0}), m.massMoment);
  EXPECT_EQ((Vector{1.5, 0.0, 0.0}), m.massMomentScale);
  EXPECT_EQ((Vector{0.0, 0.0, 0.25}), m.momentum);
  // L = 0.75 (1,0,0) x (0,2,0) + 0.25 (-3,0,0) x (0,-6,1) = (0, 0, 1.5) + (0, 0.75, 4.5)
  EXPECT_EQ((Vector{0.0, 0.75, 6.0}), m.angularMomentum);
}

// States built from Kepler elements, turned out of the x-y plane, give the elements back.
TEST(RecoverOrbit, RoundTripsSemiMajorAxisAndEccentricity) {
  const double eccentricities[] = {0.0, 0.05, 0.6, 0.95};
  const double anomalies[] = {0.0, 1.0, kPi, 4.0};
  const double mus[] = {1.0, 0.3};
  const double a = 0.0136;
  for (double e : eccentricities) {
    for (double f : anomalies) {
      for (double mu : mus) {
        SCOPED_TRACE(testing::Message() << "e " << e << " f " << f << " mu " << mu);
        // conic: r = p / (1 + e cos f), p = a (1 - e^2); velocity sqrt(mu/p) (-sin f, e + cos f)
        const double p = a * (1.0 - e * e);
        const double r = p / (1.0 + e * std::cos(f));
        const double s = std::sqrt(mu / p);
        Vector position{r * std::cos(f), r * std::sin(f), 0.0};
        Vector velocity{-s * std::sin(f), s * (e + std::cos(f)), 0.0};
        // tilt about x by 0.7, then turn about z by 1.1
        for (Vector* v : {&position, &velocity}) {
          const Vector t{(*v)[0], std::cos(0.7) * (*v)[1] - std::sin(0.7) * (*v)[2],
                         std::sin(0.7) * (*v)[1] + std::cos(0.7) * (*v)[2]};
          *v = {std::cos(1.1) * t[0] - std::sin(1.1) * t[1],
                std::sin(1.1) * t[0] + std::cos(1.1) * t[1], t[2]};
        }
        const OrbitElements elements = recoverOrbit(position, velocity, mu);
        EXPECT_NEAR(1.0, elements.semiMajorAxis / a, 1e-13);
        EXPECT_NEAR(e, elements.eccentricity, 1e-13);
      }
    }
  }
}

TEST(FindContacts, MeasuresDistanceInSumsOfRadiiAndCountsOverlaps) {
  const std::vector<Body> bodies = {
      makeBody(0.5, {0, 0, 0}, {0, 0, 0}, 0.1),    // 1
      makeBody(0.2, {1, 0, 0}, {0, 0, 0}, 0.3),    // 2: 2.5 sums of radii from body 1
      makeBody(0.2, {1.5, 0, 0}, {0, 0, 0}, 0.3),  // 3: overlaps body 2 (0.5 < 0.6)
      makeBody(0.0, {5, 0, 0}, {0, 0, 0}, 0.0),    // 4 and 5: no radius, one place
      makeBody(0.0, {5, 0, 0}, {0, 0, 0}, 0.0)};
  const Contacts c = findContacts(bodies);
  EXPECT_EQ(2, c.closestFirst);
  EXPECT_EQ(3, c.closestSecond);
  EXPECT_DOUBLE_EQ(0.5 / 0.6, c.closestRatio);
  EXPECT_EQ(1, c.overlapCount);
  EXPECT_EQ(4, c.nearestFirst);
  EXPECT_EQ(5, c.nearestSecond);
  EXPECT_EQ(0.0, c.nearestDistance);
  EXPECT_EQ(1, c.samePointCount);
}

}  // namespace
