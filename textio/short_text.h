#pragma once

#include <cassert>
#include <cstring>

// Copies and blank fills of the few characters a field or a number takes. Up to 32 characters
// are moved as two overlapping pieces of a fixed size, which the compiler turns into a handful
// of moves instead of a call to the C library.

// Copies n characters, 0 <= n <= 32. The ranges must not overlap.
inline void copyShort(char* to, const char* from, int n) {
  assert(n >= 0 && n <= 32);
  if (n >= 16) {
    std::memcpy(to, from, 16);
    std::memcpy(to + n - 16, from + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(to, from, 8);
    std::memcpy(to + n - 8, from + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(to, from, 4);
    std::memcpy(to + n - 4, from + n - 4, 4);
  } else if (n >= 2) {
    std::memcpy(to, from, 2);
    std::memcpy(to + n - 2, from + n - 2, 2);
  } else if (n == 1) {
    to[0] = from[0];
  }
}

// Writes n copies of c, 0 <= n <= 32.
inline void fillShort(char* to, char c, int n) {
  char run[32];
  std::memset(run, c, sizeof run);
  copyShort(to, run, n);
}

// Writes n copies of c for any n >= 0, short runs as fillShort does.
inline void fillChars(char* to, char c, int n) {
  if (n <= 32) {
    fillShort(to, c, n);
  } else {
    std::memset(to, c, static_cast<size_t>(n));
  }
}
