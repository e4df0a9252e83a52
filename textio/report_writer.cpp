#include "textio/report_writer.h"

#include <string_view>

#include "textio/file_channel.h"
#include "textio/fixed_field.h"
#include "textio/free_format.h"

namespace {

constexpr int kReportChannel = 3;

// One row of the coordinate table: the slot number and a position or velocity,
// e.g. slot 3 at (1.0, -0.5, 0.0) -> "   3  .100000D+01 -.500000D+00  .000000D+00".
void writeTableRow(FileChannel& channel, int slot, const Vec3& v) {
  static const LayoutString rowLayout = parseLayout("(I4,3(D13.6))");
  const FieldValue values[] = {
      {.isInteger = true, .integer = slot},
      {.real = v[1]},
      {.real = v[2]},
      {.real = v[3]},
  };
  writeFixedRecord(channel, rowLayout, values);
}

void writeVector(FileChannel& channel, const Vec3& v) {
  FreeFormatRecord record(channel);
  record.addReal(v[1]);
  record.addReal(v[2]);
  record.addReal(v[3]);
  record.finishRecord();
}

void writeText(FileChannel& channel, std::string_view text) {
  FreeFormatRecord record(channel);
  record.addText(text);
  record.finishRecord();
}

void writeTextAndReal(FileChannel& channel, std::string_view text, double value) {
  FreeFormatRecord record(channel);
  record.addText(text);
  record.addReal(value);
  record.finishRecord();
}

std::string_view nameOf(const Name12& field) { return {field.data(), field.size()}; }

}  // namespace

void writeReport(RunState& run) {
  FileChannel channel;
  openForOutput(channel, kReportChannel, nameOf(run.reportFileName));

  // The physical state of every slot, the one past the last body included.
  for (int slot = 1; slot <= run.orbiterCount + 2; ++slot) {
    writeTableRow(channel, slot, run.bodyState[kPosition][slot]);
    writeTableRow(channel, slot, run.bodyState[kVelocity][slot]);
  }

  writeText(channel, "Coordinates and velocities of the system baricentre");
  writeVector(channel, run.barycentrePosition);
  writeVector(channel, run.totalMomentum);
  writeText(channel, "Initial undimensional coordinates and velocities");
  writeText(channel, "             of the 1-st body");
  writeVector(channel, run.rotatedPosition[2]);
  writeVector(channel, run.rotatedVelocity[2]);
  writeTextAndReal(channel, "Initial period in sideral years = ", run.periodYears);
  writeTextAndReal(channel, "Distance between bodies 2 and 3", run.distance23);
  {
    FreeFormatRecord record(channel);
    record.addText("Minimal distance between bodies ");
    record.addInteger(run.minPairFirst);
    record.addText(" and ");
    record.addInteger(run.minPairSecond);
    record.addText(" ");
    record.addReal(run.minPairDistance);
    record.finishRecord();
  }
  {
    FreeFormatRecord record(channel);
    record.addText("Initial data in file ");
    record.addText(nameOf(run.parameterFileName));
    record.finishRecord();
  }
  {
    // The parameters as the run used them (turnFactor after the override).
    FreeFormatRecord record(channel);
    record.addInteger(run.orbiterCount);
    record.addReal(run.totalMass);
    record.addReal(run.centralMassFraction);
    record.addReal(run.semiMajorAxisAu);
    record.addReal(run.eccentricity);
    record.addReal(run.turnFactor);
    record.addReal(run.tiltFactor);
    record.addReal(run.inclinationAngle);
    record.addReal(run.bodyDensity);
    record.addInteger(run.layoutMode);
    record.addReal(run.headerParameter);
    record.addText(" ");
    record.addText(nameOf(run.initialDataFileName));
    record.addInteger(run.trailerParameter);
    record.finishRecord();
  }
  closeChannel(channel);
}
