#include "check/physics.h"

#include <cmath>
#include <limits>

#include "model/scales.h"

void CompensatedSum::add(double term) {
  const double next = sum_ + term;
  // The part of the smaller operand that the addition lost.
  if (std::fabs(sum_) >= std::fabs(term)) {
    compensation_ += (sum_ - next) + term;
  } else {
    compensation_ += (term - next) + sum_;
  }
  sum_ = next;
}

Vector subtract(const Vector& a, const Vector& b) {
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

Vector cross(const Vector& a, const Vector& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double dot(const Vector& a, const Vector& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

double norm(const Vector& a) { return std::sqrt(dot(a, a)); }

Energies computeEnergies(std::span<const Body> bodies) {
  CompensatedSum kinetic;
  for (const Body& body : bodies) {
    for (int k = 0; k < 3; ++k) kinetic.add(0.5 * body.mass * body.velocity[k] * body.velocity[k]);
  }
  Energies energies;
  CompensatedSum potential;
  const int count = static_cast<int>(bodies.size());
  for (int i = 0; i < count; ++i) {
    if (bodies[i].mass == 0.0) continue;
    for (int j = i + 1; j < count; ++j) {
      if (bodies[j].mass == 0.0) continue;
      const double distance = norm(subtract(bodies[j].position, bodies[i].position));
      if (distance == 0.0) {
        ++energies.coincidentPairs;
        if (energies.coincidentFirst == 0) {
          energies.coincidentFirst = i + 1;
          energies.coincidentSecond = j + 1;
        }
        continue;
      }
      potential.add(-(bodies[i].mass * bodies[j].mass / distance));
    }
  }
  energies.kinetic = kinetic.value();
  energies.otherPairsPotential = potential.value();
  energies.potential = energies.coincidentPairs > 0 ? -std::numeric_limits<double>::infinity()
                                                    : energies.otherPairsPotential;
  energies.total = energies.kinetic + energies.potential;
  energies.virialRatio = energies.potential == 0.0 || energies.coincidentPairs > 0
                             ? std::numeric_limits<double>::quiet_NaN()
                             : -2.0 * energies.kinetic / energies.potential;
  return energies;
}

Moments computeMoments(std::span<const Body> bodies) {
  CompensatedSum mass;
  CompensatedSum massMoment[3], massMomentScale[3], momentum[3], momentumScale[3];
  CompensatedSum angular[3], angularScale[3];
  for (const Body& body : bodies) {
    const double m = body.mass;
    const Vector& x = body.position;
    const Vector& v = body.velocity;
    mass.add(m);
    for (int k = 0; k < 3; ++k) {
      massMoment[k].add(m * x[k]);
      massMomentScale[k].add(std::fabs(m * x[k]));
      momentum[k].add(m * v[k]);
      momentumScale[k].add(std::fabs(m * v[k]));
      // component k of x cross v is x[a] v[b] - x[b] v[a] with (a, b) the next two axes
      const int a = (k + 1) % 3;
      const int b = (k + 2) % 3;
      angular[k].add(m * x[a] * v[b]);
      angular[k].add(-(m * x[b] * v[a]));
      angularScale[k].add(std::fabs(m * x[a] * v[b]));
      angularScale[k].add(std::fabs(m * x[b] * v[a]));
    }
  }
  Moments moments;
  moments.massSum = mass.value();
  for (int k = 0; k < 3; ++k) {
    moments.massMoment[k] = massMoment[k].value();
    moments.massMomentScale[k] = massMomentScale[k].value();
    moments.momentum[k] = momentum[k].value();
    moments.momentumScale[k] = momentumScale[k].value();
    moments.angularMomentum[k] = angular[k].value();
    moments.angularMomentumScale[k] = angularScale[k].value();
  }
  return moments;
}

OrbitElements recoverOrbit(const Vector& r, const Vector& v, double mu) {
  const double distance = norm(r);
  OrbitElements elements;
  // vis-viva: v^2 = mu (2/r - 1/a)
  elements.semiMajorAxis = 1.0 / (2.0 / distance - dot(v, v) / mu);
  // eccentricity vector: e = (v x h)/mu - r/|r|, with h = r x v; it points to the pericentre
  // and keeps full absolute accuracy for nearly circular orbits, where 1 - h^2/(mu a) would not
  const Vector h = cross(r, v);
  const Vector vh = cross(v, h);
  Vector e;
  for (int k = 0; k < 3; ++k) e[k] = vh[k] / mu - r[k] / distance;
  elements.eccentricity = norm(e);
  return elements;
}

double computeRingSum(int n) {
  double ringSum = 0.0;
  for (int k = 2; k <= n; ++k) {
    const double angle = (k - 1) * kPi / n;
    ringSum = 0.25 / std::sin(angle) + ringSum;
  }
  return ringSum;
}

Contacts findContacts(std::span<const Body> bodies) {
  Contacts contacts;
  bool anyRatio = false;
  bool anyPair = false;
  const int count = static_cast<int>(bodies.size());
  for (int i = 0; i < count; ++i) {
    for (int j = i + 1; j < count; ++j) {
      const double distance = norm(subtract(bodies[j].position, bodies[i].position));
      if (!anyPair || distance < contacts.nearestDistance) {
        anyPair = true;
        contacts.nearestFirst = i + 1;
        contacts.nearestSecond = j + 1;
        contacts.nearestDistance = distance;
      }
      const double radii = bodies[i].radius + bodies[j].radius;
      if (radii > 0.0) {
        const double ratio = distance / radii;
        if (!anyRatio || ratio < contacts.closestRatio) {
          anyRatio = true;
          contacts.closestFirst = i + 1;
          contacts.closestSecond = j + 1;
          contacts.closestDistance = distance;
          contacts.closestRatio = ratio;
        }
        if (distance < radii) ++contacts.overlapCount;
      } else if (distance == 0.0) {
        ++contacts.samePointCount;
      }
    }
  }
  return contacts;
}
