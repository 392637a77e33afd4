// The level record and its actors: one level in a flat, pointer-free block.
//
// The byte layout is a stored format (rewind snapshots, state.dat, the compressed
// `data` column, the web service), so every offset is pinned by static_assert.
// int32, IEEE float, little-endian, fixed-size NUL-terminated texts.
#pragma once

#include <cstddef>
#include <cstdint>

enum : int {
    MAP_SIZE = 128,        // cells per side; cell (x, y) is map[x + 128 * y]
    MAP_MIN = 4,           // first cell on either axis that takes part in the rules
    MAP_MAX = 123,         // last such cell
    MAX_ACTORS = 64,
    PATH_MAX_STEPS = 128,
    ROUTE_MAX_POINTS = 32,
};

// Actor kinds.
enum : int {
    ACTOR_GUARD = 10,
    ACTOR_PLAYER = 11,
    ACTOR_LAMP = 13,
    ACTOR_BLAST = 17,       // Detonator or Time Bomb blast (crater)
    ACTOR_MINI_BLAST = 18,  // Mini Bomb blast
    ACTOR_DETONATOR = 19,
    ACTOR_TIME_BOMB = 20,
    ACTOR_EMP_BOMB = 21,
    ACTOR_MINI_BOMB = 22,
    ACTOR_CARTRIDGE = 23,   // inventory slot only; never an actor on the map
    ACTOR_SPARK = 30,       // escape celebration; behaves as a crater blast
};

// Actor modes.
enum : int {
    MODE_DYING = 24,
    MODE_RUNNING = 25,
    MODE_WALKING = 26,
    MODE_SHOOTING = 27,
    MODE_STANDING = 28,
    MODE_ESCAPED = 29,
};

struct actor {
    uint8_t active;         // 1 in use, 0 free
    uint8_t kind;           // ACTOR_*
    uint8_t reserved0[2];
    int32_t slot;           // own slot number 0..63
    int32_t value;          // a lamp keeps the value of its tile
    int32_t counter;        // ticks in the current mode
    int32_t fuse;           // ticks left on a Time Bomb
    float x, y;             // position in cell units
    float dx, dy;           // the step being walked; 0, 0 when still
    int8_t cell_x, cell_y;  // the cell stood on or walked to
    uint8_t facing;         // keypad digit
    uint8_t mode;           // MODE_*
    char anim[32];          // animation name
    uint8_t path[PATH_MAX_STEPS][2];    // (x, y) cells, last step first
    int32_t steps;          // steps left; the next cell is path[steps - 1]
    uint8_t route[ROUTE_MAX_POINTS][2]; // way-points (x, y)
    int32_t route_count;
    int32_t route_pos;
    int32_t route_continue; // point to continue at after the last one; 0 ends the route
    uint8_t return_x, return_y;  // return cell; return_x == 0 means none
    uint8_t return_facing;       // facing to take at the return cell; 0 none
    uint8_t has_moved;
    uint8_t reserved1[16];
};

struct level {
    int32_t reserved0;
    int32_t inventory[32];  // indexed by actor kind: 19..22 bombs, 23 cartridges
    char title[64];
    char intro[256];
    char theme[32];
    char music[32];
    char name[32];
    char author[32];
    char uid[32];           // author's user identifier on the web service
    float stars;            // average "Awesomeness"
    float skulls;           // average "Difficulty"
    int32_t unbeaten;       // 1 for a new or edited map; cleared by a clean win
    uint8_t reserved1[20];
    char id[32];            // identifier; a new map gets the Unix time in decimal
    float cam_dist;         // camera distance, eased toward zoom_target
    float cam_angle;        // camera heading in degrees
    float look_x, look_y;   // the point the camera looks at
    uint8_t map[MAP_SIZE * MAP_SIZE];  // tile numbers, row-major
    uint8_t reserved2[1016];
    int32_t reserved3;
    float cursor_x, cursor_y;   // the map editor's last painted cell
    int32_t started;        // 0 until the play screen has set the level up
    int32_t ticks;          // ticks since set-up
    int32_t play_time;      // ticks, running once the player has moved
    int32_t emp_time;       // EMP ticks left
    int32_t targets_left;
    int32_t targets_total;
    float view_x, view_y, view_r;   // visible area kept by the world renderer
    float mouse_x, mouse_y;         // ground point under the pointer
    float cam_angle_target;         // heading the view turns towards
    float zoom_target;              // -25 .. 50
    actor actors[MAX_ACTORS];
    int32_t next_slot;      // slot at which the next actor search starts
    int32_t cartridges;     // Data Cartridges collected
    int32_t cartridges_total;
    int32_t rewinds_used;
    int32_t bombs_held;     // inventory[19..22], refreshed each tick
    float pick_x, pick_y;   // the cell chosen under the pointer, as cell + 0.5
    uint8_t reserved5[1000];
};

static_assert(sizeof(actor) == 428, "actor record is 428 bytes");
static_assert(offsetof(actor, slot) == 4);
static_assert(offsetof(actor, value) == 8);
static_assert(offsetof(actor, counter) == 12);
static_assert(offsetof(actor, fuse) == 16);
static_assert(offsetof(actor, x) == 20);
static_assert(offsetof(actor, dx) == 28);
static_assert(offsetof(actor, cell_x) == 36);
static_assert(offsetof(actor, facing) == 38);
static_assert(offsetof(actor, mode) == 39);
static_assert(offsetof(actor, anim) == 40);
static_assert(offsetof(actor, path) == 72);
static_assert(offsetof(actor, steps) == 328);
static_assert(offsetof(actor, route) == 332);
static_assert(offsetof(actor, route_count) == 396);
static_assert(offsetof(actor, route_pos) == 400);
static_assert(offsetof(actor, route_continue) == 404);
static_assert(offsetof(actor, return_x) == 408);
static_assert(offsetof(actor, return_facing) == 410);
static_assert(offsetof(actor, has_moved) == 411);
static_assert(offsetof(actor, reserved1) == 412);

static_assert(sizeof(level) == 46576, "level record is 46576 bytes");
static_assert(offsetof(level, inventory) == 4);
static_assert(offsetof(level, title) == 132);
static_assert(offsetof(level, intro) == 196);
static_assert(offsetof(level, theme) == 452);
static_assert(offsetof(level, music) == 484);
static_assert(offsetof(level, name) == 516);
static_assert(offsetof(level, author) == 548);
static_assert(offsetof(level, uid) == 580);
static_assert(offsetof(level, stars) == 612);
static_assert(offsetof(level, skulls) == 616);
static_assert(offsetof(level, unbeaten) == 620);
static_assert(offsetof(level, reserved1) == 624);
static_assert(offsetof(level, id) == 644);
static_assert(offsetof(level, cam_dist) == 676);
static_assert(offsetof(level, cam_angle) == 680);
static_assert(offsetof(level, look_x) == 684);
static_assert(offsetof(level, map) == 692);
static_assert(offsetof(level, reserved2) == 17076);
static_assert(offsetof(level, reserved3) == 18092);
static_assert(offsetof(level, cursor_x) == 18096);
static_assert(offsetof(level, cursor_y) == 18100);
static_assert(offsetof(level, started) == 18104);
static_assert(offsetof(level, ticks) == 18108);
static_assert(offsetof(level, play_time) == 18112);
static_assert(offsetof(level, emp_time) == 18116);
static_assert(offsetof(level, targets_left) == 18120);
static_assert(offsetof(level, targets_total) == 18124);
static_assert(offsetof(level, view_x) == 18128);
static_assert(offsetof(level, mouse_x) == 18140);
static_assert(offsetof(level, cam_angle_target) == 18148);
static_assert(offsetof(level, zoom_target) == 18152);
static_assert(offsetof(level, actors) == 18156);
static_assert(offsetof(level, next_slot) == 45548);
static_assert(offsetof(level, cartridges) == 45552);
static_assert(offsetof(level, cartridges_total) == 45556);
static_assert(offsetof(level, rewinds_used) == 45560);
static_assert(offsetof(level, bombs_held) == 45564);
static_assert(offsetof(level, pick_x) == 45568);
static_assert(offsetof(level, reserved5) == 45576);

// Forces every text field of a level to end in NUL. Anything loaded from outside
// (state.dat, a database row, the web service) goes through this before use.
void level_terminate_texts(level& lv);
