// The application record (`game`) and the user's settings (`settings`).
//
// `game` is one flat block of 213308 bytes, written whole as state.dat. It holds no
// pointers: the run-time handles of the original 32-bit layout (rewind store,
// three database objects) live beside it in their own modules, and their slots
// here stay zero-filled reserved bytes. No SDL or GL in this header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "world/level.h"
#include "world/tiles.h"

struct settings {
    int32_t version;        // written as 1
    char user[64];          // account user name
    char password[64];      // account password
    int32_t music_volume;   // 0..100
    int32_t effects_volume; // 0..100
    char user_id[64];       // "g:" + user name, rebuilt at every start
    char device_id[64];     // "time|" + Unix time of the first start
    int32_t video_mode;     // width * 4096 + height; <= 0 lets the driver choose
    int32_t fullscreen;     // 1 full screen, -1 windowed
};

// One editor undo step (see the map editor).
struct UndoStep {
    int32_t seq;            // the step number this entry records
    uint8_t x, y;
    uint8_t old_tile;       // tile before the step
    uint8_t new_tile;       // tile after the step
};

enum : int {
    STATE_TABLE_SIZE = 32,
    GAME_RECORD_VERSION = 1,
};

struct game {
    int32_t version;            // 1 once running
    int32_t state;              // current screen-state number
    int32_t return_state;       // where quitting a level returns to
    int32_t error_return_state; // where the error screen returns to
    ::level level;              // the play copy
    UndoStep undo_ring[128];
    int32_t undo_pos;
    uint8_t flags[MAP_SIZE * MAP_SIZE];  // cell-flag grid, row-major
    ::level edit_level;         // the stored copy
    char download_query[256];
    char download_title[256];
    char error_text[256];
    ::settings settings;        // also stored on its own in settings.dat
    int32_t quit;               // 1 ends the main loop
    tile_entry tiles[256];      // the tile catalogue, rebuilt from tiles.json at start
    uint8_t rewind_store_slot[4];  // reserved: the store lives beside the record
    int32_t rewind_pos;         // snapshots taken since play started
    uint8_t db_slots[36];       // reserved: the three databases live beside the record
    int32_t windowed;           // temporarily-windowed flag (full screen left for a browser)
    uint8_t keys[256];          // key-down table by program key code
};

// Cell-flag bits.
enum : int {
    CELL_SOLID = 1,
    CELL_OPAQUE = 2,
    CELL_SHADED = 4,
    CELL_LIT = 8,
    CELL_DARK = 32,
    CELL_CRATER_EDGE = 64,
};

static_assert(sizeof(settings) == 276, "settings record is 276 bytes");
static_assert(offsetof(settings, user) == 4);
static_assert(offsetof(settings, password) == 68);
static_assert(offsetof(settings, music_volume) == 132);
static_assert(offsetof(settings, effects_volume) == 136);
static_assert(offsetof(settings, user_id) == 140);
static_assert(offsetof(settings, device_id) == 204);
static_assert(offsetof(settings, video_mode) == 268);
static_assert(offsetof(settings, fullscreen) == 272);

static_assert(sizeof(UndoStep) == 8);

static_assert(sizeof(game) == 213308, "game record is 213308 bytes");
static_assert(offsetof(game, state) == 4);
static_assert(offsetof(game, return_state) == 8);
static_assert(offsetof(game, error_return_state) == 12);
static_assert(offsetof(game, level) == 16);
static_assert(offsetof(game, undo_ring) == 46592);
static_assert(offsetof(game, undo_pos) == 47616);
static_assert(offsetof(game, flags) == 47620);
static_assert(offsetof(game, edit_level) == 64004);
static_assert(offsetof(game, download_query) == 110580);
static_assert(offsetof(game, download_title) == 110836);
static_assert(offsetof(game, error_text) == 111092);
static_assert(offsetof(game, settings) == 111348);
static_assert(offsetof(game, quit) == 111624);
static_assert(offsetof(game, tiles) == 111628);
static_assert(offsetof(game, rewind_store_slot) == 213004);
static_assert(offsetof(game, rewind_pos) == 213008);
static_assert(offsetof(game, db_slots) == 213012);
static_assert(offsetof(game, windowed) == 213048);
static_assert(offsetof(game, keys) == 213052);
