#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "world_fixture.h"

namespace {

using namespace wt;
using Rules = World;

bool contains_in_order(const std::vector<std::pair<int, int>>& seen,
                       const std::vector<std::pair<int, int>>& want) {
    size_t k = 0;
    for (const auto& c : seen)
        if (k < want.size() && c == want[k]) ++k;
    return k == want.size();
}

TEST_F(Rules, ALoopingPatrolGoesRoundAndRound) {
    draw({"........",
          ".G3...1.",
          "........",
          "..9...7.",
          "........"});
    start();
    actor& a = *find_actor(*g, ACTOR_GUARD);
    const auto seen = visits(*this, a, 900);
    const std::vector<std::pair<int, int>> lap = {{12, 11}, {16, 11}, {16, 13}, {12, 13}};
    std::vector<std::pair<int, int>> three_laps;
    for (int k = 0; k < 3; ++k) three_laps.insert(three_laps.end(), lap.begin(), lap.end());
    EXPECT_TRUE(contains_in_order(seen, three_laps));
    // It never goes back to where it started.
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_NE(seen[i], std::make_pair(11, 11));
}

TEST_F(Rules, ARouteThatEndsLeavesTheGuardStandingForGood) {
    draw({".G3..1.",
          ".......",
          ".....#."});
    start();
    actor& a = *find_actor(*g, ACTOR_GUARD);
    const auto seen = visits(*this, a, 200);
    EXPECT_TRUE(contains_in_order(seen, {{12, 10}, {15, 10}}));
    EXPECT_EQ(seen.back(), std::make_pair(15, 10));
    tick(300);
    EXPECT_EQ(a.x, 15.0f);
    EXPECT_EQ(a.y, 10.0f);
    EXPECT_EQ(a.mode, MODE_STANDING);
    EXPECT_EQ(a.route_pos, a.route_count);
}

TEST_F(Rules, AGuardWithoutArrowsStandsStill) {
    draw({"G...."});
    start();
    actor& a = *find_actor(*g, ACTOR_GUARD);
    tick(300);
    EXPECT_EQ(a.x, 10.0f);
    EXPECT_EQ(a.mode, MODE_STANDING);
    EXPECT_STREQ(a.anim, "guard-walk-2-0");
}

TEST_F(Rules, GuardsShootOnlyFromTheFifthTickAndThePlayerDiesAfter15) {
    draw({"@....",
          "G...."});
    start();
    EXPECT_EQ(g->level.ticks, 2);
    actor& p = *player();
    actor& guard = *find_actor(*g, ACTOR_GUARD);
    ASSERT_LT(p.slot, guard.slot);
    guard.facing = 9;  // the player is straight ahead
    tick(2);  // ticks 3 and 4: in full view, no shot
    EXPECT_EQ(p.mode, MODE_STANDING);
    EXPECT_EQ(sound_count("shoot"), 0);
    tick();  // tick 5
    EXPECT_EQ(p.mode, MODE_DYING);
    EXPECT_EQ(guard.mode, MODE_SHOOTING);
    EXPECT_EQ(sound_count("shoot"), 1);
    EXPECT_EQ(guard.facing, 9);  // turned towards the player
    tick(14);
    EXPECT_TRUE(states.empty());
    EXPECT_EQ(sound_count("death"), 0);
    EXPECT_STREQ(p.anim, "player-die-2-7");
    tick();
    EXPECT_EQ(states, std::vector<int>{STATE_PAUSE});
    EXPECT_EQ(sound_count("death"), 1);
    // A shooting guard never moves again, and shoots only once.
    EXPECT_EQ(guard.x, 10.0f);
    EXPECT_EQ(sound_count("shoot"), 1);
    EXPECT_EQ(std::string(guard.anim).rfind("guard-shoot-9-", 0), 0u) << guard.anim;
}

TEST_F(Rules, PlayerOnASolidTileDies) {
    draw({"@...."});
    start();
    set_tile(10, 10, T_CRATE);
    tick();
    EXPECT_EQ(player()->mode, MODE_DYING);
    EXPECT_EQ(player()->counter, 0);
}

struct Sight : World {
    actor* guard = nullptr;
    void SetUp() override {
        World::SetUp();
        // Guard at (30, 40) facing 3 (+x).
        draw({"."}, 30, 40);
        guard = &place(ACTOR_GUARD, 30, 40);
        guard->facing = 3;
    }
    bool sees(int x, int y) {
        build_flags(*g);
        return can_see(*g, *guard, x, y);
    }
};

TEST_F(Sight, RangeConeDarknessAndLight) {
    struct Case {
        int x, y;
        bool seen;
        const char* why;
    } cases[] = {
        {30, 40, true, "own cell"},
        {31, 40, true, "straight ahead"},
        {40, 40, true, "10 cells, unlit"},
        {41, 40, false, "11 cells, unlit"},
        {36, 48, true, "exactly 10 away on a slant"},
        {37, 48, false, "just over 10"},
        {29, 40, true, "behind but next to it"},
        {28, 40, false, "behind"},
        {32, 44, true, "63 degrees off the facing"},
        {31, 43, false, "72 degrees off"},
        {30, 42, false, "beside, 90 degrees"},
        {31, 41, true, "diagonal neighbour: 45 degrees"},
    };
    for (const Case& c : cases) EXPECT_EQ(sees(c.x, c.y), c.seen) << c.why;
}

TEST_F(Sight, LitCellsAreSeenFromTwiceAsFar) {
    place(ACTOR_LAMP, 50, 40);
    EXPECT_TRUE(sees(50, 40));   // 20 away, lit
    EXPECT_TRUE(sees(48, 40));
    g->level.actors[1].cell_x = 52;
    EXPECT_FALSE(sees(51, 40));  // 21 away even when lit
    g->level.actors[1].active = 0;
    EXPECT_FALSE(sees(50, 40));  // unlit
}

TEST_F(Sight, DarkAndShadedCells) {
    set_tile(30, 40, T_DARK);
    set_tile(31, 40, T_DARK);
    set_tile(33, 40, T_DARK);
    EXPECT_TRUE(sees(30, 40));   // its own cell, even in the dark
    EXPECT_TRUE(sees(31, 40));   // point-blank: seen even in the dark
    EXPECT_FALSE(sees(33, 40));  // dark
    set_tile(35, 39, T_WALL);    // shades (35, 40)
    EXPECT_FALSE(sees(35, 40));
    place(ACTOR_LAMP, 37, 43);   // lights it
    EXPECT_TRUE(sees(35, 40));
    set_tile(37, 40, T_DARK);    // a lamp does not light dark ground
    EXPECT_FALSE(sees(37, 40));
}

TEST_F(Sight, WallsAndCornersBlockTheLine) {
    set_tile(33, 40, T_CURTAIN);  // opaque but walkable
    EXPECT_FALSE(sees(35, 40));
    EXPECT_FALSE(sees(33, 40));   // an opaque target is never seen
    set_tile(33, 40, T_CRATE);    // solid, not opaque
    EXPECT_TRUE(sees(35, 40));
    EXPECT_FALSE(sees(33, 40));   // a solid target is never seen
    set_tile(33, 40, T_FLOOR);
    // Two walls touching at a corner block the diagonal between them.
    EXPECT_TRUE(sees(34, 44));
    set_tile(32, 43, T_WALL);
    set_tile(33, 42, T_WALL);
    EXPECT_FALSE(sees(34, 44));
    EXPECT_FALSE(line_clear(*g, 30, 40, 34, 44));
    EXPECT_TRUE(line_clear(*g, 30, 40, 34, 40));
}

TEST_F(Sight, SeenByAnyGuard) {
    EXPECT_TRUE(seen_by_any(*g, 35, 40));
    EXPECT_FALSE(seen_by_any(*g, 25, 40));
    actor& other = place(ACTOR_GUARD, 28, 40);
    other.facing = 7;
    EXPECT_TRUE(seen_by_any(*g, 25, 40));
    other.active = 0;
    EXPECT_FALSE(seen_by_any(*g, 25, 40));
}

TEST_F(Rules, ViewFacingTurnsWithTheCamera) {
    struct Case {
        float angle;
        int facing, drawn;
    } cases[] = {
        {0, 1, 1},   {0, 6, 6},  {0, 5, 1},    {45, 1, 4},  {45, 2, 1},   {90, 1, 7},
        {180, 1, 9}, {-45, 1, 2}, {359, 3, 3}, {22.6f, 1, 4}, {22.4f, 1, 1},
    };
    for (const Case& c : cases) {
        g->level.cam_angle = c.angle;
        EXPECT_EQ(view_facing(*g, c.facing), c.drawn) << c.angle << " " << c.facing;
    }
}

TEST_F(Rules, FaceTowardsThePlayer) {
    struct Case {
        int dx, dy, facing;
    } cases[] = {{5, 1, 3}, {1, 5, 1}, {3, 2, 2}, {-4, 2, 4}, {-2, -2, 8}, {0, -3, 9},
                 {-6, 2, 7}, {2, -5, 9}, {3, -2, 6}};
    actor& p = place(ACTOR_PLAYER, 50, 50);
    actor& guard = place(ACTOR_GUARD, 50, 50);
    for (const Case& c : cases) {
        p.x = 50.0f + float(c.dx);
        p.y = 50.0f + float(c.dy);
        face_towards(*g, guard);
        EXPECT_EQ(guard.facing, c.facing) << c.dx << "," << c.dy;
    }
}

// A guard that shoots the player on its own cell has no direction to turn to:
// it keeps looking the way it looked.
TEST_F(Rules, AGuardShootingThePlayerOnItsOwnCellKeepsItsFacing) {
    struct Case {
        int facing;
        int ahead_x, ahead_y;   // three cells the way it faces
    } cases[] = {{4, 37, 40}, {8, 40, 37}, {3, 43, 40}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.facing);
        draw({"."}, 40, 40);   // open floor all round
        g->state = STATE_LEVEL;
        g->level.ticks = 10;
        actor& p = place(ACTOR_PLAYER, 40, 40);
        actor& guard = place(ACTOR_GUARD, 40, 40);
        guard.facing = uint8_t(c.facing);
        tick();
        ASSERT_EQ(p.mode, MODE_DYING);
        ASSERT_EQ(guard.mode, MODE_SHOOTING);
        EXPECT_EQ(guard.facing, c.facing);
        // Its cone still points that way.
        EXPECT_TRUE(can_see(*g, guard, c.ahead_x, c.ahead_y));
        EXPECT_FALSE(can_see(*g, guard, 80 - c.ahead_x, 80 - c.ahead_y));
    }
}

TEST_F(Rules, ItemsArePickedUpOnlyOnWholeCells) {
    draw({"@DB$EM."});
    start();
    actor& p = *player();
    walk_to(*g, 16, 10);
    int picked = 0;
    for (int t = 0; t < 60; ++t) {
        const int before = sound_count("drop");
        tick();
        if (sound_count("drop") > before) {
            ++picked;
            EXPECT_EQ(p.x, float(int(p.x)));  // exactly on the cell
            EXPECT_EQ(tile(int(p.x), 10), T_FLOOR);
        }
    }
    EXPECT_EQ(picked, 5);
    const level& lv = g->level;
    for (int k = 19; k <= 23; ++k) EXPECT_EQ(lv.inventory[k], 1) << k;
    EXPECT_EQ(lv.cartridges, 1);
    EXPECT_EQ(lv.bombs_held, 4);
}

TEST_F(Rules, ThePlayClockStartsAtTheFirstStep) {
    draw({"@...."});
    start();
    tick(40);
    EXPECT_EQ(g->level.play_time, 0);
    walk_to(*g, 12, 10);
    tick();  // the first step starts this tick
    EXPECT_EQ(g->level.play_time, 0);
    tick(30);
    EXPECT_EQ(g->level.play_time, 30);
}

TEST_F(Rules, LampsTravelTheirRouteAndCarryTheirLight) {
    draw({"L3...1",
          "......",
          ".9...7"},
         20, 20);
    start();
    actor& lamp = *find_actor(*g, ACTOR_LAMP);
    ASSERT_EQ(lamp.route_count, 5);
    EXPECT_EQ(lamp.route_continue, 1);
    // One cell per 24 ticks: the far corner is 5 cells away, reached at the 6th
    // turn of its counter.
    int t = 0;
    while (!(lamp.x == 25.0f && lamp.y == 20.0f) && t < 1000) {
        tick();
        ++t;
    }
    EXPECT_EQ(t, 24 * 6 - 2);
    build_flags(*g);
    EXPECT_TRUE(flags(29, 20) & CELL_LIT);
    EXPECT_FALSE(flags(20, 20) & CELL_LIT);
}

struct Escape : World {
    void SetUp() override {
        World::SetUp();
        draw({"W@.G.",
              "..$..",
              "....P"});
        g->level.inventory[ACTOR_MINI_BOMB] = 0;
        strcpy(g->level.name, "t-escape");
        memcpy(&g->edit_level, &g->level, sizeof(level));
        start();
        g->level.view_x = 12.0f;
        g->level.view_y = 11.0f;
        g->level.view_r = 6.0f;
    }
    void clear_target() {
        set_tile(14, 12, T_FLOOR);
        build_flags(*g);
    }
};

TEST_F(Escape, NextToAWindowWithTargetsLeftNothingHappens) {
    tick(30);
    EXPECT_NE(player()->mode, MODE_ESCAPED);
    EXPECT_EQ(sound_count("win"), 0);
}

TEST_F(Escape, OnlyOnThePlayScreen) {
    clear_target();
    g->state = STATE_PAUSE;
    tick(5);
    EXPECT_NE(player()->mode, MODE_ESCAPED);
}

TEST_F(Escape, TheWinComesSixtyTicksLater) {
    g->level.play_time = 95;
    clear_target();
    tick();
    actor& p = *player();
    EXPECT_EQ(p.mode, MODE_ESCAPED);
    EXPECT_STREQ(p.anim, "blank");
    EXPECT_EQ(sound_count("win"), 1);
    EXPECT_EQ(count(ACTOR_GUARD), 0);
    EXPECT_EQ(count(ACTOR_SPARK), 1);
    tick(59);
    EXPECT_TRUE(states.empty());
    EXPECT_TRUE(wins.empty());
    tick();
    EXPECT_EQ(states, std::vector<int>{STATE_LEVEL_WIN});
    EXPECT_EQ(sound_count("yeah"), 1);
    ASSERT_EQ(wins.size(), 1u);
    EXPECT_EQ(wins[0].first, 95 / 30);
    EXPECT_EQ(wins[0].second, "t-escape");
    // The cartridge was left behind: the level is won but not beaten cleanly.
    EXPECT_EQ(g->edit_level.unbeaten, 1);
}

TEST_F(Escape, SparksLandInTheVisibleArea) {
    clear_target();
    tick(40);
    int sparks = 0;
    for (const actor& a : g->level.actors) {
        if (!a.active || a.kind != ACTOR_SPARK) continue;
        ++sparks;
        EXPECT_GE(a.x, 12.0f - 6.0f);
        EXPECT_LT(a.x, 12.0f + 6.0f);
        EXPECT_GE(a.y, 11.0f - 6.0f);
        EXPECT_LT(a.y, 11.0f + 6.0f);
        EXPECT_EQ(a.x, float(int(a.x)));
    }
    EXPECT_GT(sparks, 5);
}

TEST_F(Escape, ACleanWinNeedsEveryCartridgeAndNoRewind) {
    struct Case {
        bool cartridge, rewound;
        int unbeaten;
    } cases[] = {{true, false, 0}, {true, true, 1}, {false, false, 1}};
    level start_copy;
    memcpy(&start_copy, &g->level, sizeof start_copy);
    for (const Case& c : cases) {
        memcpy(&g->level, &start_copy, sizeof start_copy);
        build_flags(*g);
        g->edit_level.unbeaten = 1;
        g->state = STATE_LEVEL;
        states.clear();
        if (c.cartridge) {
            walk_to(*g, 12, 11);
            tick(20);
            ASSERT_EQ(g->level.cartridges, 1);
            walk_to(*g, 11, 10);
            tick(20);
        }
        clear_target();
        g->level.rewinds_used = c.rewound ? 1 : 0;
        // The play screen stops ticking once the rules leave it.
        for (int t = 0; t < 100 && states.empty(); ++t) tick();
        EXPECT_EQ(states, std::vector<int>{STATE_LEVEL_WIN});
        EXPECT_EQ(g->edit_level.unbeaten, c.unbeaten) << c.cartridge << c.rewound;
    }
}

// A guard (in a lower slot, so it moves first) has the player straight ahead;
// the player stands beside a window, and the last target goes just before or
// just after the shot.
TEST_F(Rules, AShotPlayerNeverEscapes) {
    struct Case {
        const char* name;
        int ticks_before_the_way_opens;
    } cases[] = {{"shot in the tick the way opens", 2}, {"shot before the way opens", 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        draw({".G...",
              "W@...",
              "....P"});
        start();
        states.clear();
        wins.clear();
        actor& p = *player();
        ASSERT_LT(find_actor(*g, ACTOR_GUARD)->slot, p.slot);
        tick(c.ticks_before_the_way_opens);
        set_tile(14, 12, T_FLOOR);
        for (int t = 0; t < 40 && states.empty(); ++t) tick();
        EXPECT_EQ(p.mode, MODE_DYING);
        EXPECT_EQ(sound_count("win"), 0);
        EXPECT_EQ(count(ACTOR_GUARD), 1);
        EXPECT_EQ(states, std::vector<int>{STATE_PAUSE});
        EXPECT_TRUE(wins.empty());
    }
}

TEST_F(Rules, UnwiredHooksAreSafe) {
    set_rules_hooks(RulesHooks());
    draw({"G....",
          "@...W"});
    start();
    tick(40);  // shot: death sound and state change go nowhere
    EXPECT_EQ(player()->mode, MODE_DYING);
    EXPECT_EQ(g->state, STATE_LEVEL);
}

}  // namespace
