#include "run/validation.h"

#include <sys/stat.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "textio/file_channel.h"

namespace {

constexpr int kDataChannel = 5;

// Shortest text that reads back as the same double ("0.25", "-1e+300"); "NaN", "infinity" or
// "-infinity" for values that are not finite.
std::string showReal(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0.0 ? "infinity" : "-infinity";
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

std::string trimmed(const Name12& field) { return trimmed({field.data(), field.size()}); }

// One refused parameter: "record 5, eccentricity, is 1: it must lie above -1 and below 1".
std::string refusal(int record, std::string_view name, std::string_view value,
                    std::string_view range) {
  std::string message = "parameter file record ";
  message += std::to_string(record);
  message += ", ";
  message.append(name);
  message += ", is ";
  message.append(value);
  message += ": it must be ";
  message.append(range);
  return message;
}

void checkReal(std::vector<std::string>& messages, int record, std::string_view name,
               double value, bool valid, std::string_view range) {
  if (!std::isfinite(value) || !valid) {
    messages.push_back(refusal(record, name, showReal(value), range));
  }
}

// Whether two names denote the same file: the same existing file (device and inode), or the
// same path once "." and ".." and links are resolved ("./Kelvara4Err" for a report not yet
// written).
bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa;
  struct stat sb;
  if (stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0) {
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  }
  std::error_code error;
  const auto pathA = std::filesystem::weakly_canonical(std::filesystem::absolute(a, error), error);
  if (error) return false;
  const auto pathB = std::filesystem::weakly_canonical(std::filesystem::absolute(b, error), error);
  return !error && pathA == pathB;
}

// Collects the first non-finite entry of each quantity the output files hold.
class FiniteCheck {
 public:
  explicit FiniteCheck(std::vector<std::string>& messages) : messages_(messages) {}

  void value(std::string_view what, double v) {
    if (!std::isfinite(v)) report(std::string(what), v);
  }
  void vector(std::string_view what, const Vec3& v) {
    for (int axis = 1; axis <= 3; ++axis) {
      if (!std::isfinite(v[axis])) {
        report(std::string(what), v[axis]);
        return;
      }
    }
  }
  void perBody(std::string_view what, const SlotArray& values, int last) {
    for (int i = 1; i <= last; ++i) {
      if (!std::isfinite(values[i])) {
        report(std::string(what) + " of body " + std::to_string(i), values[i]);
        return;
      }
    }
  }
  void perBody(std::string_view what, const SlotVectors& vectors, int last) {
    for (int i = 1; i <= last; ++i) {
      for (int axis = 1; axis <= 3; ++axis) {
        if (!std::isfinite(vectors[i][axis])) {
          report(std::string(what) + " of body " + std::to_string(i), vectors[i][axis]);
          return;
        }
      }
    }
  }

 private:
  void report(const std::string& what, double v) {
    messages_.push_back("the result " + what + " is " + showReal(v) +
                        ": the parameters are too extreme for double precision");
  }
  std::vector<std::string>& messages_;
};

}  // namespace

std::vector<std::string> checkParameters(const RunState& run) {
  std::vector<std::string> messages;
  if (run.orbiterCount < 1 || run.orbiterCount > kMaxOrbiters) {
    messages.push_back(refusal(1, "orbiterCount (number of orbiting bodies)",
                               std::to_string(run.orbiterCount),
                               "from 1 to " + std::to_string(kMaxOrbiters)));
  }
  checkReal(messages, 2, "totalMass (total mass, kg)", run.totalMass, run.totalMass > 0.0,
            "above 0");
  checkReal(messages, 3, "centralMassFraction (central body's share of the mass)",
            run.centralMassFraction,
            run.centralMassFraction >= 0.0 && run.centralMassFraction <= 1.0, "from 0 to 1");
  checkReal(messages, 4, "semiMajorAxisAu (semi-major axis, AU)", run.semiMajorAxisAu,
            run.semiMajorAxisAu > 0.0, "above 0");
  checkReal(messages, 5, "eccentricity", run.eccentricity,
            run.eccentricity > -1.0 && run.eccentricity < 1.0, "above -1 and below 1");
  checkReal(messages, 6, "turnFactor (turn between orbits; the override file may set it)",
            run.turnFactor, true, "a finite number");
  checkReal(messages, 7, "tiltFactor (tilt between orbits)", run.tiltFactor, true,
            "a finite number");
  checkReal(messages, 8, "inclinationAngle (inclination, rad)", run.inclinationAngle, true,
            "a finite number");
  checkReal(messages, 9, "bodyDensity (density of the bodies, kg/m^3)", run.bodyDensity,
            run.bodyDensity > 0.0, "above 0");
  checkReal(messages, 11, "headerParameter", run.headerParameter, true, "a finite number");
  return messages;
}

std::vector<std::string> checkReportFileName(const RunState& run) {
  const std::string report = trimmed(run.reportFileName);
  struct InputFile {
    const Name12& field;
    const char* role;
  };
  const InputFile inputs[] = {
      {run.parameterFileName, "the parameter file"},
      {run.overrideFileName, "the override file"},
  };
  std::vector<std::string> messages;
  for (const InputFile& input : inputs) {
    const std::string name = trimmed(input.field);
    if (sameFile(report, name)) {
      messages.push_back("the report file " + report + " is " + input.role + " " + name +
                         ": the report must not overwrite it");
    }
  }
  return messages;
}

std::vector<std::string> checkDataFileName(RunState& run) {
  const std::string name =
      resolveFileName(kDataChannel, {run.initialDataFileName.data(), kNameLength});
  run.dataFilePath.fill('\0');
  name.copy(run.dataFilePath.data(), run.dataFilePath.size());
  run.dataFilePathLength = static_cast<int32_t>(name.size());

  // A name reaches the file system as a C string, which a character of code 0 would cut off:
  // "ab\0cd" would open "ab", "Kelvara4Err\0" the report file.
  if (name.find('\0') != std::string::npos) {
    const bool fromRecord = !trimmed(run.initialDataFileName).empty();
    return {std::string(fromRecord ? "parameter file record 12, initialDataFileName,"
                                   : "the initial-data file name given for the blank record 12") +
            " holds a character of code 0, which no file name can hold"};
  }

  struct OwnFile {
    const Name12& field;
    const char* role;
  };
  const OwnFile ownFiles[] = {
      {run.parameterFileName, "the parameter file"},
      {run.overrideFileName, "the override file"},
      {run.reportFileName, "the report file"},
  };
  std::vector<std::string> messages;
  for (const OwnFile& own : ownFiles) {
    const std::string ownName = trimmed(own.field);
    if (name == ownName || sameFile(name, ownName)) {
      messages.push_back("parameter file record 12, initialDataFileName, names '" + name +
                         "', which is " + own.role + " " + ownName +
                         ": the initial-data file must not overwrite it");
    }
  }
  return messages;
}

std::vector<std::string> checkResultsFinite(const RunState& run) {
  std::vector<std::string> messages;
  FiniteCheck check(messages);
  const int bodies = run.bodyCount;
  const int slots = run.orbiterCount + 2;
  // In the order the run computes them, so that the first message names the first quantity
  // that overflowed.
  check.value("periodYears", run.periodYears);
  check.perBody("position (m)", run.bodyState[kPosition], slots);
  check.perBody("velocity (m/s)", run.bodyState[kVelocity], slots);
  check.value("massUnit", run.massUnit);
  check.perBody("bodyMass", run.bodyMass, bodies);
  check.value("lengthUnit", run.lengthUnit);
  check.value("velocityScale", run.velocityScale);
  check.vector("rotatedPosition of body 2", run.rotatedPosition[2]);
  check.vector("rotatedVelocity of body 2", run.rotatedVelocity[2]);
  check.vector("barycentrePosition", run.barycentrePosition);
  check.perBody("barycentricPosition", run.barycentricPosition, bodies);
  check.perBody("barycentricVelocity", run.barycentricVelocity, bodies);
  check.vector("angularMomentum", run.angularMomentum);
  check.vector("totalMomentum", run.totalMomentum);
  check.perBody("bodyRadius", run.bodyRadius, bodies);
  check.value("maxBodyMass", run.maxBodyMass);
  check.value("distance23", run.distance23);
  check.value("minPairDistance", run.minPairDistance);
  // The first quantity is the cause; the others follow from it.
  if (messages.size() > 1) {
    const size_t more = messages.size() - 1;
    messages.resize(1);
    messages[0] += " (" + std::to_string(more) + " later results are not finite either)";
  }
  return messages;
}

void refuseRunIf(const std::vector<std::string>& messages) {
  if (messages.empty()) return;
  for (const std::string& message : messages) {
    std::fprintf(stderr, "kelvara4: run refused: %s\n", message.c_str());
  }
  std::fflush(stderr);
  std::exit(1);
}
