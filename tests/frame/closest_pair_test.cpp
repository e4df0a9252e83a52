#include "frame/closest_pair.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "model/scales.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Point {
  double x, y, z;
};

// Puts the given orbiting bodies (bodies 2, 3, ...) into the run and clears the search's
// results, the minimum set to its start value.
void setBodies(RunState& run, const std::vector<Point>& orbiters, double start) {
  run.orbiterCount = static_cast<int32_t>(orbiters.size());
  run.bodyCount = run.orbiterCount + 1;
  run.pairDistance = 0.0;
  run.distance23 = 0.0;
  run.minPairDistance = start;
  run.minPairFirst = 0;
  run.minPairSecond = 0;
  // The central body lies between the others; it must take no part.
  run.bodyState[kPosition][1][1] = 0.5;
  for (int i = 0; i < static_cast<int>(orbiters.size()); ++i) {
    run.bodyState[kPosition][i + 2][1] = orbiters[i].x;
    run.bodyState[kPosition][i + 2][2] = orbiters[i].y;
    run.bodyState[kPosition][i + 2][3] = orbiters[i].z;
  }
}

std::unique_ptr<RunState> makeRun(const std::vector<Point>& orbiters,
                                  double start = kPairSearchStart) {
  auto run = std::make_unique<RunState>();
  setBodies(*run, orbiters, start);
  return run;
}

// Every ordered pair tested as it stands, one square root each: the behaviour the search
// must reproduce exactly.
void findClosestPairLiterally(RunState& run) {
  for (int i = 2; i <= run.orbiterCount + 1; ++i) {
    for (int j = 2; j <= run.orbiterCount + 1; ++j) {
      if (j == i) continue;
      const double dx = run.bodyState[kPosition][j][1] - run.bodyState[kPosition][i][1];
      const double dy = run.bodyState[kPosition][j][2] - run.bodyState[kPosition][i][2];
      const double dz = run.bodyState[kPosition][j][3] - run.bodyState[kPosition][i][3];
      run.pairDistance = std::sqrt((dz * dz + dy * dy) + dx * dx);
      if (i == 2 && j == 3) run.distance23 = run.pairDistance;
      if (run.minPairDistance >= run.pairDistance) {
        run.minPairDistance = run.pairDistance;
        run.minPairFirst = i;
        run.minPairSecond = j;
      }
    }
  }
}

uint64_t bitsOf(double value) { return std::bit_cast<uint64_t>(value); }

// Runs both searches on the same bodies and expects the five results bit for bit alike.
void expectSameAsLiteralLoop(const std::vector<Point>& orbiters, double start = kPairSearchStart) {
  // Two runs kept for the whole test program: a run state is large to clear.
  static const std::unique_ptr<RunState> fast = std::make_unique<RunState>();
  static const std::unique_ptr<RunState> literal = std::make_unique<RunState>();
  setBodies(*fast, orbiters, start);
  setBodies(*literal, orbiters, start);
  findClosestPair(*fast);
  findClosestPairLiterally(*literal);
  EXPECT_EQ(literal->minPairFirst, fast->minPairFirst);
  EXPECT_EQ(literal->minPairSecond, fast->minPairSecond);
  EXPECT_EQ(bitsOf(literal->minPairDistance), bitsOf(fast->minPairDistance))
      << literal->minPairDistance << " vs " << fast->minPairDistance;
  EXPECT_EQ(bitsOf(literal->distance23), bitsOf(fast->distance23));
  EXPECT_EQ(bitsOf(literal->pairDistance), bitsOf(fast->pairDistance));
}

// Whether the smallest distance is shared by pairs whose squared sums differ, which a search
// comparing squared sums alone would get wrong.
bool minimumHasDistinctSquaredSums(const std::vector<Point>& orbiters) {
  double best = kInf;
  std::vector<double> sums;
  for (size_t a = 0; a < orbiters.size(); ++a) {
    for (size_t b = a + 1; b < orbiters.size(); ++b) {
      const double dx = orbiters[b].x - orbiters[a].x;
      const double dy = orbiters[b].y - orbiters[a].y;
      const double dz = orbiters[b].z - orbiters[a].z;
      const double s = (dz * dz + dy * dy) + dx * dx;
      if (std::sqrt(s) < best) {
        best = std::sqrt(s);
        sums.clear();
      }
      if (std::sqrt(s) == best) sums.push_back(s);
    }
  }
  for (double s : sums) {
    if (s != sums.front()) return true;
  }
  return false;
}

}  // namespace

TEST(ClosestPair, FindsLastOrderedPairAtSmallestDistance) {
  const double tiny = std::ldexp(1.0, -26);  // tiny^2 = 2^-52: 1 + tiny^2 has the root 1.0
  struct Case {
    const char* name;
    std::vector<Point> orbiters;
    int first;
    int second;
    double distance;
    double distance23;
  };
  const Case cases[] = {
      {"two bodies", {{0, 0, 0}, {3, 4, 0}}, 3, 2, 5.0, 5.0},
      {"three in a row, equal spacing", {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, 4, 3, 1.0, 1.0},
      {"body 4 between 2 and 3: largest first, then largest second",
       {{0, 0, 0}, {2, 0, 0}, {1, 0, 0}, {9, 9, 9}},
       4,
       3,
       1.0,
       2.0},
      {"one closest pair in the middle",
       {{0, 0, 0}, {10, 0, 0}, {10, 0, 2}, {20, 0, 0}},
       4,
       3,
       2.0,
       10.0},
      {"two bodies at the same place",
       {{0, 0, 0}, {7, 1, 2}, {3, 3, 3}, {7, 1, 2}},
       5,
       3,
       0.0,
       std::sqrt(54.0)},
      {"several coincident pairs: the later wins",
       {{1, 1, 1}, {2, 2, 2}, {1, 1, 1}, {2, 2, 2}, {9, 9, 9}},
       5,
       3,
       0.0,
       std::sqrt(3.0)},
      // Pair (3, 2) has squared sum 1, pair (5, 4) squared sum 1 + 2^-52: distinct sums, same
      // distance 1.0, so the later pair wins although its squared sum is larger.
      {"distinct squared sums with the same root",
       {{0, 0, 0}, {1, 0, 0}, {10, 0, 0}, {11, tiny, 0}},
       5,
       4,
       1.0,
       1.0},
      {"the same, the larger sum first",
       {{0, 0, 0}, {1, tiny, 0}, {10, 0, 0}, {11, 0, 0}},
       5,
       4,
       1.0,
       1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto run = makeRun(c.orbiters);
    findClosestPair(*run);
    EXPECT_EQ(c.first, run->minPairFirst);
    EXPECT_EQ(c.second, run->minPairSecond);
    EXPECT_EQ(c.distance, run->minPairDistance);
    EXPECT_EQ(c.distance23, run->distance23);
    expectSameAsLiteralLoop(c.orbiters);
  }
}

TEST(ClosestPair, SingleOrbitingBodyTestsNoPair) {
  auto run = makeRun({{1, 2, 3}});
  findClosestPair(*run);
  EXPECT_EQ(0.0, run->distance23);
  EXPECT_EQ(1.0e99, run->minPairDistance);
  EXPECT_EQ(0, run->minPairFirst);
  EXPECT_EQ(0, run->minPairSecond);
  EXPECT_EQ(0.0, run->pairDistance);
}

TEST(ClosestPair, LastTestedPairDistanceIsThatOfTheLastTwoBodies) {
  auto run = makeRun({{0, 0, 0}, {1, 0, 0}, {50, 0, 0}, {53, 4, 0}});
  findClosestPair(*run);
  EXPECT_EQ(5.0, run->pairDistance);
}

TEST(ClosestPair, NeverTakesPairFartherThanStartValue) {
  const std::vector<Point> orbiters = {{0, 0, 0}, {3, 0, 0}, {0, 4, 0}};
  struct Case {
    double start;
    double distance;
    int first;
    int second;
  };
  const Case cases[] = {{2.0, 2.0, 0, 0}, {3.0, 3.0, 3, 2}, {kInf, 3.0, 3, 2}, {kNaN, kNaN, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    auto run = makeRun(orbiters, c.start);
    findClosestPair(*run);
    EXPECT_EQ(bitsOf(c.distance), bitsOf(run->minPairDistance));
    EXPECT_EQ(c.first, run->minPairFirst);
    EXPECT_EQ(c.second, run->minPairSecond);
    EXPECT_EQ(3.0, run->distance23);
  }
}

TEST(ClosestPair, NaNDistanceNeverReplacesMinimum) {
  auto run = makeRun({{0, 0, 0}, {kNaN, 0, 0}, {2, 0, 0}, {0, kInf, 0}, {0, kInf, 1}});
  findClosestPair(*run);
  EXPECT_TRUE(std::isnan(run->distance23));
  EXPECT_EQ(2.0, run->minPairDistance);
  EXPECT_EQ(4, run->minPairFirst);
  EXPECT_EQ(2, run->minPairSecond);
}

// Random bodies of many kinds against the literal loop: spread out, on small lattices with
// many exact ties and coincident bodies, with few-ulp jitter so that distinct squared sums
// share a root, and with NaN, infinite and overflowing coordinates.
TEST(ClosestPair, MatchesLiteralLoopOnManyConfigurations) {
  std::mt19937_64 rng(20240531);
  auto uniform = [&](double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng);
  };
  auto integer = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const double oddValues[] = {kNaN, kInf, -kInf, 1.0e200, -1.0e200, 0.0};
  const double starts[] = {kPairSearchStart, kInf, kNaN, 0.0, 1.5, 1.0};
  const int sizes[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 16, 17, 31, 64, 101};

  int sharedRootCases = 0;
  for (int round = 0; round < 40; ++round) {
    for (int n : sizes) {
      for (int kind = 0; kind < 5; ++kind) {
        const double scale = integer(2, 11) * 0.25;  // neighbours exactly scale apart in x
        std::vector<int> slots(n);                   // distinct places on a line, in a random order
        for (int k = 0; k < n; ++k) slots[k] = k;
        std::shuffle(slots.begin(), slots.end(), rng);
        std::vector<Point> orbiters(n);
        for (Point& p : orbiters) {
          switch (kind) {
            case 0:  // spread out, metres
              p = {uniform(-1e12, 1e12), uniform(-1e12, 1e12), uniform(-1e12, 1e12)};
              break;
            case 1:  // small lattice: exact ties and coincident bodies
              p = {double(integer(0, 2)), double(integer(0, 2)), double(integer(0, 1))};
              break;
            case 2:  // neighbours a scaled unit apart with offsets near the last digit
              p = {slots[&p - orbiters.data()] * scale, uniform(-1, 1) * scale * 0x1p-26,
                   uniform(-1, 1) * scale * 0x1p-26};
              break;
            case 3:  // a line with offsets whose squares fall below the last digit
              p = {double(integer(0, 3 * n)), std::ldexp(double(integer(-1, 1)), -26), 0.0};
              break;
            case 4:  // some coordinates NaN, infinite or large enough to overflow the sums
              p = {double(integer(0, 5)), double(integer(0, 5)), double(integer(0, 5))};
              if (integer(0, 3) == 0) {
                const double odd = oddValues[integer(0, 5)];
                if (integer(0, 2) == 0)
                  p.x = odd;
                else if (integer(0, 1) == 0)
                  p.y = odd;
                else
                  p.z = odd;
              }
              break;
          }
        }
        SCOPED_TRACE("round " + std::to_string(round) + ", n " + std::to_string(n) + ", kind " +
                     std::to_string(kind));
        if (minimumHasDistinctSquaredSums(orbiters)) ++sharedRootCases;
        expectSameAsLiteralLoop(orbiters);
        expectSameAsLiteralLoop(orbiters, starts[integer(0, 5)]);
        if (HasFailure()) return;
      }
    }
  }
  // The jittered configurations really did put pairs of distinct squared sums at the minimum.
  EXPECT_GT(sharedRootCases, 100);
}

TEST(ClosestPair, MatchesLiteralLoopForThousandBodies) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> spread(-3e11, 3e11);
  std::uniform_int_distribution<int> cell(0, 9);
  std::vector<Point> spreadOut(kMaxOrbiters);
  std::vector<Point> lattice(kMaxOrbiters);
  for (Point& p : spreadOut) p = {spread(rng), spread(rng), spread(rng)};
  // 1000 bodies on 1000 cells: some coincide, most ties are exact.
  for (Point& p : lattice) p = {double(cell(rng)), double(cell(rng)), double(cell(rng))};
  expectSameAsLiteralLoop(spreadOut);
  expectSameAsLiteralLoop(lattice);
  // Distinct points of a 10 x 10 x 10 lattice, in a shuffled order: every smallest distance
  // is 1, and the winner is decided by the order alone.
  for (int i = 0; i < kMaxOrbiters; ++i)
    lattice[i] = {double(i % 10), double(i / 10 % 10), double(i / 100)};
  std::shuffle(lattice.begin(), lattice.end(), rng);
  expectSameAsLiteralLoop(lattice);
}
