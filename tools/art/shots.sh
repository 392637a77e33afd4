#!/usr/bin/env bash
# Renders the fixed test scene through the game's own renderer into PNGs:
#
#     tools/art/shots.sh OUT_DIR [BUILD_DIR]
#
# BUILD_DIR (default build/) must be configured; scene_shots is built there.
# Uses the display in SCENE_DISPLAY (for example :190) when set, else starts a
# private Xvfb on a free display.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=${1:?usage: tools/art/shots.sh OUT_DIR [BUILD_DIR]}
build=${2:-build}
mkdir -p "$out"
cmake --build "$build" -j 2 --target scene_shots >/dev/null
if [ -n "${SCENE_DISPLAY:-}" ]; then
  DISPLAY=$SCENE_DISPLAY SDL_AUDIODRIVER=dummy "$build/tools/scene_shots" "$out" "$PWD/data"
  exit
fi
fdfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fdfile" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -f "$fdfile"' EXIT
for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
DISPLAY=:$(head -n1 "$fdfile") SDL_AUDIODRIVER=dummy "$build/tools/scene_shots" "$out" "$PWD/data"
