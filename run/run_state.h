#pragma once

#include <array>
#include <cstdint>

#include "run/one_based.h"

// Per-body tables have room for 1000 orbiting bodies, the central body and the one slot past
// the last body that the placement also fills.
constexpr int kMaxOrbiters = 1000;
constexpr int kSlotCount = kMaxOrbiters + 2;

// Names and texts of the run are exactly 12 characters, blank-padded, with no terminator.
constexpr int kNameLength = 12;
using Name12 = std::array<char, kNameLength>;

using SlotArray = OneBased<double, kSlotCount>;
using SlotVectors = OneBased<Vec3, kSlotCount>;
// (kind, slot, axis): kind 1 is position in metres, kind 2 velocity in metres per second.
using StateTable = OneBased<SlotVectors, 2>;

constexpr int kPosition = 1;
constexpr int kVelocity = 2;

// Everything one run reads, derives and writes. One zero-initialised instance lives for the
// whole run (owned by runProgram); phases read and write its fields directly and nothing in it
// is allocated, copied or freed while the run goes on.
struct RunState {
  // --- File names, set at the start of the run ---------------------------------------------
  Name12 parameterFileName{};  // "Kelvara4.dat"
  Name12 reportFileName{};     // "Kelvara4Err "
  Name12 overrideFileName{};   // "file_okf.dat"

  // --- Parameters, records 1 to 13 of the parameter file ------------------------------------
  int32_t orbiterCount = 0;          // N, number of orbiting bodies
  double totalMass = 0.0;            // total mass of the system, kg
  double centralMassFraction = 0.0;  // share of totalMass in the central body
  double semiMajorAxisAu = 0.0;      // semi-major axis of the orbit, AU
  double eccentricity = 0.0;         // eccentricity of the orbit
  double turnFactor = 0.0;           // turn about z between orbits, multiples of 2 pi / N
  double tiltFactor = 0.0;           // tilt about x between orbits, multiples of 2 pi / N
  double inclinationAngle = 0.0;     // turn of the configuration about x, rad
  double bodyDensity = 0.0;          // density of the bodies, kg/m^3
  int32_t layoutMode = 0;            // 4: Kepler-orbit layout; else pericentre layout
  double headerParameter = 0.0;      // carried into the initial-data header
  Name12 initialDataFileName{};      // name of the initial-data file, as read
  int32_t trailerParameter = 0;      // carried into the initial-data trailer

  // --- Built-in constants -------------------------------------------------------------------
  double pi = 0.0;             // 3.141592653589793
  double twoPi = 0.0;          // pi * 2
  double gravConst = 0.0;      // gravitational constant, m^3 kg^-1 s^-2
  double astroUnit = 0.0;      // astronomical unit, m
  double siderealYear = 0.0;   // sidereal year, days
  double secondsPerDay = 0.0;  // s
  double zero = 0.0;           // value used to clear fields
  double threeHalves = 0.0;    // exponent of the period formula
  double oneThird = 0.0;       // cube-root exponent

  // --- Derived scales -----------------------------------------------------------------------
  double angleStep = 0.0;        // 2 pi / N, rad
  double turnAngle = 0.0;        // rad
  double tiltAngle = 0.0;        // rad
  double doubleTurnAngle = 0.0;  // rad
  double cosTurn = 0.0;
  double sinTurn = 0.0;
  double cosTilt = 0.0;
  double sinTilt = 0.0;
  double cosDoubleTurn = 0.0;
  double sinDoubleTurn = 0.0;
  double ringSum = 0.0;            // ring factor, dimensionless
  int32_t bodyCount = 0;           // N + 1
  int32_t firstBody = 0;           // 1
  double centralMass = 0.0;        // kg
  double orbitersTotalMass = 0.0;  // kg
  double orbiterMass = 0.0;        // kg
  double semiMajorAxis = 0.0;      // m
  double eccFactor = 0.0;          // -1 / (1 + e)
  double periDistance = 0.0;       // m
  double negGravParam = 0.0;       // -mu, m^3/s^2
  double periSpeed = 0.0;          // m/s
  double periodDivisor = 0.0;      // m/s
  double periodSeconds = 0.0;      // s
  double periodYears = 0.0;        // sidereal years
  double unitFrequency = 0.0;      // 1 / (100 periods), 1/s

  // --- Placement ----------------------------------------------------------------------------
  StateTable bodyState{};  // (kind, body, axis): physical state, m and m/s
  StateTable workState{};  // (kind, slot, axis): scratch of the placement
  int32_t altSign = 0;     // (-1)^k of the current slot
  int32_t shiftTop = 0;    // highest slot the current shift pass may read
  Vec3 rotated{};          // result of the current rotation step
  double retroSpeed = 0.0;  // -periSpeed, start speed of the second chain
  double anomaly = 0.0;          // true anomaly of the current slot, rad
  double cosAnomaly = 0.0;
  double sinAnomaly = 0.0;
  double orbitRadius = 0.0;      // m
  double radialSpeed = 0.0;      // m/s
  double transverseSpeed = 0.0;  // m/s

  // --- Frame and scaled state (non-dimensional unless noted) --------------------------------
  double massUnit = 0.0;       // kg
  SlotArray bodyMass{};
  double lengthUnit = 0.0;     // m
  double velocityScale = 0.0;  // s/m
  double scaledDensity = 0.0;
  SlotVectors scaledPosition{};
  SlotVectors scaledVelocity{};
  SlotVectors rotatedPosition{};
  SlotVectors rotatedVelocity{};
  Vec3 barycentrePosition{};
  Vec3 totalMomentum{};  // barycentre velocity, later the residual total momentum
  SlotVectors barycentricPosition{};
  SlotVectors barycentricVelocity{};
  Vec3 angularMomentum{};

  // --- Initial-data values ------------------------------------------------------------------
  SlotArray bodyRadius{};
  double maxBodyMass = 0.0;
  SlotVectors reservedVectorA{};
  SlotVectors reservedVectorB{};
  SlotArray reservedScalar{};
  double headerOne = 0.0;
  double headerHalf = 0.0;
  double headerQuarter = 0.0;
  int32_t cubeRootCount = 0;
  OneBased<double, 9> headerZero{};

  // --- Closest pair (metres) ----------------------------------------------------------------
  double pairDistance = 0.0;
  double distance23 = 0.0;
  double minPairDistance = 0.0;
  int32_t minPairFirst = 0;
  int32_t minPairSecond = 0;

  // --- Resolved name of the initial-data file -----------------------------------------------
  // The name the initial-data file is opened under: initialDataFileName without its blanks,
  // or the argument or answer that replaces a blank one. Resolved once before anything is
  // written, so that it can be checked against the run's own files; empty until then.
  std::array<char, 260> dataFilePath{};
  int32_t dataFilePathLength = 0;
};
