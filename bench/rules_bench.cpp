// One tick of the rules (build_flags + game_tick) on a 64-actor stress level, and
// the worst single tick: a crater blast ending with 40 guards spread over the
// map, each searching a new path. Run the Release build:
//   cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release && cmake --build build-rel --target rules_bench
//   build-rel/bench/rules_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include <cstring>
#include <memory>
#include <random>

#include "bench_maps.h"
#include "core/state.h"
#include "world/rewind.h"
#include "world/rules.h"

namespace {

// The fastest repetition next to mean and median: on a machine shared with other
// work the median drifts with the load, the minimum much less.
double fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

using namespace benchmaps;

// 40 guards on looping patrols of 12 way-points each (one 15 x 15 block per guard),
// 12 lamps travelling back and forth, the player and 11 Time Bombs whose fuses
// never run out during the run: 64 actors on an open 120 x 120 area.
void stress_level(game& g) {
    open_map(g);
    for (int k = 0; k < 40; ++k) {
        const int bx = 4 + (k % 8) * 15, by = 4 + (k / 8) * 15;
        const int x0 = bx + 2, y0 = by + 2, x1 = bx + 11, y1 = by + 8;
        set(g, x0 - 1, y0, GUARD);
        // Corners turn the patrol; arrows in between are way-points going on.
        for (int x = x0; x < x1; x += 3) set(g, x, y0, ARROW + 3);
        for (int y = y0; y < y1; y += 2) set(g, x1, y, ARROW + 1);
        for (int x = x1; x > x0; x -= 3) set(g, x, y1, ARROW + 7);
        for (int y = y1; y > y0; y -= 2) set(g, x0, y, ARROW + 9);
        set(g, bx + 6, by + 12, WALL);  // a little cover in each block
    }
    for (int k = 0; k < 12; ++k) {
        const int x = 6 + k * 9, y = 84 + (k % 3) * 10;
        set(g, x, y, LIGHT);
        set(g, x + 1, y, ARROW + 3);
        set(g, x + 7, y, ARROW + 7);
    }
    set(g, 60, 118, PLAYER);
    g.state = STATE_LEVEL;
    setup_level(g, 1);
    for (int k = 0; k < 11; ++k) {
        actor& b = spawn_actor(g);
        b.active = 1;
        b.kind = ACTOR_TIME_BOMB;
        b.x = float(10 + k * 10);
        b.y = 110.0f;
        b.cell_x = int8_t(10 + k * 10);
        b.cell_y = 110;
        b.fuse = 1 << 28;
    }
    g.level.view_x = 60.0f;
    g.level.view_y = 110.0f;
    g.level.view_r = 30.0f;
}

int active_actors(const game& g) {
    int n = 0;
    for (const actor& a : g.level.actors) n += a.active;
    return n;
}

void BM_StressTick(benchmark::State& state) {
    std::unique_ptr<game> g(new game());
    load_tiles(*g);
    rewind_store_alloc();
    stress_level(*g);
    level start;
    memcpy(&start, &g->level, sizeof start);
    int guards_walking = 0;
    int n = 0;
    for (auto _ : state) {
        build_flags(*g);
        game_tick(*g);
        if (++n == 1800) {  // a minute of play, then from the top again
            n = 0;
            memcpy(&g->level, &start, sizeof start);
        }
    }
    for (const actor& a : g->level.actors) guards_walking += a.active && a.kind == ACTOR_GUARD && a.mode == MODE_WALKING;
    state.SetItemsProcessed(state.iterations());
    state.counters["actors"] = active_actors(*g);
    state.counters["guards_walking"] = guards_walking;
}
BENCHMARK(BM_StressTick)->ComputeStatistics("min", fastest)->Unit(benchmark::kMicrosecond);

void BM_BuildFlagsOnly(benchmark::State& state) {
    std::unique_ptr<game> g(new game());
    load_tiles(*g);
    stress_level(*g);
    for (auto _ : state) build_flags(*g);
}
BENCHMARK(BM_BuildFlagsOnly)->ComputeStatistics("min", fastest)->Unit(benchmark::kMicrosecond);

// 40 guards spread over the map's open cells, and a crater blast in the middle
// whose next tick ends it.
void blast_level(game& g, void (*make_map)(game&)) {
    make_map(g);
    g.state = STATE_LEVEL;
    setup_level(g, 0);
    build_flags(g);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> c(4, 123);
    int placed = 0;
    while (placed < 40) {
        const int x = c(rng), y = c(rng);
        if (g.flags[cell_index(x, y)] & CELL_SOLID) continue;
        if ((x - 64) * (x - 64) + (y - 64) * (y - 64) < 64) continue;
        actor& a = spawn_actor(g);
        a.active = 1;
        a.kind = ACTOR_GUARD;
        a.x = float(x);
        a.y = float(y);
        a.cell_x = int8_t(x);
        a.cell_y = int8_t(y);
        a.facing = 2;
        a.mode = MODE_STANDING;
        ++placed;
    }
    actor& b = spawn_actor(g);
    b.active = 1;
    b.kind = ACTOR_BLAST;
    b.x = 64.0f;
    b.y = 64.0f;
    b.counter = 8;
    g.level.ticks = 100;  // the next tick is odd: the ring counter reaches 9
}

void worst_tick(benchmark::State& state, void (*make_map)(game&)) {
    std::unique_ptr<game> g(new game());
    load_tiles(*g);
    blast_level(*g, make_map);
    level start;
    memcpy(&start, &g->level, sizeof start);
    int running = 0, with_path = 0;
    for (auto _ : state) {
        state.PauseTiming();
        memcpy(&g->level, &start, sizeof start);
        build_flags(*g);
        state.ResumeTiming();
        game_tick(*g);
    }
    for (const actor& a : g->level.actors) {
        running += a.active && a.kind == ACTOR_GUARD && a.mode == MODE_RUNNING;
        with_path += a.active && a.kind == ACTOR_GUARD && a.steps > 0;
    }
    state.counters["guards_running"] = running;
    state.counters["guards_with_path"] = with_path;
}

void BM_WorstTick_Rooms(benchmark::State& state) { worst_tick(state, rooms_map); }
BENCHMARK(BM_WorstTick_Rooms)->ComputeStatistics("min", fastest)->Unit(benchmark::kMillisecond);

void BM_WorstTick_Serpentine(benchmark::State& state) { worst_tick(state, serpentine_map); }
BENCHMARK(BM_WorstTick_Serpentine)->ComputeStatistics("min", fastest)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
