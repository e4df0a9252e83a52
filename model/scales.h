#pragma once

#include "run/run_state.h"

// Built-in constants, as stored at the start of computeScales.
constexpr double kPi = 3.141592653589793;            // the double nearest pi
constexpr double kGravConst = 6.67259e-11;           // m^3 kg^-1 s^-2
constexpr double kAstroUnit = 149597870691.0;        // m
constexpr double kSiderealYear = 365.25636042;       // days
constexpr double kSecondsPerDay = 86400.0;           // s
constexpr double kPairSearchStart = 1.0e99;          // start of the closest-pair minimum, m
constexpr double kThreeHalves = 1.5;                 // exponent of the period formula
constexpr double kOneThird = 1.0 / 3.0;              // the double nearest one third

// Stores the constants and derives the angles, ring sum, body count, masses, reference orbit,
// period and unit frequency from the parameters. Checks nothing.
void computeScales(RunState& run);
