// Level storage: logic_save + logic_load of a full, busy 128x128 map through a
// real SQLite file (default settings: one synced commit per save), and the
// compressed size of the record. No display needed:
//   build/bench/storage_bench
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/game.h"
#include "db/mydb.h"
#include "platform/files.h"
#include "world/catalogue.h"
#include "world/model.h"
#include "world/storage.h"

namespace {

enum MapKind { BUSY = 0, STRUCTURED = 1 };

template <size_t N>
void fill_text(char (&field)[N], char c) {
    memset(field, c, N - 1);
    field[N - 1] = '\0';
}

// BUSY: every playable cell a pseudo-random tile of 64 (the worst case for
// compression). STRUCTURED: rooms of floor and walls with scattered guards,
// lamps, arrows, crates and pillars, as a hand-made map looks.
void make_map(game& g, MapKind kind) {
    new_level(g);
    level& lv = g.edit_level;
    uint32_t seed = 2463534242u;
    auto next = [&seed] {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        return seed;
    };
    for (int y = MAP_MIN; y <= MAP_MAX; ++y) {
        for (int x = MAP_MIN; x <= MAP_MAX; ++x) {
            uint8_t tile;
            if (kind == BUSY) {
                tile = uint8_t(next() % 64);
            } else {
                const bool wall = x % 12 == 0 || y % 10 == 0;
                const bool door = (x % 12 == 6) || (y % 10 == 5);
                tile = wall && !door ? 5 : 1;
                if (!wall && next() % 23 == 0) tile = uint8_t(6 + next() % 20);
            }
            lv.map[x + MAP_SIZE * y] = tile;
        }
    }
    for (int k = ACTOR_DETONATOR; k <= ACTOR_MINI_BOMB; ++k) lv.inventory[k] = 5;
    level& pl = g.level;
    snprintf(pl.id, sizeof pl.id, "1700000000");
    fill_text(pl.name, 'n');
    fill_text(pl.author, 'a');
    fill_text(pl.title, 't');
    fill_text(pl.uid, 'u');
    fill_text(pl.intro, 'i');
}

struct Bench {
    std::string dir, path;
    MyDB db;
    std::unique_ptr<game> g{new game()};

    explicit Bench(MapKind kind) {
        char tmpl[] = "/tmp/murkwell-bench-XXXXXX";
        dir = mkdtemp(tmpl);
        path = dir + "/user.db";
        set_data_dir(std::string(MURKWELL_SOURCE_DIR) + "/data");
        _game_tile_init(*g);
        fprintf(stderr, "opening %s\n", path.c_str());
        open_level_db(db, path);
        make_map(*g, kind);
    }
    ~Bench() {
        db.close();
        unlink(path.c_str());
        unlink((path + "-journal").c_str());
        rmdir(dir.c_str());
    }
    double compressed_bytes() {
        const std::vector<Row> rows = db.query("select data from levels");
        return rows.empty() ? 0.0 : double(rows[0].at("data").size());
    }
};

void BM_SaveLoadRoundTrip(benchmark::State& state) {
    Bench b(MapKind(state.range(0)));
    for (auto _ : state) {
        if (!logic_save(*b.g, b.db) || !logic_load(*b.g, b.db, "1700000000")) {
            state.SkipWithError("round trip failed");
            return;
        }
    }
    state.counters["compressed_bytes"] = b.compressed_bytes();
}
BENCHMARK(BM_SaveLoadRoundTrip)->Arg(BUSY)->Arg(STRUCTURED)->Unit(benchmark::kMicrosecond);

void BM_Save(benchmark::State& state) {
    Bench b(BUSY);
    for (auto _ : state) logic_save(*b.g, b.db);
}
BENCHMARK(BM_Save)->Unit(benchmark::kMicrosecond);

void BM_Load(benchmark::State& state) {
    Bench b(BUSY);
    logic_save(*b.g, b.db);
    for (auto _ : state) logic_load(*b.g, b.db, "1700000000");
}
BENCHMARK(BM_Load)->Unit(benchmark::kMicrosecond);

// The zlib share of a load: inflating the busy record alone.
void BM_InflateRecord(benchmark::State& state) {
    Bench b(BUSY);
    logic_save(*b.g, b.db);
    const std::string data = b.db.query("select data from levels").at(0).at("data");
    static level out;
    for (auto _ : state) benchmark::DoNotOptimize(level_data_inflate(data, out));
    state.counters["compressed_bytes"] = double(data.size());
}
BENCHMARK(BM_InflateRecord)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
