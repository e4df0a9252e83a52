#pragma once

#include <string>

// The thirteen parameters of a parameter file, read quietly for comparison: the same records
// and layouts as a run reads, but a failure only gives a message.
struct ParameterValues {
  int orbiterCount = 0;              // record 1
  double totalMass = 0.0;            // record 2, kg
  double centralMassFraction = 0.0;  // record 3
  double semiMajorAxisAu = 0.0;      // record 4, AU
  double eccentricity = 0.0;         // record 5
  double turnFactor = 0.0;           // record 6
  double tiltFactor = 0.0;           // record 7
  double inclinationAngle = 0.0;     // record 8, rad
  double bodyDensity = 0.0;          // record 9, kg/m^3
  int layoutMode = 0;                // record 10
  double headerParameter = 0.0;      // record 11
  std::string dataFileName;          // record 12 without its leading and trailing blanks
  int trailerParameter = 0;          // record 13
};

// Reads records 1 to 13 of the parameter file at `path` by "(59X,I12)", "(59X,D11.5)" and
// "(59X,A12)", as a run does. Returns "" when all thirteen were read, else a message naming
// the record that failed and quoting its field.
std::string readParameterFile(const std::string& path, ParameterValues& values);
