#include "model/scales.h"

#include <cmath>

// Every formula is one statement evaluated in the order and grouping written, so that the
// last digits depend only on the platform's cosine, sine, square root and real power.
void computeScales(RunState& run) {
  run.pi = kPi;
  run.twoPi = run.pi * 2.0;
  run.gravConst = kGravConst;
  run.astroUnit = kAstroUnit;
  run.siderealYear = kSiderealYear;
  run.secondsPerDay = kSecondsPerDay;
  run.minPairDistance = kPairSearchStart;
  run.zero = 0.0;
  run.threeHalves = kThreeHalves;
  run.oneThird = kOneThird;

  const double n = static_cast<double>(run.orbiterCount);

  run.angleStep = run.twoPi / n;
  run.turnAngle = run.angleStep * run.turnFactor;
  run.tiltAngle = run.angleStep * run.tiltFactor;
  run.doubleTurnAngle = run.turnAngle * 2.0;
  run.cosTurn = std::cos(run.turnAngle);
  run.sinTurn = std::sin(run.turnAngle);
  run.cosTilt = std::cos(run.tiltAngle);
  run.sinTilt = std::sin(run.tiltAngle);
  run.cosDoubleTurn = std::cos(run.doubleTurnAngle);
  run.sinDoubleTurn = std::sin(run.doubleTurnAngle);

  // Radial pull of a regular ring of N equal masses on one of them, in units of G m^2 / R^2:
  // one quarter of the sum of 1 / sin(j pi / N) for j = 1 .. N-1, summed with j ascending.
  run.ringSum = 0.0;
  for (int k = 2; k <= run.orbiterCount; ++k) {
    const double angle = static_cast<double>(k - 1) * run.pi / n;
    run.ringSum = 0.25 / std::sin(angle) + run.ringSum;
  }

  run.bodyCount = run.orbiterCount + 1;
  run.firstBody = 1;

  run.centralMass = run.totalMass * run.centralMassFraction;
  run.orbitersTotalMass = run.totalMass - run.centralMass;
  run.orbiterMass = run.orbitersTotalMass / n;

  // eccFactor f = -1 / (1 + e); periDistance = a (1 - e); periSpeed = sqrt(mu (1+e) / (a (1-e)))
  // with mu = G (centralMass + orbiterMass ringSum); period 2 pi sqrt(a^3 / mu).
  run.semiMajorAxis = run.astroUnit * run.semiMajorAxisAu;
  run.eccFactor = -(1.0 / (run.eccentricity + 1.0));
  run.periDistance = (run.eccFactor * 2.0 + 1.0) * run.semiMajorAxis / run.eccFactor;
  run.negGravParam = -((run.ringSum * run.orbiterMass + run.centralMass) * run.gravConst);
  run.periSpeed = std::sqrt(run.negGravParam / (run.periDistance * run.eccFactor));
  run.periodDivisor = std::pow(-(run.eccFactor * 2.0) - 1.0, run.threeHalves) * run.periSpeed;
  run.periodSeconds = -(run.twoPi * run.periDistance * run.eccFactor / run.periodDivisor);
  run.periodYears = run.periodSeconds / (run.secondsPerDay * run.siderealYear);
  run.unitFrequency = 1.0 / (run.periodSeconds * 100.0);
}
