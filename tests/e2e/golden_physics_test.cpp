// The golden runs checked against the physics they must show: whatever digits the program
// writes, the initial-data file must be readable as free-format records, hold the counts the
// run promised, and describe a barycentric system whose orbiting bodies lie on the requested
// Kepler orbit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/run_harness.h"
#include "textio/file_channel.h"
#include "textio/free_format.h"

namespace fs = std::filesystem;

namespace {

constexpr double kG = 6.67259e-11;
constexpr double kAu = 149597870691.0;

struct Parameters {
  int n = 0;
  double totalMass = 0, fraction = 0, aAu = 0, e = 0;
  std::string dataFile;
};

// Parameters from a parameter file of this test tree: the value of each record from column 60.
Parameters readParameterFile(const fs::path& path) {
  std::vector<std::string> values;
  std::istringstream lines(readFile(path));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    values.push_back(line.size() > 59 ? line.substr(59) : "");
  }
  auto real = [](std::string text) {
    std::replace(text.begin(), text.end(), 'D', 'E');
    return std::stod(text);
  };
  Parameters p;
  p.n = std::stoi(values[0]);
  p.totalMass = real(values[1]);
  p.fraction = real(values[2]);
  p.aAu = real(values[3]);
  p.e = real(values[4]);
  p.dataFile = values[11].substr(0, values[11].find_last_not_of(' ') + 1);
  return p;
}

struct Body {
  double mass = 0, x[3] = {}, v[3] = {}, reserved[7] = {}, radius = 0;
};

struct DataFile {
  double header[17] = {}, headerTail[3] = {};
  int headerInts[4] = {};
  std::vector<Body> bodies;
  int trailerInts[12] = {};
  double units[3] = {};  // massUnit, lengthUnit, velocityScale
};

bool readDataFile(const fs::path& path, int bodyCount, DataFile& data) {
  FileChannel channel;
  if (openExisting(channel, 5, path.string(), true) != IoStatus::Ok) return false;
  std::vector<FreeTarget> header;
  for (double& value : data.header) header.push_back({.real = &value});
  for (int i = 0; i < 3; ++i) header.push_back({.integer = &data.headerInts[i]});
  for (double& value : data.headerTail) header.push_back({.real = &value});
  header.push_back({.integer = &data.headerInts[3]});
  if (readFreeFormat(channel, header) != IoStatus::Ok) return false;
  data.bodies.resize(bodyCount);
  for (Body& body : data.bodies) {
    std::vector<FreeTarget> fields{{.real = &body.mass}};
    for (double& value : body.x) fields.push_back({.real = &value});
    for (double& value : body.v) fields.push_back({.real = &value});
    for (int i = 0; i < 6; ++i) fields.push_back({.real = &body.reserved[i]});
    fields.push_back({.real = &body.radius});
    fields.push_back({.real = &body.reserved[6]});
    if (readFreeFormat(channel, fields) != IoStatus::Ok) return false;
  }
  std::vector<FreeTarget> trailer{{.integer = &data.trailerInts[0]},
                                  {.integer = &data.trailerInts[1]}};
  for (double& value : data.units) trailer.push_back({.real = &value});
  for (int i = 2; i < 12; ++i) trailer.push_back({.integer = &data.trailerInts[i]});
  const IoStatus status = readFreeFormat(channel, trailer);
  std::string rest;
  const bool atEnd = readRecord(channel, rest) == IoStatus::EndOfFile;
  closeChannel(channel);
  return status == IoStatus::Ok && atEnd;
}

int lineCount(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(GoldenPhysics, EveryCompleteRunDescribesTheRequestedSystem) {
  std::vector<fs::directory_entry> runs;
  for (const char* folder : {"tests/e2e/cases", "examples"}) {
    for (const auto& entry : fs::directory_iterator(fs::path(KELVARA4_SOURCE_DIR) / folder)) {
      runs.push_back(entry);
    }
  }
  int checked = 0;
  for (const auto& entry : runs) {
    const fs::path expected = entry.path() / "expected";
    if (!fs::exists(entry.path() / "Kelvara4.dat") || fs::exists(expected / ".status")) continue;
    const Parameters p = readParameterFile(entry.path() / "Kelvara4.dat");
    fs::path dataPath = expected / p.dataFile;
    if (p.dataFile.empty()) {
      for (const auto& file : fs::directory_iterator(expected)) {
        if (file.path().filename() != "Kelvara4Err" && file.path().filename().string()[0] != '.')
          dataPath = file.path();
      }
    }
    SCOPED_TRACE(entry.path().filename().string());
    ++checked;
    const int n = p.n;
    EXPECT_EQ(5 * n + 16, lineCount(readFile(dataPath)));
    EXPECT_EQ(2 * (n + 2) + 16, lineCount(readFile(expected / "Kelvara4Err")));

    DataFile data;
    ASSERT_TRUE(readDataFile(dataPath, n + 1, data));
    EXPECT_EQ(n + 1, data.headerInts[2]);
    EXPECT_EQ(n + 1, data.trailerInts[1]);
    EXPECT_EQ(p.totalMass, data.units[0]);

    // Masses add up to 1; momentum and barycentre vanish to rounding.
    double massSum = 0, momentum[3] = {}, centre[3] = {}, speedScale = 0, sizeScale = 0;
    for (const Body& body : data.bodies) {
      massSum += body.mass;
      for (int k = 0; k < 3; ++k) {
        momentum[k] += body.mass * body.v[k];
        centre[k] += body.mass * body.x[k];
        speedScale = std::max(speedScale, std::fabs(body.v[k]));
        sizeScale = std::max(sizeScale, std::fabs(body.x[k]));
      }
    }
    // Each value carries 16 significant digits, so the sums may stray by one part in 10^16
    // per body.
    const double rounding = 1e-15 * (n + 1);
    EXPECT_NEAR(1.0, massSum, rounding);
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(0.0, momentum[k], rounding * speedScale);
      EXPECT_NEAR(0.0, data.header[4 + k], rounding * speedScale);
      EXPECT_NEAR(0.0, centre[k], rounding * sizeScale);
    }

    // Every orbiting body, relative to the central body and back in SI units, is on the orbit
    // of semi-major axis a and eccentricity |e| about mu = G (M + m S).
    double ringSum = 0.0;
    for (int k = 2; k <= n; ++k) ringSum += 0.25 / std::sin((k - 1) * M_PI / n);
    const double centralMass = p.totalMass * p.fraction;
    const double mu = kG * (centralMass + (p.totalMass - centralMass) / n * ringSum);
    const double a = p.aAu * kAu;
    const Body& centre1 = data.bodies[0];
    for (int i = 1; i <= n; ++i) {
      const Body& body = data.bodies[i];
      double r[3], v[3];
      for (int k = 0; k < 3; ++k) {
        r[k] = (body.x[k] - centre1.x[k]) * data.units[1];
        v[k] = (body.v[k] - centre1.v[k]) / data.units[2];
      }
      const double distance = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
      const double speed2 = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
      const double recoveredA = 1.0 / (2.0 / distance - speed2 / mu);
      const double h[3] = {r[1] * v[2] - r[2] * v[1], r[2] * v[0] - r[0] * v[2],
                           r[0] * v[1] - r[1] * v[0]};
      const double h2 = h[0] * h[0] + h[1] * h[1] + h[2] * h[2];
      const double recoveredE = std::sqrt(std::max(0.0, 1.0 - h2 / (mu * recoveredA)));
      SCOPED_TRACE(i + 1);
      EXPECT_NEAR(1.0, recoveredA / a, 1e-9);
      EXPECT_NEAR(std::fabs(p.e), recoveredE, 1e-7);
      EXPECT_EQ(body.mass > 0.0, body.radius > 0.0);
    }
  }
  EXPECT_GE(checked, 20);
}

}  // namespace
