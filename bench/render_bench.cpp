// The world renderer on a busy full-map level at the farthest zoom, in a 960 x 720
// window. Needs a display; with Mesa's software renderer:
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/render_bench
//
// Each benchmark runs 300 frames and reports the median frame time (the
// "median_ms" counter; the mean is Google Benchmark's own time column), the
// quads of each batch, the draw calls and the tiles visited per frame. Times
// include glFinish, so the software rasteriser's work is counted.
#include <GL/gl.h>
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/game.h"
#include "bench_window.h"
#include "core/state.h"
#include "gfx/graphics.h"
#include "gfx/world_draw.h"
#include "platform/canvas.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "world/catalogue.h"
#include "world/model.h"

namespace {

std::unique_ptr<game> g_game;

using benchwin::now_ms;

// CPU time of the whole process (the rasteriser's threads included).
double cpu_ms() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Tile numbers of the shipped catalogue.
enum : int {
    FLOOR = 1, DARK = 2, CRATER = 3, PLAYER = 4, GUARD = 5, WINDOW = 6, PILLAR = 7,
    LAMP1 = 9, BOMB1 = 13, CARTRIDGE = 17, BARREL = 18, BUSH = 19, STATUE = 20,
    ARROW3 = 23, WALL = 32, BLOCK = 33, ARCH = 34, CRATE = 35,
};

// Rooms of 10 x 10 cells over the whole playable area, walls with doors and
// windows, and in every room a mix of floor, dark patches, props, items, pillars,
// crates, a crater, a lamp and (in many) a guard; four blasts going off.
void build_busy_level(game& g) {
    std::mt19937 rng(2024);
    level& lv = g.level;
    memset(&lv, 0, sizeof lv);
    for (int y = 0; y < MAP_SIZE; ++y)
        for (int x = 0; x < MAP_SIZE; ++x)
            lv.map[cell_index(x, y)] = in_play(x, y) ? FLOOR : WALL;
    const auto put = [&](int x, int y, int tile) {
        if (in_play(x, y)) lv.map[cell_index(x, y)] = uint8_t(tile);
    };
    int guards = 0, lamps = 0;
    for (int ry = 4; ry < 124; ry += 10)
        for (int rx = 4; rx < 124; rx += 10) {
            for (int i = 0; i < 10; ++i) {
                put(rx + i, ry, (i == 5) ? FLOOR : (i == 2 ? ARCH : WALL));
                put(rx, ry + i, (i == 5) ? FLOOR : (i == 7 ? WINDOW : WALL));
            }
            for (int k = 0; k < 12; ++k) {
                const int x = rx + 2 + int(rng() % 7), y = ry + 2 + int(rng() % 7);
                static const int props[] = {BARREL, BUSH, STATUE, BOMB1, CARTRIDGE, PILLAR,
                                            CRATE, BLOCK, DARK, DARK, DARK, FLOOR};
                put(x, y, props[k]);
            }
            if (rng() % 3 == 0) put(rx + 5, ry + 5, CRATER);
            if (lamps < 30) {
                put(rx + 3, ry + 3, LAMP1 + int(rng() % 4));
                ++lamps;
            }
            if (guards < 27 && rng() % 2 == 0) {
                put(rx + 7, ry + 2, GUARD);
                put(rx + 8, ry + 2, ARROW3);
                ++guards;
            }
        }
    put(64, 66, PLAYER);
    lv.unbeaten = 1;
    g.edit_level = lv;
    g.state = STATE_LEVEL;
    setup_level(g, 0);
    for (int b = 0; b < 4; ++b) {
        actor& a = spawn_actor(g);
        a.active = 1;
        a.kind = ACTOR_BLAST;
        a.x = float(56 + 5 * b);
        a.y = float(60 + 3 * b);
        snprintf(a.anim, sizeof a.anim, "blast-%d", 2 + b);
    }
    lv.look_x = lv.look_y = 64;
    lv.cam_dist = lv.zoom_target = 50;  // the farthest zoom: the largest visible area
    lv.cam_angle = lv.cam_angle_target = 0;
}

// A heads-up layer like the play screen's: a bar, icons, counters and timers.
void draw_2d_layer() {
    canvas_begin_2d();
    static const int white = image_get("white");
    static const int box = texture_entry(texture_get("box2")).gl_name;
    static const int font1 = font_get("font1"), font2 = font_get("font2");
    static const int icons[] = {image_get("icon-arrow4"), image_get("icon-arrow6"),
                                image_get("icon-bomb1"), image_get("icon-bomb2"),
                                image_get("icon-bomb3"), image_get("icon-bomb4")};
    glColor4f(1, 1, 1, 34.0f / 255.0f);
    image_draw(white, 0, 624, 960, 96);
    glColor4f(1, 1, 1, 1);
    for (int i = 0; i < 6; ++i) {
        frame_draw(box, 10 + i * 120, 634, 76, 76, 16);
        image_draw(icons[i], 16 + i * 120, 640, 64, 64);
    }
    text_draw(font2, "||", 20, 10, 0, -1);
    text_draw(font1, "47%", 880, 10, 0, -1);
    text_draw(font1, "3 / 5", 880, 40, 0, -1);
    text_draw(font1, "1:01", 880, 70, 0, -1);
    text_draw(font2, "0:07", 384, 5, 192, 0);
}

void set_counters(benchmark::State& state, std::vector<double>& ms, double cpu_total = 0) {
    if (cpu_total > 0 && !ms.empty()) state.counters["cpu_ms"] = cpu_total / double(ms.size());
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms.empty() ? 0 : ms[ms.size() / 2];
    state.counters["fps_median"] = ms.empty() ? 0 : 1000.0 / ms[ms.size() / 2];
    const WorldStats& s = world_stats();
    static const char* names[BATCH_COUNT] = {
        "q_block", "q_tinted", "q_dark_side", "q_lit_floor", "q_shaded_floor", "q_dark_floor",
        "q_floor_column", "q_decal", "q_sprite", "q_shaded_sprite", "q_glow"};
    int total = 0;
    for (int i = 0; i < BATCH_COUNT; ++i) {
        state.counters[names[i]] = s.quads[i];
        total += s.quads[i];
    }
    state.counters["quads"] = total;
    state.counters["draw_calls"] = s.draw_calls;
    state.counters["tiles"] = s.tiles_visited;
    state.counters["lights"] = s.point_lights;
}

// world_draw alone, finished.
void BM_WorldDraw(benchmark::State& state) {
    std::vector<double> ms;
    double cpu = 0;
    for (auto _ : state) {
        glFinish();
        const double c0 = cpu_ms();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        const double t0 = now_ms();
        world_draw(*g_game);
        glFinish();
        const double t = now_ms() - t0;
        cpu += cpu_ms() - c0;
        ms.push_back(t);
        state.SetIterationTime(t / 1e3);
    }
    set_counters(state, ms, cpu);
}

// The CPU side of world_draw: gathering and submitting, without waiting for the
// rasteriser (it finishes before the clock starts for the next frame).
void BM_WorldDrawSubmit(benchmark::State& state) {
    std::vector<double> ms;
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glFinish();
        const double t0 = now_ms();
        world_draw(*g_game);
        const double t = now_ms() - t0;
        glFinish();
        ms.push_back(t);
        state.SetIterationTime(t / 1e3);
    }
    set_counters(state, ms);
}

// A whole unpaced frame as the main loop makes it: clear, world, 2D layer, swap.
void BM_Frame(benchmark::State& state) {
    std::vector<double> ms;
    double cpu = 0;
    for (auto _ : state) {
        const double c0 = cpu_ms();
        const double t0 = now_ms();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        camera_setup(*g_game, 0);
        world_draw(*g_game);
        draw_2d_layer();
        video_swap();
        glFinish();
        const double t = now_ms() - t0;
        cpu += cpu_ms() - c0;
        ms.push_back(t);
        state.SetIterationTime(t / 1e3);
    }
    set_counters(state, ms, cpu);
}

// The same while the camera turns (every frame a new heading), so no two frames
// gather the same quads.
void BM_FrameTurning(benchmark::State& state) {
    std::vector<double> ms;
    float heading = 0;
    for (auto _ : state) {
        g_game->level.cam_angle = heading;
        heading += 1.2f;
        const double t0 = now_ms();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        world_draw(*g_game);
        draw_2d_layer();
        video_swap();
        glFinish();
        const double t = now_ms() - t0;
        ms.push_back(t);
        state.SetIterationTime(t / 1e3);
    }
    g_game->level.cam_angle = 0;
    set_counters(state, ms);
}

// A whole frame at the zoom a level starts with (0), for comparison: a quarter
// of the quads of the farthest zoom over the same screen.
void BM_FrameZoom0(benchmark::State& state) {
    std::vector<double> ms;
    double cpu = 0;
    g_game->level.cam_dist = g_game->level.zoom_target = 0;
    for (auto _ : state) {
        const double c0 = cpu_ms();
        const double t0 = now_ms();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        world_draw(*g_game);
        draw_2d_layer();
        video_swap();
        glFinish();
        const double t = now_ms() - t0;
        cpu += cpu_ms() - c0;
        ms.push_back(t);
        state.SetIterationTime(t / 1e3);
    }
    g_game->level.cam_dist = g_game->level.zoom_target = 50;
    set_counters(state, ms, cpu);
}

BENCHMARK(BM_WorldDraw)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WorldDrawSubmit)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Frame)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameTurning)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameZoom0)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!benchwin::open_window("render_bench")) return 1;
    g_game.reset(new game());
    _game_tile_init(*g_game);
    build_busy_level(*g_game);
    glViewport(0, 0, 960, 720);
    // One frame first, so every picture is loaded before the clock runs.
    world_draw(*g_game);
    draw_2d_layer();
    glFinish();
    printf("GL_RENDERER: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    benchmark::RunSpecifiedBenchmarks();
    graphics_free();
    SDL_Quit();
    return 0;
}
