#include "check/check_report.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <span>
#include <string_view>

#include "check/physics.h"
#include "check/text_number.h"
#include "check/tolerances.h"
#include "model/scales.h"

namespace {

constexpr int kLabelWidth = 28;
// Orbiting bodies listed in full up to this many; past it the first and last ten rows.
constexpr int kFullTableLimit = 24;
constexpr int kRowsAtEachEnd = 10;
// Problems of one kind named one by one before "and n more".
constexpr int kListedProblems = 5;
constexpr double kSecondsPerYear = kSecondsPerDay * kSiderealYear;
// 1 - 3 kOneThird: the cube root taken as a real power with the double nearest 1/3 leaves
// x^(3 kOneThird) = x / x^(2^-54).
constexpr double kCubeRootExponentGap = 0x1p-54;

// Deviations and tolerances: two digits are plenty.
std::string small(double value) { return formatScientific(value, 2); }

std::string threeSmall(const Vector& v) {
  return padLeft(small(v[0]), 9) + " " + padLeft(small(v[1]), 9) + " " + padLeft(small(v[2]), 9);
}

std::string threeValues(const Vector& v) {
  return formatScientific(v[0], 13) + "  " + formatScientific(v[1], 13) + "  " +
         formatScientific(v[2], 13);
}

// "1 - 1.1e-16", "1 + 2.2e-16" or "1 exactly".
std::string nearOne(double value) {
  const double d = value - 1.0;
  if (d == 0.0) return "1 exactly";
  return d > 0.0 ? "1 + " + small(d) : "1 - " + small(-d);
}

std::string bodyName(int body) { return "body " + std::to_string(body); }

std::string axisName(int axis) { return std::string(1, static_cast<char>('x' + axis)); }

// Problems of one kind: the first few named, the rest counted.
class ProblemGroup {
 public:
  void add(std::string message) {
    if (++count_ <= kListedProblems) shown_.push_back(std::move(message));
  }
  void moveInto(std::vector<std::string>& problems) {
    for (std::string& message : shown_) problems.push_back(std::move(message));
    if (count_ > kListedProblems) {
      problems.push_back("and " + std::to_string(count_ - kListedProblems) + " more like it");
    }
  }

 private:
  std::vector<std::string> shown_;
  int count_ = 0;
};

class Checker {
 public:
  explicit Checker(const CheckInput& input)
      : input_(input), data_(*input.data), bodies_(toBodies(data_)) {
    bodyCount_ = static_cast<int>(bodies_.size());
    parameters_ = input.parameters;
  }

  CheckResult run() {
    std::string title = "kelvara4-check: " + input_.dataName + ", " + std::to_string(bodyCount_) +
                        (bodyCount_ == 1 ? " body" : " bodies");
    title += parameters_ != nullptr ? " (parameters from " + input_.parameterName + ")"
                                    : " (no parameter file)";
    out_ += title + "\n";
    checkStructure();
    if (bodyCount_ > 0) {
      checkMasses();
      checkUnits();
      checkParameterRanges();
      checkFrame();
      describeEnergy();
      checkOrbits();
      describeContacts();
      checkParameters();
    }
    finish();
    return std::move(result_);
  }

 private:
  void section(std::string_view title) {
    out_ += "\n";
    out_.append(title);
    out_ += "\n";
  }
  void line(std::string_view label, std::string_view value) {
    out_ += "  " + padRight(label, kLabelWidth);
    out_.append(value);
    out_ += "\n";
  }
  void note(std::string_view text) {
    out_ += "  ";
    out_.append(text);
    out_ += "\n";
  }
  void problem(std::string message) { result_.problems.push_back(std::move(message)); }
  void warn(std::string message) { result_.warnings.push_back(std::move(message)); }

  // Counts, the cube-root count and the values a run always writes the same.
  void checkStructure() {
    section("File");
    const HeaderRecord& header = data_.header;
    const TrailerRecord& trailer = data_.trailer;
    line("read back", "header, " + std::to_string(bodyCount_) +
                          " body records and trailer, as free-format records");
    line("number of bodies", std::to_string(bodyCount_) + " body records; header value 20: " +
                                 std::to_string(header.bodyCount) +
                                 ", trailer value 2: " + std::to_string(trailer.bodyCount));
    if (header.bodyCount != bodyCount_) {
      problem("the header gives " + std::to_string(header.bodyCount) +
              " bodies (value 20) but the file holds " + std::to_string(bodyCount_) +
              " body records");
    }
    if (trailer.bodyCount != bodyCount_) {
      problem("the trailer gives " + std::to_string(trailer.bodyCount) +
              " bodies (value 2) but the file holds " + std::to_string(bodyCount_) +
              " body records");
    }
    if (bodyCount_ == 0) problem("the file holds no body record");

    // nearest integer to the cube root of bodyCount + 1, the root a real power
    const double root = std::pow(static_cast<double>(bodyCount_ + 1), kOneThird);
    const int cubeRootCount = static_cast<int>(root + 0.5);
    line("cube-root count", std::to_string(header.cubeRootCount) +
                                " (value 24; the nearest integer to the cube root of " +
                                std::to_string(bodyCount_ + 1) + " is " +
                                std::to_string(cubeRootCount) + ")");
    if (header.cubeRootCount != cubeRootCount) {
      problem("the cube-root count (header value 24) is " + std::to_string(header.cubeRootCount) +
              ", not " + std::to_string(cubeRootCount));
    }

    ProblemGroup fixed;
    auto expectReal = [&](std::string where, double value, double expected) {
      if (value != expected) {
        fixed.add(where + " is " + formatGeneral(value, 17) + ", a run writes " +
                  formatGeneral(expected, 17));
      }
    };
    for (int position : {1, 3, 4, 11, 12, 13, 14, 15, 16}) {
      expectReal("header value " + std::to_string(position), header.reals[position - 1], 0.0);
    }
    for (int i = 0; i < 2; ++i) {
      if (header.ones[i] != 1) {
        fixed.add("header value " + std::to_string(18 + i) + " is " +
                  std::to_string(header.ones[i]) + ", a run writes 1");
      }
    }
    const double fractions[3] = {1.0, 0.5, 0.25};
    for (int i = 0; i < 3; ++i) {
      expectReal("header value " + std::to_string(21 + i), header.fractions[i], fractions[i]);
    }
    for (int i = 0; i < 10; ++i) {
      if (trailer.zeros[i] != 0) {
        fixed.add("trailer value " + std::to_string(6 + i) + " is " +
                  std::to_string(trailer.zeros[i]) + ", a run writes 0");
      }
    }
    for (int body = 1; body <= bodyCount_; ++body) {
      const BodyRecord& record = data_.bodies[body - 1];
      for (int position : {8, 9, 10, 11, 12, 13, 15}) {
        expectReal(bodyName(body) + " value " + std::to_string(position), record[position - 1],
                   0.0);
      }
    }
    std::vector<std::string> fixedProblems;
    fixed.moveInto(fixedProblems);
    line("fixed values",
         fixedProblems.empty() ? "as a run writes them" : "NOT as a run writes them");
    line("", "(header 1, 3, 4, 11-19, 21-23; trailer 6-15; bodies 8-13, 15)");
    for (std::string& message : fixedProblems) problem(std::move(message));
  }

  void checkMasses() {
    section("Masses and radii");
    bool massesValid = true;
    ProblemGroup invalid;
    for (int body = 1; body <= bodyCount_; ++body) {
      const Body& b = bodies_[body - 1];
      if (!std::isfinite(b.mass) || b.mass < 0.0) {
        invalid.add(bodyName(body) + " has mass " + formatGeneral(b.mass, 17));
        massesValid = false;
      }
      if (!std::isfinite(b.radius) || b.radius < 0.0) {
        invalid.add(bodyName(body) + " has radius " + formatGeneral(b.radius, 17));
      } else if ((b.mass == 0.0) != (b.radius == 0.0)) {
        invalid.add(bodyName(body) + " has mass " + formatGeneral(b.mass, 17) + " and radius " +
                    formatGeneral(b.radius, 17) + ": only a massless body has radius 0");
      }
    }
    invalid.moveInto(result_.problems);
    line("central body", formatGeneral(bodies_[0].mass, 16));
    if (bodyCount_ >= 2) {
      const double orbiterMass = bodies_[1].mass;
      ProblemGroup unequal;
      for (int body = 3; body <= bodyCount_; ++body) {
        if (bodies_[body - 1].mass != orbiterMass) {
          unequal.add(bodyName(body) + " has mass " + formatGeneral(bodies_[body - 1].mass, 16) +
                      ", body 2 has " + formatGeneral(orbiterMass, 16) +
                      ": the orbiting bodies have equal masses");
        }
      }
      std::vector<std::string> unequalProblems;
      unequal.moveInto(unequalProblems);
      line("orbiting bodies", std::to_string(bodyCount_ - 1) + " x " +
                                  formatGeneral(orbiterMass, 16) +
                                  (unequalProblems.empty() ? ", all equal" : ", NOT all equal"));
      for (std::string& message : unequalProblems) problem(std::move(message));
    }

    moments_ = computeMoments(bodies_);
    const double massTolerance = sumTolerance(1.0, 1, bodyCount_);
    line("sum of masses", nearOne(moments_.massSum) + " (tolerance " + small(massTolerance) + ")");
    if (massesValid && !(std::fabs(moments_.massSum - 1.0) <= massTolerance)) {
      problem("the masses add up to " + nearOne(moments_.massSum) + ", not 1 (tolerance " +
              small(massTolerance) + ")");
    }

    double largest = 0.0;
    for (const Body& body : bodies_) largest = std::max(largest, body.mass);
    const double headerLargest = data_.header.reals[kHeaderLargestMass];
    line("largest mass (header 2)", formatGeneral(headerLargest, 16) +
                                        (headerLargest == largest ? ", the largest body mass"
                                                                  : ", NOT the largest body mass"));
    if (headerLargest != largest) {
      problem("the largest mass in the header (value 2) is " + formatGeneral(headerLargest, 17) +
              ", the bodies' largest is " + formatGeneral(largest, 17));
    }

    // A homogeneous sphere of mass m and radius r has density 3m / (4 pi r^3). The run took
    // the radius as a real power with the double nearest 1/3, which makes r^3 off by
    // 2^-54 |ln r^3|; each radius and mass may be off by one 16-digit rounding.
    referenceDensity_ = 0.0;
    double spread = 0.0;
    double spreadTolerance = 0.0;
    int spreadBody = 0;
    densityError_ = 0.0;
    for (int body = 1; body <= bodyCount_; ++body) {
      const Body& b = bodies_[body - 1];
      if (!(b.mass > 0.0 && b.radius > 0.0) || !std::isfinite(b.mass)) continue;
      const double cube = b.radius * b.radius * b.radius;
      const double density = 3.0 * b.mass / (4.0 * kPi * cube);
      const double error =
          4.0 * kDigitError + kCubeRootExponentGap * std::fabs(std::log(cube)) + 8.0 * kRoundoff;
      densityError_ = std::max(densityError_, error);
      if (referenceDensity_ == 0.0) {
        referenceDensity_ = density;
        continue;
      }
      const double deviation = std::fabs(density / referenceDensity_ - 1.0);
      if (!(deviation <= spread)) {
        spread = deviation;
        spreadBody = body;
      }
      spreadTolerance = 2.0 * densityError_;
    }
    if (referenceDensity_ > 0.0) {
      std::string text = formatGeneral(referenceDensity_, 10) + " in file units";
      const TrailerRecord& t = data_.trailer;
      if (t.massUnit > 0.0 && t.lengthUnit > 0.0) {
        const double si =
            referenceDensity_ * t.massUnit / t.lengthUnit / t.lengthUnit / t.lengthUnit;
        text = formatGeneral(si, 10) + " kg/m^3";
      }
      if (spreadBody != 0) {
        text += "; the bodies agree to " + small(spread) + " (tolerance " + small(spreadTolerance) +
                ")";
      }
      line("density from the radii", text);
      if (spreadBody != 0 && !(spread <= spreadTolerance)) {
        problem("the radius of " + bodyName(spreadBody) +
                " gives another density than the other bodies: they differ by " + small(spread) +
                " (tolerance " + small(spreadTolerance) + ")");
      }
    } else {
      line("density from the radii", "none: no body has mass");
    }
  }

  void checkUnits() {
    section("Units (from the trailer; the gravitational constant G = 1)");
    const TrailerRecord& t = data_.trailer;
    unitsValid_ = std::isfinite(t.massUnit) && std::isfinite(t.lengthUnit) &&
                  std::isfinite(t.velocityScale) && t.massUnit > 0.0 && t.lengthUnit > 0.0 &&
                  t.velocityScale > 0.0;
    if (!unitsValid_) {
      problem("the units in the trailer are not all finite and above 0: mass unit " +
              formatGeneral(t.massUnit, 17) + ", length unit " + formatGeneral(t.lengthUnit, 17) +
              ", velocity scale " + formatGeneral(t.velocityScale, 17));
      note("not all finite and above 0");
      return;
    }
    timeUnit_ = t.lengthUnit * t.velocityScale;
    const double velocityUnit = 1.0 / t.velocityScale;
    line("mass unit M", formatGeneral(t.massUnit, 16) + " kg (the total mass)");
    line("length unit L", formatGeneral(t.lengthUnit, 16) +
                              " m = " + formatGeneral(t.lengthUnit / kAstroUnit, 10) + " AU");
    line("time unit T = L x scale", formatGeneral(timeUnit_, 16) +
                                        " s = " + formatGeneral(timeUnit_ / kSecondsPerYear, 10) +
                                        " sidereal years");
    line("", "= 100 initial orbital periods of " +
                 formatGeneral(timeUnit_ / 100.0 / kSecondsPerYear, 10) + " years");
    line("velocity unit L/T", formatGeneral(velocityUnit, 16) + " m/s (1 / velocity scale)");

    // G M T^2 / L^3 = G M scale^2 / L. The run took L = (G M T^2)^kOneThird, a real power, so
    // the ratio is (G M T^2)^(2^-54), not exactly 1; around that it may be off by the 16-digit
    // rounding of M, L and the scale (twice) and a few roundings of the run and of this line.
    const double ratio = kGravConst * t.massUnit * t.velocityScale * t.velocityScale / t.lengthUnit;
    gravityDeviation_ = std::fabs(ratio - 1.0);
    const double logArgument =
        std::log(kGravConst) + std::log(t.massUnit) + 2.0 * std::log(timeUnit_);
    const double expected = kCubeRootExponentGap * logArgument;
    const double tolerance = 4.0 * kDigitError + 16.0 * kRoundoff;
    line("G M T^2 / L^3", nearOne(ratio) + "; expected " + nearOne(1.0 + expected) +
                              " (tolerance " + small(tolerance) + ")");
    note("(the run takes L as (G M T^2) to the power of the double nearest 1/3, so the ratio");
    note(" is (G M T^2)^(2^-54) = 1 + 2^-54 ln(G M T^2), not exactly 1)");
    if (!(std::fabs(ratio - 1.0 - expected) <= tolerance)) {
      problem("the units do not make G = 1: G M T^2 / L^3 = " + nearOne(ratio) + ", expected " +
              nearOne(1.0 + expected) + " (tolerance " + small(tolerance) + ")");
    }
  }

  // A parameter file whose values a run refuses cannot belong to a file of a run.
  void checkParameterRanges() {
    if (parameters_ == nullptr) return;
    const ParameterValues& p = *parameters_;
    std::vector<std::string> refused;
    if (p.orbiterCount < 1 || p.orbiterCount > 1000) refused.push_back("orbiterCount");
    if (!(p.totalMass > 0.0)) refused.push_back("totalMass");
    if (!(p.centralMassFraction >= 0.0 && p.centralMassFraction <= 1.0)) {
      refused.push_back("centralMassFraction");
    }
    if (!(p.semiMajorAxisAu > 0.0)) refused.push_back("semiMajorAxisAu");
    if (!(p.eccentricity > -1.0 && p.eccentricity < 1.0)) refused.push_back("eccentricity");
    if (!(p.bodyDensity > 0.0)) refused.push_back("bodyDensity");
    if (refused.empty()) return;
    std::string names;
    for (const std::string& name : refused) names += (names.empty() ? "" : ", ") + name;
    problem("the parameter file holds values a run refuses (" + names +
            "): no run wrote this file from it; nothing compared");
    parameters_ = nullptr;
  }

  void checkFrame() {
    section("Barycentric frame (sums over all bodies)");
    Vector centre, centreTolerance, momentumTolerance;
    const double mass = moments_.massSum > 0.0 ? moments_.massSum : 1.0;
    for (int k = 0; k < 3; ++k) {
      centre[k] = moments_.massMoment[k] / mass;
      centreTolerance[k] = sumTolerance(moments_.massMomentScale[k], 2, bodyCount_);
      momentumTolerance[k] = sumTolerance(moments_.momentumScale[k], 2, bodyCount_);
    }
    line("barycentre (sum m x / M)", threeSmall(centre));
    line("  tolerance", threeSmall(centreTolerance));
    line("momentum (sum m v)", threeSmall(moments_.momentum));
    line("  tolerance", threeSmall(momentumTolerance));
    const Vector header = headerVector(kHeaderMomentum);
    line("  header values 5-7", threeSmall(header));
    for (int k = 0; k < 3; ++k) {
      if (!(std::fabs(centre[k]) <= centreTolerance[k])) {
        problem("the barycentre is not at the origin: " + axisName(k) + " = " + small(centre[k]) +
                " (tolerance " + small(centreTolerance[k]) + ")");
      }
      if (!(std::fabs(moments_.momentum[k]) <= momentumTolerance[k])) {
        problem("the total momentum is not zero: " + axisName(k) + " = " +
                small(moments_.momentum[k]) + " (tolerance " + small(momentumTolerance[k]) + ")");
      }
      // The header holds the run's own sum of the same momentum, before 16-digit rounding.
      const double allowed = momentumTolerance[k] + kDigitError * std::fabs(header[k]);
      if (!(std::fabs(header[k] - moments_.momentum[k]) <= allowed)) {
        problem("the header's momentum " + axisName(k) + " (value " +
                std::to_string(kHeaderMomentum + 1 + k) + ") is " + small(header[k]) +
                ", the bodies give " + small(moments_.momentum[k]) + " (tolerance " +
                small(allowed) + ")");
      }
    }
  }

  Vector headerVector(int first) const {
    return {data_.header.reals[first], data_.header.reals[first + 1],
            data_.header.reals[first + 2]};
  }

  void describeEnergy() {
    section("Energy and angular momentum (recomputed from the bodies, compensated sums)");
    energies_ = computeEnergies(bodies_);
    const long pairs = static_cast<long>(bodyCount_) * (bodyCount_ - 1) / 2;
    line("kinetic energy T", formatGeneral(energies_.kinetic, 10));
    std::string potential = formatGeneral(energies_.potential, 10) + " (the full sum over " +
                            std::to_string(pairs) + (pairs == 1 ? " pair)" : " pairs)");
    if (energies_.coincidentPairs > 0) {
      potential = "-infinite: bodies " + std::to_string(energies_.coincidentFirst) + " and " +
                  std::to_string(energies_.coincidentSecond) + " have mass and the same place";
    }
    line("potential energy W", potential);
    if (energies_.coincidentPairs > 0) {
      line("", formatGeneral(energies_.otherPairsPotential, 10) + " without the " +
                   std::to_string(energies_.coincidentPairs) +
                   (energies_.coincidentPairs == 1 ? " pair" : " pairs") + " at one place");
    }
    line("total energy E = T + W", formatGeneral(energies_.total, 10));
    std::string virial = formatGeneral(energies_.virialRatio, 10);
    if (energies_.coincidentPairs > 0) {
      virial = "undefined: W is infinite";
    } else if (std::isnan(energies_.virialRatio)) {
      virial = "undefined: no two bodies with mass";
    }
    line("virial ratio -2T/W", virial);
    note("These are not the standard N-body (Hénon) units, in which G = M = 1 and E = -1/4.");
    if (unitsValid_ && energies_.total < 0.0 && std::isfinite(energies_.total)) {
      const TrailerRecord& t = data_.trailer;
      const double factor = -4.0 * energies_.total;
      note("Here E = " + formatGeneral(energies_.total, 6) +
           " (in units of G M^2 / L); Hénon units would have the length unit");
      note("L/(-4E) = " + formatGeneral(t.lengthUnit / factor, 6) +
           " m and the time unit T (-4E)^(-3/2) = " +
           formatGeneral(timeUnit_ / std::pow(factor, 1.5), 6) + " s.");
    } else if (energies_.coincidentPairs > 0) {
      note("Here E is -infinite: Hénon units do not apply.");
    } else {
      note("Here E = " + formatGeneral(energies_.total, 6) +
           ": the system is not bound, and Hénon units (which need E < 0) do not apply.");
    }

    const Vector header = headerVector(kHeaderAngularMomentum);
    line("angular momentum", threeValues(moments_.angularMomentum));
    line("  header values 8-10", threeValues(header));
    Vector difference, tolerance;
    for (int k = 0; k < 3; ++k) {
      difference[k] = header[k] - moments_.angularMomentum[k];
      // each term m x v is a product of three 16-digit values; the run summed two terms per
      // body in order
      tolerance[k] = sumTolerance(moments_.angularMomentumScale[k], 3, 2 * bodyCount_) +
                     kDigitError * std::fabs(header[k]);
    }
    line("  header - bodies", threeSmall(difference));
    line("  tolerance", threeSmall(tolerance));
    for (int k = 0; k < 3; ++k) {
      if (!(std::fabs(difference[k]) <= tolerance[k])) {
        problem("the header's angular momentum " + axisName(k) + " (value " +
                std::to_string(kHeaderAngularMomentum + 1 + k) + ") is " +
                formatGeneral(header[k], 16) + ", the bodies give " +
                formatGeneral(moments_.angularMomentum[k], 16) + " (tolerance " +
                small(tolerance[k]) + ")");
      }
    }
  }

  struct OrbitRow {
    int body = 0;
    double distanceAu = 0.0;
    double semiMajorAxisAu = 0.0;
    double eccentricity = 0.0;
    double axisDeviation = 0.0;          // a / a0 - 1
    double eccentricityDeviation = 0.0;  // e - |e0|
  };

  static double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  }

  void checkOrbits() {
    if (bodyCount_ < 2) return;
    const int orbiters = bodyCount_ - 1;
    section("Orbits about the central body");
    const double ringSum = computeRingSum(orbiters);
    const double centralMass = bodies_[0].mass;
    const double orbiterMass = bodies_[1].mass;
    // the generator's gravitational parameter: the central body and the pull of the ring
    const double mu = centralMass + orbiterMass * ringSum;
    note("gravitational parameter mu = m1 + m S = " + formatGeneral(centralMass, 10) + " + " +
         formatGeneral(orbiterMass, 10) + " x " + formatGeneral(ringSum, 10));
    note("  = " + formatGeneral(mu, 12) + " (G = 1; S the ring sum of " + std::to_string(orbiters) +
         " bodies, as the run's orbit has it)");
    if (centralMass == 0.0) note("the central body has no mass: mu is the pull of the ring alone");
    if (orbiterMass == 0.0) note("the orbiting bodies have no mass: test particles about m1");
    if (!(mu > 0.0) || !std::isfinite(mu) || !unitsValid_) {
      note("no orbit to recover: mu is not above 0 or the units are not usable");
      if (parameters_ != nullptr)
        problem("no orbit can be recovered to compare with the parameters");
      return;
    }

    std::vector<OrbitRow> rows;
    for (int body = 2; body <= bodyCount_; ++body) {
      const Body& b = bodies_[body - 1];
      const Vector r = subtract(b.position, bodies_[0].position);
      const Vector v = subtract(b.velocity, bodies_[0].velocity);
      OrbitRow row;
      row.body = body;
      row.distanceAu = norm(r) * data_.trailer.lengthUnit / kAstroUnit;
      if (norm(r) > 0.0) {
        const OrbitElements elements = recoverOrbit(r, v, mu);
        row.semiMajorAxisAu = elements.semiMajorAxis * data_.trailer.lengthUnit / kAstroUnit;
        row.eccentricity = elements.eccentricity;
      } else {
        row.semiMajorAxisAu = std::numeric_limits<double>::quiet_NaN();
        row.eccentricity = std::numeric_limits<double>::quiet_NaN();
      }
      rows.push_back(row);
    }

    double referenceAxis = 0.0;
    double referenceEccentricity = 0.0;
    if (parameters_ != nullptr) {
      referenceAxis = parameters_->semiMajorAxisAu;
      referenceEccentricity = std::fabs(parameters_->eccentricity);
      note("compared with a0 = " + formatGeneral(referenceAxis, 16) + " AU and |e0| = " +
           formatGeneral(referenceEccentricity, 16) + " of " + input_.parameterName);
    } else {
      std::vector<double> axes, eccentricities;
      for (const OrbitRow& row : rows) {
        axes.push_back(row.semiMajorAxisAu);
        eccentricities.push_back(row.eccentricity);
      }
      referenceAxis = median(axes);
      referenceEccentricity = median(eccentricities);
      note("no parameter file: compared with the median over the orbiting bodies, a0 = " +
           formatGeneral(referenceAxis, 12) +
           " AU, e0 = " + formatGeneral(referenceEccentricity, 12));
    }
    // The state of a body may be off by stateTolerance relative to its size. The semi-major
    // axis from 1/a = 2/r - v^2/mu magnifies that most at the pericentre, by (5 + 3e)/(1 - e);
    // the eccentricity vector (v x h)/mu - r/r by at most 4 + 3e. Both comparisons allow the
    // same once more for the reference. The units make G = 1 only up to g = |G M T^2/L^3 - 1|,
    // which moves mu by g: a by up to (1 + e)/(1 - e) g, e by up to (1 + e) g.
    const double e0 = std::min(referenceEccentricity, 0.999999);
    const double state = stateTolerance(orbiters);
    const double g = gravityDeviation_;
    const double axisTolerance =
        (2.0 * (5.0 + 3.0 * e0) * state + (1.0 + e0) * g) / (1.0 - e0) + 2.0 * kDigitError;
    const double eccentricityTolerance = 2.0 * (4.0 + 3.0 * e0) * state + (1.0 + e0) * g;
    note("tolerances: |a/a0 - 1| up to " + small(axisTolerance) + ", |e - e0| up to " +
         small(eccentricityTolerance));

    ProblemGroup offOrbit;
    int worstAxis = 0;
    int worstEccentricity = 0;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
      OrbitRow& row = rows[i];
      row.axisDeviation = row.semiMajorAxisAu / referenceAxis - 1.0;
      row.eccentricityDeviation = row.eccentricity - referenceEccentricity;
      if (!(std::fabs(row.axisDeviation) <= std::fabs(rows[worstAxis].axisDeviation))) {
        worstAxis = i;
      }
      if (!(std::fabs(row.eccentricityDeviation) <=
            std::fabs(rows[worstEccentricity].eccentricityDeviation))) {
        worstEccentricity = i;
      }
      const bool axisOk = std::fabs(row.axisDeviation) <= axisTolerance;
      const bool eccentricityOk = std::fabs(row.eccentricityDeviation) <= eccentricityTolerance;
      if (!axisOk || !eccentricityOk) {
        offOrbit.add(bodyName(row.body) +
                     " is off its orbit: a = " + formatGeneral(row.semiMajorAxisAu, 12) +
                     " AU (a/a0 - 1 = " + small(row.axisDeviation) + ", tolerance " +
                     small(axisTolerance) + "), e = " + formatGeneral(row.eccentricity, 12) +
                     " (e - e0 = " + small(row.eccentricityDeviation) + ", tolerance " +
                     small(eccentricityTolerance) + ")");
      }
    }

    out_ += "   body      r (AU)            a (AU)   a/a0 - 1                 e     e - e0\n";
    auto printRow = [&](const OrbitRow& row) {
      out_ += padLeft(std::to_string(row.body), 7) + padLeft(formatGeneral(row.distanceAu, 6), 12) +
              padLeft(formatGeneral(row.semiMajorAxisAu, 14), 18) +
              padLeft(small(row.axisDeviation), 11) +
              padLeft(formatGeneral(row.eccentricity, 12), 18) +
              padLeft(small(row.eccentricityDeviation), 11) + "\n";
    };
    const int count = static_cast<int>(rows.size());
    if (count <= kFullTableLimit) {
      for (const OrbitRow& row : rows) printRow(row);
    } else {
      for (int i = 0; i < kRowsAtEachEnd; ++i) printRow(rows[i]);
      out_ += "    ... " + std::to_string(count - 2 * kRowsAtEachEnd) + " bodies more\n";
      for (int i = count - kRowsAtEachEnd; i < count; ++i) printRow(rows[i]);
      out_ += "  the extremes:\n";
      printRow(rows[worstAxis]);
      if (worstEccentricity != worstAxis) printRow(rows[worstEccentricity]);
    }
    note("largest |a/a0 - 1|: " + bodyName(rows[worstAxis].body) + ", " +
         small(rows[worstAxis].axisDeviation) +
         "; largest |e - e0|: " + bodyName(rows[worstEccentricity].body) + ", " +
         small(rows[worstEccentricity].eccentricityDeviation));
    offOrbit.moveInto(result_.problems);
  }

  void describeContacts() {
    if (bodyCount_ < 2) return;
    section("Close approaches (every pair, the central body included)");
    const Contacts contacts = findContacts(bodies_);
    auto pair = [](int first, int second) {
      return "bodies " + std::to_string(first) + " and " + std::to_string(second);
    };
    auto inMetres = [&](double distance) {
      return unitsValid_ ? " (" + formatGeneral(distance * data_.trailer.lengthUnit, 4) + " m)"
                         : std::string();
    };
    if (contacts.closestFirst != 0) {
      line("closest for their size", pair(contacts.closestFirst, contacts.closestSecond) + ", " +
                                         formatGeneral(contacts.closestDistance, 4) +
                                         inMetres(contacts.closestDistance) + " apart");
      line("", "= " + formatGeneral(contacts.closestRatio, 4) + " x the sum of their radii");
    }
    line("smallest distance", pair(contacts.nearestFirst, contacts.nearestSecond) + ", " +
                                  formatGeneral(contacts.nearestDistance, 4) +
                                  inMetres(contacts.nearestDistance));
    if (contacts.overlapCount > 0) {
      warn(pair(contacts.closestFirst, contacts.closestSecond) +
           " overlap at the start: their distance is " + formatGeneral(contacts.closestRatio, 3) +
           " x the sum of their radii (" + std::to_string(contacts.overlapCount) +
           (contacts.overlapCount == 1 ? " pair overlaps)" : " pairs overlap)"));
    } else {
      note("no two bodies overlap");
    }
    if (contacts.samePointCount > 0) {
      warn(std::to_string(contacts.samePointCount) +
           (contacts.samePointCount == 1 ? " pair" : " pairs") +
           " of bodies without radius start at the same place");
    }
  }

  void checkParameters() {
    if (parameters_ == nullptr) return;
    const ParameterValues& p = *parameters_;
    section("Parameter file " + input_.parameterName);
    const int orbiters = bodyCount_ - 1;
    line("orbiterCount",
         std::to_string(p.orbiterCount) + (p.orbiterCount == orbiters
                                               ? ": as many orbiting bodies as the file"
                                               : ": NOT the file's " + std::to_string(orbiters)));
    if (p.orbiterCount != orbiters) {
      problem("the parameter file gives " + std::to_string(p.orbiterCount) +
              " orbiting bodies, the file holds " + std::to_string(orbiters));
    }
    // Compares a value of the file with what the parameters give; `relative` compares
    // value / expected - 1 (for an expected value that is not 0).
    auto compare = [&](const std::string& what, double value, double expected, double tolerance,
                       bool relative, const std::string& label, const std::string& shown) {
      const bool asRatio = relative && expected != 0.0;
      const double difference = asRatio ? value / expected - 1.0 : value - expected;
      const bool ok = std::fabs(difference) <= tolerance;
      const std::string kind = asRatio ? "relative difference " : "difference ";
      line(label, shown + (ok ? "" : ": DIFFERS"));
      line("", "(" + kind + small(difference) + ", tolerance " + small(tolerance) + ")");
      if (!ok) {
        problem(what + " is " + formatGeneral(value, 16) + ", the parameters give " +
                formatGeneral(expected, 16) + " (" + kind + small(difference) + ", tolerance " +
                small(tolerance) + ")");
      }
    };
    const TrailerRecord& t = data_.trailer;
    compare("the mass unit (trailer value 3)", t.massUnit, p.totalMass, kDigitError, true,
            "totalMass", formatGeneral(p.totalMass, 16) + " kg = the mass unit");
    // body 1: (M f) / M, two roundings; body i: (M - M f) / N / M, where M f may lose 2^-53 M
    const double f = p.centralMassFraction;
    compare("the mass of body 1", bodies_[0].mass, f, (kDigitError + 4.0 * kRoundoff) * f, false,
            "centralMassFraction", formatGeneral(f, 16) + " = the mass of body 1");
    if (orbiters >= 1 && p.orbiterCount == orbiters) {
      const double share = (1.0 - f) / p.orbiterCount;
      compare("the mass of an orbiting body", bodies_[1].mass, share,
              ((1.0 - f) * (kDigitError + 4.0 * kRoundoff) + 2.0 * kRoundoff) / p.orbiterCount,
              false, "(1 - fraction) / N", formatGeneral(share, 16) + " = each orbiting mass");
    }
    line("semiMajorAxisAu", formatGeneral(p.semiMajorAxisAu, 16) + ": see Orbits");
    line("eccentricity", formatGeneral(p.eccentricity, 16) + ": see Orbits" +
                             (p.eccentricity < 0.0 ? " (|e|; a negative e starts the bodies at "
                                                     "the far end)"
                                                   : ""));
    if (referenceDensity_ > 0.0 && unitsValid_) {
      const double si = referenceDensity_ * t.massUnit / t.lengthUnit / t.lengthUnit / t.lengthUnit;
      // the radius error of densityError_, the 16-digit M and L^3, and the run's scaling
      const double tolerance = densityError_ + 4.0 * kDigitError + 8.0 * kRoundoff;
      compare("the density the radii give (kg/m^3)", si, p.bodyDensity, tolerance, true,
              "bodyDensity", formatGeneral(p.bodyDensity, 16) + " kg/m^3 = the radii's density");
    }
    if (unitsValid_ && p.orbiterCount == orbiters) {
      // Kepler's third law for the run's orbit: P = 2 pi sqrt(a^3 / mu), mu = G (Mc + m S)
      const double centralMass = p.totalMass * f;
      const double orbiterMass = (p.totalMass - centralMass) / p.orbiterCount;
      const double mu = kGravConst * (centralMass + orbiterMass * computeRingSum(p.orbiterCount));
      const double a = kAstroUnit * p.semiMajorAxisAu;
      const double period = 2.0 * kPi * std::sqrt(a * a * a / mu);
      const double e = std::min(std::fabs(p.eccentricity), 0.999999);
      // the run's period passes 1 - e through a difference and a power 3/2
      const double tolerance = 2.0 * kDigitError + 32.0 * kRoundoff / (1.0 - e);
      const double ratio = timeUnit_ / (100.0 * period);
      const bool ok = std::fabs(ratio - 1.0) <= tolerance;
      line("initial period", formatGeneral(period / kSecondsPerYear, 10) +
                                 " years from a and the masses" + (ok ? "" : ": DIFFERS"));
      line("", "(time unit / 100 periods = " + nearOne(ratio) + ", tolerance " + small(tolerance) +
                   ")");
      if (!ok) {
        problem("the time unit is not 100 initial orbital periods: T / (100 P) = " +
                nearOne(ratio) + " (tolerance " + small(tolerance) + ")");
      }
    }
    compare("the header parameter (header value 17)", data_.header.reals[kHeaderParameter],
            p.headerParameter, kDigitError, true, "headerParameter",
            formatGeneral(p.headerParameter, 16) + " = header value 17");
    const bool trailerOk = t.trailerParameter == p.trailerParameter;
    line("trailerParameter",
         std::to_string(p.trailerParameter) +
             (trailerOk ? " = trailer value 1"
                        : ": NOT trailer value 1, " + std::to_string(t.trailerParameter)));
    if (!trailerOk) {
      problem("the trailer parameter (trailer value 1) is " + std::to_string(t.trailerParameter) +
              ", the parameter file gives " + std::to_string(p.trailerParameter));
    }
    const std::string checked = std::filesystem::path(input_.dataName).filename().string();
    line("initialDataFileName",
         p.dataFileName.empty() ? std::string("blank (the run asked for it)") : p.dataFileName);
    if (!p.dataFileName.empty() && p.dataFileName != checked) {
      warn("the parameter file names " + p.dataFileName + ", but " + input_.dataName +
           " was checked");
    }
  }

  void finish() {
    if (!result_.warnings.empty()) {
      section("Warnings");
      for (const std::string& warning : result_.warnings) note(warning);
    }
    if (!result_.problems.empty()) {
      section("Problems");
      for (const std::string& message : result_.problems) note(message);
    }
    out_ += "\n";
    if (result_.problems.empty()) {
      out_ += parameters_ != nullptr
                  ? "Verdict: consistent (well-formed, G = 1, barycentric, every orbiting body "
                    "on its orbit).\n"
                  : "Verdict: consistent (well-formed, G = 1, barycentric, the orbiting bodies "
                    "on one orbit).\n";
    } else {
      out_ += "Verdict: NOT consistent: see the problems above.\n";
    }
    result_.summary = std::move(out_);
  }

  const CheckInput& input_;
  const InitialData& data_;
  const ParameterValues* parameters_ = nullptr;
  std::vector<Body> bodies_;
  int bodyCount_ = 0;
  Moments moments_;
  Energies energies_;
  bool unitsValid_ = false;
  double timeUnit_ = 0.0;
  double referenceDensity_ = 0.0;  // 3m / (4 pi r^3) of the first body with mass, file units
  double densityError_ = 0.0;      // its largest relative rounding over the bodies
  double gravityDeviation_ = 0.0;  // |G M T^2 / L^3 - 1| of the trailer's units
  std::string out_;
  CheckResult result_;
};

}  // namespace

CheckResult checkInitialData(const CheckInput& input) { return Checker(input).run(); }
