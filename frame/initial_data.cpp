#include "frame/initial_data.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "textio/file_channel.h"
#include "textio/free_format.h"

namespace {

constexpr int kInitialDataChannel = 5;
constexpr int kTrailerZeroCount = 10;

// 24 items: 17 reals (zero, largest mass, two zeros, momentum, angular momentum, six zeros,
// headerParameter), the integers 1, 1 and bodyCount, the reals 1.0, 0.5, 0.25, and
// cubeRootCount.
void writeHeaderRecord(const RunState& run, FreeFormatRecord& record) {
  record.addReal(run.headerZero[1]);
  record.addReal(run.maxBodyMass);
  record.addReal(run.headerZero[2]);
  record.addReal(run.headerZero[3]);
  for (int k = 1; k <= 3; ++k) record.addReal(run.totalMomentum[k]);
  for (int k = 1; k <= 3; ++k) record.addReal(run.angularMomentum[k]);
  for (int n = 4; n <= 9; ++n) record.addReal(run.headerZero[n]);
  record.addReal(run.headerParameter);
  record.addInteger(1);
  record.addInteger(1);
  record.addInteger(run.bodyCount);
  record.addReal(run.headerOne);
  record.addReal(run.headerHalf);
  record.addReal(run.headerQuarter);
  record.addInteger(run.cubeRootCount);
  record.finishRecord();
}

// Mass, position, velocity, two reserved vectors, radius, reserved scalar: 15 reals.
void writeBodyRecord(const RunState& run, int i, FreeFormatRecord& record) {
  record.addReal(run.bodyMass[i]);
  for (int k = 1; k <= 3; ++k) record.addReal(run.barycentricPosition[i][k]);
  for (int k = 1; k <= 3; ++k) record.addReal(run.barycentricVelocity[i][k]);
  for (int k = 1; k <= 3; ++k) record.addReal(run.reservedVectorA[i][k]);
  for (int k = 1; k <= 3; ++k) record.addReal(run.reservedVectorB[i][k]);
  record.addReal(run.bodyRadius[i]);
  record.addReal(run.reservedScalar[i]);
  record.finishRecord();
}

// Two integers, the three units that turn the file's values back into SI units, ten zeros.
void writeTrailerRecord(const RunState& run, FreeFormatRecord& record) {
  record.addInteger(run.trailerParameter);
  record.addInteger(run.bodyCount);
  record.addReal(run.massUnit);
  record.addReal(run.lengthUnit);
  record.addReal(run.velocityScale);
  for (int n = 1; n <= kTrailerZeroCount; ++n) record.addInteger(0);
  record.finishRecord();
}

}  // namespace

void computeInitialDataValues(RunState& run) {
  run.maxBodyMass = 0.0;
  for (int i = 1; i <= run.bodyCount; ++i) {
    for (int k = 1; k <= 3; ++k) {
      run.reservedVectorA[i][k] = 0.0;
      run.reservedVectorB[i][k] = 0.0;
    }
    run.reservedScalar[i] = 0.0;
    // The orbiting bodies share one mass, so their radius is computed once: the same bits in
    // give the same bits out.
    if (i > 1 &&
        std::bit_cast<uint64_t>(run.bodyMass[i]) == std::bit_cast<uint64_t>(run.bodyMass[i - 1])) {
      run.bodyRadius[i] = run.bodyRadius[i - 1];
    } else {
      // homogeneous sphere: m = (4/3) pi r^3 rho
      run.bodyRadius[i] =
          std::pow((3.0 * run.bodyMass[i]) / (run.pi * run.scaledDensity * 4.0), run.oneThird);
    }
    if (run.bodyMass[i] >= run.maxBodyMass) run.maxBodyMass = run.bodyMass[i];
  }

  run.headerOne = 1.0;
  run.headerHalf = 0.5;
  run.headerQuarter = 0.25;

  // Nearest integer to the cube root of bodyCount + 1, rounding half away from zero.
  const double x = std::pow(static_cast<double>(run.bodyCount + 1), run.oneThird);
  const double t = x >= 0.0 ? x + 0.5 : x - 0.5;
  run.cubeRootCount = static_cast<int32_t>(t);

  for (int n = 1; n <= 9; ++n) run.headerZero[n] = 0.0;
}

void writeInitialData(RunState& run) {
  const std::string_view name =
      run.dataFilePathLength > 0
          ? std::string_view(run.dataFilePath.data(), run.dataFilePathLength)
          : std::string_view(run.initialDataFileName.data(), run.initialDataFileName.size());
  FileChannel channel;
  openForOutput(channel, kInitialDataChannel, name);
  // One statement object for every record, so that the body records, which repeat the mass
  // and radius of the orbiting bodies, convert each repeated value once.
  FreeFormatRecord record(channel);
  writeHeaderRecord(run, record);
  for (int i = 1; i <= run.bodyCount; ++i) writeBodyRecord(run, i, record);
  writeTrailerRecord(run, record);
  closeChannel(channel);
}
