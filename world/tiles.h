// The tile catalogue: what each of the 256 tile numbers means to the rules,
// the renderer and the editor. Lives inside the game record.
#pragma once

#include <cstddef>
#include <cstdint>

// Tile kinds (also used for the `view` field).
enum : int {
    TILE_NONE = 0,
    TILE_FLOOR = 1,
    TILE_DARK = 2,
    TILE_FULL = 3,
    TILE_ARCH = 4,
    TILE_WALL = 5,
    TILE_WINDOW = 6,
    TILE_PILLAR = 7,
    TILE_CRATE = 8,
    TILE_PIT = 9,
    TILE_GUARD = 10,
    TILE_PLAYER = 11,
    TILE_ARROW = 12,
    TILE_LIGHT = 13,
    TILE_ITEM = 14,
    TILE_SPRITE = 15,
    TILE_DECAL = 16,
};

struct tile_entry {
    int32_t number;     // equals the entry's index
    char name[32];
    int8_t kind;        // TILE_*; -1 for a word not in the table
    uint8_t pad0[3];
    int32_t value;      // meaning depends on the kind
    int8_t view;        // how the tile is drawn
    uint8_t pad1[3];
    int32_t solid;      // non-zero: blocks walking, kills what stands in it
    int32_t opaque;     // non-zero: blocks sight
    int32_t shadow;     // 0, 1 or 2 cells of shadow in +y
    int32_t editor;     // non-zero: offered by the editor's palette
    char help[320];
    uint8_t reserved[12];
};

static_assert(sizeof(tile_entry) == 396, "tile catalogue entry is 396 bytes");
