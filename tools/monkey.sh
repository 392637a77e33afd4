#!/usr/bin/env bash
# The monkey by hand: random real input into the sanitizer build of the whole
# game for a long while (30 minutes unless told), against a real level service.
#
#   tools/monkey.sh [SECONDS] [SEED]
#
# Builds build-san/ (clang, AddressSanitizer + UndefinedBehaviorSanitizer) when
# needed, runs the monkey test there and prints its figures; a failure names
# the seed that repeats the run (MURKWELL_MONKEY_SEED). The figures of every
# run are also appended to build-san/monkey-runs.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-1800}
if [ $# -ge 2 ]; then export MURKWELL_MONKEY_SEED=$2; fi

CC=clang CXX=clang++ cmake -S . -B build-san -DCMAKE_BUILD_TYPE=Debug \
  -DMURKWELL_SANITIZE=ON -DMURKWELL_FUZZ=ON -DMURKWELL_BENCH=OFF > /dev/null
cmake --build build-san -j 2 --target e2e_monkey_test murkwell murkwell-server e2e_counts
MURKWELL_MONKEY_SECONDS=$seconds MURKWELL_MONKEY_REPORT="$PWD/build-san/monkey-runs.txt" \
  build-san/tests/e2e_monkey_test --gtest_color=no
