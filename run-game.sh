#!/usr/bin/env bash
# Installs what is needed, builds the game and starts it.
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMURKWELL_TESTS=OFF -DMURKWELL_BENCH=OFF
cmake --build build -j 2 --target murkwell
exec ./build/murkwell "$@"
