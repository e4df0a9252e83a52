#include "frame/initial_data.h"

#include <gtest/gtest.h>

#include <memory>

#include "model/scales.h"

namespace {

// A run whose frame is built: the masses and the scaled density, nothing else.
std::unique_ptr<RunState> makeRun(int bodyCount, double centralMass, double orbiterMass) {
  auto run = std::make_unique<RunState>();
  run->bodyCount = bodyCount;
  run->orbiterCount = bodyCount - 1;
  run->pi = kPi;
  run->oneThird = kOneThird;
  run->scaledDensity = 3.7e5;
  run->bodyMass[1] = centralMass;
  for (int i = 2; i <= bodyCount; ++i) run->bodyMass[i] = orbiterMass;
  return run;
}

}  // namespace

TEST(InitialDataValues, CubeRootCountIsNearestIntegerToRootOfCountPlusOne) {
  struct Case {
    int bodyCount;
    int cubeRootCount;
  };
  const Case cases[] = {{1, 1},  {2, 1},  {3, 2},  {6, 2},  {7, 2},    {14, 2},
                        {15, 3}, {42, 4}, {63, 4}, {91, 5}, {999, 10}, {1001, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bodyCount);
    auto run = makeRun(c.bodyCount, 0.5, 0.5 / (c.bodyCount - 1 > 0 ? c.bodyCount - 1 : 1));
    computeInitialDataValues(*run);
    EXPECT_EQ(c.cubeRootCount, run->cubeRootCount);
  }
}

TEST(InitialDataValues, LargestMassIsTakenOverEveryBody) {
  struct Case {
    const char* name;
    int bodyCount;
    double central;
    double orbiter;
    double largest;
  };
  const Case cases[] = {
      {"central body heaviest", 4, 0.7, 0.1, 0.7},   {"orbiting bodies heaviest", 3, 0.2, 0.4, 0.4},
      {"massless central body", 5, 0.0, 0.25, 0.25}, {"massless orbiting bodies", 5, 1.0, 0.0, 1.0},
      {"single orbiting body", 2, 0.5, 0.5, 0.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto run = makeRun(c.bodyCount, c.central, c.orbiter);
    // A value left from an earlier call must not survive.
    run->maxBodyMass = 2.0;
    computeInitialDataValues(*run);
    EXPECT_EQ(c.largest, run->maxBodyMass);
    computeInitialDataValues(*run);
    EXPECT_EQ(c.largest, run->maxBodyMass);
  }
}

// m = (4/3) pi r^3 rho for every body; a massless body has radius 0.0.
TEST(InitialDataValues, RadiusIsThatOfHomogeneousSphere) {
  auto run = makeRun(4, 0.0, 1.0 / 3.0);
  run->bodyMass[3] = 1.0e-9;
  computeInitialDataValues(*run);
  EXPECT_EQ(0.0, run->bodyRadius[1]);
  for (int i = 2; i <= 4; ++i) {
    SCOPED_TRACE(i);
    const double r = run->bodyRadius[i];
    const double mass = 4.0 / 3.0 * kPi * r * r * r * run->scaledDensity;
    EXPECT_NEAR(run->bodyMass[i], mass, 1e-14 * run->bodyMass[i]);
  }
}

TEST(InitialDataValues, ReservedAndHeaderFieldsHoldFixedValues) {
  auto run = makeRun(3, 0.5, 0.25);
  for (int i = 1; i <= 3; ++i) {
    run->reservedVectorA[i][2] = 7.0;
    run->reservedVectorB[i][3] = 7.0;
    run->reservedScalar[i] = 7.0;
  }
  run->headerZero[9] = 7.0;
  computeInitialDataValues(*run);
  for (int i = 1; i <= 3; ++i) {
    SCOPED_TRACE(i);
    for (int k = 1; k <= 3; ++k) {
      EXPECT_EQ(0.0, run->reservedVectorA[i][k]);
      EXPECT_EQ(0.0, run->reservedVectorB[i][k]);
    }
    EXPECT_EQ(0.0, run->reservedScalar[i]);
  }
  for (int n = 1; n <= 9; ++n) EXPECT_EQ(0.0, run->headerZero[n]);
  EXPECT_EQ(1.0, run->headerOne);
  EXPECT_EQ(0.5, run->headerHalf);
  EXPECT_EQ(0.25, run->headerQuarter);
}
