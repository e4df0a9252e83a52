#include "check/data_file.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <string_view>

#include "textio/file_channel.h"
#include "textio/free_format.h"

namespace {

constexpr int kDataChannel = 5;
// What a target holds until a value is read into it: a target that still holds it afterwards
// got no value (a null value between commas, or a slash ended the read).
constexpr double kNoReal = std::numeric_limits<double>::quiet_NaN();
constexpr int kNoInteger = std::numeric_limits<int>::min();
// Longest part of a line quoted in a message.
constexpr size_t kQuoteLength = 80;

const char* const kHeaderNames[kHeaderValueCount] = {"0.0",
                                                     "largest mass",
                                                     "0.0",
                                                     "0.0",
                                                     "momentum x",
                                                     "momentum y",
                                                     "momentum z",
                                                     "angular momentum x",
                                                     "angular momentum y",
                                                     "angular momentum z",
                                                     "0.0",
                                                     "0.0",
                                                     "0.0",
                                                     "0.0",
                                                     "0.0",
                                                     "0.0",
                                                     "header parameter",
                                                     "integer 1",
                                                     "integer 1",
                                                     "number of bodies",
                                                     "1.0",
                                                     "0.5",
                                                     "0.25",
                                                     "cube-root count"};
const char* const kBodyNames[kBodyValueCount] = {
    "mass",         "x position",   "y position",   "z position",   "x velocity",
    "y velocity",   "z velocity",   "reserved 0.0", "reserved 0.0", "reserved 0.0",
    "reserved 0.0", "reserved 0.0", "reserved 0.0", "radius",       "reserved 0.0"};
const char* const kTrailerNames[kTrailerValueCount] = {
    "trailer parameter", "number of bodies", "mass unit", "length unit", "velocity scale",
    "integer 0",         "integer 0",        "integer 0", "integer 0",   "integer 0",
    "integer 0",         "integer 0",        "integer 0", "integer 0",   "integer 0"};

enum class RecordKind { Header, Body, Trailer, Extra };

// Which record a read was for, for messages.
struct RecordName {
  RecordKind kind = RecordKind::Header;
  int number = 1;  // 1-based record number in the file
};

std::string describeRecord(const RecordName& record) {
  std::string text = "record " + std::to_string(record.number);
  switch (record.kind) {
    case RecordKind::Header:
      return text + " (the header)";
    case RecordKind::Body:
      return text + " (body " + std::to_string(record.number - 1) + ")";
    case RecordKind::Trailer:
      return text + " (the trailer)";
    case RecordKind::Extra:
      return text + " (past the trailer the header's count leads to)";
  }
  return text;
}

std::string describeValue(const RecordName& record, int position) {
  switch (record.kind) {
    case RecordKind::Header:
      return describeHeaderValue(position);
    case RecordKind::Trailer:
      return describeTrailerValue(position);
    case RecordKind::Body:
    case RecordKind::Extra:
      return describeBodyValue(position);
  }
  return "";
}

bool isUnfilled(const FreeTarget& target) {
  return target.real != nullptr ? std::isnan(*target.real) : *target.integer == kNoInteger;
}

// Where a read of one record stopped, and why.
struct ReadStop {
  RecordName record;
  IoStatus status = IoStatus::Ok;  // Ok: a value was missing (null value or slash)
  int valuesRead = 0;              // targets filled before the stop
  int valueCount = 0;              // targets of the record
  bool integerTarget = false;      // the value at the stop was for an integer
  bool cut = false;                // the line was longer than the channel keeps
  int64_t recordStart = 0;         // byte offset where the read began
  int64_t stopOffset = 0;          // byte offset where the channel stood after it
};

// The line of `path` that contains byte `offset` (1-based; the line after the last one when
// `offset` is the end of the file), and that line's text, shortened for a message.
int findLine(const std::string& path, int64_t offset, std::string& text) {
  FileChannel channel;
  text.clear();
  if (openExisting(channel, kDataChannel, path, /*wantStatus=*/true) != IoStatus::Ok) return 0;
  int number = 1;
  std::string line;
  while (readRecord(channel, line) == IoStatus::Ok) {
    text = line;
    if (channel.position > offset) break;
    ++number;
    text.clear();
  }
  closeChannel(channel);
  std::string quoted;
  for (const char c : text.substr(0, kQuoteLength)) {
    quoted.push_back(c >= ' ' && c <= '~' ? c : '?');
  }
  if (text.size() > kQuoteLength) quoted.append("...");
  text = quoted;
  return number;
}

std::string describeStop(const std::string& path, const ReadStop& stop) {
  const std::string record = describeRecord(stop.record);
  const int position = stop.valuesRead + 1;
  const std::string value =
      "value " + std::to_string(position) + " (" + describeValue(stop.record, position) + ")";
  std::string text;
  if (stop.status == IoStatus::EndOfFile) {
    if (stop.valuesRead == 0) {
      return stop.record.kind == RecordKind::Header ? "the file is empty"
                                                    : "the file ends before " + record;
    }
    return "the file ends after value " + std::to_string(stop.valuesRead) + " of the " +
           std::to_string(stop.valueCount) + " of " + record;
  }
  if (stop.status == IoStatus::Ok) {
    // the null value may stand anywhere in the record: name where the record begins
    const int first = findLine(path, stop.recordStart, text);
    // an integer target tells no value from the value kNoInteger
    const std::string orHolds =
        stop.integerTarget ? ", or holds " + std::to_string(kNoInteger) : std::string();
    return record + ", " + value + " has no value (two commas in a row, or a slash)" + orHolds +
           "; the record begins on line " + std::to_string(first);
  }
  // The read stopped on the line that ends where the channel stands.
  const int line = findLine(path, stop.stopOffset - 1, text);
  std::string message = record + ", " + value;
  if (stop.cut) {
    message += ": line " + std::to_string(line) + " is longer than " +
               std::to_string(kMaxRecordLength) + " characters";
    return message;
  }
  message += stop.integerTarget ? " is not an integer" : " is not a number";
  return message + "; line " + std::to_string(line) + ": \"" + text + "\"";
}

// Reads the records of one pass over the file.
class RecordReader {
 public:
  explicit RecordReader(const std::string& path) : path_(path) {}
  ~RecordReader() { closeChannel(channel_); }
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  // Opens the file; returns "" or the reason it cannot be opened.
  std::string open() {
    if (openExisting(channel_, kDataChannel, path_, /*wantStatus=*/true) != IoStatus::Ok) {
      return std::string("cannot be opened: ") + std::strerror(errno);
    }
    // the channels fall back to writing only when reading is refused
    if (channel_.access == AccessMode::WriteOnly) {
      return std::string("cannot be opened for reading: ") + std::strerror(channel_.refusedErrno);
    }
    return "";
  }

  // Reads one record into `targets`, which it first marks as holding no value. Returns true
  // when every target got a value; otherwise `stop` says where and why the read stopped.
  bool read(std::span<const FreeTarget> targets, const RecordName& record, ReadStop& stop) {
    for (const FreeTarget& target : targets) {
      if (target.real != nullptr) *target.real = kNoReal;
      if (target.integer != nullptr) *target.integer = kNoInteger;
    }
    stop = ReadStop();
    stop.record = record;
    stop.recordStart = channel_.position;
    stop.status = readFreeFormat(channel_, targets);
    stop.stopOffset = channel_.position;
    stop.cut = channel_.recordCut;
    const int count = static_cast<int>(targets.size());
    stop.valueCount = count;
    // The read stopped at the first target of the run of unfilled targets at the end; after a
    // read that returned Ok, the first unfilled target is one that got a null value.
    int stoppedAt = count;
    while (stoppedAt > 0 && isUnfilled(targets[stoppedAt - 1])) --stoppedAt;
    if (stop.status == IoStatus::Ok) {
      stoppedAt = 0;
      while (stoppedAt < count && !isUnfilled(targets[stoppedAt])) ++stoppedAt;
      if (stoppedAt == count) return true;
    }
    stop.valuesRead = stoppedAt;
    stop.integerTarget = stoppedAt < count && targets[stoppedAt].integer != nullptr;
    return false;
  }

  // The message for a stop of this reader.
  std::string describe(const ReadStop& stop) const { return describeStop(path_, stop); }

 private:
  std::string path_;
  FileChannel channel_;
};

// Whether the file simply has no value left where a record would begin.
bool endsBefore(const ReadStop& stop) {
  return stop.status == IoStatus::EndOfFile && stop.valuesRead == 0;
}

std::vector<FreeTarget> headerTargets(HeaderRecord& header) {
  std::vector<FreeTarget> targets;
  for (double& value : header.reals) targets.push_back({.real = &value});
  for (int& value : header.ones) targets.push_back({.integer = &value});
  targets.push_back({.integer = &header.bodyCount});
  for (double& value : header.fractions) targets.push_back({.real = &value});
  targets.push_back({.integer = &header.cubeRootCount});
  return targets;
}

std::vector<FreeTarget> bodyTargets(BodyRecord& body) {
  std::vector<FreeTarget> targets;
  for (double& value : body) targets.push_back({.real = &value});
  return targets;
}

std::vector<FreeTarget> trailerTargets(TrailerRecord& trailer) {
  std::vector<FreeTarget> targets{{.integer = &trailer.trailerParameter},
                                  {.integer = &trailer.bodyCount},
                                  {.real = &trailer.massUnit},
                                  {.real = &trailer.lengthUnit},
                                  {.real = &trailer.velocityScale}};
  for (int& value : trailer.zeros) targets.push_back({.integer = &value});
  return targets;
}

// Positions (1-based) of the trailer's integers.
bool isTrailerIntegerPosition(int position) { return position <= 2 || position >= 6; }

bool holdsInteger(double value) {
  return std::isfinite(value) && value == std::trunc(value) &&
         value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

// The first of the trailer's integer positions (1-based) at which `record` holds no integer,
// or 0.
int firstNonInteger(const BodyRecord& record) {
  for (int position = 1; position <= kTrailerValueCount; ++position) {
    if (isTrailerIntegerPosition(position) && !holdsInteger(record[position - 1])) {
      return position;
    }
  }
  return 0;
}

TrailerRecord toTrailer(const BodyRecord& record) {
  TrailerRecord trailer;
  trailer.trailerParameter = static_cast<int>(record[0]);
  trailer.bodyCount = static_cast<int>(record[1]);
  trailer.massUnit = record[2];
  trailer.lengthUnit = record[3];
  trailer.velocityScale = record[4];
  for (int i = 0; i < 10; ++i) trailer.zeros[i] = static_cast<int>(record[5 + i]);
  return trailer;
}

// The typed read: header, the announced body records, the trailer, then the end of the file.
// Returns "" or the message of the first failure.
std::string readAsAnnounced(const std::string& path, InitialData& data, bool& headerRead) {
  RecordReader reader(path);
  if (std::string message = reader.open(); !message.empty()) return message;
  ReadStop stop;
  const std::vector<FreeTarget> header = headerTargets(data.header);
  headerRead = reader.read(header, {RecordKind::Header, 1}, stop);
  if (!headerRead) return reader.describe(stop);
  data.bodies.clear();
  for (int body = 1; body <= data.header.bodyCount; ++body) {
    BodyRecord record;
    if (!reader.read(bodyTargets(record), {RecordKind::Body, body + 1}, stop)) {
      return reader.describe(stop);
    }
    data.bodies.push_back(record);
  }
  const RecordName trailer{RecordKind::Trailer, static_cast<int>(data.bodies.size()) + 2};
  if (!reader.read(trailerTargets(data.trailer), trailer, stop)) return reader.describe(stop);
  double extra = 0.0;
  const FreeTarget extraTarget{.real = &extra};
  if (!reader.read(std::span(&extraTarget, 1), {RecordKind::Extra, trailer.number + 1}, stop) &&
      endsBefore(stop)) {
    return "";
  }
  return "values follow the trailer";
}

}  // namespace

std::vector<Body> toBodies(const InitialData& data) {
  std::vector<Body> bodies;
  for (const BodyRecord& record : data.bodies) {
    Body body;
    body.mass = record[kBodyMass];
    for (int k = 0; k < 3; ++k) {
      body.position[k] = record[kBodyPosition + k];
      body.velocity[k] = record[kBodyVelocity + k];
    }
    body.radius = record[kBodyRadius];
    bodies.push_back(body);
  }
  return bodies;
}

std::string describeHeaderValue(int position) { return kHeaderNames[position - 1]; }
std::string describeBodyValue(int position) { return kBodyNames[position - 1]; }
std::string describeTrailerValue(int position) { return kTrailerNames[position - 1]; }

std::string readInitialData(const std::string& path, InitialData& data) {
  bool headerRead = false;
  const std::string typedFailure = readAsAnnounced(path, data, headerRead);
  if (typedFailure.empty() || !headerRead) return typedFailure;

  // The typed read failed after the header. Read the file again as records of 15 values up
  // to its end, to tell a value that does not read from a count that is wrong.
  RecordReader reader(path);
  if (std::string message = reader.open(); !message.empty()) return message;
  ReadStop stop;
  const std::vector<FreeTarget> header = headerTargets(data.header);
  if (!reader.read(header, {RecordKind::Header, 1}, stop)) return reader.describe(stop);
  const long announced = data.header.bodyCount;
  std::vector<BodyRecord> records;
  for (;;) {
    const int number = static_cast<int>(records.size()) + 2;
    const RecordKind kind = number - 1 <= announced       ? RecordKind::Body
                            : number - 1 == announced + 1 ? RecordKind::Trailer
                                                          : RecordKind::Extra;
    BodyRecord record;
    if (reader.read(bodyTargets(record), {kind, number}, stop)) {
      records.push_back(record);
      continue;
    }
    if (endsBefore(stop)) break;
    std::string message = reader.describe(stop);
    if (stop.status == IoStatus::EndOfFile && kind == RecordKind::Extra) {
      std::string line;
      message = std::to_string(stop.valuesRead) + " values follow the trailer, from line " +
                std::to_string(findLine(path, stop.recordStart, line));
    } else if (stop.status == IoStatus::EndOfFile && kind == RecordKind::Trailer) {
      message += "; an earlier record may have lost values";
    }
    return message;
  }
  const long count = static_cast<long>(records.size());
  if (count == 0) return "the file ends after the header: no body record and no trailer";
  // As many records as the header announces: the failure was in the trailer's integers.
  if (count - 1 == announced) return typedFailure;
  const int nonInteger = firstNonInteger(records.back());
  if (nonInteger != 0) {
    if (count == announced) {
      return "the file ends after the " + std::to_string(count) +
             " body records the header announces: the trailer is missing";
    }
    return "record " + std::to_string(count + 1) + " (the last, read as the trailer), value " +
           std::to_string(nonInteger) + " (" + describeTrailerValue(nonInteger) +
           ") is not an integer";
  }
  data.trailer = toTrailer(records.back());
  records.pop_back();
  data.bodies = std::move(records);
  return "";
}
