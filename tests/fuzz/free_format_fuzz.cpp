// Fuzz target: the override read over arbitrary bytes.
//
// The input is taken as the bytes of an override file. First the read the run makes, one
// free-format value into one double, is checked against the value found independently: the
// first item after blanks, tabs and line ends (a carriage return ends a line's data), a comma
// or slash giving a null value, r*v a repeat, the text converted by the reference reading of
// fuzz_oracle.h; a read that fails leaves the target as it was. Then reads into mixed integer
// and real targets must agree with the single read on their first target, keep every target
// either untouched or finite, and a second read on the same channel must not fail in any way
// but the three statuses.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_oracle.h"
#include "textio/file_channel.h"
#include "textio/free_format.h"

namespace {

using fuzzoracle::Outcome;
using fuzzoracle::require;

constexpr double kRealSentinel = -1.25e-77;
constexpr int kIntegerSentinel = -123456789;

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// What reading one double must give: the status and the value (kRealSentinel when the target
// is left alone).
struct Expected {
  IoStatus status = IoStatus::Ok;
  double value = kRealSentinel;
};

Expected expectOneReal(const std::string& bytes) {
  Expected expected;
  size_t lineStart = 0;
  while (lineStart < bytes.size()) {
    size_t lineEnd = bytes.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = bytes.size();
    std::string_view line(bytes.data() + lineStart, lineEnd - lineStart);
    line = line.substr(0, line.find('\r'));
    lineStart = lineEnd + 1;

    size_t pos = 0;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos == line.size()) continue;
    if (line[pos] == ',' || line[pos] == '/') return expected;  // null value, or end of read
    size_t end = pos;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != ',' &&
           line[end] != '/') {
      ++end;
    }
    std::string_view value = line.substr(pos, end - pos);
    if (value[0] == '\'' || value[0] == '"' || value[0] == '(' || value[0] == ')') {
      expected.status = IoStatus::Error;
      return expected;
    }
    const size_t star = value.find('*');
    if (star != std::string_view::npos && star > 0) {
      bool digits = true;
      bool zero = true;
      for (size_t k = 0; k < star; ++k) {
        digits = digits && fuzzoracle::isDigit(value[k]);
        zero = zero && value[k] == '0';
      }
      if (digits) {
        if (zero) {
          expected.status = IoStatus::Error;  // a repeat count of 0
          return expected;
        }
        value = value.substr(star + 1);
        if (value.empty()) return expected;  // r null values
      }
    }
    const fuzzoracle::Reading reading = fuzzoracle::readReal(value, 0);
    if (reading.outcome == Outcome::Error) {
      expected.status = IoStatus::Error;
    } else {
      expected.value = reading.real;
    }
    return expected;
  }
  expected.status = IoStatus::EndOfFile;
  return expected;
}

void requireStatus(IoStatus status) {
  require(status == IoStatus::Ok || status == IoStatus::EndOfFile || status == IoStatus::Error,
          "one of the three statuses");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  fuzzoracle::context() = bytes.substr(0, 200);
  // The run's override read: one double.
  double single = kRealSentinel;
  IoStatus singleStatus;
  {
    FileChannel channel;
    channel.source = &bytes;
    const FreeTarget target{.real = &single};
    singleStatus = readFreeFormat(channel, std::span(&target, 1));
    closeChannel(channel);
  }
  const Expected expected = expectOneReal(bytes);
  require(singleStatus == expected.status, "status as the reference finds it");
  require(sameBits(single, expected.value),
          "the value as the reference reads it, or the target untouched");

  // Mixed targets, twice on one channel.
  FileChannel channel;
  channel.source = &bytes;
  for (int pass = 0; pass < 2; ++pass) {
    double reals[3] = {kRealSentinel, kRealSentinel, kRealSentinel};
    int integers[3] = {kIntegerSentinel, kIntegerSentinel, kIntegerSentinel};
    const FreeTarget targets[] = {
        {.real = &reals[0]},       {.integer = &integers[0]}, {.real = &reals[1]},
        {.integer = &integers[1]}, {.integer = &integers[2]}, {.real = &reals[2]},
    };
    const IoStatus status = readFreeFormat(channel, targets);
    requireStatus(status);
    for (const double value : reals) {
      require(sameBits(value, kRealSentinel) || std::isfinite(value),
              "a real target is untouched or finite");
    }
    if (pass == 0) {
      // The first target is read exactly as in the single read.
      require(sameBits(reals[0], single), "the first target as in the single read");
      if (singleStatus != IoStatus::Ok) {
        require(status == singleStatus, "a failure on the first target fails the read");
      }
    }
    if (status != IoStatus::Ok) break;
  }
  closeChannel(channel);
  return 0;
}
