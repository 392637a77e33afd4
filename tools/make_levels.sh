#!/usr/bin/env bash
# Builds the shipped level databases from the level sources:
#   data/game.db      the tutorials, levels/tutorial/*.level
#   data/featured.db  the featured levels, levels/featured/*.level
# Every level is checked and its solution (NAME.replay beside it) is played
# through the rules first; when anything fails nothing is written. The result
# is the same, byte for byte, on every run, so commit the databases with the
# sources they were built from (the level tests rebuild and compare them).
#   tools/make_levels.sh [output folder]    (default: data/)
# BUILD_DIR names the CMake build folder to use (default: build/).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build}"
out="${1:-data}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target murkwell-levels -j 2 >/dev/null
"$build/tools/levels/murkwell-levels" build --levels levels --data data --out "$out"
