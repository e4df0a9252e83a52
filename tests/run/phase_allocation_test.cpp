// The computing phases of a run, computeScales to findClosestPair, use the run state and the
// stack only. Every operator new of the test program is counted here (the replacements below
// serve the whole test binary and only count), and the phases must not add to the count.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "frame/barycentric_frame.h"
#include "frame/closest_pair.h"
#include "frame/initial_data.h"
#include "model/placement.h"
#include "model/scales.h"
#include "run/run_state.h"

namespace {

std::atomic<long> newCalls{0};

void* allocate(std::size_t size) {
  ++newCalls;
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) std::abort();
  return p;
}

}  // namespace

// Every non-aligned form, so that each allocation is released by the matching form.
void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

// Parameters like those of the shipped examples, with N and the layout as given.
void setParameters(RunState& run, int orbiterCount, int layoutMode) {
  run.orbiterCount = orbiterCount;
  run.totalMass = 1.98892e30;
  run.centralMassFraction = 0.999;
  run.semiMajorAxisAu = 5.2;
  run.eccentricity = layoutMode == 4 ? 0.05 : -0.2;
  run.turnFactor = 0.37;
  run.tiltFactor = 0.01;
  run.inclinationAngle = 0.1;
  run.bodyDensity = 1300.0;
  run.layoutMode = layoutMode;
}

TEST(ComputingPhases, AllocateNothingOnTheHeap) {
  {
    // The count sees allocations at all.
    const long before = newCalls;
    const auto probe = std::make_unique<std::string>(100, 'x');
    ASSERT_GT(newCalls, before);
  }
  const auto run = std::make_unique<RunState>();
  for (const int layout : {0, 4}) {
    for (const int n : {1, 2, 3, 4, 7, 100, kMaxOrbiters}) {
      SCOPED_TRACE("layout " + std::to_string(layout) + ", N " + std::to_string(n));
      *run = RunState{};
      setParameters(*run, n, layout);
      const long before = newCalls;
      computeScales(*run);
      placeBodies(*run);
      buildBarycentricFrame(*run);
      computeInitialDataValues(*run);
      findClosestPair(*run);
      EXPECT_EQ(before, newCalls.load());
      // The search ran and found a pair (none exists for a single orbiting body).
      EXPECT_EQ(n >= 2, run->minPairFirst > run->minPairSecond);
    }
  }
}

}  // namespace
