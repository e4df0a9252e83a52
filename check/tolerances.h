#pragma once

// The rounding that an initial-data file may show, from which every tolerance of the checker
// follows. A value in the file carries 16 significant digits, so it may differ from the double
// the run computed by half a unit in the 16th digit: at most 5e-16 of its size. The run
// itself rounds every operation to double precision (2^-53 of the result), and sums over the
// bodies in order, which may lose 2^-53 of the sum of the magnitudes per body.

// Largest relative difference between a value and its 16-digit text.
constexpr double kDigitError = 5e-16;
// Relative rounding of one double operation.
constexpr double kRoundoff = 0x1p-53;

// Tolerance of a sum over `bodyCount` bodies of terms that are products of `factors` values
// of the file, whose magnitudes add up to `scale`: every factor may be off by kDigitError,
// and the run's own ordered sum (with a few operations per term) by kRoundoff per body.
inline double sumTolerance(double scale, int factors, int bodyCount) {
  return scale * (factors * kDigitError + (bodyCount + 8) * kRoundoff);
}

// Relative error of the state of one orbiting body (its position and velocity relative to the
// central body): the two 16-digit values subtracted, and the run's construction, in which a
// body is the reference state turned up to N times (each turn a few roundings, cosines and
// sines included), then scaled, inclined and shifted.
inline double stateTolerance(int orbiterCount) {
  return 2.0 * kDigitError + (8.0 * orbiterCount + 32.0) * kRoundoff;
}
