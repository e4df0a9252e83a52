#include "frame/barycentric_frame.h"

#include <cmath>

void buildBarycentricFrame(RunState& run) {
  const int bodyCount = run.bodyCount;

  run.massUnit = run.totalMass;

  // Masses are not renormalised: they add up to 1 only up to rounding.
  run.bodyMass[1] = run.centralMass / run.massUnit;
  for (int i = 2; i <= bodyCount; ++i) {
    run.bodyMass[i] = run.orbiterMass / run.massUnit;
  }

  // Units in which the gravitational constant is 1: mass massUnit, time 1/f, and the length
  // that makes gravConst * massUnit * (1/f)^2 / lengthUnit^3 = 1.
  const double f = run.unitFrequency;
  run.lengthUnit = std::pow((run.massUnit * run.gravConst) / (f * f), run.oneThird);
  run.velocityScale = 1.0 / (run.lengthUnit * f);
  run.scaledDensity =
      run.bodyDensity * run.lengthUnit * run.lengthUnit * run.lengthUnit / run.massUnit;

  for (int i = 1; i <= bodyCount; ++i) {
    for (int k = 1; k <= 3; ++k) {
      run.scaledPosition[i][k] = run.bodyState[kPosition][i][k] / run.lengthUnit;
      run.scaledVelocity[i][k] = run.bodyState[kVelocity][i][k] * run.velocityScale;
    }
  }

  // Inclination: a turn about the x axis by inclinationAngle.
  const double c = std::cos(run.inclinationAngle);
  const double s = std::sin(run.inclinationAngle);
  for (int i = 2; i <= bodyCount; ++i) {
    const Vec3& p = run.scaledPosition[i];
    const Vec3& v = run.scaledVelocity[i];
    run.rotatedPosition[i][1] = p[1];
    run.rotatedPosition[i][2] = c * p[2] - s * p[3];
    run.rotatedPosition[i][3] = s * p[2] + c * p[3];
    run.rotatedVelocity[i][1] = v[1];
    run.rotatedVelocity[i][2] = c * v[2] - s * v[3];
    run.rotatedVelocity[i][3] = s * v[2] + c * v[3];
  }
  // The central body enters the frame at the origin and at rest, whatever its scaled state.
  for (int k = 1; k <= 3; ++k) {
    run.rotatedPosition[1][k] = 0.0;
    run.rotatedVelocity[1][k] = 0.0;
  }

  // Barycentre and barycentre velocity. The sums are not divided by the total mass: the
  // masses add up to 1.
  for (int k = 1; k <= 3; ++k) {
    run.totalMomentum[k] = 0.0;
    run.barycentrePosition[k] = 0.0;
    run.angularMomentum[k] = 0.0;
  }
  for (int i = 1; i <= bodyCount; ++i) {
    if (run.bodyMass[i] == 0.0) continue;
    for (int k = 1; k <= 3; ++k) {
      run.barycentrePosition[k] += run.rotatedPosition[i][k] * run.bodyMass[i];
      run.totalMomentum[k] += run.rotatedVelocity[i][k] * run.bodyMass[i];
    }
  }

  // Every body moves into the barycentric frame, massless ones too, so that a massless body
  // keeps its place relative to the others; only bodies with mass carry angular momentum.
  for (int i = 1; i <= bodyCount; ++i) {
    for (int k = 1; k <= 3; ++k) {
      run.barycentricPosition[i][k] = run.rotatedPosition[i][k] - run.barycentrePosition[k];
      run.barycentricVelocity[i][k] = run.rotatedVelocity[i][k] - run.totalMomentum[k];
    }
    if (run.bodyMass[i] == 0.0) continue;
    const double m = run.bodyMass[i];
    const double x = run.barycentricPosition[i][1];
    const double y = run.barycentricPosition[i][2];
    const double z = run.barycentricPosition[i][3];
    const double vx = run.barycentricVelocity[i][1];
    const double vy = run.barycentricVelocity[i][2];
    const double vz = run.barycentricVelocity[i][3];
    // L += m (r x v), each component summed in its own order, products taken from the left.
    run.angularMomentum[1] = (run.angularMomentum[1] - vy * z * m) + y * vz * m;
    run.angularMomentum[2] = (z * vx * m + run.angularMomentum[2]) - x * vz * m;
    run.angularMomentum[3] = (vy * x * m + run.angularMomentum[3]) - y * vx * m;
  }

  // Residual momentum of the shifted configuration, over every body: zero up to rounding.
  for (int k = 1; k <= 3; ++k) {
    run.totalMomentum[k] = 0.0;
  }
  for (int i = 1; i <= bodyCount; ++i) {
    for (int k = 1; k <= 3; ++k) {
      run.totalMomentum[k] += run.barycentricVelocity[i][k] * run.bodyMass[i];
    }
  }
}
