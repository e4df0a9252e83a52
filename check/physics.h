#pragma once

#include <array>
#include <span>

// Physics of an N-body configuration in units where the gravitational constant is 1: energies,
// momenta, Kepler elements and close approaches, recomputed from the bodies alone.

using Vector = std::array<double, 3>;  // x, y, z

// A body as the initial-data file gives it: mass, position, velocity, radius.
struct Body {
  double mass = 0.0;
  Vector position{};
  Vector velocity{};
  double radius = 0.0;
};

// Neumaier's compensated sum: the rounding error of every addition is carried in a second
// term, so a sum of many terms of mixed signs keeps about full precision whatever their order.
class CompensatedSum {
 public:
  void add(double term);
  double value() const { return sum_ + compensation_; }

 private:
  double sum_ = 0.0;
  double compensation_ = 0.0;
};

struct Energies {
  double kinetic = 0.0;  // T = sum of m v^2 / 2
  double potential =
      0.0;             // W = -sum over pairs i < j of m_i m_j / r_ij; -inf for coincident masses
  double total = 0.0;  // E = T + W
  // -2T/W: 1 for a system in virial equilibrium; NaN when W is 0 (no two bodies with mass).
  double virialRatio = 0.0;  // NaN also when W is infinite
  // Pairs of bodies with mass at the same point, the first of them (1-based body numbers,
  // else 0, 0), and the potential energy of all other pairs.
  int coincidentPairs = 0;
  int coincidentFirst = 0;
  int coincidentSecond = 0;
  double otherPairsPotential = 0.0;
};

// Kinetic and potential energy of the bodies, each a compensated sum (the potential over all
// N(N-1)/2 pairs; pairs in which a body has no mass add nothing).
Energies computeEnergies(std::span<const Body> bodies);

// Sums over the bodies, each with the sum of the magnitudes of its terms, which sets the
// scale of its rounding error.
struct Moments {
  double massSum = 0.0;           // sum of m
  Vector massMoment{};            // sum of m x: the barycentre times the total mass
  Vector massMomentScale{};       // sum of |m x|
  Vector momentum{};              // sum of m v
  Vector momentumScale{};         // sum of |m v|
  Vector angularMomentum{};       // sum of m (x cross v)
  Vector angularMomentumScale{};  // sum of |m y vz| + |m z vy| and so on per axis
};

Moments computeMoments(std::span<const Body> bodies);

Vector subtract(const Vector& a, const Vector& b);
Vector cross(const Vector& a, const Vector& b);
double dot(const Vector& a, const Vector& b);
double norm(const Vector& a);

// Kepler elements of a relative state (r, v) about a point of gravitational parameter mu.
struct OrbitElements {
  double semiMajorAxis = 0.0;  // from the vis-viva equation, 1/a = 2/|r| - v^2/mu; negative
                               // for an unbound orbit
  double eccentricity = 0.0;   // length of the eccentricity vector (v cross h)/mu - r/|r|
};

// REQUIRES: mu > 0 and r not zero.
OrbitElements recoverOrbit(const Vector& r, const Vector& v, double mu);

// The ring factor of a regular ring of n equal bodies: sum for k = 2..n of
// 0.25 / sin((k - 1) pi / n), summed in that order; 0 for n below 2. A body of the ring feels
// the others pull it to the centre with G m^2 (ring factor) / R^2.
double computeRingSum(int n);

// Close approaches among all pairs of bodies, the central body included.
struct Contacts {
  // Smallest distance over the sum of the radii, among pairs whose radii add up to more
  // than 0; pair 0, 0 when there is none.
  int closestFirst = 0;
  int closestSecond = 0;
  double closestDistance = 0.0;
  double closestRatio = 0.0;
  // Smallest distance of any pair.
  int nearestFirst = 0;
  int nearestSecond = 0;
  double nearestDistance = 0.0;
  // Pairs that overlap (distance below the sum of the radii), and pairs of bodies without
  // radius at the same point.
  int overlapCount = 0;
  int samePointCount = 0;
};

// REQUIRES: at least two bodies for a pair to be found.
Contacts findContacts(std::span<const Body> bodies);
