// The map editor's operations on the stored copy g.edit_level: painting cells
// (each change recorded in the undo ring of the game record), undo and redo,
// the order of the editor's palette, and the arrow turned by the view.
//
// The undo ring keeps the last UNDO_RING_SIZE steps; entry (n mod 128) records
// step n, and g.undo_pos counts the steps applied. A ring read from a damaged
// state.dat is tolerated: positions outside 0..UNDO_POS_MAX start a new history
// and entries are bounds-checked before they touch the grid.
#pragma once

#include "core/game.h"

enum : int {
    UNDO_RING_SIZE = 128,
    UNDO_POS_MAX = 1 << 30,   // far beyond any painting session; keeps the count from overflowing
    EDITOR_CATEGORIES = 7,    // the palette offers the catalogue's editor categories 1..7
};

// Tile numbers in palette order: editor category 1 first, within a category by
// tile number; the rest zero. Filled by build_palette_order.
extern int palette_order[256];

// Zeroes palette_order and fills it from the catalogue. Returns the number of
// tiles placed.
int build_palette_order(const game& g);

// Sets cell (x, y) of g.edit_level to `tile` and records the step, dropping the
// steps that could have been redone. Nothing happens outside the playable area
// 4..123 or when the cell already holds the tile. True when a step was made.
bool paint_cell(game& g, int tile, int x, int y);

// paint_cell along the straight line from cell (cx, cy) to cell (px, py), both
// ends included: n + 1 points for n the whole part of the length plus one, so
// consecutive points are neighbours and no cell of the line is skipped.
// Returns the number of steps made.
int paint_line(game& g, int tile, int cx, int cy, int px, int py);

// Takes back the newest applied step: lowers g.undo_pos and, when the ring
// still holds that step, puts its old tile back ("undo: %d %d %d" on stderr).
void undo_step(game& g);

// Applies the step at g.undo_pos again when the ring holds it ("redo: %d %d %d"
// on stderr).
void redo_step(game& g);

// Empties the undo history: position 0, every entry zero.
void clear_undo(game& g);

// The tile an arrow paints with the view turned: the arrow among tiles 0..31
// whose direction, drawn through the current view, is the direction of `tile`
// as shown in the palette. `tile` itself when it is no arrow or no such arrow
// exists.
int arrow_for_view(const game& g, int tile);
