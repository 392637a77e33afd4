// Paths and movement: the A* search on the cell-flag grid, walking paths in
// whole-cell steps, patrol routes, guards giving way, and the three ways the
// player is steered (keys, a click, the cell under the pointer).
#pragma once

#include <cstdint>

#include "core/game.h"

struct PathCell {
    uint8_t x, y;
};

// A* from (sx, sy) to (gx, gy) over the solid bits of g.flags. Returns the number
// of cells of the path, start and goal included, and points *cells at them in
// start-to-goal order; 0 (no path) when either end lies outside 4..123 or is
// solid, or no way leads there. The cells stay valid until the next search.
//
// Costs are single floats: 1 along an axis, 1.4142135 diagonally; h is the
// Manhattan distance; the open set is taken in order of f, then y * 65536 + x;
// neighbours are tried N, E, S, W, NW, NE, SW, SE, never cutting a corner; an
// open node is replaced only by a smaller f. The node arrays are kept between
// searches (nothing is allocated per search). Main thread only.
int find_path(const game& g, int sx, int sy, int gx, int gy, const PathCell** cells);

// Gives the actor a path from its cell to the goal. With force (or when it
// already is on the goal) the old path is dropped first; a search that finds
// fewer than 2 or more than 128 cells leaves the path as it then is.
void set_path(game& g, actor& a, int gx, int gy, int force);

// A straight path for a lamp (lamps ignore walls) from its position to the goal.
void set_line_path(game& g, actor& a, int gx, int gy);

// Puts the actor exactly on its cell and starts its next step: along its path,
// home to its return cell, or on to the next way-point of its route.
void follow_path(game& g, actor& a);

// Advances the actor by one n-th of its step; the player pushes the camera along
// while the play screen is current.
void move_actor(game& g, actor& a, int n);

// The keyboard: (kx, ky) = (right - left, down - up), each -1, 0 or +1, turned by
// the camera; walks the player as far as it can go that way.
void walk_direction(game& g, int kx, int ky);

// A click: sends every player actor to the cell (an unreachable cell leaves the
// current path alone).
void walk_to(game& g, int x, int y);

// Chooses the cell under the pointer (g.level.mouse_x/y), preferring walkable
// cells near it, and stores it as cell + 0.5 in g.level.pick_x/y.
void pick_cell(game& g);
