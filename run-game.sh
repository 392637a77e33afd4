#!/usr/bin/env bash
# Installs what is needed, builds the game and the level service, makes sure a
# level service answers at the game's address, and starts the game.
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMURKWELL_TESTS=OFF -DMURKWELL_BENCH=OFF
cmake --build build -j 2 --target murkwell murkwell-server

# The level service. The game talks to the address in the per-user folder's
# service.txt, else in data/service.txt. When that is this machine and nothing
# answers there, a service is started in the background for this user, with
# its database and log in the per-user folder. It keeps running after the
# game ends (stop it with: pkill -TERM -x murkwell-server). Nothing here waits
# for it: the game starts at once either way.
start_service() {
    local dir conf host port
    if [ -n "${APPDATA:-}" ]; then dir="$APPDATA/Murkwell"
    elif [ -n "${XDG_DATA_HOME:-}" ]; then dir="$XDG_DATA_HOME/Murkwell"
    else dir="$HOME/.local/share/Murkwell"; fi
    mkdir -p "$dir" && chmod 700 "$dir"
    conf="$dir/service.txt"
    [ -s "$conf" ] || conf=data/service.txt
    read -r host port < <(python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))
print(d.get("host", ""), d.get("port", 80))' "$conf" 2>/dev/null) || return 0
    case "$host" in 127.0.0.1|localhost) ;; *) return 0 ;; esac
    if timeout 2 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port" 2>/dev/null; then return 0; fi
    # One old log is kept.
    if [ -f "$dir/service.log" ] && [ "$(stat -c %s "$dir/service.log")" -gt 10000000 ]; then
        mv -f "$dir/service.log" "$dir/service.log.1"
    fi
    echo "run-game: starting the level service on 127.0.0.1:$port (log: $dir/service.log)"
    setsid ./build/murkwell-server --listen "127.0.0.1:$port" --db "$dir/service.db" \
        >>"$dir/service.log" 2>&1 </dev/null &
}
start_service || echo "run-game: the level service could not be started; online levels are unavailable"

exec ./build/murkwell "$@"
