// Arbitrary level bytes (a corrupt state.dat, a hostile download), then set-up and
// a few hundred ticks with arbitrary commands: bombs, key directions, clicks, the
// pointer, rewinds. Nothing may touch memory outside the record and the grid.
//
// Input: byte 0 holds flags (bit 0: run setup_level first; bit 1: start from the
// raw input bytes instead of a built map; bit 2: patches go to the tile catalogue),
// byte 1 a count of patches of 3 bytes each (16-bit offset, value), then one
// command byte (and its arguments) per tick.
#include <cstddef>
#include <cstdint>
#include <cstring>
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

namespace {

const char* const TILES = R"([
 {"n": 1, "name": "floor", "type": "floor", "view": "floor"},
 {"n": 2, "name": "dark", "type": "dark", "view": "dark"},
 {"n": 3, "name": "crater", "type": "full", "view": "full", "solid": 1},
 {"n": 4, "name": "centre", "type": "arch", "view": "arch", "solid": 1, "opaque": 1},
 {"n": 5, "name": "wall", "type": "wall", "view": "wall", "solid": 1, "opaque": 1, "shadow": 1},
 {"n": 6, "name": "window", "type": "window", "view": "window", "solid": 1, "opaque": 1},
 {"n": 7, "name": "pillar", "type": "pillar", "view": "pillar", "solid": 1, "opaque": 1},
 {"n": 8, "name": "crate", "type": "crate", "view": "crate", "solid": 1},
 {"n": 9, "name": "tall", "type": "wall", "view": "wall", "solid": 1, "opaque": 1, "shadow": 2},
 {"n": 10, "name": "guard", "type": "guard"},
 {"n": 11, "name": "player", "type": "player"},
 {"n": 12, "name": "light", "type": "light", "value": 2},
 {"n": 14, "name": "plant", "type": "sprite", "view": "sprite", "solid": 1},
 {"n": 21, "name": "a1", "type": "arrow", "value": 1}, {"n": 22, "name": "a2", "type": "arrow", "value": 2},
 {"n": 23, "name": "a3", "type": "arrow", "value": 3}, {"n": 24, "name": "a4", "type": "arrow", "value": 4},
 {"n": 26, "name": "a6", "type": "arrow", "value": 6}, {"n": 27, "name": "a7", "type": "arrow", "value": 7},
 {"n": 28, "name": "a8", "type": "arrow", "value": 8}, {"n": 29, "name": "a9", "type": "arrow", "value": 9},
 {"n": 32, "name": "border", "type": "wall", "view": "wall", "solid": 1, "opaque": 1},
 {"n": 41, "name": "i1", "type": "item", "value": 1}, {"n": 42, "name": "i2", "type": "item", "value": 2},
 {"n": 43, "name": "i3", "type": "item", "value": 3}, {"n": 44, "name": "i4", "type": "item", "value": 4},
 {"n": 45, "name": "i5", "type": "item", "value": 5}, {"n": 46, "name": "odd", "type": "item", "value": 99}
])";

const AsciiLegend LEGEND = {
    {'.', 1}, {',', 2}, {'o', 3}, {'#', 5}, {'W', 6}, {'P', 7}, {'c', 8}, {'T', 9}, {'G', 10},
    {'@', 11}, {'L', 12}, {'s', 14}, {'1', 21}, {'2', 22}, {'3', 23}, {'4', 24}, {'6', 26},
    {'7', 27}, {'8', 28}, {'9', 29}, {'D', 41}, {'B', 42}, {'E', 43}, {'M', 44}, {'$', 45},
    {'?', 46},
};

const std::vector<std::string> MAP = {
    "W@....P.....#......G3....1",
    "..$..D....M.#.............",
    "......?.....#.....9....7..",
    "###.#########.............",
    ".G3.....1.....L3....G.....",
    "........................,,",
    "..9.....7...s.......,,,,,,",
    "......G.....T........,G,,,",
    "..B..E...........oooo.....",
};

struct Fixture {
    game* g = new game();
    tile_entry tiles[256];
    level base;
    Fixture() {
        tile_catalogue_load_text(*g, TILES);
        memcpy(tiles, g->tiles, sizeof tiles);
        level_from_ascii(base, MAP, LEGEND, 20, 20, 1);
        for (int k = ACTOR_DETONATOR; k <= ACTOR_MINI_BOMB; ++k) base.inventory[k] = 3;
        rewind_store_alloc();
        RulesHooks h;
        h.state = [](game& gr, int n) { gr.state = n; };
        set_rules_hooks(h);
    }
};

struct Reader {
    const uint8_t* p;
    size_t n;
    uint8_t byte() {
        if (n == 0) return 0;
        --n;
        return *p++;
    }
    float real() {
        float f;
        uint8_t b[4] = {byte(), byte(), byte(), byte()};
        memcpy(&f, b, 4);
        return f;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture fx;
    game& g = *fx.g;
    Reader in{data, size};
    const uint8_t flags = in.byte();
    memcpy(g.tiles, fx.tiles, sizeof g.tiles);
    if (flags & 2) {
        uint8_t* raw = reinterpret_cast<uint8_t*>(&g.level);
        for (size_t i = 0; i < sizeof(level); ++i) raw[i] = size ? data[i % size] : 0;
    } else {
        memcpy(&g.level, &fx.base, sizeof(level));
    }
    const int patches = in.byte();
    for (int k = 0; k < patches; ++k) {
        const unsigned off = unsigned(in.byte()) << 8 | in.byte();
        const uint8_t v = in.byte();
        if (flags & 4)
            reinterpret_cast<uint8_t*>(g.tiles)[(off * 7u) % sizeof g.tiles] = v;
        else
            reinterpret_cast<uint8_t*>(&g.level)[off % sizeof(level)] = v;
    }
    memcpy(&g.edit_level, &g.level, sizeof(level));
    g.state = STATE_LEVEL;
    g.rewind_pos = int(in.byte()) - 100;
    clear_history(g);
    if (flags & 1) setup_level(g, 1);

    for (int t = 0; t < 300; ++t) {
        switch (in.byte() % 10) {
        case 1: use_bomb(g, 17 + in.byte() % 8); break;
        case 2: walk_direction(g, int(in.byte() % 3) - 1, int(in.byte() % 3) - 1); break;
        case 3: walk_to(g, int(in.byte()) - 64, int(in.byte()) - 64); break;
        case 4:
            g.level.mouse_x = in.real();
            g.level.mouse_y = in.real();
            pick_cell(g);
            break;
        case 5:
            g.level.cam_angle = in.real();
            g.level.view_r = in.real();
            break;
        case 6:
            g.state = STATE_REWIND;
            for (int f = 0; f < 60 && g.state == STATE_REWIND; ++f) rewind_step(g);
            break;
        case 7: (void)seen_by_any(g, in.byte(), in.byte()); break;
        default: break;
        }
        g.state = STATE_LEVEL;  // play on whatever the rules asked for
        build_flags(g);
        game_tick(g);
    }
    return 0;
}
