// Replays: the file format, its mistakes, and playing one through the rules.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/state.h"
#include "test_support.h"
#include "world/catalogue.h"
#include "world/levelsource.h"
#include "world/model.h"
#include "world/replay.h"
#include "world/rewind.h"

namespace {

TEST(ReplayFormat, ReadsCommandsWithTheirTicksAndLines) {
    const std::string text =
        "# made by hand\r\n"
        "murkwell-replay 1\r\n"
        "\n"
        "level t03\n"
        "0 to 40 52\n"
        "   # a comment between commands\n"
        "24 walk 6\n"
        "24 bomb time\n"
        "30 stop\n"
        "31 bomb detonator\n"
        "31 bomb emp\n"
        "32 bomb mini\n"
        "400 end\n"
        "# nothing but comments after the end\n";
    Replay r;
    std::string error;
    ASSERT_TRUE(replay_parse(text, r, error)) << error;
    EXPECT_EQ(r.level_name, "t03");
    EXPECT_EQ(r.end_tick, 400);
    EXPECT_EQ(r.end_line, 13);
    const struct {
        int line, tick;
        ReplayOp op;
        int a, b;
    } want[] = {
        {5, 0, ReplayOp::to, 40, 52},  {7, 24, ReplayOp::walk, 6, 0},
        {8, 24, ReplayOp::bomb, ACTOR_TIME_BOMB, 0}, {9, 30, ReplayOp::stop, 0, 0},
        {10, 31, ReplayOp::bomb, ACTOR_DETONATOR, 0}, {11, 31, ReplayOp::bomb, ACTOR_EMP_BOMB, 0},
        {12, 32, ReplayOp::bomb, ACTOR_MINI_BOMB, 0},
    };
    ASSERT_EQ(r.commands.size(), std::size(want));
    for (size_t i = 0; i < r.commands.size(); ++i) {
        const ReplayCommand& c = r.commands[i];
        EXPECT_EQ(c.line, want[i].line) << i;
        EXPECT_EQ(c.tick, want[i].tick) << i;
        EXPECT_EQ(int(c.op), int(want[i].op)) << i;
        EXPECT_EQ(c.a, want[i].a) << i;
        EXPECT_EQ(c.b, want[i].b) << i;
    }
    EXPECT_STREQ(replay_bomb_word(ACTOR_MINI_BOMB), "mini");
}

TEST(ReplayFormat, MistakesNameTheirLine) {
    const std::string head = "murkwell-replay 1\n";
    const struct {
        std::string text, message;
    } cases[] = {
        {"", "line 1: empty: no \"murkwell-replay 1\" line"},
        {"# only a comment\n", "line 2: empty"},
        {"0 to 40 52\n10 end\n", "line 1: not a replay"},
        {"murkwell-replay 2\n", "line 1: replay format 2 is not known"},
        {head + "0 to 40 52\n12 walk 3\n", "line 4: the replay stops without an \"end\" line"},
        {head + "0 to 40 52\n12 wa", "line 3: unknown command \"wa\""},
        {head + "0 to 40 52\n12", "line 3: tick 12 without a command"},
        {head + "0 to 40", "line 2: \"to\" takes 2 arguments, not 1"},
        {head + "10 walk 3\n5 stop\n20 end\n", "line 3: tick 5 comes before tick 10 of line 2"},
        {head + "108001 stop\n108001 end\n", "line 2: tick 108001 lies beyond one hour of play"},
        {head + "99999999999999 stop\n", "line 2: \"99999999999999\" is not a tick"},
        {head + "-5 stop\n", "line 2: \"-5\" is not a tick"},
        {head + "0 jump\n", "line 2: unknown command \"jump\""},
        {head + "0 to 300 2\n", "line 2: to (300, 2) is no cell of the playable area 4..123"},
        {head + "0 to 3 60\n", "line 2: to (3, 60) is no cell"},
        {head + "0 to 124 60\n", "line 2: to (124, 60) is no cell"},
        {head + "0 to -4 60\n", "line 2: to (-4, 60) is no cell"},
        {head + "0 walk 5\n", "line 2: walk takes a keypad direction 1-4 or 6-9, not \"5\""},
        {head + "0 walk 66\n", "line 2: walk takes a keypad direction"},
        {head + "0 bomb nuke\n", "line 2: unknown bomb \"nuke\""},
        {head + "0 stop now\n", "line 2: \"stop\" takes 0 arguments, not 1"},
        {head + "5 end\n6 stop\n", "line 3: text after the \"end\" line"},
        {head + "0 stop\nlevel t01\n5 end\n", "line 3: \"level\" belongs once, before the commands"},
        {head + std::string("0 st\0p\n", 7), "line 2: a NUL byte"},
    };
    for (const auto& c : cases) {
        Replay r;
        std::string error;
        EXPECT_FALSE(replay_parse(c.text, r, error)) << c.message;
        EXPECT_EQ(error.find(c.message), 0u) << "got: " << error << "\nwanted: " << c.message;
    }
    Replay r;
    std::string error;
    EXPECT_FALSE(replay_load("/nonexistent/x.replay", r, error));
    EXPECT_EQ(error, "/nonexistent/x.replay: No such file or directory");
}

// A small level with the shipped catalogue, drawn at (10, 10):
//   the player at (11, 11); a target at (18, 11); a window at (19, 12); a
//   Data Cartridge at (15, 12).
struct ReplayRun : ::testing::Test {
    std::unique_ptr<game> g{new game()};

    void SetUp() override {
        const std::string json = test::read_file(test::source_data_dir() + "/tiles.json");
        test::stderr_of([&] { tile_catalogue_load_text(*g, json); });
        rewind_store_alloc();
        LevelSource src;
        std::string error;
        ASSERT_TRUE(parse_level_source("name demo\ntitle Demo\nintro x\nbombs mini 1 time 1\n"
                                       "at 10 10\nmap\n"
                                       "##########\n"
                                       "#@......P#\n"
                                       "#....$...W\n"
                                       "#........#\n"
                                       "#........#\n"
                                       "##########\n",
                                       "demo.level", src, error))
            << error;
        g->edit_level = src.lv;
    }

    ReplayResult run(const std::string& text, std::string* error_out = nullptr,
                     std::vector<std::pair<float, float>>* path = nullptr) {
        Replay r;
        std::string error;
        EXPECT_TRUE(replay_parse(text, r, error)) << error;
        ReplayResult out;
        const bool ok = replay_run(*g, r, out, error, [&](const game& gr, int) {
            if (!path) return;
            for (const actor& a : gr.level.actors)
                if (a.active && a.kind == ACTOR_PLAYER) path->emplace_back(a.x, a.y);
        });
        if (error_out) *error_out = ok ? "" : error;
        else EXPECT_TRUE(ok) << error;
        return out;
    }
};

TEST_F(ReplayRun, CommandsReachTheRulesAtTheirTick) {
    // Walk to the cell beside the target, blast it with a Mini Bomb from two
    // cells away, pick up the cartridge on the way to the window.
    const std::string solution =
        "murkwell-replay 1\n"
        "5 to 17 11\n"
        "100 bomb mini\n"
        "101 to 15 11\n"
        "130 bomb mini\n"
        "170 to 15 12\n"
        "200 to 18 12\n"
        "400 end\n";
    std::vector<std::pair<float, float>> path;
    const ReplayResult won = run(solution, nullptr, &path);
    EXPECT_TRUE(won.won);
    EXPECT_TRUE(won.clean);
    EXPECT_EQ(won.state, STATE_LEVEL_WIN);
    EXPECT_LT(won.ticks, 400);
    // Nothing moves before tick 5; the step given at tick 5 starts on tick 6.
    ASSERT_GT(path.size(), 8u);
    for (int t = 0; t <= 5; ++t) EXPECT_EQ(path[t], std::make_pair(11.0f, 11.0f)) << t;
    EXPECT_EQ(path[6], std::make_pair(11.125f, 11.0f));

    // The same moves without the cartridge win, but not cleanly.
    const ReplayResult rushed = run(
        "murkwell-replay 1\n5 to 17 11\n100 bomb mini\n101 to 15 11\n130 bomb mini\n170 to 18 12\n"
        "400 end\n");
    EXPECT_TRUE(rushed.won);
    EXPECT_FALSE(rushed.clean);

    // A replay that goes on after the win is refused at its first late line.
    std::string error;
    run(solution.substr(0, solution.size() - 8) + "380 stop\n400 end\n", &error);
    EXPECT_EQ(error.find("line 8: tick 380 comes after the level ended at tick"), 0u) << error;
    EXPECT_NE(error.find("(won)"), std::string::npos) << error;
}

TEST_F(ReplayRun, AWalkIsOnTheMapWhateverTheViewsHeading) {
    // Keypad 3 is one step of x.
    const std::string east = "murkwell-replay 1\n0 walk 3\n100 end\n";
    ReplayResult r = run(east);
    const actor* p = find_actor(*g, ACTOR_PLAYER);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->x, 17.0f);  // stops before the target
    EXPECT_EQ(p->y, 11.0f);
    EXPECT_EQ(r.state, STATE_LEVEL);
    EXPECT_FALSE(r.won);

    for (float heading : {45.0f, 90.0f, 225.0f}) {
        g->edit_level.cam_angle = heading;
        run(east);
        p = find_actor(*g, ACTOR_PLAYER);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->x, 17.0f) << heading;
        EXPECT_EQ(p->y, 11.0f) << heading;
        EXPECT_EQ(g->level.cam_angle, heading);
    }

    // Setting off a Mini Bomb one step away: the player dies, and a command
    // after that is refused.
    std::string error;
    r = run("murkwell-replay 1\n0 bomb mini\n1 walk 3\n5 stop\n30 bomb mini\n300 stop\n400 end\n",
            &error);
    EXPECT_EQ(r.state, STATE_PAUSE);
    EXPECT_FALSE(r.won);
    EXPECT_EQ(error.find("line 6: tick 300 comes after the level ended at tick"), 0u) << error;
    EXPECT_NE(error.find("(the player died)"), std::string::npos) << error;

    // A stop halts the walk at the end of the step under way (the player is
    // between 13 and 14 at tick 20); commands of the end tick still reach the
    // rules.
    r = run("murkwell-replay 1\n0 walk 3\n20 stop\n60 bomb time\n60 end\n");
    p = find_actor(*g, ACTOR_PLAYER);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->x, 14.0f);
    EXPECT_EQ(g->level.inventory[ACTOR_TIME_BOMB], 0);
    EXPECT_EQ(r.ticks, 60);
}

TEST(ReplayDue, GoesBackWhenTheCallerRewinds) {
    Replay r;
    std::string error;
    ASSERT_TRUE(replay_parse("murkwell-replay 1\n0 stop\n4 walk 3\n4 walk 7\n9 stop\n20 end\n", r, error));
    std::vector<int> lines;
    size_t next = 0;
    auto take = [&](int t) { replay_due(r, t, &next, [&](const ReplayCommand& c) { lines.push_back(c.line); }); };
    for (int t = 0; t <= 5; ++t) take(t);
    EXPECT_EQ(lines, (std::vector<int>{2, 3, 4}));
    // Play went back to tick 2: from the start again, skipping what lies before.
    next = 0;
    lines.clear();
    for (int t = 2; t <= 10; ++t) take(t);
    EXPECT_EQ(lines, (std::vector<int>{3, 4, 5}));
}

}  // namespace
