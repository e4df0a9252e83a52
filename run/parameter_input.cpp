#include "run/parameter_input.h"

#include <span>
#include <string>
#include <string_view>

#include "textio/file_channel.h"
#include "textio/fixed_field.h"
#include "textio/free_format.h"

namespace {

constexpr int kParameterChannel = 1;
constexpr int kReportChannel = 3;
constexpr int kRecordCount = 13;

std::string_view nameOf(const Name12& field) { return {field.data(), field.size()}; }

// The read-error record: the message naming the parameter file, then the parameters as they
// stand (layoutMode left out), with the not yet computed period after the semi-major axis.
void writeReadErrorRecord(FileChannel& channel, const RunState& run) {
  std::string message = "*01Rt Error reading file ";
  message.append(nameOf(run.parameterFileName));
  message.append(" *** ");
  FreeFormatRecord record(channel);
  record.addText(message);
  record.addInteger(run.orbiterCount);
  record.addReal(run.totalMass);
  record.addReal(run.centralMassFraction);
  record.addReal(run.semiMajorAxisAu);
  record.addReal(run.periodYears);
  record.addReal(run.eccentricity);
  record.addReal(run.turnFactor);
  record.addReal(run.tiltFactor);
  record.addReal(run.inclinationAngle);
  record.addReal(run.bodyDensity);
  record.addReal(run.headerParameter);
  record.addText(run.initialDataFileName.data(), kNameLength);
  record.addInteger(run.trailerParameter);
  record.finishRecord();
}

}  // namespace

bool readParameters(RunState& run) {
  static const LayoutString integerLayout = parseLayout("(59X,I12)");
  static const LayoutString realLayout = parseLayout("(59X,D11.5)");
  static const LayoutString textLayout = parseLayout("(59X,A12)");

  struct Record {
    const LayoutString* layout;
    FieldTarget target;
  };
  // Record k of the file holds parameter k, its value in the field that starts in column 60.
  const Record records[kRecordCount] = {
      {&integerLayout, {.integer = &run.orbiterCount}},
      {&realLayout, {.real = &run.totalMass}},
      {&realLayout, {.real = &run.centralMassFraction}},
      {&realLayout, {.real = &run.semiMajorAxisAu}},
      {&realLayout, {.real = &run.eccentricity}},
      {&realLayout, {.real = &run.turnFactor}},
      {&realLayout, {.real = &run.tiltFactor}},
      {&realLayout, {.real = &run.inclinationAngle}},
      {&realLayout, {.real = &run.bodyDensity}},
      {&integerLayout, {.integer = &run.layoutMode}},
      {&realLayout, {.real = &run.headerParameter}},
      {&textLayout, {.text = run.initialDataFileName.data(), .textLength = kNameLength}},
      {&integerLayout, {.integer = &run.trailerParameter}},
  };

  FileChannel channel;
  (void)openExisting(channel, kParameterChannel, nameOf(run.parameterFileName),
                     /*wantStatus=*/false);
  for (const Record& record : records) {
    const IoStatus status =
        readFixedRecord(channel, *record.layout, std::span(&record.target, 1));
    if (status != IoStatus::Ok) {
      writeReadErrorRecord(consoleChannel(), run);
      FileChannel report;
      openForOutput(report, kReportChannel, nameOf(run.reportFileName));
      writeReadErrorRecord(report, run);
      closeChannel(report);
      closeChannel(channel);
      return false;
    }
  }
  closeChannel(channel);
  return true;
}

void applyOverride(RunState& run) {
  FileChannel channel;
  if (openExisting(channel, kParameterChannel, nameOf(run.overrideFileName),
                   /*wantStatus=*/true) != IoStatus::Ok) {
    return;
  }
  // A failed read leaves turnFactor as the parameter file gave it.
  const FreeTarget target{.real = &run.turnFactor};
  (void)readFreeFormat(channel, std::span(&target, 1));
  closeChannel(channel);
}
