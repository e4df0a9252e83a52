#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz) with clang in build-fuzz/ and runs each for a
# bounded time, starting from its seed corpus in tests/fuzz/corpus/<target>/.
#
#   scripts/fuzz.sh [seconds per target, default 60]
#
# Fails when a target reports anything: a crash, a failed check, a sanitizer report
# (AddressSanitizer, UndefinedBehaviorSanitizer), a leak, an input that runs longer than
# 10 s (a hang) or memory past 2048 MB. What a failing target found is kept in
# build-fuzz/artifacts/<target>/; replay it with build-fuzz/tests/fuzz/<target> <file>.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
compiler="${KELVARA4_FUZZ_CXX:-clang++}"
build=build-fuzz

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER="$compiler" -DKELVARA4_FUZZ=ON -DBUILD_TESTING=OFF
cmake --build "$build" -j2 --target fixed_record_fuzz free_format_fuzz whole_run_fuzz

# The whole-run target's scratch directories go here, so that a target stopped by a finding
# leaves nothing behind outside the build directory.
export TMPDIR="$PWD/$build/tmp"
mkdir -p "$TMPDIR"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"

passed=0
failed=0
for target in fixed_record_fuzz free_format_fuzz whole_run_fuzz; do
  # The whole-run target checks the memory of each run in its child process itself; libFuzzer's
  # memory watchdog thread would disturb the leak check that the child makes (see
  # whole_run_fuzz.cpp), so the parent is bounded by its allocations instead.
  memory=(-rss_limit_mb=2048)
  if [ "$target" = whole_run_fuzz ]; then memory=(-rss_limit_mb=0 -malloc_limit_mb=2048); fi

  artifacts="$build/artifacts/$target"
  work="$build/corpus/$target"  # inputs found in this run; the seeds stay as they are
  rm -rf "$artifacts" "$work"
  mkdir -p "$artifacts" "$work"
  log="$build/$target.log"
  echo "fuzz: $target for ${seconds} s"
  status=0
  "$build/tests/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    "${memory[@]}" -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$work" "tests/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ] || [ -n "$(ls -A "$artifacts")" ]; then
    echo "fuzz: $target FAILED (exit status $status); the end of $log:"
    tail -n 60 "$log"
    ls -l "$artifacts"
    failed=$((failed + 1))
  else
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" || true
    passed=$((passed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
