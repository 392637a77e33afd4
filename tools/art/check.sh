#!/usr/bin/env bash
# Regenerates the artwork into a scratch folder and compares it byte for byte
# with what data/ and dist/icons/ hold: proves the generators are deterministic and that the
# committed files are what they make. Takes a minute or two.
set -euo pipefail
cd "$(dirname "$0")/../.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
/usr/bin/python3 tools/art/build.py --out "$tmp" --icons "$tmp/icons" --jobs "${JOBS:-2}"
status=0
for f in tiles.json texture.txt image.txt font.txt fonts-LICENSE.txt; do
  cmp "$tmp/$f" "data/$f" || status=1
done
for f in "$tmp"/img/*.png; do
  cmp "$f" "data/img/$(basename "$f")" || status=1
done
for f in data/img/*.png; do
  [ -e "$tmp/img/$(basename "$f")" ] || { echo "stale file: $f"; status=1; }
done
for f in "$tmp"/icons/*.png; do
  cmp "$f" "dist/icons/$(basename "$f")" || status=1
done
if [ "$status" -eq 0 ]; then echo "art check: data/ and dist/icons/ match their generators"; fi
exit "$status"
