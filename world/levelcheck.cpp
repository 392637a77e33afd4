#include "world/levelcheck.h"

#include <cstring>
#include <vector>

#include "core/state.h"
#include "world/catalogue.h"
#include "world/hooks.h"
#include "world/model.h"
#include "world/paths.h"

namespace {

std::string cell_text(int x, int y) {
    return "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
}

// The cells the player can walk to from (sx, sy) with the moves of the path
// search (eight directions, never cutting a corner), where `open` says which
// cells can be stood on.
std::vector<uint8_t> reachable_from(const std::vector<uint8_t>& open, int sx, int sy) {
    std::vector<uint8_t> seen(MAP_SIZE * MAP_SIZE, 0);
    auto free_at = [&](int x, int y) { return in_play(x, y) && open[cell_index(x, y)]; };
    if (!free_at(sx, sy)) return seen;
    std::vector<int> queue{cell_index(sx, sy)};
    seen[queue[0]] = 1;
    for (size_t q = 0; q < queue.size(); ++q) {
        const int x = queue[q] % MAP_SIZE, y = queue[q] / MAP_SIZE;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if ((dx == 0 && dy == 0) || !free_at(x + dx, y + dy)) continue;
                if (dx != 0 && dy != 0 && (!free_at(x + dx, y) || !free_at(x, y + dy))) continue;
                const int i = cell_index(x + dx, y + dy);
                if (seen[i]) continue;
                seen[i] = 1;
                queue.push_back(i);
            }
        }
    }
    return seen;
}

}  // namespace

std::vector<LevelProblem> check_level(game& g, const level& lv, const LevelCheckOptions& options) {
    std::vector<LevelProblem> problems;
    auto problem = [&](int x, int y, const std::string& text) {
        problems.push_back(LevelProblem{x, y, text});
    };

    // Tiles, starts and actors, straight from the map.
    int players = 0, actors = 0, targets = 0, px = 0, py = 0;
    for (int y = 0; y < MAP_SIZE; ++y) {
        for (int x = 0; x < MAP_SIZE; ++x) {
            const int t = lv.map[cell_index(x, y)];
            if (!tile_at(g, t).name[0]) {
                problem(x, y, "tile " + std::to_string(t) + " is not in the tile catalogue");
                continue;
            }
            if (!in_play(x, y)) continue;
            const int k = tile_kind(g, t);
            if (k == TILE_PLAYER) {
                if (++players == 2) problem(x, y, "a second player start; a level has one");
                px = x;
                py = y;
            }
            actors += k == TILE_PLAYER || k == TILE_GUARD || k == TILE_LIGHT;
            targets += k == TILE_PILLAR;
        }
    }
    if (players == 0) problem(-1, -1, "no player start");
    if (actors > MAX_ACTORS)
        problem(-1, -1, std::to_string(actors) + " actors (player, guards, lamps); at most 64 fit");
    if (options.needs_targets && targets == 0) problem(-1, -1, "no targets");
    if (players == 0) return problems;

    // Set up a scratch copy, quietly (no sounds, no screen changes): the spawn
    // tiles become ground and the guards get their routes.
    const RulesHooks saved = rules_hooks();
    set_rules_hooks(RulesHooks());
    const int saved_state = g.state;
    g.state = STATE_NONE;
    memcpy(&g.level, &lv, sizeof lv);
    g.level.started = 0;
    setup_level(g, 0);
    build_flags(g);
    g.state = saved_state;
    set_rules_hooks(saved);

    std::vector<uint8_t> open(MAP_SIZE * MAP_SIZE, 0);
    for (int i = 0; i < MAP_SIZE * MAP_SIZE; ++i)
        open[i] = !(g.flags[i] & CELL_SOLID) || tile_kind(g, g.level.map[i]) == TILE_PILLAR;
    const std::vector<uint8_t> reach = reachable_from(open, px, py);

    bool any_window = false, window_reached = false;
    for (int y = MAP_MIN; y <= MAP_MAX; ++y) {
        for (int x = MAP_MIN; x <= MAP_MAX; ++x) {
            const int t = lv.map[cell_index(x, y)];
            const int k = tile_kind(g, t);
            if (k == TILE_WINDOW) {
                any_window = true;
                static const int SIDES[4][2] = {{-1, 0}, {1, 0}, {0, 1}, {0, -1}};
                for (const auto& s : SIDES) {
                    const int nx = x + s[0], ny = y + s[1];
                    if (in_play(nx, ny) && reach[cell_index(nx, ny)]) window_reached = true;
                }
            }
            if (k == TILE_ITEM && tile_value(g, t) == 5 && !reach[cell_index(x, y)])
                problem(x, y, "a Data Cartridge the player cannot reach");
        }
    }
    if (!any_window) problem(-1, -1, "no window");
    else if (!window_reached) problem(-1, -1, "no window can be reached from the player start");

    for (const actor& a : g.level.actors) {
        if (!a.active || a.kind != ACTOR_GUARD) continue;
        const int gx = a.route[0][0], gy = a.route[0][1];
        if (a.route_count == 2) {
            problem(gx, gy, "the guard's arrow leads to no further arrow, so it never walks");
            continue;
        }
        if (a.route_count < 3) continue;
        // Each leg, and the leg back to the loop's first point, must be walkable
        // within the 128 steps a path holds.
        const int last = a.route_count - 1;
        for (int i = 0; i <= last; ++i) {
            int j = i + 1;
            if (i == last) {
                if (a.route_continue <= 0) break;
                j = a.route_continue;
            }
            const int ax = a.route[i][0], ay = a.route[i][1];
            const int bx = a.route[j][0], by = a.route[j][1];
            const PathCell* cells = nullptr;
            const int n = find_path(g, ax, ay, bx, by, &cells);
            if (n < 2 || n > PATH_MAX_STEPS)
                problem(gx, gy, "the guard cannot walk its route from " + cell_text(ax, ay) +
                                    " to " + cell_text(bx, by));
        }
    }
    return problems;
}
