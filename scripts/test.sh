#!/usr/bin/env bash
# Builds and runs every test: the optimised build, then the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzz target for a bounded time
# (KELVARA4_FUZZ_SECONDS per target, default 60; needs clang and its libFuzzer runtime).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2

cmake -S . -B build-sanitize -DKELVARA4_SANITIZE=ON
cmake --build build-sanitize -j2
ctest --test-dir build-sanitize --output-on-failure -j2

scripts/fuzz.sh "${KELVARA4_FUZZ_SECONDS:-60}"
