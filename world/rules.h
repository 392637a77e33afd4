// The rules of one tick of play: the player, the guards, the lamps, sight, and
// the end of a level. Everything works on the play copy g.level and the cell-flag
// grid g.flags, which the caller rebuilds (build_flags) before every tick.
#pragma once

#include <cstdint>

#include "core/game.h"

// Advances the play copy by one tick (1/30 s): counters, every actor in slot
// order, the cell under the pointer and, every 6th tick, a rewind snapshot.
void game_tick(game& g);

// One actor's share of a tick.
void player_tick(game& g, actor& a);
void guard_tick(game& g, actor& a);

// True if the guard sees cell (tx, ty): not solid or opaque; its own cell and the
// one straight ahead always; otherwise not dark, not shaded unless lit, within 20
// cells when lit and 10 otherwise, within 65 degrees of its facing, and a clear line.
bool can_see(const game& g, const actor& guard, int tx, int ty);

// True if nothing opaque lies on the line between the two cells (sight does not
// pass between two walls touching at a corner).
bool line_clear(const game& g, int ax, int ay, int bx, int by);

// True if any active guard sees the cell.
bool seen_by_any(game& g, int x, int y);

// Turns a guard towards the player; a player on the guard's own cell (whole
// parts of the offset both 0) leaves its facing as it is.
void face_towards(game& g, actor& guard);

// The facing digit drawn in animation names, turned by the camera heading:
// turn_facing(facing, view_turn(g)).
int view_facing(const game& g, int facing);
// The turn of the view in eighths: the whole part of 16 - (heading - 22.5) / 45
// of the live level's camera.
int view_turn(const game& g);
// The facing r places further round the ring 1, 2, 3, 6, 9, 8, 7, 4 (negative
// r turns back); 5 and anything that is no direction count as place 0.
int turn_facing(int facing, int r);

// The one random source of the rules (the positions of the escape sparks). Its
// values are derived from the seed and the play copy, so the same level and the
// same commands give the same bytes on every run. The seed is process-wide; 0 by
// default.
void rules_seed(uint32_t seed);
uint32_t rules_random(const level& lv, uint32_t salt);
