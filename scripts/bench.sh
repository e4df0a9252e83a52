#!/usr/bin/env bash
# Builds the optimised program and the timing programs, then times
#   1. each phase of a run at N = 10, 100 and 1000 in both layouts (Google Benchmark);
#   2. the whole program as a process on the shipped example and on N = 1000 in both layouts:
#      the median wall time of RUNS runs (default 51) and, when valgrind is installed, the
#      instructions the whole process executes (callgrind).
# Each whole-program case first runs once and its files are compared with the expected ones,
# so that nothing but a correct run is timed. Extra arguments go to the phase benchmark
# (e.g. --benchmark_filter=findClosestPair).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${RUNS:-51}

if [ ! -f /usr/include/benchmark/benchmark.h ]; then
  echo "bench: Google Benchmark is not installed (apt-get install libbenchmark-dev)" >&2
  exit 1
fi
cmake -S . -B build -DKELVARA4_BENCH=ON >/dev/null
cmake --build build -j2 --target kelvara4 kelvara4_phase_bench kelvara4_process_timer >/dev/null

echo "== Phases (Google Benchmark; N = orbiting bodies, layout 0 pericentre, 4 Kepler orbit)"
build/bench/kelvara4_phase_bench "$@"

echo
echo "== Whole program, $runs runs each"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cases=(examples/default tests/e2e/cases/periN1000 tests/e2e/cases/keplerN1000)
for case in "${cases[@]}"; do
  dir=$work/$(basename "$case")
  mkdir -p "$dir"
  cp "$case/Kelvara4.dat" "$dir/"
  (cd "$dir" && "$root/build/kelvara4" >/dev/null)
  for expected in "$case"/expected/*; do
    if ! cmp -s "$expected" "$dir/$(basename "$expected")"; then
      echo "bench: $case: $(basename "$expected") differs from the expected file" >&2
      exit 1
    fi
  done
  printf '%-32s ' "$case"
  build/bench/kelvara4_process_timer "$runs" "$dir" "$root/build/kelvara4" | tr -d '\n'
  if command -v valgrind >/dev/null; then
    instructions=$(cd "$dir" && valgrind --tool=callgrind --callgrind-out-file=/dev/null \
      "$root/build/kelvara4" 2>&1 >/dev/null | sed -n 's/.*Collected : *//p')
    printf '  instructions %s' "$instructions"
  fi
  echo
done
