// Every shipped solution replayed headless through the rules, as the level tests
// and the level tool do: the total ticks and the ticks per second. Run the
// Release build:
//   build-rel/bench/levels_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "world/catalogue.h"
#include "world/levelsource.h"
#include "world/replay.h"
#include "world/rewind.h"

namespace {

std::string read_file(const std::string& path) {
    std::string out;
    if (FILE* f = fopen(path.c_str(), "rb")) {
        char buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
        fclose(f);
    }
    return out;
}

struct Solved {
    level lv;
    Replay moves;
};

std::vector<Solved> shipped() {
    std::vector<Solved> out;
    for (const char* kind : {"tutorial", "featured"}) {
        const std::string dir = std::string(MURKWELL_SOURCE_DIR) + "/levels/" + kind;
        std::vector<std::string> names;
        if (DIR* d = opendir(dir.c_str())) {
            while (dirent* e = readdir(d)) {
                const std::string n = e->d_name;
                if (n.size() > 6 && n.compare(n.size() - 6, 6, ".level") == 0) names.push_back(n);
            }
            closedir(d);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& n : names) {
            Solved s;
            LevelSource src;
            std::string error;
            const std::string path = dir + "/" + n;
            if (!parse_level_source(read_file(path), path, src, error) ||
                !replay_load(path.substr(0, path.size() - 6) + ".replay", s.moves, error)) {
                fprintf(stderr, "%s\n", error.c_str());
                continue;
            }
            s.lv = src.lv;
            out.push_back(s);
        }
    }
    return out;
}

void BM_ReplayEveryShippedSolution(benchmark::State& state) {
    std::unique_ptr<game> g(new game());
    tile_catalogue_load_text(*g, read_file(std::string(MURKWELL_SOURCE_DIR) + "/data/tiles.json"));
    rewind_store_alloc();
    const std::vector<Solved> levels = shipped();
    int64_t ticks = 0, won = 0;
    for (auto _ : state) {
        for (const Solved& s : levels) {
            g->edit_level = s.lv;
            ReplayResult r;
            std::string error;
            replay_run(*g, s.moves, r, error);
            ticks += r.ticks;
            won += r.won;
        }
    }
    state.counters["levels"] = double(levels.size());
    state.counters["ticks_per_pass"] = double(ticks) / double(state.iterations());
    state.counters["ticks_per_second"] = benchmark::Counter(double(ticks), benchmark::Counter::kIsRate);
    if (won != int64_t(levels.size()) * int64_t(state.iterations()))
        state.SkipWithError("a solution no longer wins its level");
}
BENCHMARK(BM_ReplayEveryShippedSolution)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
