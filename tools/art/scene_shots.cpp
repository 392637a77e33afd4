// Renders levels through the game's own world renderer into PNG pictures: a
// fixed test level (rooms, guards, every lamp colour, dark patches, craters,
// props, targets, exits, blasts) in the play view at the starting zoom, at zoom
// 25 and at the farthest zoom from several headings, close-ups, an EMP, each
// theme and the editor's views; then every shipped level (game.db and
// featured.db of the data folder) as play starts and from afar. Used to judge
// the artwork (tools/art/shots.sh) and to make the README's screenshots.
//
//     scene_shots OUT_DIR [DATA_DIR]
//
// Needs an X display (DISPLAY) with GLX; shots.sh starts a private Xvfb.
// Writes OUT_DIR/<shot>.png (960 x 720 RGB) and lists them on stdout.
#include <GL/gl.h>
#include <SDL.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/game.h"
#include "core/state.h"
#include "db/mydb.h"
#include "gfx/graphics.h"
#include "gfx/world_draw.h"
#include "platform/canvas.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "world/ascii.h"
#include "world/catalogue.h"
#include "world/model.h"
#include "world/storage.h"

namespace {

// Characters of the drawing below for the shipped tile numbers (data/tiles.json).
const AsciiLegend& legend() {
    static const AsciiLegend L = {
        {' ', 0},  {'.', 1},  {',', 2},  {'o', 3},  {'@', 4},  {'G', 5},  {'W', 6},  {'P', 7},
        {'L', 9},  {'l', 10}, {'r', 11}, {'v', 12}, {'D', 13}, {'B', 14}, {'E', 15}, {'M', 16},
        {'$', 17}, {'b', 18}, {'u', 19}, {'s', 20}, {'#', 32}, {'X', 33}, {'A', 34}, {'c', 35},
    };
    return L;
}

// Rooms with guards, the four lamp colours, dark patches, craters, props,
// targets, the exit windows and barred openings.
const std::vector<std::string> kLevel = {
    "##########WW#############AA######",
    "#u.......#..........#...........b#",
    "#..P..L..#...X......#..$...v.....#",
    "#........#..........A.....P......#",
    "#,,,.....c...c......#............#",
    "#,,,,..@.........s..#....,,,,....#",
    "#,,,,....#..oo......#....,,,,.G..#",
    "#...D....#..oo..G...###.####.....#",
    "#...c....#..........#............#",
    "####.#####...P......#....c.b.....#",
    "#........#.....l....#..r.........W",
    "#...B..$.#.....,,...#.....E......W",
    "#..M.....#..........#......ccc...#",
    "###########A#####################.",
};
const int X0 = 20, Y0 = 20;

// A PNG file of 8-bit RGB rows (top to bottom), written with zlib alone.
bool write_png(const std::string& path, int w, int h, const std::vector<unsigned char>& rgb) {
    std::vector<unsigned char> raw;
    raw.reserve(size_t(h) * (size_t(w) * 3 + 1));
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);  // no filter
        raw.insert(raw.end(), rgb.begin() + size_t(y) * w * 3, rgb.begin() + size_t(y + 1) * w * 3);
    }
    uLongf packed_len = compressBound(uLong(raw.size()));
    std::vector<unsigned char> packed(packed_len);
    if (compress2(packed.data(), &packed_len, raw.data(), uLong(raw.size()), 9) != Z_OK) return false;
    packed.resize(packed_len);
    FILE* out = fopen(path.c_str(), "wb");
    if (!out) return false;
    const auto be32 = [](unsigned char* p, uint32_t v) {
        p[0] = uint8_t(v >> 24);
        p[1] = uint8_t(v >> 16);
        p[2] = uint8_t(v >> 8);
        p[3] = uint8_t(v);
    };
    const auto chunk = [&](const char* type, const unsigned char* data, size_t n) {
        unsigned char head[8];
        be32(head, uint32_t(n));
        memcpy(head + 4, type, 4);
        fwrite(head, 1, 8, out);
        if (n) fwrite(data, 1, n, out);
        uLong crc = crc32(0, head + 4, 4);
        if (n) crc = crc32(crc, data, uInt(n));
        unsigned char tail[4];
        be32(tail, uint32_t(crc));
        fwrite(tail, 1, 4, out);
    };
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    fwrite(signature, 1, 8, out);
    unsigned char ihdr[13] = {};
    be32(ihdr, uint32_t(w));
    be32(ihdr + 4, uint32_t(h));
    ihdr[8] = 8;  // bits per channel
    ihdr[9] = 2;  // RGB
    chunk("IHDR", ihdr, sizeof ihdr);
    chunk("IDAT", packed.data(), packed.size());
    chunk("IEND", nullptr, 0);
    return fclose(out) == 0;
}

std::vector<unsigned char> read_back(int w, int h) {
    std::vector<unsigned char> up(size_t(w) * h * 3), rgb(up.size());
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, up.data());
    for (int y = 0; y < h; ++y)
        memcpy(&rgb[size_t(y) * w * 3], &up[size_t(h - 1 - y) * w * 3], size_t(w) * 3);
    return rgb;
}

actor& add_actor(game& g, int kind, float x, float y, const char* anim) {
    actor& a = spawn_actor(g);
    a.active = 1;
    a.kind = uint8_t(kind);
    a.x = x;
    a.y = y;
    a.cell_x = int8_t(x + 0.5f);
    a.cell_y = int8_t(y + 0.5f);
    snprintf(a.anim, sizeof a.anim, "%s", anim);
    return a;
}

// The test level set up for play, with the actors posed as in the middle of a
// game: the agent walking, guards on watch, a Time Bomb ticking, two blasts.
std::unique_ptr<game> make_scene() {
    std::unique_ptr<game> g(new game());
    _game_tile_init(*g);
    if (!level_from_ascii(g->level, kLevel, legend(), X0, Y0, 0)) return nullptr;
    g->edit_level = g->level;
    g->state = STATE_LEVEL;
    setup_level(*g, 1);
    for (actor& a : g->level.actors) {
        if (!a.active) continue;
        if (a.kind == ACTOR_PLAYER) {
            snprintf(a.anim, sizeof a.anim, "player-walk-3-2");
            a.has_moved = 1;
        } else if (a.kind == ACTOR_GUARD) {
            // Both look toward the agent's side of the map.
            a.facing = 7;
            snprintf(a.anim, sizeof a.anim, "guard-walk-7-1");
        }
    }
    add_actor(*g, ACTOR_TIME_BOMB, X0 + 11.0f, Y0 + 9.0f, "bomb2");
    add_actor(*g, ACTOR_BLAST, X0 + 17.0f, Y0 + 10.0f, "blast-3");
    add_actor(*g, ACTOR_MINI_BLAST, X0 + 24.0f, Y0 + 8.0f, "blast-5");
    build_flags(*g);
    return g;
}

// Draws the current scene of g into OUT_DIR/name.png; false when it cannot be written.
bool shoot(game& g, const std::string& out_dir, const std::string& name) {
    glViewport(0, 0, 960, 720);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    world_draw(g);
    const std::string path = out_dir + "/" + name + ".png";
    const bool ok = write_png(path, 960, 720, read_back(960, 720));
    video_swap();
    printf(ok ? "%s\n" : "scene_shots: cannot write %s\n", path.c_str());
    return ok;
}

// Every level of a level database: as play starts (the starting zoom on the
// agent, its beam showing) and from the farthest zoom over the whole map.
int shoot_database(game& g, const std::string& out_dir, const std::string& path) {
    MyDB db;
    db.db_open(path);
    int failed = 0;
    for (const Row& row : db.query("select id, name from levels order by name")) {
        const std::string id = row.at("id"), name = row.at("name");
        if (!logic_load(g, db, id)) continue;
        level& lv = g.level;
        g.state = STATE_LEVEL;
        top_view = 0;
        lv.emp_time = 0;
        lv.mouse_x = lv.mouse_y = -100;
        lv.cam_angle = lv.cam_angle_target = 0;
        if (const actor* p = find_actor(g, ACTOR_PLAYER)) {
            lv.look_x = p->x;
            lv.look_y = p->y;
        }
        lv.cam_dist = lv.zoom_target = 12.5f;
        failed += !shoot(g, out_dir, "level-" + name);
        // The middle of everything drawn, from afar.
        int x0 = MAP_MAX, y0 = MAP_MAX, x1 = MAP_MIN, y1 = MAP_MIN;
        for (int y = MAP_MIN; y <= MAP_MAX; ++y)
            for (int x = MAP_MIN; x <= MAP_MAX; ++x)
                if (lv.map[cell_index(x, y)] != 0) {
                    x0 = std::min(x0, x), x1 = std::max(x1, x);
                    y0 = std::min(y0, y), y1 = std::max(y1, y);
                }
        if (x0 <= x1) {
            lv.look_x = float(x0 + x1) / 2;
            lv.look_y = float(y0 + y1) / 2;
        }
        lv.cam_dist = lv.zoom_target = 50;
        failed += !shoot(g, out_dir, "level-" + name + "-far");
    }
    return failed;
}

struct Shot {
    std::string name;
    int state;        // STATE_LEVEL, or STATE_EDIT for the editor's views
    float zoom;       // -25 (nearest) .. 50 (farthest)
    float heading;    // degrees
    float look_x, look_y;
    bool overhead;    // the editor's top view
    bool emp;
    const char* theme;
    bool start;       // before the agent's first step: its beam shows
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: scene_shots OUT_DIR [DATA_DIR]\n");
        return 2;
    }
    const std::string out_dir = argv[1];
    if (argc > 2) set_data_dir(argv[2]);

    // The renderer's load lines are noise here; keep only what this tool says.
    if (!getenv("SCENE_VERBOSE") && !freopen("/dev/null", "w", stderr)) return 1;
    SDL_Init(SDL_INIT_VIDEO);
    init_video(960, 720, 0);
    if (driver().width != 960 || driver().height != 720) {
        printf("scene_shots: no 960 x 720 GL window\n");
        return 1;
    }
    load_graphics();
    canvas() = Canvas();
    load_fonts();

    std::unique_ptr<game> g = make_scene();
    if (!g) {
        printf("scene_shots: the test level does not fit its legend\n");
        return 1;
    }
    const float px = X0 + 7.0f, py = Y0 + 5.0f;      // the agent
    const float mx = X0 + 16.5f, my = Y0 + 6.5f;     // the middle of the level
    const std::vector<Shot> shots = {
        {"start-h0", STATE_LEVEL, 12.5f, 0, px, py, false, false, "", true},
        {"start-h90", STATE_LEVEL, 12.5f, 90, px, py, false, false, "", false},
        {"start-h180", STATE_LEVEL, 12.5f, 180, px, py, false, false, "", false},
        {"start-h270", STATE_LEVEL, 12.5f, 270, px, py, false, false, "", false},
        {"near-agent", STATE_LEVEL, -25, 0, px, py, false, false, "", false},
        {"near-exit", STATE_LEVEL, -10, 0, X0 + 30.0f, Y0 + 9.0f, false, false, "", false},
        {"exit-inside", STATE_LEVEL, -25, 180, X0 + 32.0f, Y0 + 10.5f, false, false, "", false},
        {"near-lamps", STATE_LEVEL, -5, 45, X0 + 22.0f, Y0 + 5.0f, false, false, "", false},
        {"zoom25-h0", STATE_LEVEL, 25, 0, mx, my, false, false, "", false},
        {"zoom25-h135", STATE_LEVEL, 25, 135, mx, my, false, false, "", false},
        {"zoom25-h225", STATE_LEVEL, 25, 225, mx, my, false, false, "", false},
        {"far-h0", STATE_LEVEL, 50, 0, mx, my, false, false, "", false},
        {"far-h315", STATE_LEVEL, 50, 315, mx, my, false, false, "", false},
        {"emp", STATE_LEVEL, 12.5f, 0, X0 + 12.0f, Y0 + 6.0f, false, true, "", false},
        {"theme-museum", STATE_LEVEL, 12.5f, 0, X0 + 12.0f, Y0 + 6.0f, false, false, "museum", false},
        {"theme-warehouse", STATE_LEVEL, 12.5f, 0, X0 + 12.0f, Y0 + 6.0f, false, false, "warehouse", false},
        {"editor-top", STATE_EDIT, 25, 0, mx, my, true, false, "", false},
        {"editor-3d", STATE_EDIT, 25, 0, mx, my, false, false, "", false},
    };
    int failed = 0;
    for (const Shot& s : shots) {
        level& lv = g->level;
        g->state = s.state;
        top_view = s.overhead ? 1 : 0;
        lv.cam_dist = lv.zoom_target = s.zoom;
        lv.cam_angle = lv.cam_angle_target = s.heading;
        lv.look_x = s.look_x;
        lv.look_y = s.look_y;
        lv.emp_time = s.emp ? 200 : 0;
        snprintf(lv.theme, sizeof lv.theme, "%s", s.theme);
        // The pointer rests off the map, so the editor's guide stays out of the picture.
        lv.mouse_x = lv.mouse_y = -100;
        for (actor& a : lv.actors)
            if (a.active && a.kind == ACTOR_PLAYER) a.has_moved = s.start ? 0 : 1;

        failed += !shoot(*g, out_dir, s.name);
    }
    for (const char* db : {"game.db", "featured.db"})
        failed += shoot_database(*g, out_dir, path_join(data_dir(), db));
    graphics_free();
    SDL_Quit();
    return failed ? 1 : 0;
}
