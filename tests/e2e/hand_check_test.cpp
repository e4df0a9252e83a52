// Selected values of two golden runs worked out by hand from the closed forms of the orbit,
// independently of the program's formulas, to the precision the files show.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/run_harness.h"

namespace fs = std::filesystem;

namespace {

constexpr double kG = 6.67259e-11;
constexpr double kAu = 149597870691.0;
constexpr double kYear = 365.25636042 * 86400.0;

std::vector<std::string> lines(const fs::path& path) {
  std::vector<std::string> result;
  std::istringstream text(readFile(path));
  for (std::string line; std::getline(text, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    result.push_back(line);
  }
  return result;
}

// The k-th D13.6 field (0 to 2) of a coordinate-table row.
double tableField(const std::string& row, int k) {
  std::string field = row.substr(4 + 13 * k, 13);
  const size_t d = field.find('D');
  if (d != std::string::npos) field[d] = 'E';
  return std::stod(field);
}

// The last blank-separated number of a line.
double lastNumber(const std::string& line) { return std::stod(line.substr(line.rfind(' ') + 1)); }

fs::path golden(const std::string& run) {
  return fs::path(KELVARA4_SOURCE_DIR) / "tests" / "e2e" / "cases" / run / "expected";
}

// One orbiting body of 1/1000 of the mass on a 1 AU orbit of eccentricity 0.3: it starts at
// the pericentre a(1 - e) with speed sqrt(mu (1 + e) / (a (1 - e))), mu = G M 0.999 (a lone body
// has no ring), and the period is 2 pi sqrt(a^3 / mu).
TEST(HandCheck, SingleBodyAtPericentre) {
  const double a = kAu;
  const double e = 0.3;
  const double mu = kG * 1.98892e30 * 0.999;
  const auto report = lines(golden("periN1") / "Kelvara4Err");
  EXPECT_NEAR(a * (1 - e), tableField(report[2], 0), 5e-6 * a);  // ".104719D+12"
  EXPECT_NEAR(std::sqrt(mu * (1 + e) / (a * (1 - e))), tableField(report[3], 1), 0.1);
  const double period = 2 * M_PI * std::sqrt(a * a * a / mu) / kYear;
  EXPECT_NEAR(period, lastNumber(report[13]), 1e-12);
  // The unit of length makes G = 1 with 100 periods as the unit of time.
  const auto data = lines(golden("periN1") / "n1.dat");
  const std::string trailer = data[data.size() - 3];
  const double lengthUnit = std::stod(trailer.substr(trailer.size() - 24));
  const double unitTime = 100 * period * kYear;
  EXPECT_NEAR(std::cbrt(kG * 1.98892e30 * unitTime * unitTime), lengthUnit, 1e-12 * lengthUnit);
}

// Two bodies on a 1 AU orbit of eccentricity 0.3 in the Kepler-orbit layout: body 2 at the
// pericentre (a(1 - e), 0, 0); body 3 at the apocentre (-a(1 + e), 0, 0), tilted about x (which
// leaves a point on the x axis in place) and turned by t = 2 pi / 2 x 0.25 about z, so it lies
// at a(1 + e) (-cos t, -sin t, 0).
TEST(HandCheck, TwoBodiesAlongTheOrbit) {
  const double a = kAu;
  const double e = 0.3;
  const double t = M_PI * 0.25;
  const auto report = lines(golden("keplerN2") / "Kelvara4Err");
  EXPECT_NEAR(a * (1 - e), tableField(report[2], 0), 5e-6 * a);
  EXPECT_NEAR(-a * (1 + e) * std::cos(t), tableField(report[4], 0), 5e-6 * a);
  EXPECT_NEAR(-a * (1 + e) * std::sin(t), tableField(report[4], 1), 5e-6 * a);
  EXPECT_NEAR(0.0, tableField(report[4], 2), 5e-6 * a);
  const double dx = a * (1 - e) + a * (1 + e) * std::cos(t);
  const double dy = a * (1 + e) * std::sin(t);
  const double distance = std::sqrt(dx * dx + dy * dy);
  EXPECT_NEAR(distance, lastNumber(report[16]), 1e-9 * distance);  // S9
}

}  // namespace
