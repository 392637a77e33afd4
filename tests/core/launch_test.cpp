// The command line: every form of level file --play takes, and bad levels and
// replays refused by the real binary before it touches the saved game.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/fixed_text.h"
#include "core/launch.h"
#include "db/mydb.h"
#include "platform/files.h"
#include "../screens/menu_driver.h"
#include "screens/level_list.h"
#include "test_support.h"
#include "world/levelfile.h"
#include "world/levelsource.h"
#include "world/storage.h"

namespace {

const std::string LEVELS = std::string(MURKWELL_SOURCE_DIR) + "/levels";

struct Launch : ::testing::Test {
    test::TempDir tmp;
    void SetUp() override { set_data_dir(test::source_data_dir()); }
    void TearDown() override { set_data_dir(""); }

    int parse(std::vector<std::string> args, LaunchOptions& o, std::string* err = nullptr) {
        args.insert(args.begin(), "murkwell");
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(&a[0]);
        int status = 0;
        const std::string e = test::stderr_of([&] { status = launch_parse(int(argv.size()), argv.data(), o); });
        if (err) *err = e;
        return status;
    }
};

TEST_F(Launch, PlayTakesEveryStoredFormOfALevel) {
    LevelSource src;
    std::string error;
    const std::string t05 = LEVELS + "/tutorial/t05.level";
    ASSERT_TRUE(parse_level_source(test::read_file(t05), t05, src, error)) << error;
    const std::string record(reinterpret_cast<const char*>(&src.lv), sizeof(level));
    std::string packed;
    ASSERT_TRUE(level_data_deflate(src.lv, packed));
    test::write_file(tmp.file("t05.rec"), record);
    test::write_file(tmp.file("t05.z"), packed);
    {
        MyDB db;
        test::stderr_of([&] { open_level_db(db, tmp.file("mine.db")); });
        db.query("insert into levels (id,name,data,title,intro) values (?,?,?,?,?)",
                 {"1700000000", "cellar", packed, "The Cellar", "Down here."});
        db.query("insert into levels (id,name,data,title,intro) values (?,?,?,?,?)",
                 {"1700000001", "attic", packed, "The Attic", "Up there."});
    }
    const struct {
        std::string arg, title;
    } cases[] = {
        {t05, "Lamplight"},                           // a source
        {tmp.file("t05.rec"), "Lamplight"},           // a raw record
        {tmp.file("t05.z"), "Lamplight"},             // the data encoding
        {tmp.file("mine.db") + ":1700000001", "The Attic"},  // a database, by identifier
        {tmp.file("mine.db") + ":cellar", "The Cellar"},     // ... by name
        {"t05", "Lamplight"},                         // a shipped tutorial
        {"chapel", "Chapel of Candles"},              // a shipped featured level
    };
    for (const auto& c : cases) {
        LaunchOptions o;
        std::string err;
        ASSERT_EQ(parse({"--play", c.arg}, o, &err), LAUNCH_GO) << c.arg << ": " << err;
        EXPECT_TRUE(o.play);
        EXPECT_FALSE(o.replay);
        EXPECT_EQ(field_text(o.lv.title), c.title) << c.arg;
        EXPECT_EQ(o.lv.started, 0);
        if (c.title == "Chapel of Candles") continue;  // another level
        EXPECT_EQ(memcmp(o.lv.map, src.lv.map, sizeof src.lv.map), 0) << c.arg;
        EXPECT_EQ(o.lv.inventory[ACTOR_DETONATOR], 1) << c.arg;
    }

    // A replay is played through once before anything starts.
    LaunchOptions o;
    ASSERT_EQ(parse({"--play", "t05", "--replay", LEVELS + "/tutorial/t05.replay"}, o), LAUNCH_GO);
    EXPECT_TRUE(o.replay);
    EXPECT_TRUE(o.expected.won);
    EXPECT_EQ(o.moves.level_name, "t05");

    // No arguments: the game starts as it always does; --help says how.
    EXPECT_EQ(parse({}, o), LAUNCH_GO);
    EXPECT_FALSE(o.play);
    testing::internal::CaptureStdout();
    EXPECT_EQ(parse({"--help"}, o), 0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("--play LEVEL"), std::string::npos);
}

struct Exit {
    int status = -1;
    std::string err;
};

// The real binary, with no display (nothing may start), a per-user folder
// holding a saved game, and its error stream.
Exit run_game(const test::TempDir& home, const std::string& args) {
    const std::string exe = std::string(MURKWELL_BINARY_DIR) + "/murkwell";
    const std::string cmd = "cd " + home.path() + " && env -u DISPLAY APPDATA=" + home.path() +
                            " SDL_AUDIODRIVER=dummy " + exe + " " + args + " 2>err.txt >out.txt";
    Exit e;
    const int status = system(cmd.c_str());
    e.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    e.err = test::read_file(home.file("err.txt"));
    return e;
}

TEST(LaunchBinary, BadLevelsAndReplaysAreRefusedAndTheSavedGameIsKept) {
    test::TempDir home;
    mkdir(home.file("Murkwell").c_str(), 0700);
    const std::string saved(213308, '\x5a'), settings(276, '\x3c');
    test::write_file(home.file("Murkwell/state.dat"), saved);
    test::write_file(home.file("Murkwell/settings.dat"), settings);
    const std::string t01 = LEVELS + "/tutorial/t01.level";
    auto replay = [&](const std::string& name, const std::string& text) {
        test::write_file(home.file(name), "murkwell-replay 1\nlevel t01\n" + text);
        return home.file(name);
    };
    test::write_file(home.file("broken.level"), "name x\ntitle y\nintro z\nmap\n#@W#\n#..\n");
    test::write_file(home.file("noise.bin"), std::string("\x01\x02\x00\xff garbage", 12));
    const struct {
        std::string args;
        int status;
        std::string message;
    } cases[] = {
        {"--play", 2, "murkwell: --play needs a file"},
        {"--play t01 --now", 2, "murkwell: unexpected argument \"--now\""},
        {"--replay x.replay", 2, "murkwell: --replay needs --play LEVEL"},
        {"--play missing.level", 1, "murkwell: --play: missing.level: no such file, and no shipped level"},
        {"--play " + home.path(), 1, ": not a file"},
        {"--play broken.level", 1, "broken.level:6: row is 3 characters wide; the first row is 4"},
        {"--play noise.bin", 1, "noise.bin: not a level"},
        {"--play " + test::source_data_dir() + "/featured.db", 1, "holds several levels"},
        {"--play " + test::source_data_dir() + "/featured.db:nowhere", 1,
         "no level with the identifier or name \"nowhere\""},
        {"--play " + t01 + " --replay missing.replay", 1, "missing.replay: No such file or directory"},
        {"--play " + t01 + " --replay " + replay("cut.replay", "0 to 23 14\n40 stop\n"), 1,
         "cut.replay: line 5: the replay stops without an \"end\" line: the file is truncated"},
        {"--play " + t01 + " --replay " + replay("order.replay", "10 to 23 14\n4 stop\n50 end\n"), 1,
         "order.replay: line 4: tick 4 comes before tick 10 of line 3"},
        {"--play " + t01 + " --replay " + replay("far.replay", "0 to 23 14\n999999 end\n"), 1,
         "far.replay: line 4: tick 999999 lies beyond one hour of play"},
        {"--play " + t01 + " --replay " + replay("late.replay", "0 to 23 14\n900 stop\n1000 end\n"), 1,
         "late.replay: line 4: tick 900 comes after the level ended at tick 154 (won)"},
        {"--play " + t01 + " --replay " + replay("what.replay", "0 fly 23 14\n100 end\n"), 1,
         "what.replay: line 3: unknown command \"fly\""},
        {"--play " + t01 + " --replay " + replay("cell.replay", "0 to 23 4000\n100 end\n"), 1,
         "cell.replay: line 3: to (23, 4000) is no cell of the playable area 4..123"},
        {"--play t02 --replay " + LEVELS + "/tutorial/t01.replay", 1,
         "t01.replay was made for level \"t01\", not \"t02\""},
    };
    for (const auto& c : cases) {
        const Exit e = run_game(home, c.args);
        EXPECT_EQ(e.status, c.status) << c.args << "\n" << e.err;
        EXPECT_NE(e.err.find(c.message), std::string::npos) << c.args << "\n" << e.err;
        EXPECT_EQ(e.err.find("sizeof(game)"), std::string::npos) << "the game started: " << c.args;
    }
    EXPECT_TRUE(test::read_file(home.file("Murkwell/state.dat")) == saved);
    EXPECT_TRUE(test::read_file(home.file("Murkwell/settings.dat")) == settings);
}

// A replay shown in the window belongs to the level it was started with: once
// the player has left it for the menus, the next level is the player's own.
struct LaunchScreens : menutest::MenuDriver {
    void TearDown() override {
        launch_reset();
        menutest::MenuDriver::TearDown();
    }
    const actor& agent() {
        const actor* p = find_actor(*g, ACTOR_PLAYER);
        EXPECT_NE(p, nullptr);
        static const actor none{};
        return p ? *p : none;
    }
};

TEST_F(LaunchScreens, AReplayStopsSteeringOnceItsLevelIsLeftForTheMenus) {
    // Walks the agent east along the bottom corridor for as long as it runs.
    const std::string replay = home.file("east.replay");
    test::write_file(replay, "murkwell-replay 1\nlevel t02\n0 walk 3\n900 end\n");
    std::vector<std::string> args = {"murkwell", "--play", "t02", "--replay", replay};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    LaunchOptions o;
    logged([&] { ASSERT_EQ(launch_parse(int(argv.size()), argv.data(), o), LAUNCH_GO); });
    ASSERT_TRUE(o.replay);
    logged([&] { launch_begin(*g, o); });

    // The replay moves the intro on and steers the agent.
    ASSERT_TRUE(frames_until([&] { return g->state == STATE_LEVEL && g->level.ticks > 60; }, 300));
    const float start_x = 11.0f;
    EXPECT_GT(agent().x, start_x + 2);

    // Paused and quit: the main menu.
    key(KEY_ESCAPE);
    ASSERT_EQ(g->state, STATE_PAUSE);
    frames();
    click(menutest::label_with(&screen(STATE_PAUSE).root, "Quit"));
    ASSERT_EQ(g->state, STATE_MENU_MAIN);
    frames(3);

    // The same level chosen again from the tutorial list: a game of the player's.
    std::string why;
    ASSERT_TRUE(read_level_file(MURKWELL_SOURCE_DIR "/levels/tutorial/t02.level", g->edit_level, why)) << why;
    logged([&] { start_level(*g, STATE_MENU_PLAY); });
    frames(120);
    EXPECT_EQ(g->state, STATE_LEVEL_INTRO) << "the intro waits for the player";
    key(KEY_ENTER);
    ASSERT_EQ(g->state, STATE_LEVEL);
    const float x = agent().x, y = agent().y;
    frames(40);
    EXPECT_EQ(agent().x, x) << "nobody but the player steers the agent";
    EXPECT_EQ(agent().y, y);
    key_down(KEY_S);  // down and right on the screen: east along the corridor
    key_down(KEY_D);
    frames(20);
    key_up(KEY_D);
    key_up(KEY_S);
    EXPECT_NE(agent().x + agent().y, x + y) << "the player's keys steer it";
}

}  // namespace
