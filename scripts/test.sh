#!/usr/bin/env bash
# Builds and runs every test: the optimised build, then the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2

cmake -S . -B build-sanitize -DKELVARA4_SANITIZE=ON
cmake --build build-sanitize -j2
ctest --test-dir build-sanitize --output-on-failure -j2
