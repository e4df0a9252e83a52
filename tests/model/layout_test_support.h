#pragma once

// Run states and vector helpers shared by the tests of the two layouts.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "model/scales.h"
#include "run/run_state.h"

namespace layout_test {

// A run state with scales computed: a = 5.2 AU, 99.9 % of 2e30 kg in the central body.
inline std::unique_ptr<RunState> scaledRun(int orbiterCount, double turnFactor,
                                           double tiltFactor, double eccentricity,
                                           int layoutMode) {
  auto run = std::make_unique<RunState>();
  run->orbiterCount = orbiterCount;
  run->totalMass = 2.0e30;
  run->centralMassFraction = 0.999;
  run->semiMajorAxisAu = 5.2;
  run->eccentricity = eccentricity;
  run->turnFactor = turnFactor;
  run->tiltFactor = tiltFactor;
  run->layoutMode = layoutMode;
  computeScales(*run);
  return run;
}

inline Vec3 vec(double x, double y, double z) {
  Vec3 v{};
  v[1] = x;
  v[2] = y;
  v[3] = z;
  return v;
}

inline double dot(const Vec3& a, const Vec3& b) {
  return a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
}
inline double norm(const Vec3& a) { return std::sqrt(dot(a, a)); }
inline Vec3 cross(const Vec3& a, const Vec3& b) {
  return vec(a[2] * b[3] - a[3] * b[2], a[3] * b[1] - a[1] * b[3], a[1] * b[2] - a[2] * b[1]);
}

// Rz(t) Rx(u) v as a plain matrix product, for closed-form checks.
inline Vec3 turnThenTilt(const Vec3& v, double t, double u) {
  const Vec3 tilted =
      vec(v[1], std::cos(u) * v[2] - std::sin(u) * v[3], std::sin(u) * v[2] + std::cos(u) * v[3]);
  return vec(std::cos(t) * tilted[1] - std::sin(t) * tilted[2],
             std::sin(t) * tilted[1] + std::cos(t) * tilted[2], tilted[3]);
}

inline void expectNearVec(const Vec3& expected, const Vec3& actual, double tolerance) {
  for (int axis = 1; axis <= 3; ++axis) {
    EXPECT_NEAR(expected[axis], actual[axis], tolerance) << "axis " << axis;
  }
}

inline bool sameBits(const Vec3& a, const Vec3& b) {
  return std::memcmp(&a, &b, sizeof(Vec3)) == 0;
}

// The body counts at which the layouts are compared with the literal shift passes.
inline std::vector<int> bodyCountsToCompare() {
  std::vector<int> counts;
  for (int n = 1; n <= 60; ++n) counts.push_back(n);
  for (int n : {100, 257, 999, 1000}) counts.push_back(n);
  return counts;
}

}  // namespace layout_test
