#!/usr/bin/env bash
# Regenerates the game's sounds in data/sound/ from tools/sound/make_sounds.py:
# synthesised with numpy, encoded to Ogg Vorbis with oggenc (vorbis-tools). Both
# come from tools/setup.sh. The output is deterministic (fixed seeds, fixed Ogg
# serial numbers), so regenerating leaves the committed files unchanged.
set -euo pipefail
cd "$(dirname "$0")/../.."

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

/usr/bin/python3 tools/sound/make_sounds.py "$tmp"
mkdir -p data/sound
serial=1
for name in win yeah death drop shoot guard bomb; do
  oggenc --quiet --quality 2 --serial "$serial" -o "data/sound/$name.ogg" "$tmp/$name.wav"
  serial=$((serial + 1))
done
# The music loops: lower quality keeps them small; they play under everything else.
for name in menus sneak tension; do
  oggenc --quiet --quality 0 --serial "$serial" -o "data/sound/$name.ogg" "$tmp/$name.wav"
  serial=$((serial + 1))
done
ls -l data/sound
