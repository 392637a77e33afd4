// The real binary under a private Xvfb, started on a level from the command
// line: --play puts the level in play, --replay plays a solution in the window
// to the same end as the headless run, and leaves the saved game alone.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/game.h"
#include "core/state.h"
#include "test_support.h"
#include "world/catalogue.h"
#include "world/levelsource.h"
#include "world/replay.h"
#include "world/rewind.h"

namespace {

const std::string LEVELS = std::string(MURKWELL_SOURCE_DIR) + "/levels";

struct GameRun {
    int status = -1;
    std::string out, err;
    bool seen = false;  // the awaited text appeared in time
};

// Starts the game with args, waits (bounded) until `wait_for` shows on its
// standard output (or, when empty, until start-up is over and a second more),
// then stops it with SIGTERM and collects what it printed.
GameRun run_game(const test::TempDir& home, const std::vector<std::string>& args,
                 const std::string& wait_for) {
    test::GameOptions options;
    options.args = args;
    test::GameProcess game(home.path(), options);
    GameRun run;
    run.seen = wait_for.empty() ? game.wait_for_stderr("sizeof(game) = 208k", 90)
                                : game.wait_for_stdout(wait_for, 90);
    if (wait_for.empty()) std::this_thread::sleep_for(std::chrono::seconds(1));
    run.status = game.stop(SIGTERM);
    run.out = game.out();
    run.err = game.err();
    return run;
}

TEST(LaunchWindow, AReplayWinsInTheWindowAsItDoesHeadlessAndTheSavedGameStays) {
    test::Xvfb x;
    ASSERT_TRUE(x.ok());
    // The headless outcome of the solution, through the same rules.
    LevelSource src;
    std::string error;
    const std::string source = LEVELS + "/tutorial/t04.level";
    ASSERT_TRUE(parse_level_source(test::read_file(source), source, src, error)) << error;
    Replay solution;
    ASSERT_TRUE(replay_load(LEVELS + "/tutorial/t04.replay", solution, error)) << error;
    std::unique_ptr<game> g(new game());
    const std::string json = test::read_file(test::source_data_dir() + "/tiles.json");
    test::stderr_of([&] { tile_catalogue_load_text(*g, json); });
    rewind_store_alloc();
    g->edit_level = src.lv;
    ReplayResult headless;
    ASSERT_TRUE(replay_run(*g, solution, headless, error)) << error;
    ASSERT_TRUE(headless.won);

    test::TempDir home;
    mkdir(home.file("Murkwell").c_str(), 0700);
    std::unique_ptr<game> saved(new game());
    saved->version = 1;
    saved->state = STATE_MENU_MAIN;
    strcpy(saved->level.title, "My own game");
    const std::string saved_bytes(reinterpret_cast<const char*>(saved.get()), sizeof(game));
    test::write_file(home.file("Murkwell/state.dat"), saved_bytes);

    const std::string won = "replay: the level is won after " + std::to_string(headless.ticks) + " ticks\n";
    const GameRun run = run_game(home, {"--play", "t04", "--replay", LEVELS + "/tutorial/t04.replay"}, won);
    EXPECT_TRUE(run.seen) << run.out << run.err;
    ASSERT_TRUE(WIFEXITED(run.status)) << run.err;
    EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.err;
    EXPECT_NE(run.out.find(won), std::string::npos) << run.out;
    EXPECT_TRUE(test::read_file(home.file("Murkwell/state.dat")) == saved_bytes)
        << "watching a replay overwrote the saved game";
    EXPECT_EQ(test::read_file(home.file("Murkwell/settings.dat")).size(), 276u);
}

TEST(LaunchWindow, PlayPutsTheLevelInBothCopiesAndQuittingLeadsToTheMainMenu) {
    test::Xvfb x;
    ASSERT_TRUE(x.ok());
    test::TempDir home;
    const GameRun run = run_game(home, {"--play", LEVELS + "/featured/chapel.level"}, "");
    EXPECT_TRUE(run.seen) << run.err;
    ASSERT_TRUE(WIFEXITED(run.status)) << run.err;
    EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.err;
    const std::string bytes = test::read_file(home.file("Murkwell/state.dat"));
    ASSERT_EQ(bytes.size(), sizeof(game));
    std::unique_ptr<game> g(new game());
    memcpy(g.get(), bytes.data(), sizeof(game));
    EXPECT_STREQ(g->edit_level.title, "Chapel of Candles");
    EXPECT_STREQ(g->level.title, "Chapel of Candles");
    EXPECT_EQ(g->return_state, STATE_MENU_MAIN);
    // The attempt was set up and its intro shown; nothing has been played yet.
    EXPECT_EQ(g->state, STATE_LEVEL_INTRO);
    EXPECT_EQ(g->level.started, 1);
    EXPECT_EQ(g->level.ticks, 2);
    EXPECT_EQ(g->edit_level.started, 0);
}

}  // namespace
