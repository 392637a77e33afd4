// The map editor's frame and strokes, in a 960 x 720 window. Needs a display;
// with Mesa's software renderer:
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/edit_bench
//
// The map: the busiest a designer can paint. Every playable cell used (walls,
// crates, dark floor, pillars, pick-ups, props), all 64 actor slots filled by
// the agent, 31 guards on looping arrow routes and 32 lamps travelling theirs.
// Timed with the clock and reported as "median_us"/"worst_us" (or ms):
//   BM_EditorFrame  the editor's per-frame update (the map copied over the live
//                   level and set up) and its paint at the default zoom,
//                   finished with glFinish: 300 frames.
//   BM_WorldDraw    for comparison, the bare world_draw of the same frame.
//   BM_CopySetup    the per-frame copy and set-up alone (CPU).
//   BM_DragStroke   one motion event with the left button held whose jump spans
//                   200 cells (corner to corner past the frame), through the
//                   dispatcher to the painted grid.
#include <GL/gl.h>
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/app.h"
#include "bench_window.h"
#include "core/state.h"
#include "gfx/graphics.h"
#include "gfx/world_draw.h"
#include "platform/canvas.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "screens/edit.h"
#include "screens/states.h"
#include "world/catalogue.h"
#include "world/editing.h"
#include "world/model.h"

namespace {

std::unique_ptr<game> g_game;

double now_us() { return benchwin::now_ms() * 1e3; }

// Tile numbers of the shipped catalogue.
enum : int {
    FLOOR = 1, DARK = 2, PLAYER = 4, GUARD = 5, WINDOW = 6, PILLAR = 7, LAMP1 = 9, BOMB1 = 13,
    CARTRIDGE = 17, BARREL = 18, BUSH = 19, ARROW3 = 23, ARROW1 = 21, ARROW7 = 27, ARROW9 = 29,
    WALL = 32, BLOCK = 33, CRATE = 35,
};

void build_map(game& g) {
    new_level(g);
    level& ed = g.edit_level;
    const auto put = [&](int x, int y, int t) { ed.map[cell_index(x, y)] = uint8_t(t); };
    const int props[] = {FLOOR, FLOOR, FLOOR, DARK, WALL, CRATE, PILLAR, BOMB1, CARTRIDGE, BARREL,
                         BUSH, FLOOR, DARK, FLOOR, WINDOW, FLOOR};
    for (int y = MAP_MIN; y <= MAP_MAX; ++y)
        for (int x = MAP_MIN; x <= MAP_MAX; ++x) put(x, y, props[(x * 7 + y * 13) % 16]);
    // 63 patrols: a spawn cell and a square loop of four arrows of side 10
    // (the route runs over whatever lies between, for lamps; guards stop at
    // solid cells), the agent on the last cell.
    int made = 0;
    for (int by = 0; by < 8 && made < 63; ++by)
        for (int bx = 0; bx < 8 && made < 63; ++bx, ++made) {
            const int x = 6 + bx * 14, y = 6 + by * 14;
            put(x, y, made % 2 ? LAMP1 + made % 4 : GUARD);
            put(x + 1, y, ARROW3);
            put(x + 10, y, ARROW1);
            put(x + 10, y + 10, ARROW7);
            put(x + 1, y + 10, ARROW9);
            for (int k = 2; k < 10; ++k) {  // open corridors along the loop
                put(x + k, y, FLOOR);
                put(x + 10, y + k, FLOOR);
                put(x + k, y + 10, FLOOR);
                put(x + 1, y + k, FLOOR);
            }
        }
    put(118, 118, PLAYER);
    g.level = ed;
}

void report(benchmark::State& state, std::vector<double>& us, bool millis) {
    std::sort(us.begin(), us.end());
    const double scale = millis ? 1e-3 : 1;
    state.counters[millis ? "median_ms" : "median_us"] = us.empty() ? 0 : us[us.size() / 2] * scale;
    state.counters[millis ? "worst_ms" : "worst_us"] = us.empty() ? 0 : us.back() * scale;
}

void BM_EditorFrame(benchmark::State& state) {
    std::vector<double> us;
    State* screen = state_table[STATE_EDIT];
    for (auto _ : state) {
        glFinish();
        const double t0 = now_us();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        app_frame(*g_game);
        screen->paint();
        glFinish();
        const double t = now_us() - t0;
        us.push_back(t);
        state.SetIterationTime(t / 1e6);
    }
    report(state, us, true);
    int active = 0;
    for (const actor& a : g_game->level.actors) active += a.active;
    state.counters["actors"] = active;
}

// For comparison: the bare world of the same frame (camera, world_draw), finished.
void BM_WorldDraw(benchmark::State& state) {
    std::vector<double> us;
    for (auto _ : state) {
        glFinish();
        const double t0 = now_us();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        paint_level_scene(*g_game);
        glFinish();
        const double t = now_us() - t0;
        us.push_back(t);
        state.SetIterationTime(t / 1e6);
    }
    report(state, us, true);
}

void BM_CopySetup(benchmark::State& state) {
    std::vector<double> us;
    for (auto _ : state) {
        const double t0 = now_us();
        edit_show_map(*g_game);
        benchmark::DoNotOptimize(g_game->level.actors[63].x);
        const double t = now_us() - t0;
        us.push_back(t);
        state.SetIterationTime(t / 1e6);
    }
    report(state, us, false);
}

void BM_DragStroke(benchmark::State& state) {
    game& g = *g_game;
    level& ed = g.edit_level;
    // The whole map in view (zoom 50), the camera of a painted frame current.
    ed.look_x = ed.look_y = 64;
    ed.cam_dist = ed.zoom_target = 50;
    app_frame(g);
    state_table[STATE_EDIT]->paint();
    const Vec3 a = project_to_window(Vec3{-6.5f, 1.25f, -6.5f});
    const Vec3 b = project_to_window(Vec3{135.5f, 1.25f, 135.5f});
    Event e{};
    e.kind = EV_MOUSEMOVE;
    e.button = 1;
    e.x = b.x;
    e.y = b.y;
    e.dx = b.x - a.x;
    e.dy = b.y - a.y;
    selected_tile = BLOCK;  // a tile the map holds nowhere: every cell changes
    const level saved = ed;
    std::vector<double> us;
    int painted = 0;
    for (auto _ : state) {
        memcpy(ed.map, saved.map, sizeof ed.map);
        clear_undo(g);
        const double t0 = now_us();
        app_event(g, e);
        const double t = now_us() - t0;
        painted = g.undo_pos;
        us.push_back(t);
        state.SetIterationTime(t / 1e6);
    }
    report(state, us, false);
    state.counters["cells_painted"] = painted;
    ed = saved;
}

BENCHMARK(BM_EditorFrame)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WorldDraw)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopySetup)->UseManualTime()->Iterations(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DragStroke)->UseManualTime()->Iterations(3000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!benchwin::open_window("edit_bench")) return 1;
    g_game.reset(new game());
    _game_tile_init(*g_game);
    make_states(*g_game);
    app_wire_rules();
    build_map(*g_game);
    set_state(*g_game, STATE_EDIT);
    glViewport(0, 0, 960, 720);
    // One frame first, so every picture is loaded before the clock runs.
    app_frame(*g_game);
    state_table[STATE_EDIT]->paint();
    glFinish();
    int active = 0;
    for (const actor& a : g_game->level.actors) active += a.active;
    printf("GL_RENDERER: %s; actors in use: %d\n",
           reinterpret_cast<const char*>(glGetString(GL_RENDERER)), active);
    benchmark::RunSpecifiedBenchmarks();
    graphics_free();
    SDL_Quit();
    return 0;
}
