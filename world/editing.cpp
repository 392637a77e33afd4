#include "world/editing.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "world/catalogue.h"
#include "world/model.h"
#include "world/rules.h"

int palette_order[256];

namespace {

UndoStep& ring_entry(game& g, int32_t pos) {
    return g.undo_ring[uint32_t(pos) % UNDO_RING_SIZE];
}

// A position outside 0..UNDO_POS_MAX can only come from a damaged state.dat;
// such a history is unusable, so it is dropped.
void check_undo_pos(game& g) {
    if (g.undo_pos < 0 || g.undo_pos > UNDO_POS_MAX) clear_undo(g);
}

}  // namespace

int build_palette_order(const game& g) {
    memset(palette_order, 0, sizeof palette_order);
    int n = 0;
    for (int k = 1; k <= EDITOR_CATEGORIES; ++k)
        for (int j = 0; j < 256; ++j)
            if (tile_at(g, j).editor == k) palette_order[n++] = j;
    return n;
}

bool paint_cell(game& g, int tile, int x, int y) {
    if (!in_play(x, y)) return false;
    uint8_t& cell = g.edit_level.map[cell_index(x, y)];
    if (cell == uint8_t(tile)) return false;
    check_undo_pos(g);
    UndoStep& e = ring_entry(g, g.undo_pos);
    e.seq = g.undo_pos;
    e.x = uint8_t(x);
    e.y = uint8_t(y);
    e.old_tile = cell;
    e.new_tile = uint8_t(tile);
    cell = uint8_t(tile);
    ++g.undo_pos;
    g.edit_level.unbeaten = 1;
    // Drop the redo history. The whole entry is cleared, not only its number:
    // a dropped entry in slot 0 reads as step 0 again, and must then hold no
    // cell to change.
    for (UndoStep& s : g.undo_ring)
        if (s.seq >= g.undo_pos) s = UndoStep{};
    return true;
}

int paint_line(game& g, int tile, int cx, int cy, int px, int py) {
    const int ddx = px - cx, ddy = py - cy;
    const int n = int(std::sqrt(double(ddx) * ddx + double(ddy) * ddy) + 1);
    int made = 0;
    for (int i = 0; i <= n; ++i) {
        const int x = cx + int(int64_t(i) * ddx / n);
        const int y = cy + int(int64_t(i) * ddy / n);
        if (paint_cell(g, tile, x, y)) ++made;
    }
    return made;
}

void undo_step(game& g) {
    check_undo_pos(g);
    if (g.undo_pos == 0) return;
    --g.undo_pos;
    const UndoStep& e = ring_entry(g, g.undo_pos);
    // An entry of another number means the step is older than the ring keeps:
    // the position still goes down, the map stays.
    if (e.seq != g.undo_pos) return;
    fprintf(stderr, "undo: %d %d %d\n", e.x, e.y, e.old_tile);
    if (in_play(e.x, e.y)) {
        g.edit_level.map[cell_index(e.x, e.y)] = e.old_tile;
        g.edit_level.unbeaten = 1;
    }
}

void redo_step(game& g) {
    check_undo_pos(g);
    const UndoStep& e = ring_entry(g, g.undo_pos);
    if (e.seq != g.undo_pos) return;
    fprintf(stderr, "redo: %d %d %d\n", e.x, e.y, e.new_tile);
    if (!in_play(e.x, e.y)) return;
    g.edit_level.map[cell_index(e.x, e.y)] = e.new_tile;
    ++g.undo_pos;
    g.edit_level.unbeaten = 1;
}

void clear_undo(game& g) {
    g.undo_pos = 0;
    memset(g.undo_ring, 0, sizeof g.undo_ring);
}

int arrow_for_view(const game& g, int tile) {
    if (tile_kind(g, tile) != TILE_ARROW) return tile;
    // The inverse of the turn the view gives facings when they are drawn.
    const int want = turn_facing(tile_value(g, tile), 32 - view_turn(g));
    for (int t = 0; t < 32; ++t)
        if (tile_kind(g, t) == TILE_ARROW && tile_value(g, t) == want) return t;
    return tile;
}
