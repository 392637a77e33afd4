// The shipped levels: every source is sound, every solution wins it, and the
// databases in data/ are exactly what the level tool builds from the sources.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/fixed_text.h"
#include "core/state.h"
#include "test_support.h"
#include "world/catalogue.h"
#include "world/levelcheck.h"
#include "world/levelsource.h"
#include "world/model.h"
#include "world/replay.h"
#include "world/rewind.h"
#include "world/rules.h"

namespace {

const std::string LEVELS = std::string(MURKWELL_SOURCE_DIR) + "/levels";
const std::string TOOL = std::string(MURKWELL_BINARY_DIR) + "/tools/levels/murkwell-levels";

std::vector<std::string> sources(const std::string& dir) {
    std::vector<std::string> out;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n.size() > 6 && n.compare(n.size() - 6, 6, ".level") == 0) out.push_back(dir + "/" + n);
        }
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

struct Shipped {
    std::string file;
    LevelSource src;
    Replay solution;
    bool first_tutorial = false;
};

std::vector<Shipped> shipped_levels() {
    std::vector<Shipped> out;
    for (const char* kind : {"tutorial", "featured"}) {
        const std::vector<std::string> files = sources(LEVELS + "/" + kind);
        for (size_t i = 0; i < files.size(); ++i) {
            Shipped s;
            s.file = files[i];
            std::string error;
            EXPECT_TRUE(parse_level_source(test::read_file(files[i]), files[i], s.src, error)) << error;
            const std::string replay = files[i].substr(0, files[i].size() - 6) + ".replay";
            EXPECT_TRUE(replay_load(replay, s.solution, error)) << error;
            s.first_tutorial = std::string(kind) == "tutorial" && i == 0;
            out.push_back(s);
        }
    }
    return out;
}

struct ShippedLevels : ::testing::Test {
    std::unique_ptr<game> g{new game()};
    void SetUp() override {
        const std::string json = test::read_file(test::source_data_dir() + "/tiles.json");
        test::stderr_of([&] { tile_catalogue_load_text(*g, json); });
        rewind_store_alloc();
    }
    ReplayResult play(const level& lv, const Replay& r) {
        g->edit_level = lv;
        ReplayResult out;
        std::string error;
        EXPECT_TRUE(replay_run(*g, r, out, error)) << error;
        return out;
    }
};

TEST_F(ShippedLevels, EveryLevelIsSoundAndItsSolutionWinsItCleanly) {
    const std::vector<Shipped> levels = shipped_levels();
    int tutorials = 0, featured = 0;
    Replay idle;
    std::string error;
    ASSERT_TRUE(replay_parse("murkwell-replay 1\n3600 end\n", idle, error));
    for (const Shipped& s : levels) {
        SCOPED_TRACE(s.file);
        const level& lv = s.src.lv;
        const std::string name = field_text(lv.name);
        if (s.file.find("/tutorial/") != std::string::npos) {
            // The tutorial list shows names starting with "t", in name order.
            ++tutorials;
            char want[16];
            snprintf(want, sizeof want, "t%02d", tutorials);
            EXPECT_EQ(name, want);
        } else {
            ++featured;
            EXPECT_TRUE(name[0] != 't' && name[0] != 'T') << name;
        }
        EXPECT_GT(strlen(lv.title), 0u);
        EXPECT_GT(strlen(lv.intro), 40u);
        EXPECT_EQ(s.solution.level_name, name);

        LevelCheckOptions o;
        o.needs_targets = !s.first_tutorial;
        for (const LevelProblem& p : check_level(*g, lv, o))
            ADD_FAILURE() << "(" << p.x << ", " << p.y << "): " << p.text;

        // The solution wins through the real rules, cleanly, and the same moves
        // end in the same bytes.
        const ReplayResult first = play(lv, s.solution);
        EXPECT_TRUE(first.won) << "ended in state " << first.state << " after " << first.ticks;
        EXPECT_TRUE(first.clean) << g->level.cartridges << " of " << g->level.cartridges_total;
        EXPECT_EQ(g->edit_level.unbeaten, 0);
        EXPECT_EQ(g->level.cartridges_total == 0, lv.inventory[ACTOR_CARTRIDGE] == 0 &&
                                                      g->level.cartridges == 0);
        std::unique_ptr<level> after(new level(g->level));
        const ReplayResult again = play(lv, s.solution);
        EXPECT_EQ(again.ticks, first.ticks);
        EXPECT_EQ(memcmp(after.get(), &g->level, sizeof(level)), 0);

        // Two minutes of doing nothing wins nothing but the first tutorial.
        if (!s.first_tutorial) {
            const ReplayResult waited = play(lv, idle);
            EXPECT_FALSE(waited.won);
        }
    }
    EXPECT_GE(tutorials, 10);
    EXPECT_GE(featured, 6);
}

// Runs the level tool; returns its exit status and what it printed.
int tool(const std::string& args, std::string* out) {
    const std::string cmd = TOOL + " " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    char buf[4096];
    size_t n;
    out->clear();
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
    const int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ShippedDatabases, AreExactlyWhatTheSourcesBuild) {
    test::TempDir tmp;
    std::string out;
    ASSERT_EQ(tool("build --levels " + LEVELS + " --data " + test::source_data_dir() + " --out " +
                       tmp.path(),
                   &out),
              0)
        << out;
    for (const char* db : {"game.db", "featured.db"}) {
        const std::string built = test::read_file(tmp.file(db));
        ASSERT_FALSE(built.empty()) << db;
        EXPECT_TRUE(built == test::read_file(test::source_data_dir() + "/" + db))
            << db << " in data/ is not what tools/make_levels.sh builds from levels/; rebuild it";
    }

    // The tutorial list's own query, through the sqlite3 shell.
    const std::string game_db = test::source_data_dir() + "/game.db";
    std::string names;
    for (int i = 1; i <= int(sources(LEVELS + "/tutorial").size()); ++i) {
        char n[16];
        snprintf(n, sizeof n, "t%02d\n", i);
        names += n;
    }
    EXPECT_EQ(test::sqlite(game_db, "select id from levels where name like 't%' order by name asc"), names);
    const std::string featured_db = test::source_data_dir() + "/featured.db";
    EXPECT_EQ(test::sqlite(featured_db, "select count(*) from levels where name like 't%'"), "0\n");
    EXPECT_EQ(test::sqlite(featured_db, "select group_concat(value) from (select value from levels "
                                        "order by value)"),
              "1,2,3,4,5,6\n");

    // Every data column is one zlib stream of a whole level record whose texts
    // match their columns (Python's zlib, not ours).
    for (const std::string& db : {game_db, featured_db}) {
        const std::string check = test::run(
            "python3 -c \"import sqlite3, zlib, struct, sys\n"
            "c = sqlite3.connect(sys.argv[1])\n"
            "c.text_factory = bytes\n"
            "bad = 0\n"
            "for name, title, data, ts in c.execute('select name, title, cast(data as blob), ts from levels'):\n"
            "    rec = zlib.decompress(data)\n"
            "    ok = len(rec) == 46576 and rec[132:132 + len(title)] == title and rec[516:516 + len(name)] == name\n"
            "    ok = ok and struct.unpack_from('<i', rec, 620)[0] == 0 and ts == 1704067200\n"
            "    bad += not ok\n"
            "print(bad)\" " + db);
        EXPECT_EQ(check, "0\n") << db;
    }
}

TEST(ShippedDatabases, ABadSourceStopsTheBuildAndNothingIsWritten) {
    const struct {
        const char* file;
        std::string from, to, message;
    } cases[] = {
        {"t02", "#@...........W#", "#............W#", "t02.level:11: no player start"},
        {"t03", "_________##W##_________", "_________##WQ#_________",
         "t03.level:22: column 13: no tile for 'Q'"},
        {"t05", "#.@......................#", "#.@.....................#",
         "t05.level:19: row is 25 characters wide; the first row is 26"},
        {"t04", "title  Behind His Back", "title  " + std::string(64, 'B'),
         "t04.level:3: title is 64 characters; at most 63 fit"},
    };
    for (const auto& c : cases) {
        test::TempDir tmp;
        ASSERT_EQ(test::run("cp -r " + LEVELS + " " + tmp.path() + "/levels && echo ok"), "ok\n");
        const std::string path = tmp.path() + "/levels/tutorial/" + c.file + ".level";
        std::string text = test::read_file(path);
        const size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.file << ": " << c.from;
        text.replace(at, c.from.size(), c.to);
        test::write_file(path, text);
        std::string out;
        EXPECT_EQ(tool("build --levels " + tmp.path() + "/levels --data " + test::source_data_dir() +
                           " --out " + tmp.path(),
                       &out),
                  1);
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
        EXPECT_NE(out.find("nothing written"), std::string::npos) << out;
        EXPECT_FALSE(test::file_exists(tmp.file("game.db"))) << c.file;
        EXPECT_FALSE(test::file_exists(tmp.file("featured.db"))) << c.file;
    }
}

}  // namespace
