// find_path corner to corner on three 120 x 120 maps. Run the Release build:
//   cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release && cmake --build build-rel --target path_bench
//   build-rel/bench/path_bench
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

#include "bench_maps.h"
#include "world/paths.h"

namespace {
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
BENCHMARK(BM_FindPath_Open)->Unit(benchmark::kMicrosecond);

void BM_FindPath_Random30(benchmark::State& state) {
    std::unique_ptr<game> g(new game());
    benchmaps::load_tiles(*g);
    int sx = 0, sy = 0, gx = 0, gy = 0;
    benchmaps::random_map(*g, &sx, &sy, &gx, &gy);
    run(state, *g, sx, sy, gx, gy);
}
BENCHMARK(BM_FindPath_Random30)->Unit(benchmark::kMicrosecond);

void BM_FindPath_Serpentine(benchmark::State& state) {
    std::unique_ptr<game> g(new game());
    benchmaps::load_tiles(*g);
    benchmaps::serpentine_map(*g);
    run(state, *g, 4, 4, 123, 123);
}
BENCHMARK(BM_FindPath_Serpentine)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
