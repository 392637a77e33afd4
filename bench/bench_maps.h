// Maps and a catalogue shared by the rules and path benchmarks.
#pragma once

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "core/game.h"
#include "world/catalogue.h"
#include "world/model.h"

namespace benchmaps {

enum : int { FLOOR = 1, CRATER = 3, WALL = 5, GUARD = 10, PLAYER = 11, LIGHT = 12, ARROW = 20 };

inline void load_tiles(game& g) {
    static const char* json = R"([
     {"n": 1, "name": "floor", "type": "floor", "view": "floor"},
     {"n": 3, "name": "crater", "type": "full", "view": "full", "solid": 1},
     {"n": 5, "name": "wall", "type": "wall", "view": "wall", "solid": 1, "opaque": 1, "shadow": 1},
     {"n": 10, "name": "guard", "type": "guard"},
     {"n": 11, "name": "player", "type": "player"},
     {"n": 12, "name": "light", "type": "light", "value": 1},
     {"n": 21, "name": "a1", "type": "arrow", "value": 1},
     {"n": 23, "name": "a3", "type": "arrow", "value": 3},
     {"n": 27, "name": "a7", "type": "arrow", "value": 7},
     {"n": 29, "name": "a9", "type": "arrow", "value": 9},
     {"n": 32, "name": "border", "type": "wall", "view": "wall", "solid": 1, "opaque": 1}
    ])";
    tile_catalogue_load_text(g, json);
}

inline void set(game& g, int x, int y, int t) { g.level.map[cell_index(x, y)] = uint8_t(t); }

// All floor in 4..123 inside the frame.
inline void open_map(game& g) {
    new_level(g);
    for (int y = 4; y <= 123; ++y)
        for (int x = 4; x <= 123; ++x) set(g, x, y, FLOOR);
}

// 30 % walls from a fixed seed; the ends are the cells of the largest open region
// nearest to (4, 4) and to (123, 123).
inline void random_map(game& g, int* sx, int* sy, int* gx, int* gy) {
    open_map(g);
    std::mt19937 rng(20240611);
    std::uniform_real_distribution<double> u(0, 1);
    for (int y = 4; y <= 123; ++y)
        for (int x = 4; x <= 123; ++x)
            if (u(rng) < 0.30) set(g, x, y, WALL);
    build_flags(g);
    // Regions by flood fill with the moves a path may take.
    std::vector<int> region(128 * 128, -1), sizes;
    for (int s = 0; s < 128 * 128; ++s) {
        const int x0 = s % 128, y0 = s / 128;
        if (!in_play(x0, y0) || (g.flags[s] & CELL_SOLID) || region[s] >= 0) continue;
        const int id = int(sizes.size());
        sizes.push_back(0);
        std::vector<int> stack{s};
        region[s] = id;
        while (!stack.empty()) {
            const int c = stack.back();
            stack.pop_back();
            ++sizes[id];
            const int cx = c % 128, cy = c / 128;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = cx + dx, ny = cy + dy, n = cell_index(nx, ny);
                    if (!in_play(nx, ny) || (g.flags[n] & CELL_SOLID) || region[n] >= 0) continue;
                    if ((g.flags[cell_index(nx, cy)] & CELL_SOLID) ||
                        (g.flags[cell_index(cx, ny)] & CELL_SOLID))
                        continue;
                    region[n] = id;
                    stack.push_back(n);
                }
        }
    }
    int big = 0;
    for (int i = 1; i < int(sizes.size()); ++i)
        if (sizes[i] > sizes[big]) big = i;
    int best_a = 1 << 30, best_b = 1 << 30;
    for (int s = 0; s < 128 * 128; ++s) {
        if (region[s] != big) continue;
        const int x = s % 128, y = s / 128;
        const int da = (x - 4) + (y - 4), db = (123 - x) + (123 - y);
        if (da < best_a) { best_a = da; *sx = x; *sy = y; }
        if (db < best_b) { best_b = db; *gx = x; *gy = y; }
    }
}

// Horizontal walls every 4 rows, the one-cell gaps at alternate ends.
inline void serpentine_map(game& g) {
    open_map(g);
    int k = 0;
    for (int y = 7; y <= 119; y += 4, ++k) {
        const int gap = k % 2 == 0 ? 123 : 4;
        for (int x = 4; x <= 123; ++x)
            if (x != gap) set(g, x, y, WALL);
    }
}

// Rooms of 12 x 12 with a door in the middle of each wall.
inline void rooms_map(game& g) {
    open_map(g);
    for (int y = 4; y <= 123; ++y)
        for (int x = 4; x <= 123; ++x) {
            const bool vwall = (x - 4) % 12 == 11 && (y - 4) % 12 != 5;
            const bool hwall = (y - 4) % 12 == 11 && (x - 4) % 12 != 5;
            if (vwall || hwall) set(g, x, y, WALL);
        }
}

}  // namespace benchmaps
