#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test:
#   build/      g++ build: unit tests, display tests (private Xvfb), data checks
#   build-san/  clang build with AddressSanitizer + UndefinedBehaviorSanitizer:
#               the unit tests again, each libFuzzer target for a bounded time,
#               and the monkey (random input into the whole game) for a minute
set -euo pipefail
cd "$(dirname "$0")"

./tools/setup.sh

jobs=2
# The tests are named: ./run-game.sh configures the same folder without them.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMURKWELL_TESTS=ON -DMURKWELL_BENCH=ON
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure --no-tests=error -j "$jobs" -LE valgrind)

CC=clang CXX=clang++ cmake -S . -B build-san -DCMAKE_BUILD_TYPE=Debug \
  -DMURKWELL_SANITIZE=ON -DMURKWELL_FUZZ=ON -DMURKWELL_TESTS=ON -DMURKWELL_BENCH=OFF
cmake --build build-san -j "$jobs"
(cd build-san && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure --no-tests=error -j "$jobs" -L 'unit|fuzz|monkey')
echo "run-tests: all passed"
