// The level model: blank maps, actor slots, the cell-flag grid and set-up.
//
// Cells are addressed x + 128 * y; only 4..123 on both axes take part in the
// rules. Every operation here accepts a level holding arbitrary bytes (a corrupt
// state.dat, a hostile download) and never reads or writes outside the record
// and the grid.
#pragma once

#include "core/game.h"

// True when (x, y) lies in the playable area 4..123 on both axes.
inline bool in_play(int x, int y) {
    return x >= MAP_MIN && x <= MAP_MAX && y >= MAP_MIN && y <= MAP_MAX;
}
// True when (x, y) lies on the 128 x 128 grid.
inline bool on_map(int x, int y) { return unsigned(x) < MAP_SIZE && unsigned(y) < MAP_SIZE; }
inline int cell_index(int x, int y) { return x + MAP_SIZE * y; }

// The whole part of v (truncated toward zero), defined for any bits: NaN reads
// as 0 and magnitudes beyond 1e6 are held there, so the result is always a safe int.
int whole(float v);

// The cell under a position: whole parts of x + 0.5 and y + 0.5.
inline int cell_under_x(const actor& a) { return whole(a.x + 0.5f); }
inline int cell_under_y(const actor& a) { return whole(a.y + 0.5f); }

// The map step (sx, sy) of a keypad direction digit; false (and 0, 0) for 5 and
// for anything that is not a direction.
bool digit_step(int digit, int* sx, int* sy);
// The keypad digit of a step, from the signs of its two parts (5 for no step).
int step_digit(float sx, float sy);

// Clears the play copy, makes the blank map (a four-cell frame of tile 32, 3x3
// floor in the middle with tile 4 at (64, 64)) and copies it to the stored copy.
void new_level(game& g);

// A zeroed actor with its slot number filled in, from the first free slot at or
// after the remembered one (wrapping). With all 64 in use, a scratch actor outside
// the table is returned, so whatever is made of it has no effect.
actor& spawn_actor(game& g);
// The first active actor of `kind` in slot order, or null.
actor* find_actor(game& g, int kind);
// The first active actor, neither player nor lamp, standing exactly on (x, y).
actor* actor_at(game& g, int x, int y);

// Rebuilds the cell-flag grid g.flags and the count of targets left from the map,
// the catalogue and the lamps.
void build_flags(game& g);

// Turns the map of the play copy into actors, removes the spawn tiles and runs the
// two set-up ticks. start_of_play points the camera at the player.
void setup_level(game& g, int start_of_play);

// Brings every count, index and position of a level into the range the rules
// index with: texts end in NUL, path steps 0..128, routes 0..32 with their
// position and continue point, cells on the grid, the slot search start 0..63,
// finite positions, counters that cannot overflow, known actor kinds and modes
// (an actor of unknown kind is freed). A level the rules produced is unchanged.
void level_sanitize(level& lv);
