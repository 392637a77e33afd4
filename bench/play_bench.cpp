// The play screen's whole frame against the bare world_draw of the same scene,
// in a 960 x 720 window. Needs a display; with Mesa's software renderer:
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/play_bench
//
// The scene: a furnished room with guards and lamps at the zoom play starts
// with (12.5), four Time Bombs and an EMP Bomb lying, so the timer row holds
// five cells. Each benchmark runs 300 frames and reports the median and the
// worst frame ("median_ms", "worst_ms"); times include glFinish, so the software
// rasteriser's work is counted. The screen's own work is measured alone too,
// after the world of the same frame has been drawn and finished.
#include <GL/gl.h>
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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
#include "screens/level.h"
#include "screens/states.h"
#include "world/catalogue.h"
#include "world/model.h"

namespace {

std::unique_ptr<game> g_game;

using benchwin::now_ms;

// Tile numbers of the shipped catalogue.
enum : int {
    FLOOR = 1, DARK = 2, PLAYER = 4, GUARD = 5, WINDOW = 6, PILLAR = 7, LAMP1 = 9, BOMB1 = 13,
    CARTRIDGE = 17, BARREL = 18, BUSH = 19, STATUE = 20, ARROW3 = 23, WALL = 32, CRATE = 35,
};

// A 40 x 30 room around the player: walls with windows, pillars, props,
// items, lamps and guards; the play copy is then started as the play screen
// starts it, and five bombs are laid around the player.
void build_scene(game& g) {
    level& lv = g.level;
    new_level(g);
    const auto put = [&](int x, int y, int t) { lv.map[cell_index(x, y)] = uint8_t(t); };
    for (int y = 45; y <= 75; ++y)
        for (int x = 44; x <= 84; ++x) {
            const bool edge = y == 45 || y == 75 || x == 44 || x == 84;
            put(x, y, edge ? ((x + y) % 9 == 0 ? WINDOW : WALL) : FLOOR);
        }
    const int props[] = {PILLAR, BARREL, BUSH, STATUE, CRATE, DARK, BOMB1, CARTRIDGE};
    for (int i = 0; i < 48; ++i) put(47 + (i * 7) % 35, 48 + (i * 11) % 25, props[i % 8]);
    for (int i = 0; i < 6; ++i) {
        put(50 + 6 * i, 52, GUARD);
        put(51 + 6 * i, 52, ARROW3);
        put(48 + 7 * i, 70, LAMP1 + i % 4);
    }
    put(64, 60, PLAYER);
    for (int x = 62; x <= 66; ++x)
        for (int y = 58; y <= 62; ++y)
            if (x != 64 || y != 60) put(x, y, FLOOR);
    for (int k = ACTOR_DETONATOR; k <= ACTOR_MINI_BOMB; ++k) lv.inventory[k] = 3;
    snprintf(lv.title, sizeof lv.title, "Bench");
    g.edit_level = lv;
    g.return_state = STATE_MENU_PLAY;
    set_state(g, STATE_LEVEL);  // set up; the intro
    set_state(g, STATE_LEVEL);  // back in play with the display built
    lv.cam_dist = lv.zoom_target = 12.5f;
    for (int b = 0; b < 5; ++b) {
        actor& a = spawn_actor(g);
        a.active = 1;
        a.kind = uint8_t(b < 4 ? ACTOR_TIME_BOMB : ACTOR_EMP_BOMB);
        a.x = float(62 + b);
        a.y = 58;
        a.fuse = 100 + 150 * b;
        snprintf(a.anim, sizeof a.anim, "bomb%d", a.kind - 18);
    }
}

void report(benchmark::State& state, std::vector<double>& ms) {
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms.empty() ? 0 : ms[ms.size() / 2];
    state.counters["worst_ms"] = ms.empty() ? 0 : ms.back();
    int quads = 0;
    for (int q : world_stats().quads) quads += q;
    state.counters["quads"] = quads;
}

// The bare world of the frame: camera, depth on, world_draw, finished.
void BM_WorldDraw(benchmark::State& state) {
    std::vector<double> ms;
    for (auto _ : state) {
        glFinish();
        const double t0 = now_ms();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        camera_setup(*g_game, 0);
        glEnable(GL_DEPTH_TEST);
        glDepthMask(GL_TRUE);
        world_draw(*g_game);
        glFinish();
        const double t = now_ms() - t0;
        ms.push_back(t);
        state.SetIterationTime(t / 1e3);
    }
    report(state, ms);
}

// The play screen's paint: the same world, then the bar, the pause button, the
// counters and the timer row (built, laid out, painted and deleted), finished.
void BM_PlayFrame(benchmark::State& state) {
    std::vector<double> ms;
    State* screen = state_table[STATE_LEVEL];
    for (auto _ : state) {
        glFinish();
        const double t0 = now_ms();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        screen->paint();
        glFinish();
        const double t = now_ms() - t0;
        ms.push_back(t);
        state.SetIterationTime(t / 1e3);
    }
    report(state, ms);
}

// The screen's own share of the frame, the world drawn and finished first: the
// 2D state, the widgets laid out and painted, the counters, the timer row and
// the camera restored. With `finish` the clock also waits for the rasteriser
// to fill those pixels; without, it counts the work on the game's own thread
// (layout, text, building and deleting the timer row, handing draws to GL).
void screen_layer(benchmark::State& state, bool finish) {
    std::vector<double> ms;
    Level& screen = *static_cast<Level*>(state_table[STATE_LEVEL]);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        paint_level_scene(*g_game);
        glFinish();
        const double t0 = now_ms();
        begin_2d();
        paint_root(screen.root);
        screen.paint_counters();
        screen.paint_timers();
        restore_level_camera(*g_game);
        if (finish) glFinish();
        const double t = now_ms() - t0;
        if (!finish) glFinish();
        ms.push_back(t);
        state.SetIterationTime(t / 1e3);
    }
    report(state, ms);
}
void BM_ScreenLayer(benchmark::State& state) { screen_layer(state, true); }
void BM_ScreenLayerSubmit(benchmark::State& state) { screen_layer(state, false); }

BENCHMARK(BM_WorldDraw)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayFrame)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScreenLayer)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScreenLayerSubmit)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!benchwin::open_window("play_bench")) return 1;
    g_game.reset(new game());
    _game_tile_init(*g_game);
    make_states(*g_game);
    app_wire_rules();
    build_scene(*g_game);
    glViewport(0, 0, 960, 720);
    // One frame first, so every picture is loaded before the clock runs.
    state_table[STATE_LEVEL]->paint();
    glFinish();
    printf("GL_RENDERER: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    benchmark::RunSpecifiedBenchmarks();
    graphics_free();
    SDL_Quit();
    return 0;
}
