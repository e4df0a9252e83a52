#pragma once

#include <cassert>

// A fixed array indexed from 1 to N, as the run's tables are numbered: slot 1 is body 1 and
// axis 1 is x. Zero-initialised with its owner; never allocates.
template <typename T, int N>
struct OneBased {
  T items[N];

  T& operator[](int i) {
    assert(i >= 1 && i <= N);
    return items[i - 1];
  }
  const T& operator[](int i) const {
    assert(i >= 1 && i <= N);
    return items[i - 1];
  }
  static constexpr int size() { return N; }
};

// Three components x, y, z indexed 1 to 3.
using Vec3 = OneBased<double, 3>;
