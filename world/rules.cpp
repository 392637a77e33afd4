#include "world/rules.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/state.h"
#include "world/bombs.h"
#include "world/catalogue.h"
#include "world/hooks.h"
#include "world/model.h"
#include "world/paths.h"
#include "world/rewind.h"

namespace {

uint32_t g_seed = 0;

uint32_t mix(uint32_t h) {
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

int sign(int v) { return v > 0 ? 1 : v < 0 ? -1 : 0; }

bool tile_solid_under(const game& g, const actor& a) {
    const int x = cell_under_x(a), y = cell_under_y(a);
    return on_map(x, y) && tile_solid(g, g.level.map[cell_index(x, y)]);
}

// "<base>-<facing>-<frame>", the animation name of a player or guard. Runs for
// every such actor on every tick, so the usual single digits skip snprintf.
void set_anim(game& g, actor& a, const char* base, int frame) {
    const int facing = view_facing(g, a.facing);
    const size_t n = strlen(base);
    if (facing >= 0 && facing <= 9 && frame >= 0 && frame <= 9 && n + 5 <= sizeof a.anim) {
        memcpy(a.anim, base, n);
        a.anim[n] = '-';
        a.anim[n + 1] = char('0' + facing);
        a.anim[n + 2] = '-';
        a.anim[n + 3] = char('0' + frame);
        a.anim[n + 4] = '\0';
        return;
    }
    snprintf(a.anim, sizeof a.anim, "%s-%d-%d", base, facing, frame);
}

int frame_of(const actor& a) { return (a.counter / 2) % 8; }

// One spark of the escape celebration at a random whole-numbered point of the
// visible area.
void make_spark(game& g) {
    level& lv = g.level;
    const float cx = lv.view_x, cy = lv.view_y, r = lv.view_r;
    int n = whole(2.0f * r);
    if (n < 1) n = 1;
    const int x = whole(cx + float(int(rules_random(lv, 0) % uint32_t(n))) - r);
    const int y = whole(cy + float(int(rules_random(lv, 1) % uint32_t(n))) - r);
    actor& s = spawn_actor(g);
    s.active = 1;
    s.kind = ACTOR_SPARK;
    s.x = float(x);
    s.y = float(y);
    s.cell_x = int8_t(x < 0 ? 0 : x > 127 ? 127 : x);
    s.cell_y = int8_t(y < 0 ? 0 : y > 127 ? 127 : y);
    s.facing = 2;
    snprintf(s.anim, sizeof s.anim, "blast-0");
}

bool next_to_window(const game& g, int x, int y) {
    static const int D[4][2] = {{-1, 0}, {1, 0}, {0, 1}, {0, -1}};
    for (const auto& d : D) {
        const int nx = x + d[0], ny = y + d[1];
        if (in_play(nx, ny) && tile_kind(g, g.level.map[cell_index(nx, ny)]) == TILE_WINDOW)
            return true;
    }
    return false;
}

}  // namespace

void rules_seed(uint32_t seed) { g_seed = seed; }

uint32_t rules_random(const level& lv, uint32_t salt) {
    uint32_t h = mix(g_seed ^ 0x9E3779B9u);
    h = mix(h ^ uint32_t(lv.ticks));
    h = mix(h ^ uint32_t(lv.next_slot) * 0x85EBCA6Bu);
    h = mix(h ^ salt * 0xC2B2AE35u);
    return h & 0x7FFFFFFFu;
}

int view_turn(const game& g) { return whole(16.0f - (g.level.cam_angle - 22.5f) / 45.0f); }

int turn_facing(int facing, int r) {
    static const int RING[8] = {1, 2, 3, 6, 9, 8, 7, 4};
    int p = 0;
    for (int k = 0; k < 8; ++k)
        if (RING[k] == facing) p = k;
    return RING[((p + r % 8) % 8 + 8) % 8];
}

int view_facing(const game& g, int facing) { return turn_facing(facing, view_turn(g)); }

bool line_clear(const game& g, int ax, int ay, int bx, int by) {
    const int dx = bx - ax, dy = by - ay;
    const int sx = sign(dx), sy = sign(dy);
    const float len = std::sqrt(float(dx) * float(dx) + float(dy) * float(dy));
    const int n = 1 + whole(4.0f * len);
    const uint8_t* F = g.flags;
    for (int i = 0; i <= n; ++i) {
        const int x = whole(float(ax) + 0.5f + float(i * dx) / float(n));
        const int y = whole(float(ay) + 0.5f + float(i * dy) / float(n));
        if (!in_play(x, y)) continue;
        if (F[cell_index(x, y)] & CELL_OPAQUE) return false;
        // Between two walls that touch at a corner: the cells beside the sample
        // lie in 3..124, still on the grid.
        if (x != bx && y != by &&
            ((F[cell_index(x, y + sy)] & CELL_OPAQUE) || (F[cell_index(x + sx, y)] & CELL_OPAQUE)))
            return false;
    }
    return true;
}

bool can_see(const game& g, const actor& guard, int tx, int ty) {
    if (!on_map(tx, ty)) return false;
    const int f = g.flags[cell_index(tx, ty)];
    if (f & (CELL_SOLID | CELL_OPAQUE)) return false;
    const int gx = cell_under_x(guard), gy = cell_under_y(guard);
    int fx, fy;
    digit_step(guard.facing, &fx, &fy);
    if ((tx == gx && ty == gy) || (tx == gx + fx && ty == gy + fy)) return true;
    if (f & CELL_DARK) return false;
    if ((f & CELL_SHADED) && !(f & CELL_LIT)) return false;
    const double ex = double(tx) - gx, ey = double(ty) - gy;
    const double e = std::sqrt(ex * ex + ey * ey);
    if (e > ((f & CELL_LIT) ? 20.0 : 10.0)) return false;
    if (e > 1.0) {
        const double a0 = std::atan2(double(fy), double(fx)) * 180.0 / M_PI;
        const double a1 = std::atan2(ey, ex) * 180.0 / M_PI;
        double d = std::fabs(a1 - a0);
        if (d > 180.0) d = 360.0 - d;
        if (d > 65.0) return false;
    }
    return line_clear(g, gx, gy, tx, ty);
}

bool seen_by_any(game& g, int x, int y) {
    for (const actor& a : g.level.actors)
        if (a.active && a.kind == ACTOR_GUARD && can_see(g, a, x, y)) return true;
    return false;
}

void face_towards(game& g, actor& guard) {
    const actor* p = find_actor(g, ACTOR_PLAYER);
    if (!p) return;
    int dx = whole(p->x - guard.x), dy = whole(p->y - guard.y);
    // On the guard's own cell there is no way to turn; facing 5 would be no
    // direction at all (and a sight cone pointing east).
    if (dx == 0 && dy == 0) return;
    if (std::abs(2 * dy) < std::abs(dx)) dy = 0;
    if (std::abs(2 * dx) < std::abs(dy)) dx = 0;
    guard.facing = uint8_t(step_digit(float(sign(dx)), float(sign(dy))));
}

void player_tick(game& g, actor& a) {
    level& lv = g.level;
    a.counter += 1;

    if (lv.targets_left == 0 && g.state == STATE_LEVEL) {
        // A shot player is dying, also when the guard that shot it moved
        // earlier in this very tick: it never escapes.
        if (a.mode != MODE_ESCAPED && a.mode != MODE_DYING &&
            next_to_window(g, cell_under_x(a), cell_under_y(a))) {
            rules_sound(g, "win");
            a.mode = MODE_ESCAPED;
            a.counter = 0;
            snprintf(a.anim, sizeof a.anim, "blank");
            for (actor& b : lv.actors)
                if (b.active && b.kind == ACTOR_GUARD) b.active = 0;
        }
        if (a.mode == MODE_ESCAPED) {
            if (a.counter > 59) {
                if (lv.rewinds_used == 0 && lv.cartridges >= lv.cartridges_total)
                    g.edit_level.unbeaten = 0;
                rules_sound(g, "yeah");
                rules_report_win(g, lv.play_time / 30, lv.name);
                rules_set_state(g, STATE_LEVEL_WIN);
            } else {
                make_spark(g);
            }
            return;
        }
    }

    if (a.mode == MODE_DYING) {
        set_anim(g, a, "player-die", frame_of(a));
        if (a.counter > 14) {
            rules_sound(g, "death");
            rules_set_state(g, STATE_PAUSE);
        }
        return;
    }

    if (tile_solid_under(g, a)) {
        a.mode = MODE_DYING;
        a.counter = 0;
        return;
    }

    move_actor(g, a, 8);
    if (a.dx != 0.0f || a.dy != 0.0f) {
        a.mode = MODE_WALKING;
        a.facing = uint8_t(step_digit(a.dx, a.dy));
        set_anim(g, a, "player-walk", frame_of(a));
    } else {
        a.mode = MODE_STANDING;
        set_anim(g, a, "player-stop", 0);
    }

    if (a.counter % 8 == 0) {
        const int x = cell_under_x(a), y = cell_under_y(a);
        if (on_map(x, y)) {
            uint8_t& t = lv.map[cell_index(x, y)];
            if (tile_kind(g, t) == TILE_ITEM) {
                const int slot = tile_value(g, t) + 18;
                rules_sound(g, "drop");
                t = 1;
                // An item value outside 1..5 names no inventory slot; the tile
                // is still taken.
                if (slot >= 0 && slot < 32 && lv.inventory[slot] < (1 << 20))
                    lv.inventory[slot] += 1;
                lv.cartridges = lv.inventory[ACTOR_CARTRIDGE];
            }
        }
        follow_path(g, a);
    }
}

void guard_tick(game& g, actor& a) {
    level& lv = g.level;
    a.counter += 1;
    if (a.mode == MODE_DYING) {
        a.active = 0;
        return;
    }
    if (tile_solid_under(g, a)) {
        a.mode = MODE_DYING;
        a.counter = 0;
        return;
    }
    if (lv.emp_time != 0) return;

    if (lv.ticks > 4) {
        actor* p = find_actor(g, ACTOR_PLAYER);
        if (p && p->mode != MODE_DYING && can_see(g, a, cell_under_x(*p), cell_under_y(*p))) {
            p->mode = MODE_DYING;
            p->counter = 0;
            a.mode = MODE_SHOOTING;
            face_towards(g, a);
            rules_sound(g, "shoot");
        }
    }
    if (a.mode == MODE_SHOOTING) {
        set_anim(g, a, "guard-shoot", frame_of(a));
        return;
    }

    move_actor(g, a, 8);
    // A guard waiting for another to pass has no step for a tick; it keeps its
    // facing rather than facing no direction.
    const bool stepping = a.dx != 0.0f || a.dy != 0.0f;
    if (a.mode == MODE_RUNNING) {
        if (whole(17.0f * a.x + float(a.counter) + 23.0f * a.y) % 60 == 0) rules_sound(g, "guard");
        if (stepping) a.facing = uint8_t(step_digit(a.dx, a.dy));
        set_anim(g, a, "guard-run", frame_of(a));
    } else if (a.mode == MODE_STANDING) {
        set_anim(g, a, "guard-walk", 0);
    } else {
        if (stepping) a.facing = uint8_t(step_digit(a.dx, a.dy));
        set_anim(g, a, "guard-walk", frame_of(a));
    }

    if (a.counter % 8 == 0) follow_path(g, a);
}

void game_tick(game& g) {
    level& lv = g.level;
    level_sanitize(lv);
    lv.ticks += 1;
    if (const actor* p = find_actor(g, ACTOR_PLAYER); p && p->has_moved) lv.play_time += 1;
    if (lv.emp_time != 0) lv.emp_time -= 1;
    lv.bombs_held = lv.inventory[ACTOR_DETONATOR] + lv.inventory[ACTOR_TIME_BOMB] +
                    lv.inventory[ACTOR_EMP_BOMB] + lv.inventory[ACTOR_MINI_BOMB];

    // Actors made during the pass in a later slot are updated in the same tick.
    for (int s = 0; s < MAX_ACTORS; ++s) {
        actor& a = lv.actors[s];
        if (!a.active) continue;
        switch (a.kind) {
        case ACTOR_PLAYER:
            player_tick(g, a);
            break;
        case ACTOR_GUARD:
            guard_tick(g, a);
            if (a.active && a.mode == MODE_RUNNING) guard_tick(g, a);
            break;
        case ACTOR_LAMP:
            a.counter += 1;
            move_actor(g, a, 24);
            if (a.counter % 24 == 0) follow_path(g, a);
            break;
        case ACTOR_BLAST:
        case ACTOR_SPARK:
            blast_step(g, a);
            break;
        case ACTOR_MINI_BLAST:
            mini_blast_step(g, a);
            break;
        case ACTOR_TIME_BOMB:
            time_bomb_tick(g, a);
            break;
        case ACTOR_EMP_BOMB:
            emp_bomb_tick(g, a);
            break;
        default:
            break;
        }
    }

    pick_cell(g);
    if (lv.ticks % 6 == 0) take_snapshot(g);
}
