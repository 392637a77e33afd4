// Arbitrary text through the level source parser, the level checker and the
// replay parser, and a parsed replay (cut to ten seconds) played on a parsed
// level: nothing may crash, and the parsers' results keep their contracts
// (texts fit their fields, commands lie in order on the playable area).
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "world/catalogue.h"
#include "world/levelcheck.h"
#include "world/levelsource.h"
#include "world/model.h"
#include "world/replay.h"

namespace {

const char* const TILES = R"([
 {"n": 0, "name": "none", "type": "none", "solid": 1},
 {"n": 1, "name": "floor", "type": "floor", "view": "floor"},
 {"n": 2, "name": "dark", "type": "dark", "view": "dark"},
 {"n": 3, "name": "crater", "type": "pit", "view": "pit", "solid": 1},
 {"n": 4, "name": "player", "type": "player", "view": "decal"},
 {"n": 5, "name": "guard", "type": "guard", "view": "decal"},
 {"n": 6, "name": "window", "type": "window", "view": "window", "solid": 1},
 {"n": 7, "name": "pillar", "type": "pillar", "view": "pillar", "solid": 1, "opaque": 1, "shadow": 1},
 {"n": 9, "name": "lamp1", "type": "light", "view": "decal", "value": 1},
 {"n": 16, "name": "bomb4", "type": "item", "view": "sprite", "value": 4},
 {"n": 17, "name": "cartridge", "type": "item", "view": "sprite", "value": 5},
 {"n": 21, "name": "arrow1", "type": "arrow", "view": "decal", "value": 1},
 {"n": 23, "name": "arrow3", "type": "arrow", "view": "decal", "value": 3},
 {"n": 27, "name": "arrow7", "type": "arrow", "view": "decal", "value": 7},
 {"n": 29, "name": "arrow9", "type": "arrow", "view": "decal", "value": 9},
 {"n": 32, "name": "wall", "type": "wall", "view": "wall", "solid": 1, "opaque": 1, "shadow": 1}
])";

game& world() {
    static std::unique_ptr<game> g;
    if (!g) {
        g.reset(new game());
        // The loader reports every tile; keep the fuzzer's own output readable.
        fflush(stderr);
        const int saved = dup(2);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, 2);
        tile_catalogue_load_text(*g, TILES);
        if (saved >= 0) dup2(saved, 2);
        if (null >= 0) close(null);
        if (saved >= 0) close(saved);
    }
    return *g;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    game& g = world();
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The input is a level source, then optionally "\n=====\n" and a replay.
    const size_t cut = text.find("\n=====\n");
    const std::string source = text.substr(0, cut);
    const std::string moves = cut == std::string::npos ? text : text.substr(cut + 7);

    LevelSource src;
    std::string error;
    const bool parsed = parse_level_source(source, "fuzz.level", src, error);
    if (parsed) {
        if (strnlen(src.lv.title, sizeof src.lv.title) >= sizeof src.lv.title) abort();
        if (strnlen(src.lv.intro, sizeof src.lv.intro) >= sizeof src.lv.intro) abort();
        if (src.map_x0 < 4 || src.map_x0 + src.map_w - 1 > 123) abort();
        LevelCheckOptions o;
        check_level(g, src.lv, o);
    } else if (error.compare(0, 11, "fuzz.level:") != 0) {
        abort();
    }

    Replay r;
    if (!replay_parse(moves, r, error)) {
        if (error.compare(0, 5, "line ") != 0) abort();
        return 0;
    }
    int last = 0;
    for (const ReplayCommand& c : r.commands) {
        if (c.tick < last || c.tick > r.end_tick || c.tick > REPLAY_MAX_TICK) abort();
        if (c.op == ReplayOp::to && !in_play(c.a, c.b)) abort();
        last = c.tick;
    }
    if (!parsed) return 0;
    if (r.end_tick > 300) r.end_tick = 300;
    g.edit_level = src.lv;
    ReplayResult result;
    replay_run(g, r, result, error);
    return 0;
}
