#include "check/parameter_file.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <span>
#include <string_view>

#include "textio/file_channel.h"
#include "textio/fixed_field.h"

namespace {

constexpr int kParameterChannel = 1;
constexpr int kRecordCount = 13;
constexpr int kNameLength = 12;
// The value field starts in column 60; integers and the name take 12 columns, reals 11.
constexpr size_t kFieldStart = 59;

std::string trimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return "";
  const size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

}  // namespace

std::string readParameterFile(const std::string& path, ParameterValues& values) {
  static const LayoutString integerLayout = parseLayout("(59X,I12)");
  static const LayoutString realLayout = parseLayout("(59X,D11.5)");
  static const LayoutString textLayout = parseLayout("(59X,A12)");

  std::array<char, kNameLength> name{};
  struct Record {
    const char* label;
    const LayoutString* layout;
    FieldTarget target;
    int width;  // columns of the field
  };
  const Record records[kRecordCount] = {
      {"orbiterCount", &integerLayout, {.integer = &values.orbiterCount}, 12},
      {"totalMass", &realLayout, {.real = &values.totalMass}, 11},
      {"centralMassFraction", &realLayout, {.real = &values.centralMassFraction}, 11},
      {"semiMajorAxisAu", &realLayout, {.real = &values.semiMajorAxisAu}, 11},
      {"eccentricity", &realLayout, {.real = &values.eccentricity}, 11},
      {"turnFactor", &realLayout, {.real = &values.turnFactor}, 11},
      {"tiltFactor", &realLayout, {.real = &values.tiltFactor}, 11},
      {"inclinationAngle", &realLayout, {.real = &values.inclinationAngle}, 11},
      {"bodyDensity", &realLayout, {.real = &values.bodyDensity}, 11},
      {"layoutMode", &integerLayout, {.integer = &values.layoutMode}, 12},
      {"headerParameter", &realLayout, {.real = &values.headerParameter}, 11},
      {"initialDataFileName", &textLayout, {.text = name.data(), .textLength = kNameLength}, 12},
      {"trailerParameter", &integerLayout, {.integer = &values.trailerParameter}, 12},
  };

  FileChannel channel;
  if (openExisting(channel, kParameterChannel, path, /*wantStatus=*/true) != IoStatus::Ok) {
    return std::string("cannot be opened: ") + std::strerror(errno);
  }
  // the channels fall back to writing only when reading is refused
  if (channel.access == AccessMode::WriteOnly) {
    const std::string reason = std::strerror(channel.refusedErrno);
    closeChannel(channel);
    return "cannot be opened for reading: " + reason;
  }
  std::string message;
  int number = 0;
  for (const Record& record : records) {
    ++number;
    const std::string which = "record " + std::to_string(number) + " (" + record.label + ")";
    std::string line;
    if (readRecord(channel, line) != IoStatus::Ok) {
      message = "the file ends before " + which;
      break;
    }
    if (convertFixedRecord(line, *record.layout, std::span(&record.target, 1)) != IoStatus::Ok) {
      const std::string field =
          line.size() > kFieldStart ? line.substr(kFieldStart, record.width) : "";
      message = which + ": the field in columns 60-" + std::to_string(59 + record.width) + ", \"" +
                field + "\", does not convert";
      break;
    }
  }
  closeChannel(channel);
  if (message.empty()) values.dataFileName = trimBlanks(std::string_view(name.data(), name.size()));
  return message;
}
