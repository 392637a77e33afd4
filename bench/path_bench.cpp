// find_path corner to corner on three 120 x 120 maps. Run the Release build:
//   cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release && cmake --build build-rel --target path_bench
//   build-rel/bench/path_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "bench_maps.h"
#include "world/paths.h"

namespace {

// The fastest repetition next to mean and median: on a machine shared with other
// work the median drifts with the load, the minimum much less.
double fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
std::atomic<long> g_allocations{0};
}

// Every allocation of the process is counted, so a search that allocated would
// show in the allocs_per_search counter. (GCC cannot see that the replaced new
// and delete below pair up; the warning is about these very definitions.)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

// For comparison on the same machine and in the same run: the same search written
// plainly, with a binary heap (std::push_heap / std::pop_heap over a kept vector)
// and lazy deletion, nodes reset by a search stamp. It finds the same paths.
struct PlainAStar {
    std::vector<float> g = std::vector<float>(128 * 128), f = std::vector<float>(128 * 128);
    std::vector<uint16_t> parent = std::vector<uint16_t>(128 * 128);
    std::vector<uint32_t> stamp = std::vector<uint32_t>(128 * 128);
    std::vector<uint8_t> closed = std::vector<uint8_t>(128 * 128);
    std::vector<std::pair<float, int>> heap;
    uint32_t now = 0;

    int search(const game& gm, int sx, int sy, int gx, int gy) {
        ++now;
        heap.clear();
        auto solid = [&](int x, int y) { return (gm.flags[x + 128 * y] & CELL_SOLID) != 0; };
        const std::greater<std::pair<float, int>> later;
        const int start = sx + 128 * sy, goal = gx + 128 * gy;
        stamp[start] = now;
        closed[start] = 0;
        g[start] = 0.0f;
        f[start] = float(std::abs(sx - gx) + std::abs(sy - gy));
        parent[start] = uint16_t(start);
        heap.push_back({f[start], sy * 65536 + sx});
        static const int nb[8][2] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0},
                                     {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
        while (!heap.empty()) {
            std::pop_heap(heap.begin(), heap.end(), later);
            const int key = heap.back().second;
            heap.pop_back();
            const int x = key & 0xFFFF, y = key >> 16, i = x + 128 * y;
            if (closed[i]) continue;
            closed[i] = 1;
            if (i == goal) {
                int n = 1;
                for (int c = i; c != start; c = parent[c]) ++n;
                return n;
            }
            for (const auto& d : nb) {
                const int nx = x + d[0], ny = y + d[1];
                if (nx < 4 || nx > 123 || ny < 4 || ny > 123) continue;
                if (solid(nx, ny) || solid(nx, y) || solid(x, ny)) continue;
                const int ni = nx + 128 * ny;
                const bool seen = stamp[ni] == now;
                if (seen && closed[ni]) continue;
                const float ng = g[i] + (d[0] && d[1] ? 1.4142135f : 1.0f);
                const float nf = ng + float(std::abs(nx - gx) + std::abs(ny - gy));
                if (seen && !(nf < f[ni])) continue;
                stamp[ni] = now;
                closed[ni] = 0;
                g[ni] = ng;
                f[ni] = nf;
                parent[ni] = uint16_t(i);
                heap.push_back({nf, ny * 65536 + nx});
                std::push_heap(heap.begin(), heap.end(), later);
            }
        }
        return 0;
    }
};

void run_plain(benchmark::State& state, game& g, int sx, int sy, int gx, int gy) {
    build_flags(g);
    PlainAStar plain;
    int n = plain.search(g, sx, sy, gx, gy);
    for (auto _ : state) {
        n = plain.search(g, sx, sy, gx, gy);
        benchmark::DoNotOptimize(n);
    }
    state.counters["path_cells"] = n;
}

void run(benchmark::State& state, game& g, int sx, int sy, int gx, int gy) {
    build_flags(g);
    const PathCell* cells = nullptr;
    int n = find_path(g, sx, sy, gx, gy, &cells);  // warm: the node arrays exist from here on
    const long before = g_allocations.load();
    for (auto _ : state) {
        n = find_path(g, sx, sy, gx, gy, &cells);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(cells);
    }
    state.counters["path_cells"] = n;
    state.counters["allocs_per_search"] =
        double(g_allocations.load() - before) / double(state.iterations());
}

void BM_FindPath_Open(benchmark::State& state) {
    std::unique_ptr<game> g(new game());
    benchmaps::load_tiles(*g);
    benchmaps::open_map(*g);
    run(state, *g, 4, 4, 123, 123);
}
BENCHMARK(BM_FindPath_Open)->ComputeStatistics("min", fastest)->Unit(benchmark::kMicrosecond);

void BM_FindPath_Random30(benchmark::State& state) {
    std::unique_ptr<game> g(new game());
    benchmaps::load_tiles(*g);
    int sx = 0, sy = 0, gx = 0, gy = 0;
    benchmaps::random_map(*g, &sx, &sy, &gx, &gy);
    run(state, *g, sx, sy, gx, gy);
}
BENCHMARK(BM_FindPath_Random30)->ComputeStatistics("min", fastest)->Unit(benchmark::kMicrosecond);

void BM_FindPath_Serpentine(benchmark::State& state) {
    std::unique_ptr<game> g(new game());
    benchmaps::load_tiles(*g);
    benchmaps::serpentine_map(*g);
    run(state, *g, 4, 4, 123, 123);
}
BENCHMARK(BM_FindPath_Serpentine)->ComputeStatistics("min", fastest)->Unit(benchmark::kMicrosecond);

void BM_PlainHeap_Open(benchmark::State& state) {
    std::unique_ptr<game> g(new game());
    benchmaps::load_tiles(*g);
    benchmaps::open_map(*g);
    run_plain(state, *g, 4, 4, 123, 123);
}
BENCHMARK(BM_PlainHeap_Open)->ComputeStatistics("min", fastest)->Unit(benchmark::kMicrosecond);

void BM_PlainHeap_Random30(benchmark::State& state) {
    std::unique_ptr<game> g(new game());
    benchmaps::load_tiles(*g);
    int sx = 0, sy = 0, gx = 0, gy = 0;
    benchmaps::random_map(*g, &sx, &sy, &gx, &gy);
    run_plain(state, *g, sx, sy, gx, gy);
}
BENCHMARK(BM_PlainHeap_Random30)->ComputeStatistics("min", fastest)->Unit(benchmark::kMicrosecond);

void BM_PlainHeap_Serpentine(benchmark::State& state) {
    std::unique_ptr<game> g(new game());
    benchmaps::load_tiles(*g);
    benchmaps::serpentine_map(*g);
    run_plain(state, *g, 4, 4, 123, 123);
}
BENCHMARK(BM_PlainHeap_Serpentine)->ComputeStatistics("min", fastest)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
