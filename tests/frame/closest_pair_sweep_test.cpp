// The sweep of the closest-pair search (all coordinates finite) against the literal loop over
// every ordered pair, on shapes that stress the sweep: the real layouts, bodies that share
// their coordinate on the sweep axis, lines and planes along each axis, and a closest pair far
// out along the axis behind many nearer coordinates.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "frame/closest_pair.h"
#include "model/placement.h"
#include "model/scales.h"

namespace {

struct Point {
  double x, y, z;
};

struct PairResult {
  int first = 0;
  int second = 0;
  uint64_t distance = 0;
  uint64_t distance23 = 0;
  uint64_t lastDistance = 0;
};

PairResult resultOf(const RunState& run) {
  return {run.minPairFirst, run.minPairSecond, std::bit_cast<uint64_t>(run.minPairDistance),
          std::bit_cast<uint64_t>(run.distance23), std::bit_cast<uint64_t>(run.pairDistance)};
}

// Every ordered pair (i, j), j != i, one square root each, the pair taken whenever the
// minimum is not below its distance.
PairResult literalSearch(const RunState& run) {
  PairResult r;
  double minimum = run.minPairDistance;
  double distance = 0.0;
  for (int i = 2; i <= run.orbiterCount + 1; ++i) {
    for (int j = 2; j <= run.orbiterCount + 1; ++j) {
      if (j == i) continue;
      const Vec3& a = run.bodyState[kPosition][i];
      const Vec3& b = run.bodyState[kPosition][j];
      const double dx = b[1] - a[1];
      const double dy = b[2] - a[2];
      const double dz = b[3] - a[3];
      distance = std::sqrt((dz * dz + dy * dy) + dx * dx);
      if (i == 2 && j == 3) r.distance23 = std::bit_cast<uint64_t>(distance);
      if (minimum >= distance) {
        minimum = distance;
        r.first = i;
        r.second = j;
      }
    }
  }
  r.distance = std::bit_cast<uint64_t>(minimum);
  r.lastDistance = std::bit_cast<uint64_t>(distance);
  return r;
}

void expectSameAsLiteral(RunState& run) {
  run.minPairDistance = kPairSearchStart;
  run.minPairFirst = 0;
  run.minPairSecond = 0;
  const PairResult expected = literalSearch(run);
  findClosestPair(run);
  const PairResult found = resultOf(run);
  EXPECT_EQ(expected.first, found.first);
  EXPECT_EQ(expected.second, found.second);
  EXPECT_EQ(expected.distance, found.distance);
  EXPECT_EQ(expected.distance23, found.distance23);
  EXPECT_EQ(expected.lastDistance, found.lastDistance);
}

void setOrbiters(RunState& run, const std::vector<Point>& points) {
  run.orbiterCount = static_cast<int32_t>(points.size());
  for (int k = 0; k < static_cast<int>(points.size()); ++k) {
    run.bodyState[kPosition][k + 2][1] = points[k].x;
    run.bodyState[kPosition][k + 2][2] = points[k].y;
    run.bodyState[kPosition][k + 2][3] = points[k].z;
  }
}

}  // namespace

TEST(ClosestPairSweep, MatchesLiteralLoopOnBothLayouts) {
  const auto run = std::make_unique<RunState>();
  struct Case {
    int n;
    int layout;
    double eccentricity;
    double turn;
    double tilt;
  };
  const Case cases[] = {{1000, 0, 0.01, 0.37, 0.003}, {1000, 4, 0.05, 0.01, 0.002},
                        {500, 0, -0.3, 1.0, 0.0},     {333, 4, 0.6, 0.5, 0.25},
                        {64, 0, 0.0, 0.0, 0.0},       {64, 4, 0.0, 1.0, 0.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE("N " + std::to_string(c.n) + ", layout " + std::to_string(c.layout));
    *run = RunState{};
    run->orbiterCount = c.n;
    run->totalMass = 1.98892e30;
    run->centralMassFraction = 0.999;
    run->semiMajorAxisAu = 30.0;
    run->eccentricity = c.eccentricity;
    run->turnFactor = c.turn;
    run->tiltFactor = c.tilt;
    run->layoutMode = c.layout;
    computeScales(*run);
    placeBodies(*run);
    expectSameAsLiteral(*run);
  }
}

TEST(ClosestPairSweep, MatchesLiteralLoopOnShapesAlongEachAxis) {
  const auto run = std::make_unique<RunState>();
  std::mt19937_64 rng(99);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_int_distribution<int> cell(0, 3);
  for (int axis = 0; axis < 3; ++axis) {
    auto place = [axis](double along, double a, double b) {
      Point p{a, b, along};
      if (axis == 0) p = {along, a, b};
      if (axis == 1) p = {a, along, b};
      return p;
    };
    std::vector<std::vector<Point>> shapes;
    // A line along the axis, evenly spaced: many exact ties of the smallest distance.
    std::vector<Point> line;
    for (int k = 0; k < 300; ++k) line.push_back(place(k * 0.75, 0.0, 0.0));
    shapes.push_back(line);
    // A slab: few values along the axis, so most bodies share their sort key.
    std::vector<Point> slab;
    for (int k = 0; k < 400; ++k) slab.push_back(place(cell(rng) * 1e6, unit(rng), unit(rng)));
    shapes.push_back(slab);
    // Widely spread along the axis, with the closest pair far out beyond a dense cluster
    // whose neighbours are farther apart across the axis.
    std::vector<Point> cluster;
    for (int k = 0; k < 300; ++k) cluster.push_back(place(unit(rng) * 1e-3, unit(rng), unit(rng)));
    cluster.push_back(place(1e9, 0.0, 0.0));
    cluster.push_back(place(1e9 + 1e-9, 1e-9, 0.0));
    cluster.push_back(place(-1e9, 5.0, 5.0));
    shapes.push_back(cluster);
    // A plane across the axis: no spread along it at all.
    std::vector<Point> plane;
    for (int k = 0; k < 300; ++k) plane.push_back(place(2.0, unit(rng) * 1e11, unit(rng) * 1e11));
    shapes.push_back(plane);
    for (size_t s = 0; s < shapes.size(); ++s) {
      SCOPED_TRACE("axis " + std::to_string(axis) + ", shape " + std::to_string(s));
      *run = RunState{};
      setOrbiters(*run, shapes[s]);
      expectSameAsLiteral(*run);
    }
  }
}
