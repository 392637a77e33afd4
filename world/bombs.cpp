#include "world/bombs.h"

#include <cstdio>
#include <cstring>

#include "world/catalogue.h"
#include "world/hooks.h"
#include "world/model.h"
#include "world/paths.h"

namespace {

const uint8_t CRATER[11][11] = {
    {0, 0, 0, 0, 6, 6, 6, 0, 0, 0, 0},
    {0, 0, 6, 6, 5, 5, 5, 6, 6, 0, 0},
    {0, 6, 5, 5, 4, 4, 4, 5, 5, 6, 0},
    {0, 6, 5, 4, 3, 3, 3, 4, 5, 6, 0},
    {6, 5, 4, 3, 2, 2, 2, 3, 4, 5, 6},
    {6, 5, 4, 3, 2, 1, 2, 3, 4, 5, 6},
    {6, 5, 4, 3, 2, 2, 2, 3, 4, 5, 6},
    {0, 6, 5, 4, 3, 3, 3, 4, 5, 6, 0},
    {0, 6, 5, 5, 4, 4, 4, 5, 5, 6, 0},
    {0, 0, 6, 6, 5, 5, 5, 6, 6, 0, 0},
    {0, 0, 0, 0, 6, 6, 6, 0, 0, 0, 0},
};

const uint8_t MINI[5][5] = {
    {0, 4, 4, 4, 0},
    {4, 3, 2, 3, 4},
    {4, 2, 1, 2, 4},
    {4, 3, 2, 3, 4},
    {0, 4, 4, 4, 0},
};

void become_blast(game& g, actor& b, int kind) {
    rules_sound(g, "bomb");
    b.kind = uint8_t(kind);
    b.counter = 0;
    snprintf(b.anim, sizeof b.anim, "blast-0");
}

// The ring counter grows by one every other tick.
int advance_ring(const game& g, actor& b) {
    b.counter += g.level.ticks % 2;
    return b.counter;
}

// The first guard standing exactly on a cell: other actors lying there (the
// blast itself, a bomb) never shield it.
actor* guard_at(game& g, int x, int y) {
    const float fx = float(x), fy = float(y);
    for (actor& a : g.level.actors)
        if (a.active && a.kind == ACTOR_GUARD && a.x == fx && a.y == fy) return &a;
    return nullptr;
}

bool player_on(game& g, const actor& b) {
    const actor* p = find_actor(g, ACTOR_PLAYER);
    return p && p->x == b.x && p->y == b.y;
}

}  // namespace

int crater_ring(int i, int j) {
    return i < -5 || i > 5 || j < -5 || j > 5 ? 0 : CRATER[j + 5][i + 5];
}

int mini_ring(int i, int j) {
    return i < -2 || i > 2 || j < -2 || j > 2 ? 0 : MINI[j + 2][i + 2];
}

void use_bomb(game& g, int k) {
    if (k < ACTOR_DETONATOR || k > ACTOR_MINI_BOMB) return;
    level& lv = g.level;
    level_sanitize(lv);
    actor* p = find_actor(g, ACTOR_PLAYER);
    if (!p) return;
    const int cx = cell_under_x(*p), cy = cell_under_y(*p);

    actor* b = actor_at(g, cx, cy);
    if (!b || b->kind != k) b = find_actor(g, k);
    if (b) {
        if (b->x == p->x && b->y == p->y) {
            if (k == ACTOR_TIME_BOMB && b->counter == 0) {
                b->fuse += 300;
                if (b->fuse <= 900) {
                    rules_sound(g, "drop");
                    return;
                }
            }
            rules_sound(g, "drop");
            b->active = 0;
            lv.inventory[k] += 1;
            return;
        }
        if (k == ACTOR_DETONATOR) {
            become_blast(g, *b, ACTOR_BLAST);
            return;
        }
        if (k == ACTOR_MINI_BOMB) {
            become_blast(g, *b, ACTOR_MINI_BLAST);
            return;
        }
    }

    if (actor_at(g, cx, cy) || lv.inventory[k] == 0) return;
    rules_sound(g, "drop");
    lv.inventory[k] -= 1;
    actor& n = spawn_actor(g);
    n.active = 1;
    n.kind = uint8_t(k);
    n.x = float(cx);
    n.y = float(cy);
    n.cell_x = int8_t(on_map(cx, cy) ? cx : 0);
    n.cell_y = int8_t(on_map(cx, cy) ? cy : 0);
    n.facing = 2;
    if (k == ACTOR_TIME_BOMB) n.fuse = 300;
    snprintf(n.anim, sizeof n.anim, "bomb%d", k - 18);
}

void time_bomb_tick(game& g, actor& b) {
    if (player_on(g, b)) return;
    if (b.fuse > 0) {
        b.counter += 1;
        b.fuse -= 1;
    }
    if (b.fuse <= 0) become_blast(g, b, ACTOR_BLAST);
}

void emp_bomb_tick(game& g, actor& b) {
    if (player_on(g, b)) return;
    level& lv = g.level;
    if (lv.emp_time <= 1) {
        b.active = 0;
        lv.emp_time += 300;
    }
}

void blast_step(game& g, actor& b) {
    const int c = advance_ring(g, b);
    if (c > 8) {
        blast_end(g, b);
        b.active = 0;
        return;
    }
    const int v = c - 1;
    if (v != 0 && v != 6) {
        const int cx = whole(b.x), cy = whole(b.y);
        for (int j = -5; j <= 5; ++j) {
            for (int i = -5; i <= 5; ++i) {
                if (CRATER[j + 5][i + 5] != v || !on_map(cx + i, cy + j)) continue;
                g.level.map[cell_index(cx + i, cy + j)] = 3;
            }
        }
    }
    snprintf(b.anim, sizeof b.anim, "blast-%d", c);
}

void mini_blast_step(game& g, actor& b) {
    const int c = advance_ring(g, b);
    if (c > 8) {
        blast_end(g, b);
        b.active = 0;
        return;
    }
    level& lv = g.level;
    const int cx = whole(b.x), cy = whole(b.y);
    for (int j = -2; j <= 2; ++j) {
        for (int i = -2; i <= 2; ++i) {
            const int v = MINI[j + 2][i + 2];
            if (v == 0 || v >= c || v == 6) continue;
            const int x = cx + i, y = cy + j;
            if (actor* a = guard_at(g, x, y)) a->mode = MODE_DYING;
            if (v > 3) continue;
            // The player starts dying once; an escaped player has left the map.
            actor* p = find_actor(g, ACTOR_PLAYER);
            if (p && cell_under_x(*p) == x && cell_under_y(*p) == y && p->mode != MODE_DYING &&
                p->mode != MODE_ESCAPED) {
                p->mode = MODE_DYING;
                p->counter = 0;
            }
            if (!on_map(x, y)) continue;
            uint8_t& t = lv.map[cell_index(x, y)];
            if (t != 0 && t != 3 && tile_solid(g, t)) t = 1;
        }
    }
    snprintf(b.anim, sizeof b.anim, "blast-%d", c);
}

void blast_end(game& g, actor& b) {
    level& lv = g.level;
    const int cx = whole(b.x), cy = whole(b.y);
    const bool crater = b.kind != ACTOR_MINI_BLAST;

    // Plan the guards' run as if the crater were floor, then put it back.
    uint8_t saved[11][11];
    for (int j = -5; j <= 5; ++j) {
        for (int i = -5; i <= 5; ++i) {
            const int x = cx + i, y = cy + j;
            if (!on_map(x, y)) continue;
            uint8_t& t = lv.map[cell_index(x, y)];
            saved[j + 5][i + 5] = t;
            const bool inside = crater ? i * i + j * j <= 25 : i == 0 && j == 0;
            if (inside && t == 3) t = 1;
        }
    }
    build_flags(g);

    for (actor& a : lv.actors) {
        // A guard marked dying is removed at its next update, and a shooting guard
        // never moves again: neither is called back to life by the noise.
        if (!a.active || a.kind != ACTOR_GUARD || a.mode == MODE_DYING || a.mode == MODE_SHOOTING)
            continue;
        a.mode = MODE_RUNNING;
        if (a.return_x == 0) {
            if (a.return_facing) {
                a.return_x = a.path[0][0];
                a.return_y = a.path[0][1];
            } else {
                a.return_x = uint8_t(a.cell_x);
                a.return_y = uint8_t(a.cell_y);
                a.return_facing = a.facing;
                if (a.route_pos > 0) a.route_pos -= 1;
            }
        }
        set_path(g, a, cx, cy, 1);
    }

    for (int j = -5; j <= 5; ++j)
        for (int i = -5; i <= 5; ++i)
            if (on_map(cx + i, cy + j)) lv.map[cell_index(cx + i, cy + j)] = saved[j + 5][i + 5];
    build_flags(g);
}
