// Times each phase of a run on its own, on a run state prepared by the phases before it.
// Arguments of every benchmark: N (orbiting bodies) and the layout number (0 pericentre,
// 4 Kepler orbit). The two writers write real files into a fresh temporary directory,
// which is the working directory while the benchmarks run and is removed at the end.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>

#include "frame/barycentric_frame.h"
#include "frame/closest_pair.h"
#include "frame/initial_data.h"
#include "model/placement.h"
#include "model/scales.h"
#include "run/run_state.h"
#include "textio/report_writer.h"

namespace {

void setName(Name12& field, std::string_view value) {
  field.fill(' ');
  std::memcpy(field.data(), value.data(), value.size());
}

// The parameters of the N = 1000 whole-run cases, with N and the layout as given.
std::unique_ptr<RunState> makeRun(int orbiterCount, int layoutMode) {
  auto run = std::make_unique<RunState>();
  setName(run->parameterFileName, "Kelvara4.dat");
  setName(run->reportFileName, "Kelvara4Err");
  setName(run->overrideFileName, "file_okf.dat");
  const bool kepler = layoutMode == 4;
  run->orbiterCount = orbiterCount;
  run->totalMass = 1.98892e30;
  run->centralMassFraction = 0.999;
  run->semiMajorAxisAu = 30.0;
  run->eccentricity = kepler ? 0.05 : 0.01;
  run->turnFactor = kepler ? 0.01 : 0.37;
  run->tiltFactor = kepler ? 0.002 : 0.003;
  run->inclinationAngle = 0.0;
  run->bodyDensity = 900.0;
  run->layoutMode = layoutMode;
  run->headerParameter = 0.0;
  setName(run->initialDataFileName, "bench.dat");
  run->trailerParameter = 0;
  constexpr std::string_view path = "bench.dat";
  std::memcpy(run->dataFilePath.data(), path.data(), path.size());
  run->dataFilePathLength = static_cast<int32_t>(path.size());
  return run;
}

enum class Phase { Scales, Placement, Frame, Values, Pair, InitialData, Report };

// Runs the phases before `phase`, so that it finds the state a whole run gives it.
void prepare(RunState& run, Phase phase) {
  if (phase > Phase::Scales) computeScales(run);
  if (phase > Phase::Placement) placeBodies(run);
  if (phase > Phase::Frame) buildBarycentricFrame(run);
  if (phase > Phase::Values) computeInitialDataValues(run);
  if (phase > Phase::Pair) findClosestPair(run);
}

template <Phase phase>
void timePhase(benchmark::State& state) {
  const auto run = makeRun(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  prepare(*run, phase);
  for (auto _ : state) {
    switch (phase) {
      case Phase::Scales:
        computeScales(*run);
        break;
      case Phase::Placement:
        placeBodies(*run);
        break;
      case Phase::Frame:
        buildBarycentricFrame(*run);
        break;
      case Phase::Values:
        computeInitialDataValues(*run);
        break;
      case Phase::Pair:
        // The search only takes pairs below the distance it starts from: start afresh.
        run->minPairDistance = 1.0e99;
        findClosestPair(*run);
        break;
      case Phase::InitialData:
        writeInitialData(*run);
        break;
      case Phase::Report:
        writeReport(*run);
        break;
    }
    benchmark::ClobberMemory();
  }
}

void sizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"N", "layout"});
  for (const int layout : {0, 4}) {
    for (const int n : {10, 100, 1000}) b->Args({n, layout});
  }
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(timePhase<Phase::Scales>)->Name("computeScales")->Apply(sizes);
BENCHMARK(timePhase<Phase::Placement>)->Name("placeBodies")->Apply(sizes);
BENCHMARK(timePhase<Phase::Frame>)->Name("buildBarycentricFrame")->Apply(sizes);
BENCHMARK(timePhase<Phase::Values>)->Name("computeInitialDataValues")->Apply(sizes);
BENCHMARK(timePhase<Phase::Pair>)->Name("findClosestPair")->Apply(sizes);
BENCHMARK(timePhase<Phase::InitialData>)->Name("writeInitialData")->Apply(sizes);
BENCHMARK(timePhase<Phase::Report>)->Name("writeReport")->Apply(sizes);

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/kelvara4-bench-XXXXXX";
  const char* directory = mkdtemp(pattern);
  if (directory == nullptr || chdir(directory) != 0) {
    std::perror("kelvara4_phase_bench: temporary directory");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(directory, ignored);
  return 0;
}
