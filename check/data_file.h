#pragma once

#include <array>
#include <string>
#include <vector>

#include "check/physics.h"

// The initial-data file as read back with the program's own free-format reader: one header
// record of 24 values, one record of 15 values per body, one trailer record of 15 values.

constexpr int kHeaderValueCount = 24;
constexpr int kBodyValueCount = 15;
constexpr int kTrailerValueCount = 15;

struct HeaderRecord {
  std::array<double, 17> reals{};     // values 1-17: 0, largest mass, 0, 0, momentum (5-7),
                                      // angular momentum (8-10), 0 six times, header parameter
  std::array<int, 2> ones{};          // values 18, 19: 1 and 1
  int bodyCount = 0;                  // value 20
  std::array<double, 3> fractions{};  // values 21-23: 1.0, 0.5, 0.25
  int cubeRootCount = 0;              // value 24
};

// Value positions (0-based) inside HeaderRecord::reals and a body record.
constexpr int kHeaderLargestMass = 1;
constexpr int kHeaderMomentum = 4;
constexpr int kHeaderAngularMomentum = 7;
constexpr int kHeaderParameter = 16;
constexpr int kBodyMass = 0;
constexpr int kBodyPosition = 1;
constexpr int kBodyVelocity = 4;
constexpr int kBodyRadius = 13;

using BodyRecord = std::array<double, kBodyValueCount>;

struct TrailerRecord {
  int trailerParameter = 0;     // value 1
  int bodyCount = 0;            // value 2
  double massUnit = 0.0;        // value 3, kg
  double lengthUnit = 0.0;      // value 4, m
  double velocityScale = 0.0;   // value 5, s/m: an SI velocity times it is a file velocity
  std::array<int, 10> zeros{};  // values 6-15
};

struct InitialData {
  HeaderRecord header;
  std::vector<BodyRecord> bodies;  // one per body record, the central body first
  TrailerRecord trailer;
};

// The bodies of the body records: mass, position, velocity and radius.
std::vector<Body> toBodies(const InitialData& data);

// What the value at 1-based `position` of a record means, for messages: "mass",
// "x position", "number of bodies".
std::string describeHeaderValue(int position);
std::string describeBodyValue(int position);
std::string describeTrailerValue(int position);

// Reads the file at `path` with openExisting and readFreeFormat: the header, as many body
// records as the header announces, the trailer with its integers read as integers, then
// nothing more. When that typed read fails, the file is read again as the header and records
// of 15 values up to its end: if that succeeds, the body records are those before the last
// record and the trailer is the last (the counts then disagree, which the caller reports).
// Returns "" when the file was read, else a message naming the record, the value and the line
// at which reading stopped and why (a value that is not a number, a missing value, the end of
// the file); `data` is then incomplete.
std::string readInitialData(const std::string& path, InitialData& data);
