// Shared ground of the rules tests: a small tile catalogue loaded through the
// real loader, an ASCII legend for it, recorders wired into the rules' up-calls,
// and helpers that play ticks the way the play screen does.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/game.h"
#include "core/state.h"
#include "world/ascii.h"
#include "world/bombs.h"
#include "world/catalogue.h"
#include "world/hooks.h"
#include "world/model.h"
#include "world/paths.h"
#include "world/rewind.h"
#include "world/rules.h"

namespace wt {

// Tile numbers of the test catalogue.
enum : int {
    T_NONE = 0, T_FLOOR = 1, T_DARK = 2, T_CRATER = 3, T_CENTRE = 4, T_WALL = 5, T_WINDOW = 6,
    T_PILLAR = 7, T_CRATE = 8, T_CURTAIN = 9, T_GUARD = 10, T_PLAYER = 11, T_LIGHT = 12,
    T_TALL = 13, T_PLANT = 14, T_ARROW = 20,  // 20 + keypad digit
    T_BORDER = 32, T_ITEM = 40,               // 40 + item value (1..5)
};

inline const char* test_tiles_json() {
    return R"([
 {"n": 0, "name": "none", "type": "none", "view": "none"},
 {"n": 1, "name": "floor", "type": "floor", "view": "floor", "editor": 1},
 {"n": 2, "name": "dark", "type": "dark", "view": "dark"},
 {"n": 3, "name": "crater", "type": "full", "view": "full", "solid": 1},
 {"n": 4, "name": "centre", "type": "arch", "view": "arch", "solid": 1, "opaque": 1},
 {"n": 5, "name": "wall", "type": "wall", "view": "wall", "solid": 1, "opaque": 1, "shadow": 1},
 {"n": 6, "name": "window", "type": "window", "view": "window", "solid": 1, "opaque": 1},
 {"n": 7, "name": "pillar", "type": "pillar", "view": "pillar", "solid": 1, "opaque": 1},
 {"n": 8, "name": "crate", "type": "crate", "view": "crate", "solid": 1},
 {"n": 9, "name": "curtain", "type": "floor", "view": "decal", "opaque": 1},
 {"n": 10, "name": "guard", "type": "guard", "view": "decal"},
 {"n": 11, "name": "player", "type": "player", "view": "decal"},
 {"n": 12, "name": "light", "type": "light", "view": "decal", "value": 3},
 {"n": 13, "name": "tall", "type": "wall", "view": "wall", "solid": 1, "opaque": 1, "shadow": 2},
 {"n": 14, "name": "plant", "type": "sprite", "view": "sprite", "solid": 1},
 {"n": 21, "name": "arrow1", "type": "arrow", "view": "decal", "value": 1},
 {"n": 22, "name": "arrow2", "type": "arrow", "view": "decal", "value": 2},
 {"n": 23, "name": "arrow3", "type": "arrow", "view": "decal", "value": 3},
 {"n": 24, "name": "arrow4", "type": "arrow", "view": "decal", "value": 4},
 {"n": 26, "name": "arrow6", "type": "arrow", "view": "decal", "value": 6},
 {"n": 27, "name": "arrow7", "type": "arrow", "view": "decal", "value": 7},
 {"n": 28, "name": "arrow8", "type": "arrow", "view": "decal", "value": 8},
 {"n": 29, "name": "arrow9", "type": "arrow", "view": "decal", "value": 9},
 {"n": 32, "name": "border", "type": "wall", "view": "wall", "solid": 1, "opaque": 1},
 {"n": 41, "name": "bomb1", "type": "item", "view": "sprite", "value": 1},
 {"n": 42, "name": "bomb2", "type": "item", "view": "sprite", "value": 2},
 {"n": 43, "name": "bomb3", "type": "item", "view": "sprite", "value": 3},
 {"n": 44, "name": "bomb4", "type": "item", "view": "sprite", "value": 4},
 {"n": 45, "name": "data", "type": "item", "view": "sprite", "value": 5}
])";
}

inline const AsciiLegend& legend() {
    static const AsciiLegend L = {
        {'_', T_NONE}, {'.', T_FLOOR}, {',', T_DARK}, {'o', T_CRATER}, {'X', T_CENTRE},
        {'#', T_WALL}, {'W', T_WINDOW}, {'P', T_PILLAR}, {'c', T_CRATE}, {'%', T_CURTAIN},
        {'G', T_GUARD}, {'@', T_PLAYER}, {'L', T_LIGHT}, {'T', T_TALL}, {'s', T_PLANT},
        {'1', T_ARROW + 1}, {'2', T_ARROW + 2}, {'3', T_ARROW + 3}, {'4', T_ARROW + 4},
        {'6', T_ARROW + 6}, {'7', T_ARROW + 7}, {'8', T_ARROW + 8}, {'9', T_ARROW + 9},
        {'+', T_BORDER}, {'D', T_ITEM + 1}, {'B', T_ITEM + 2}, {'E', T_ITEM + 3},
        {'M', T_ITEM + 4}, {'$', T_ITEM + 5},
    };
    return L;
}

// The catalogue, parsed once per test program (quietly) and copied into each game.
inline const tile_entry* test_tiles() {
    static std::unique_ptr<game> cat;
    if (!cat) {
        cat.reset(new game());
        testing::internal::CaptureStderr();
        tile_catalogue_load_text(*cat, test_tiles_json());
        testing::internal::GetCapturedStderr();
    }
    return cat->tiles;
}

struct World : ::testing::Test {
    std::unique_ptr<game> g{new game()};
    std::vector<std::string> sounds;
    std::vector<std::pair<int, std::string>> wins;
    std::vector<int> states;

    void SetUp() override {
        memcpy(g->tiles, test_tiles(), sizeof g->tiles);
        RulesHooks h;
        h.sound = [this](game&, const char* name) { sounds.push_back(name); };
        h.win = [this](game&, int seconds, const char* name) { wins.emplace_back(seconds, name); };
        h.state = [this](game& gr, int n) {
            states.push_back(n);
            gr.state = n;
        };
        set_rules_hooks(h);
        rewind_store_alloc();
        clear_history(*g);
        rules_seed(0);
    }
    void TearDown() override { set_rules_hooks(RulesHooks()); }

    // Draws the map (top-left cell at (x0, y0)) into both copies of the level.
    void draw(const std::vector<std::string>& rows, int x0 = 10, int y0 = 10, int fill = T_FLOOR) {
        ASSERT_TRUE(level_from_ascii(g->level, rows, legend(), x0, y0, fill));
        memcpy(&g->edit_level, &g->level, sizeof(level));
        build_flags(*g);
    }
    // What the play screen does when an attempt starts.
    void start(int state = STATE_LEVEL) {
        g->state = state;
        setup_level(*g, 1);
        clear_history(*g);
        g->level.started = 1;
        sounds.clear();
    }
    // One frame of the play screen: flags, then a tick.
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            build_flags(*g);
            game_tick(*g);
        }
    }
    int tile(int x, int y) const { return g->level.map[cell_index(x, y)]; }
    void set_tile(int x, int y, int t) { g->level.map[cell_index(x, y)] = uint8_t(t); }
    int flags(int x, int y) const { return g->flags[cell_index(x, y)]; }
    actor* player() { return find_actor(*g, ACTOR_PLAYER); }
    // The n-th active actor of a kind in slot order.
    actor* nth(int kind, int n) {
        for (actor& a : g->level.actors)
            if (a.active && a.kind == kind && n-- == 0) return &a;
        return nullptr;
    }
    int count(int kind) {
        int n = 0;
        for (const actor& a : g->level.actors) n += a.active && a.kind == kind;
        return n;
    }
    // Puts an actor of a kind exactly on a cell, as set-up would.
    actor& place(int kind, int x, int y, int mode = MODE_STANDING) {
        actor& a = spawn_actor(*g);
        a.active = 1;
        a.kind = uint8_t(kind);
        a.x = float(x);
        a.y = float(y);
        a.cell_x = int8_t(x);
        a.cell_y = int8_t(y);
        a.facing = 2;
        a.mode = uint8_t(mode);
        return a;
    }
    int sound_count(const std::string& name) const {
        int n = 0;
        for (const std::string& s : sounds) n += s == name;
        return n;
    }
    std::vector<std::string> rows(int x0, int y0, int w, int h) const {
        return level_to_ascii(g->level, legend(), x0, y0, w, h);
    }
};

// The cells a guard stood exactly on, each run of the same cell counted once.
inline std::vector<std::pair<int, int>> visits(World& w, actor& a, int ticks) {
    std::vector<std::pair<int, int>> out;
    for (int t = 0; t < ticks; ++t) {
        w.tick();
        if (a.x != float(int(a.x)) || a.y != float(int(a.y))) continue;
        const std::pair<int, int> c{int(a.x), int(a.y)};
        if (out.empty() || out.back() != c) out.push_back(c);
    }
    return out;
}

}  // namespace wt
