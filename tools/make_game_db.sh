#!/usr/bin/env bash
# Writes an empty level database with the current table format: `levels` with
# its 12 columns and `ratings` with 3, built by the same statements the game
# runs when it upgrades a database, so the schema text matches a game-made file.
#   tools/make_game_db.sh [output]    (default: data/game.db beside this folder)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-data/game.db}"
tmp="$out.tmp.$$"
rm -f "$tmp"
sqlite3 "$tmp" <<'SQL'
create table levels (id text primary key, name text, data blob, ts int, author text, title text);
alter table levels add q text;
alter table levels add uid text;
alter table levels add stars float;
alter table levels add skulls float;
alter table levels add intro text;
alter table levels add value int;
create table ratings (lid text primary key, stars int, skulls int);
SQL
mv -f "$tmp" "$out"
echo "wrote $out"
