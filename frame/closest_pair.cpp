#include "frame/closest_pair.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Testing the N(N-1) ordered pairs as they stand costs a square root each, about a million at
// N = 1000. The search below gives the same result, bit for bit, at a fraction of the cost:
//
// - The ordered pairs (a, b) and (b, a) have bit-identical distances (negating a difference
//   is exact), and (b, a) with b > a comes later in the loop; so the pair that wins is always
//   the later one, and each unordered pair is tested once, as (b, a) with b > a.
// - The square root is correctly rounded and so monotone: the smallest distance D is the root
//   of the smallest squared sum Smin, and the pairs at distance D are exactly those whose
//   squared sum lies in [Smin, sHi], sHi being the largest double whose root is still D. That
//   interval may hold more than one double: distinct squared sums can have the same root.
//   The winner is the pair (b, a) at distance D with the largest b, and of those the largest a.
// - Comparing squared sums needs no root. When every coordinate is finite, a sweep along one
//   axis finds Smin and then the winner without looking at most pairs: with the bodies sorted
//   along that axis, the squared difference c of their coordinates on it never exceeds the
//   squared sum (the three squares are not negative and rounding is monotone, so adding them
//   cannot give less than c), and it only grows as the partner moves farther along the sorted
//   order. So once c exceeds the bound sought, no later partner can be within it.
// - Otherwise (a NaN or infinite coordinate) one pass finds the smallest squared sum of every
//   row b (pairs (b, a), a < b), SIMD two pairs at a time with each operation rounded as in
//   the scalar formula; NaN sums are never taken. The winner is then the largest a of the
//   last row whose minimum is at most sHi.
// - Nothing changes when minPairDistance < D, as the loop would not change anything either.

namespace {

// Positions of the orbiting bodies, one array per axis: element p is body p + 2.
struct OrbiterPositions {
  double x[kMaxOrbiters];
  double y[kMaxOrbiters];
  double z[kMaxOrbiters];
};

// The squared distance of two bodies, the squares added in exactly this order.
inline double squaredSum(double dx, double dy, double dz) { return (dz * dz + dy * dy) + dx * dx; }

// The squared sum of the ordered pair (body q + 2, body p + 2): dx = x[p] - x[q], and so on.
inline double pairSquaredSum(const OrbiterPositions& pos, int q, int p) {
  const double dx = pos.x[p] - pos.x[q];
  const double dy = pos.y[p] - pos.y[q];
  const double dz = pos.z[p] - pos.z[q];
  return squaredSum(dx, dy, dz);
}

// The smallest squared sum of the pairs (q, p), p = 0..q-1, leaving out NaN sums; +infinity
// when every sum is NaN.
double rowMinimum(const OrbiterPositions& pos, int q) {
  double minimum = std::numeric_limits<double>::infinity();
  int p = 0;
#if defined(__SSE2__)
  // min_pd(s, m) yields m when s is NaN, so the running minima never become NaN.
  const __m128d xq = _mm_set1_pd(pos.x[q]);
  const __m128d yq = _mm_set1_pd(pos.y[q]);
  const __m128d zq = _mm_set1_pd(pos.z[q]);
  __m128d m0 = _mm_set1_pd(minimum);
  __m128d m1 = m0;
  for (; p + 4 <= q; p += 4) {
    const __m128d dx0 = _mm_sub_pd(_mm_loadu_pd(pos.x + p), xq);
    const __m128d dy0 = _mm_sub_pd(_mm_loadu_pd(pos.y + p), yq);
    const __m128d dz0 = _mm_sub_pd(_mm_loadu_pd(pos.z + p), zq);
    const __m128d dx1 = _mm_sub_pd(_mm_loadu_pd(pos.x + p + 2), xq);
    const __m128d dy1 = _mm_sub_pd(_mm_loadu_pd(pos.y + p + 2), yq);
    const __m128d dz1 = _mm_sub_pd(_mm_loadu_pd(pos.z + p + 2), zq);
    const __m128d s0 =
        _mm_add_pd(_mm_add_pd(_mm_mul_pd(dz0, dz0), _mm_mul_pd(dy0, dy0)), _mm_mul_pd(dx0, dx0));
    const __m128d s1 =
        _mm_add_pd(_mm_add_pd(_mm_mul_pd(dz1, dz1), _mm_mul_pd(dy1, dy1)), _mm_mul_pd(dx1, dx1));
    m0 = _mm_min_pd(s0, m0);
    m1 = _mm_min_pd(s1, m1);
  }
  if (p + 2 <= q) {
    const __m128d dx = _mm_sub_pd(_mm_loadu_pd(pos.x + p), xq);
    const __m128d dy = _mm_sub_pd(_mm_loadu_pd(pos.y + p), yq);
    const __m128d dz = _mm_sub_pd(_mm_loadu_pd(pos.z + p), zq);
    const __m128d s =
        _mm_add_pd(_mm_add_pd(_mm_mul_pd(dz, dz), _mm_mul_pd(dy, dy)), _mm_mul_pd(dx, dx));
    m0 = _mm_min_pd(s, m0);
    p += 2;
  }
  m0 = _mm_min_pd(m1, m0);
  const double low = _mm_cvtsd_f64(m0);
  const double high = _mm_cvtsd_f64(_mm_unpackhi_pd(m0, m0));
  minimum = high < low ? high : low;
#endif
  for (; p < q; ++p) {
    const double s = pairSquaredSum(pos, q, p);
    if (s < minimum) minimum = s;
  }
  return minimum;
}

// The largest squared sum whose root is still the root of `smallest`.
double largestSumOfSameRoot(double smallest) {
  const double distance = std::sqrt(smallest);
  double upper = smallest;
  while (upper < std::numeric_limits<double>::infinity()) {
    const double next = std::nextafter(upper, std::numeric_limits<double>::infinity());
    if (std::sqrt(next) != distance) break;
    upper = next;
  }
  return upper;
}

// The bodies in ascending order of their coordinate on the axis along which they spread
// widest (any axis gives the same result; the widest lets the sweep pass over most pairs).
struct SweepOrder {
  const double* key = nullptr;  // the coordinates on that axis, indexed by body
  int body[kMaxOrbiters];       // body indices, ascending by key
};

void sortAlongWidestAxis(const OrbiterPositions& pos, int n, SweepOrder& order) {
  const double* axes[] = {pos.x, pos.y, pos.z};
  double widest = -1.0;
  for (const double* axis : axes) {
    const auto [low, high] = std::minmax_element(axis, axis + n);
    const double spread = *high - *low;
    if (spread > widest) {
      widest = spread;
      order.key = axis;
    }
  }
  for (int p = 0; p < n; ++p) order.body[p] = p;
  const double* key = order.key;
  std::sort(order.body, order.body + n, [key](int a, int b) { return key[a] < key[b]; });
}

// The smallest squared sum of all pairs. REQUIRES: every coordinate finite.
double sweepSmallestSum(const OrbiterPositions& pos, int n, const SweepOrder& order) {
  double smallest = std::numeric_limits<double>::infinity();
  for (int a = 0; a < n; ++a) {
    const int i = order.body[a];
    for (int b = a + 1; b < n; ++b) {
      const int j = order.body[b];
      const double along = order.key[j] - order.key[i];
      if (along * along > smallest) break;
      const double s = pairSquaredSum(pos, i, j);
      if (s < smallest) smallest = s;
    }
  }
  return smallest;
}

// The pair (q, p), q > p, with the largest q and then the largest p among the pairs whose
// squared sum is at most `upper`; false when there is none. REQUIRES: every coordinate finite.
bool sweepLastPairWithin(const OrbiterPositions& pos, int n, const SweepOrder& order, double upper,
                         int& q, int& p, double& sum) {
  bool found = false;
  for (int a = 0; a < n; ++a) {
    const int i = order.body[a];
    for (int b = a + 1; b < n; ++b) {
      const int j = order.body[b];
      const double along = order.key[j] - order.key[i];
      if (along * along > upper) break;
      const double s = pairSquaredSum(pos, i, j);
      if (!(s <= upper)) continue;
      const int high = i > j ? i : j;
      const int low = i > j ? j : i;
      if (!found || high > q || (high == q && low > p)) {
        found = true;
        q = high;
        p = low;
        sum = s;
      }
    }
  }
  return found;
}

}  // namespace

void findClosestPair(RunState& run) {
  const int n = run.orbiterCount;
  if (n < 2) return;
  assert(n <= kMaxOrbiters);

  OrbiterPositions pos;
  for (int p = 0; p < n; ++p) {
    const Vec3& r = run.bodyState[kPosition][p + 2];
    pos.x[p] = r[1];
    pos.y[p] = r[2];
    pos.z[p] = r[3];
  }

  // The pair (2, 3), and the last ordered pair of the loop, (N + 1, N).
  {
    const double dx = pos.x[1] - pos.x[0];
    const double dy = pos.y[1] - pos.y[0];
    const double dz = pos.z[1] - pos.z[0];
    run.distance23 = std::sqrt(squaredSum(dx, dy, dz));
  }
  {
    const double dx = pos.x[n - 2] - pos.x[n - 1];
    const double dy = pos.y[n - 2] - pos.y[n - 1];
    const double dz = pos.z[n - 2] - pos.z[n - 1];
    run.pairDistance = std::sqrt(squaredSum(dx, dy, dz));
  }

  const bool allFinite = std::all_of(pos.x, pos.x + n, [](double v) { return std::isfinite(v); }) &&
                         std::all_of(pos.y, pos.y + n, [](double v) { return std::isfinite(v); }) &&
                         std::all_of(pos.z, pos.z + n, [](double v) { return std::isfinite(v); });
  if (allFinite) {
    SweepOrder order;
    sortAlongWidestAxis(pos, n, order);
    const double smallest = sweepSmallestSum(pos, n, order);
    if (!(run.minPairDistance >= std::sqrt(smallest))) return;
    int q = 0;
    int p = 0;
    double sum = 0.0;
    if (sweepLastPairWithin(pos, n, order, largestSumOfSameRoot(smallest), q, p, sum)) {
      run.minPairDistance = std::sqrt(sum);
      run.minPairFirst = q + 2;
      run.minPairSecond = p + 2;
    }
    return;
  }

  double rowMin[kMaxOrbiters];
  double smallest = std::numeric_limits<double>::infinity();
  for (int q = 1; q < n; ++q) {
    rowMin[q] = rowMinimum(pos, q);
    if (rowMin[q] < smallest) smallest = rowMin[q];
  }

  if (!(run.minPairDistance >= std::sqrt(smallest))) return;
  const double upper = largestSumOfSameRoot(smallest);

  // The last ordered pair at the smallest distance. A row whose minimum is +infinity only
  // because all its sums are NaN holds no such pair, so the search goes on below it.
  for (int q = n - 1; q >= 1; --q) {
    if (!(rowMin[q] <= upper)) continue;
    for (int p = q - 1; p >= 0; --p) {
      const double s = pairSquaredSum(pos, q, p);
      if (s <= upper) {
        run.minPairDistance = std::sqrt(s);
        run.minPairFirst = q + 2;
        run.minPairSecond = p + 2;
        return;
      }
    }
  }
}
