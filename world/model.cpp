#include "world/model.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "world/catalogue.h"
#include "world/rules.h"

namespace {

actor g_scratch;  // handed out when all 64 slots are in use

// Facing digit -> step; index 0..9.
const int8_t DIGIT_DX[10] = {0, 0, 1, 1, -1, 0, 1, -1, -1, 0};
const int8_t DIGIT_DY[10] = {0, 1, 1, 0, 1, 0, -1, 0, -1, -1};

int clamp_int(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

float clamp_float(float v, float limit) {
    if (!std::isfinite(v)) return 0.0f;
    return v < -limit ? -limit : v > limit ? limit : v;
}

bool is_spawn_kind(int k) {
    return k == TILE_GUARD || k == TILE_PLAYER || k == TILE_ARROW || k == TILE_LIGHT;
}

bool known_kind(int k) {
    switch (k) {
    case ACTOR_GUARD: case ACTOR_PLAYER: case ACTOR_LAMP: case ACTOR_BLAST:
    case ACTOR_MINI_BLAST: case ACTOR_DETONATOR: case ACTOR_TIME_BOMB: case ACTOR_EMP_BOMB:
    case ACTOR_MINI_BOMB: case ACTOR_SPARK:
        return true;
    default:
        return false;
    }
}

actor& spawn_at(game& g, int kind, int x, int y) {
    actor& a = spawn_actor(g);
    a.active = 1;
    a.kind = uint8_t(kind);
    a.x = float(x);
    a.y = float(y);
    a.cell_x = int8_t(x);
    a.cell_y = int8_t(y);
    a.facing = 2;
    return a;
}

void route_push(actor& a, int x, int y) {
    if (a.route_count >= ROUTE_MAX_POINTS) return;
    a.route[a.route_count][0] = uint8_t(x);
    a.route[a.route_count][1] = uint8_t(y);
    ++a.route_count;
}

// Lays out a patrol route from the arrows: point 0 is the actor's own cell, the
// start cell (an arrow next to a guard) point 1 when it differs; then the arrows
// met walking in the current direction, until the frame, a solid cell (guards
// only), a direction of none, an arrow already on the route (which makes the route
// loop back to it) or 32 points.
void trace_route(game& g, actor& a, int own_x, int own_y, int start_x, int start_y, int dir,
                 bool is_guard) {
    const level& lv = g.level;
    a.route_count = 0;
    a.route_pos = 0;
    a.route_continue = 0;
    route_push(a, own_x, own_y);
    if (start_x != own_x || start_y != own_y) route_push(a, start_x, start_y);
    int cx = start_x, cy = start_y;
    for (;;) {
        int sx, sy;
        if (!digit_step(dir, &sx, &sy)) return;
        for (;;) {
            cx += sx;
            cy += sy;
            if (!in_play(cx, cy)) return;
            const int t = lv.map[cell_index(cx, cy)];
            if (is_guard && tile_solid(g, t)) return;
            if (tile_kind(g, t) == TILE_ARROW) break;
        }
        for (int k = 1; k < a.route_count; ++k) {
            if (a.route[k][0] == cx && a.route[k][1] == cy) {
                a.route_continue = k;
                return;
            }
        }
        route_push(a, cx, cy);
        if (a.route_count > ROUTE_MAX_POINTS - 1) return;
        dir = tile_value(g, lv.map[cell_index(cx, cy)]);
    }
}

// The last arrow among the 3 x 3 cells around (x, y), rows top to bottom and cells
// left to right; false when there is none.
bool last_arrow_around(const game& g, int x, int y, int* ax, int* ay, int* dir) {
    bool found = false;
    for (int j = -1; j <= 1; ++j) {
        for (int i = -1; i <= 1; ++i) {
            const int t = g.level.map[cell_index(x + i, y + j)];
            if (tile_kind(g, t) != TILE_ARROW) continue;
            *ax = x + i;
            *ay = y + j;
            *dir = tile_value(g, t);
            found = true;
        }
    }
    return found;
}

// Spawn tiles become ground, judged from the four neighbours (cells already
// replaced count as replaced).
void replace_spawn_tiles(game& g) {
    uint8_t* map = g.level.map;
    for (int y = 1; y <= MAP_SIZE - 2; ++y) {
        for (int x = 1; x <= MAP_SIZE - 2; ++x) {
            const int i = cell_index(x, y);
            const int k = tile_kind(g, map[i]);
            if (!is_spawn_kind(k)) continue;
            int n0 = 0, n2 = 0, n3 = 0;
            for (int n : {map[i - 1], map[i + 1], map[i - MAP_SIZE], map[i + MAP_SIZE]}) {
                n0 += n == 0;
                n2 += n == 2;
                n3 += n == 3;
            }
            int t = 1;
            if (n2 >= 2) t = 2;
            if (k == TILE_ARROW || k == TILE_LIGHT) {
                if (n0 >= 2) t = 0;
                if (n3 >= 2) t = 3;
            }
            map[i] = uint8_t(t);
        }
    }
}

// Per-tile facts build_flags needs, gathered once per call.
enum : uint16_t {
    INFO_SOLID = CELL_SOLID,
    INFO_OPAQUE = CELL_OPAQUE,
    INFO_DARK = CELL_DARK,
    INFO_PILLAR = 0x100,
    INFO_SPRITE = 0x200,
    INFO_CASTS = 0x400,    // shadow != 0
    INFO_SHADOW1 = 0x800,  // shadow > 0
    INFO_SHADOW2 = 0x1000, // shadow > 1
};

}  // namespace

int whole(float v) {
    if (!(v == v)) return 0;
    if (v > 1e6f) return 1000000;
    if (v < -1e6f) return -1000000;
    return int(v);
}

bool digit_step(int digit, int* sx, int* sy) {
    if (digit < 0 || digit > 9 || digit == 5 || digit == 0) {
        *sx = *sy = 0;
        return false;
    }
    *sx = DIGIT_DX[digit];
    *sy = DIGIT_DY[digit];
    return true;
}

int step_digit(float sx, float sy) {
    static const int DIGITS[9] = {8, 9, 6, 7, 5, 3, 4, 1, 2};
    const int x = sx > 0 ? 1 : sx < 0 ? -1 : 0;
    const int y = sy > 0 ? 1 : sy < 0 ? -1 : 0;
    return DIGITS[x + 3 * y + 4];
}

void new_level(game& g) {
    level& lv = g.level;
    memset(&lv, 0, sizeof lv);
    for (int y = 0; y < MAP_SIZE; ++y) {
        for (int x = 0; x < MAP_SIZE; ++x) {
            const bool frame = x < MAP_MIN || y < MAP_MIN || x > MAP_MAX || y > MAP_MAX;
            if (frame) lv.map[x + MAP_SIZE * y] = 32;
        }
    }
    for (int y = 63; y <= 65; ++y)
        for (int x = 63; x <= 65; ++x) lv.map[x + MAP_SIZE * y] = 1;
    lv.map[64 + MAP_SIZE * 64] = 4;
    lv.look_x = 64.0f;
    lv.look_y = 64.0f;
    lv.unbeaten = 1;
    snprintf(lv.id, sizeof lv.id, "%ld", long(time(nullptr)));
    memcpy(&g.edit_level, &lv, sizeof lv);
}

actor& spawn_actor(game& g) {
    level& lv = g.level;
    int s = lv.next_slot;
    if (s < 0 || s >= MAX_ACTORS) s = 0;
    for (int n = 0; n < MAX_ACTORS; ++n, s = (s + 1) % MAX_ACTORS) {
        actor& a = lv.actors[s];
        if (a.active) continue;
        memset(&a, 0, sizeof a);
        a.slot = s;
        lv.next_slot = (s + 1) % MAX_ACTORS;
        return a;
    }
    memset(&g_scratch, 0, sizeof g_scratch);
    g_scratch.slot = -1;
    return g_scratch;
}

actor* find_actor(game& g, int kind) {
    for (actor& a : g.level.actors)
        if (a.active && a.kind == kind) return &a;
    return nullptr;
}

actor* actor_at(game& g, int x, int y) {
    const float fx = float(x), fy = float(y);
    for (actor& a : g.level.actors) {
        if (!a.active || a.kind == ACTOR_PLAYER || a.kind == ACTOR_LAMP) continue;
        if (a.x == fx && a.y == fy) return &a;
    }
    return nullptr;
}

namespace {

// The part of the flag grid that depends on the map and the catalogue alone (all
// but the lamps' light), with the count of targets, kept for the map and tile
// facts it was made from. Play rebuilds the flags every tick while the map rarely
// changes, so most rebuilds are a compare and a copy. Keyed by content, so it is
// right for any game record.
struct StaticFlags {
    bool valid = false;
    uint16_t info[256];
    uint8_t map[MAP_SIZE * MAP_SIZE];
    uint8_t flags[MAP_SIZE * MAP_SIZE];
    int targets = 0;
};
StaticFlags g_static_flags;

void build_static_flags(const uint16_t* info, const uint8_t* map, uint8_t* flags, int* targets_out) {
    memset(flags, 0, MAP_SIZE * MAP_SIZE);
    int targets = 0;
    for (int y = MAP_MIN; y <= MAP_MAX; ++y) {
        for (int x = MAP_MIN; x <= MAP_MAX; ++x) {
            const int i = cell_index(x, y);
            const int t = map[i];
            const unsigned v = info[t];
            unsigned f = flags[i];
            if (v & INFO_CASTS) f &= ~unsigned(CELL_SHADED);
            f |= v & (CELL_SOLID | CELL_OPAQUE | CELL_DARK);
            if ((v & INFO_SPRITE) && !(f & CELL_DARK)) {
                const int n2 = (map[i - 1] == 2) + (map[i + 1] == 2) +
                               (map[i - MAP_SIZE] == 2) + (map[i + MAP_SIZE] == 2);
                if (n2 >= 2) f |= CELL_DARK;
            }
            if (t != 0 && t != 3 &&
                (map[i - 1] == 3 || map[i + 1] == 3 || map[i - MAP_SIZE] == 3 ||
                 map[i + MAP_SIZE] == 3))
                f |= CELL_CRATER_EDGE;
            flags[i] = uint8_t(f);
            if (v & INFO_SHADOW1) flags[i + MAP_SIZE] |= CELL_SHADED;
            if (v & INFO_SHADOW2) flags[i + 2 * MAP_SIZE] |= CELL_SHADED;
            targets += (v & INFO_PILLAR) != 0;
        }
    }
    *targets_out = targets;
}

}  // namespace

void build_flags(game& g) {
    uint16_t info[256];
    for (int t = 0; t < 256; ++t) {
        const tile_entry& e = g.tiles[t];
        uint16_t v = 0;
        if (e.solid) v |= INFO_SOLID;
        if (e.opaque) v |= INFO_OPAQUE;
        if (e.kind == TILE_DARK) v |= INFO_DARK;
        if (e.kind == TILE_PILLAR) v |= INFO_PILLAR;
        if (e.view == TILE_SPRITE) v |= INFO_SPRITE;
        if (e.shadow != 0) v |= INFO_CASTS;
        if (e.shadow > 0) v |= INFO_SHADOW1;
        if (e.shadow > 1) v |= INFO_SHADOW2;
        info[t] = v;
    }

    level& lv = g.level;
    StaticFlags& c = g_static_flags;
    if (!c.valid || memcmp(c.info, info, sizeof info) != 0 ||
        memcmp(c.map, lv.map, sizeof c.map) != 0) {
        memcpy(c.info, info, sizeof info);
        memcpy(c.map, lv.map, sizeof c.map);
        build_static_flags(c.info, c.map, c.flags, &c.targets);
        c.valid = true;
    }
    memcpy(g.flags, c.flags, sizeof g.flags);
    lv.targets_left = c.targets;

    uint8_t* flags = g.flags;
    for (const actor& a : lv.actors) {
        if (!a.active || a.kind != ACTOR_LAMP) continue;
        const int cx = a.cell_x, cy = a.cell_y;
        for (int j = -4; j <= 4; ++j) {
            for (int i = -4; i <= 4; ++i) {
                if (i * i + j * j >= 25) continue;
                const int x = cx + i, y = cy + j;
                if (x <= 3 || x > 124 || y <= 3 || y > 124) continue;
                uint8_t& f = flags[cell_index(x, y)];
                if (!(f & CELL_DARK)) f |= CELL_LIT;
            }
        }
    }
}

void setup_level(game& g, int start_of_play) {
    level& lv = g.level;
    level_terminate_texts(lv);
    memset(lv.actors, 0, sizeof lv.actors);
    lv.next_slot = 0;
    lv.ticks = 0;
    lv.play_time = 0;
    lv.targets_total = 0;
    lv.targets_left = 0;
    lv.cartridges = 0;
    lv.cartridges_total = 0;

    for (int y = MAP_MIN; y <= MAP_MAX; ++y) {
        for (int x = MAP_MIN; x <= MAP_MAX; ++x) {
            const int t = lv.map[cell_index(x, y)];
            int ax = x, ay = y, dir = 0;
            switch (tile_kind(g, t)) {
            case TILE_PILLAR:
                ++lv.targets_total;
                break;
            case TILE_ITEM:
                if (tile_value(g, t) == 5) ++lv.cartridges_total;
                break;
            case TILE_PLAYER: {
                actor& a = spawn_at(g, ACTOR_PLAYER, x, y);
                a.mode = MODE_STANDING;
                snprintf(a.anim, sizeof a.anim, "player");
                if (last_arrow_around(g, x, y, &ax, &ay, &dir)) a.facing = uint8_t(dir);
                break;
            }
            case TILE_GUARD: {
                actor& a = spawn_at(g, ACTOR_GUARD, x, y);
                if (last_arrow_around(g, x, y, &ax, &ay, &dir)) a.facing = uint8_t(dir);
                trace_route(g, a, x, y, ax, ay, dir, true);
                a.x = float(x);
                a.y = float(y);
                a.dx = a.dy = 0.0f;
                a.mode = MODE_STANDING;
                snprintf(a.anim, sizeof a.anim, "guard");
                break;
            }
            case TILE_LIGHT: {
                actor& a = spawn_at(g, ACTOR_LAMP, x, y);
                a.value = tile_value(g, t);
                if (last_arrow_around(g, x, y, &ax, &ay, &dir)) a.facing = uint8_t(dir);
                trace_route(g, a, x, y, x, y, dir, false);
                a.dx = a.dy = 0.0f;
                a.mode = MODE_STANDING;
                break;
            }
            default:
                break;
            }
        }
    }

    if (start_of_play) {
        if (actor* p = find_actor(g, ACTOR_PLAYER)) {
            lv.look_x = p->x;
            lv.look_y = p->y;
        }
    }
    replace_spawn_tiles(g);
    build_flags(g);
    game_tick(g);
    build_flags(g);
    game_tick(g);
}

void level_sanitize(level& lv) {
    const int BIG = 1 << 30;
    level_terminate_texts(lv);
    for (int32_t& n : lv.inventory) n = clamp_int(n, 0, 1 << 20);
    lv.ticks = clamp_int(lv.ticks, 0, BIG);
    lv.play_time = clamp_int(lv.play_time, 0, BIG);
    lv.emp_time = clamp_int(lv.emp_time, 0, BIG);
    lv.targets_left = clamp_int(lv.targets_left, 0, BIG);
    lv.targets_total = clamp_int(lv.targets_total, 0, BIG);
    lv.cartridges = clamp_int(lv.cartridges, 0, BIG);
    lv.cartridges_total = clamp_int(lv.cartridges_total, 0, BIG);
    lv.rewinds_used = clamp_int(lv.rewinds_used, 0, BIG);
    lv.bombs_held = clamp_int(lv.bombs_held, 0, BIG);
    if (lv.next_slot < 0 || lv.next_slot >= MAX_ACTORS) lv.next_slot = 0;
    lv.cam_dist = clamp_float(lv.cam_dist, 1e4f);
    lv.cam_angle = clamp_float(lv.cam_angle, 1e4f);
    lv.look_x = clamp_float(lv.look_x, 1e4f);
    lv.look_y = clamp_float(lv.look_y, 1e4f);
    lv.view_x = clamp_float(lv.view_x, 1e4f);
    lv.view_y = clamp_float(lv.view_y, 1e4f);
    lv.view_r = clamp_float(lv.view_r, 1e4f);
    lv.mouse_x = clamp_float(lv.mouse_x, 1e4f);
    lv.mouse_y = clamp_float(lv.mouse_y, 1e4f);
    lv.cam_angle_target = clamp_float(lv.cam_angle_target, 1e4f);
    lv.zoom_target = clamp_float(lv.zoom_target, 1e4f);
    lv.pick_x = clamp_float(lv.pick_x, 1e4f);
    lv.pick_y = clamp_float(lv.pick_y, 1e4f);
    lv.cursor_x = clamp_float(lv.cursor_x, 1e4f);
    lv.cursor_y = clamp_float(lv.cursor_y, 1e4f);

    for (int s = 0; s < MAX_ACTORS; ++s) {
        actor& a = lv.actors[s];
        if (a.active && !known_kind(a.kind)) a.active = 0;
        if (!a.active) continue;  // a free slot is zeroed before reuse and never read
        a.active = 1;
        a.slot = s;
        if (a.mode != 0 && (a.mode < MODE_DYING || a.mode > MODE_ESCAPED)) a.mode = MODE_STANDING;
        a.counter = clamp_int(a.counter, 0, BIG);
        a.fuse = clamp_int(a.fuse, 0, BIG);
        a.x = clamp_float(a.x, 1e4f);
        a.y = clamp_float(a.y, 1e4f);
        a.dx = clamp_float(a.dx, 256.0f);
        a.dy = clamp_float(a.dy, 256.0f);
        if (a.cell_x < 0) a.cell_x = 0;
        if (a.cell_y < 0) a.cell_y = 0;
        a.steps = clamp_int(a.steps, 0, PATH_MAX_STEPS);
        a.route_count = clamp_int(a.route_count, 0, ROUTE_MAX_POINTS);
        a.route_pos = clamp_int(a.route_pos, 0, a.route_count);
        if (a.route_continue < 0 || a.route_continue >= a.route_count) a.route_continue = 0;
        if (a.return_x >= MAP_SIZE || a.return_y >= MAP_SIZE) a.return_x = a.return_y = 0;
    }
}
