#!/usr/bin/env bash
# Takes the README's screenshots from the real game: the tutorial
# list, the featured levels from a local level service, the map editor and a
# level in play, each at 960 x 720 under a private X server, driven by xdotool
# at the positions the layout gives, saved as small PNGs.
#
#     tools/screenshots.sh [OUT_DIR] [BUILD_DIR]     (default docs/screenshots, build)
#
# BUILD_DIR must be configured; murkwell and murkwell-server are built there.
# Needs Xvfb, xdotool, sqlite3 and Python 3 with Pillow (tools/setup.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshots}
build=${2:-build}
mkdir -p "$out"
cmake --build "$build" -j 2 --target murkwell murkwell-server >/dev/null

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A private X server whose screen is exactly the game's window.
mkdir -p "$work/fb"
Xvfb -displayfd 3 -screen 0 960x720x24 -nolisten tcp -noreset -fbdir "$work/fb" \
  3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$work/display")
export SDL_AUDIODRIVER=dummy APPDATA="$work/app"
user="$APPDATA/Murkwell"
mkdir -p "$user"

# A level service of its own on a free port, seeded with the featured levels.
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$build/murkwell-server" --listen "127.0.0.1:$port" --db "$work/service.db" >"$work/service.log" 2>&1 &
pids+=($!)
printf '{"host": "127.0.0.1", "port": %d}\n' "$port" >"$user/service.txt"

# Settings: a 960 x 720 window (mode 960 * 4096 + 720, full screen off), volumes 50.
/usr/bin/python3 - "$user/settings.dat" <<'PY'
import struct, sys, time
rec = bytearray(276)
struct.pack_into('<i', rec, 0, 1)
struct.pack_into('<ii', rec, 132, 50, 50)
rec[140:142] = b'g:'
stamp = b'time|%d' % int(time.time())
rec[204:204 + len(stamp)] = stamp
struct.pack_into('<ii', rec, 268, 960 * 4096 + 720, -1)
open(sys.argv[1], 'wb').write(rec)
PY

# One map of the player's own: the atrium, as if saved from the editor.
tools/make_game_db.sh "$user/user.db" >/dev/null
sqlite3 "$user/user.db" "attach 'data/featured.db' as f;
  insert into levels (id,name,data,ts,author,title,uid,intro)
    select id,name,data,strftime('%s','now'),'You',title,'g:',intro from f.levels where name = 'atrium';"

# The framebuffer as a PNG at two thirds of its size, in at most 256 colours.
shot() {
  /usr/bin/python3 - "$work/fb/Xvfb_screen0" "$out/$1.png" <<'PY'
import struct, sys
from PIL import Image
data = open(sys.argv[1], 'rb').read()
head = struct.unpack('>25I', data[:100])
size, width, height, line, colours = head[0], head[4], head[5], head[12], head[19]
start = size + colours * 12
image = Image.frombuffer('RGBX', (width, height), data[start:start + line * height],
                         'raw', 'BGRX', line, 1).convert('RGB')
image = image.resize((width * 2 // 3, height * 2 // 3), Image.LANCZOS)
image.quantize(colors=256, method=Image.MEDIANCUT, dither=Image.NONE).save(sys.argv[2], optimize=True)
PY
  echo "wrote $out/$1.png"
}

# Starts the game with the given arguments and waits for its window.
game=
start_game() {
  "$build/murkwell" "$@" >"$work/game.log" 2>&1 &
  game=$!
  xdotool search --sync --limit 1 --class murkwell >/dev/null
  sleep 2
}
stop_game() {
  kill -TERM "$game"
  wait "$game" || true
}
click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-2}"; }

start_game
click 281 297                     # Tutorial
shot tutorials
xdotool key Escape; sleep 1
click 676 297 4                   # Play: the featured levels, downloaded
shot featured
xdotool key Escape; sleep 1
click 281 428                     # Build: the map list
click 600 684 3                   # Edit
shot editor
stop_game

# A level in play, its solution steering the agent past the guards.
start_game --play boathouse --replay levels/featured/boathouse.replay
sleep 16
shot playing
stop_game
