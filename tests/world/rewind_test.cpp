#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "screens/rewind.h"
#include "world_fixture.h"

namespace {

using namespace wt;

struct Rewinding : World {
    // What the Rewind screen does, frame by frame, until it hands back to play.
    int rewind_all() {
        g->state = STATE_REWIND;
        states.clear();
        int frames = 0;
        while (states.empty() && frames < 1000) {
            rewind_step(*g);
            ++frames;
        }
        return frames;
    }
};

TEST_F(Rewinding, SnapshotsEverySixTicksIntoTheNextSlot) {
    draw({"@...."});
    start();
    EXPECT_EQ(g->rewind_pos, 0);
    tick(3);  // ticks 3, 4, 5
    EXPECT_EQ(g->rewind_pos, 0);
    tick();  // tick 6
    EXPECT_EQ(g->rewind_pos, 1);
    EXPECT_EQ(rewind_slot(0)->ticks, 6);
    EXPECT_EQ(memcmp(rewind_slot(0), &g->level, sizeof(level)), 0);
    tick(6 * 50);
    EXPECT_EQ(g->rewind_pos, 51);
    EXPECT_EQ(rewind_slot(0)->ticks, 306);  // the 51st went back to slot 0
    EXPECT_EQ(rewind_slot(1)->ticks, 12);
    clear_history(*g);
    EXPECT_EQ(g->rewind_pos, 0);
    for (int s = 0; s < REWIND_SLOTS; ++s) EXPECT_EQ(rewind_slot(s)->ticks, 0);
    EXPECT_EQ(rewind_slot(-1), nullptr);
    EXPECT_EQ(rewind_slot(50), nullptr);
}

TEST_F(Rewinding, WithinTheFirstSixTicksItReturnsAtOnce) {
    draw({"@...."});
    start();
    walk_to(*g, 13, 10);
    tick(3);
    const int play_time = g->level.play_time;
    EXPECT_LE(play_time, 30);
    EXPECT_EQ(rewind_all(), 1);
    EXPECT_EQ(states, std::vector<int>{STATE_LEVEL});
    EXPECT_EQ(g->level.rewinds_used, 1);
    EXPECT_EQ(g->level.play_time, play_time);  // no penalty
}

TEST_F(Rewinding, GoesBackFiftySnapshotsAndAddsThePenalty) {
    draw({"@..................."});
    start();
    walk_to(*g, 28, 10);
    tick(400);  // ticks up to 402
    ASSERT_EQ(g->level.ticks, 402);
    g->level.rewinds_used = 2;
    EXPECT_EQ(rewind_all(), 51);  // 50 snapshots, then the hand-back
    EXPECT_EQ(g->level.ticks, 402 - 294);  // the oldest of the 50 kept
    EXPECT_EQ(g->level.rewinds_used, 3);   // never lowered by the snapshots
    // The restored snapshot held the play time of tick 108, plus 20 seconds.
    EXPECT_EQ(g->level.play_time, 108 - 3 + 600);
    // Every snapshot is used once: a second rewind finds none.
    const int ticks = g->level.ticks;
    EXPECT_EQ(rewind_all(), 1);
    EXPECT_EQ(g->level.ticks, ticks);
    EXPECT_EQ(g->level.rewinds_used, 4);
}

TEST_F(Rewinding, EachFrameShowsTheWorldSixTicksEarlier) {
    draw({"@...."});
    start();
    tick(58);  // to tick 60
    g->state = STATE_REWIND;
    std::vector<int> seen;
    while (g->state == STATE_REWIND) {
        rewind_step(*g);
        seen.push_back(g->level.ticks);
    }
    const std::vector<int> want = {60, 54, 48, 42, 36, 30, 24, 18, 12, 6, 6};
    EXPECT_EQ(seen, want);
}

TEST_F(Rewinding, AShotPlayerComesBackAlive) {
    // The guard looks up a column; the player starts out of its range (15 cells).
    std::vector<std::string> rows(16, ".");
    rows[0] = "@";
    rows[15] = "G";
    draw(rows);
    start();
    find_actor(*g, ACTOR_GUARD)->facing = 9;
    walk_to(*g, 10, 20);
    int shot_at = -1;
    for (int t = 0; t < 300 && states.empty(); ++t) {
        tick();
        if (shot_at < 0 && player()->mode == MODE_DYING) shot_at = g->level.ticks;
    }
    ASSERT_GT(shot_at, 0);
    ASSERT_EQ(states, std::vector<int>{STATE_PAUSE});
    EXPECT_EQ(sound_count("shoot"), 1);
    rewind_all();
    EXPECT_LT(g->level.ticks, shot_at);
    EXPECT_NE(player()->mode, MODE_DYING);
    EXPECT_LT(player()->y, 15.0f);  // back out of range
    EXPECT_EQ(g->state, STATE_LEVEL);
    EXPECT_EQ(g->level.rewinds_used, 1);
}

TEST_F(Rewinding, TheRewindScreenStepsOncePerFrame) {
    draw({"@...."});
    start();
    tick(22);  // to tick 24: four snapshots
    Rewind screen(g.get());
    g->state = STATE_REWIND;
    screen.frame();
    EXPECT_EQ(g->level.ticks, 24);
    screen.frame();
    EXPECT_EQ(g->level.ticks, 18);
}

TEST_F(Rewinding, AHostileCountAndNoStoreAreSafe) {
    draw({"@...."});
    start();
    g->rewind_pos = -7;
    tick(6);
    EXPECT_EQ(g->rewind_pos, 1);
    g->rewind_pos = 0x7FFFFFFF;
    tick(6);
    EXPECT_EQ(g->rewind_pos, 1);

    rewind_store_free();
    tick(12);  // no store: nothing is kept
    EXPECT_EQ(rewind_slot(0), nullptr);
    EXPECT_EQ(rewind_all(), 1);
    EXPECT_EQ(g->level.rewinds_used, 1);
    clear_history(*g);
    rewind_store_alloc();
}

}  // namespace
