#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "world_fixture.h"

namespace {

using namespace wt;
using Model = World;

TEST_F(Model, NewLevelMakesTheBlankMapInBothCopies) {
    memset(&g->level, 0x5A, sizeof(level));
    new_level(*g);
    const level& lv = g->level;
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            const bool frame = x < 4 || y < 4 || x > 123 || y > 123;
            int want = frame ? 32 : 0;
            if (x >= 63 && x <= 65 && y >= 63 && y <= 65) want = 1;
            if (x == 64 && y == 64) want = 4;
            ASSERT_EQ(lv.map[cell_index(x, y)], want) << x << "," << y;
        }
    }
    EXPECT_EQ(lv.look_x, 64.0f);
    EXPECT_EQ(lv.look_y, 64.0f);
    EXPECT_EQ(lv.unbeaten, 1);
    EXPECT_GT(atol(lv.id), 1600000000L);
    EXPECT_EQ(lv.started, 0);
    EXPECT_EQ(count(ACTOR_PLAYER), 0);
    EXPECT_EQ(memcmp(&g->edit_level, &lv, sizeof(level)), 0);
}

TEST_F(Model, SlotSearchStartsAtTheRememberedSlotAndWraps) {
    g->level.next_slot = 62;
    actor& a = spawn_actor(*g);
    a.active = 1;
    actor& b = spawn_actor(*g);
    b.active = 1;
    actor& c = spawn_actor(*g);
    EXPECT_EQ(a.slot, 62);
    EXPECT_EQ(b.slot, 63);
    EXPECT_EQ(c.slot, 0);
    EXPECT_EQ(&c, &g->level.actors[0]);
    EXPECT_EQ(g->level.next_slot, 1);

    // A slot search start from a hostile record is taken as 0.
    g->level.next_slot = 1000;
    EXPECT_EQ(spawn_actor(*g).slot, 0);
    g->level.next_slot = -3;
    EXPECT_EQ(spawn_actor(*g).slot, 0);
}

TEST_F(Model, The65thActorIsSilentlyNotCreated) {
    for (int i = 0; i < 64; ++i) place(ACTOR_GUARD, 10 + i % 50, 10 + i / 50);
    level before;
    memcpy(&before, &g->level, sizeof before);
    actor& extra = spawn_actor(*g);
    extra.active = 1;
    extra.kind = ACTOR_PLAYER;
    EXPECT_EQ(extra.slot, -1);
    EXPECT_EQ(memcmp(&before, &g->level, sizeof before), 0);
    EXPECT_EQ(find_actor(*g, ACTOR_PLAYER), nullptr);

    // A map with 70 guards gets 64 of them.
    std::vector<std::string> rows(7, std::string(10, 'G'));
    draw(rows);
    start();
    EXPECT_EQ(count(ACTOR_GUARD), 64);
}

TEST_F(Model, FindActorAndActorAt) {
    actor& p = place(ACTOR_PLAYER, 20, 20);
    actor& lamp = place(ACTOR_LAMP, 20, 20);
    EXPECT_EQ(actor_at(*g, 20, 20), nullptr);  // players and lamps do not count
    actor& b1 = place(ACTOR_TIME_BOMB, 20, 20);
    actor& b2 = place(ACTOR_GUARD, 20, 20);
    EXPECT_EQ(actor_at(*g, 20, 20), &b1);
    EXPECT_EQ(find_actor(*g, ACTOR_GUARD), &b2);
    EXPECT_EQ(find_actor(*g, ACTOR_PLAYER), &p);
    EXPECT_EQ(find_actor(*g, ACTOR_LAMP), &lamp);
    b1.x = 20.5f;  // between cells: not on the cell
    EXPECT_EQ(actor_at(*g, 20, 20), &b2);
    b2.active = 0;
    EXPECT_EQ(actor_at(*g, 20, 20), nullptr);
    EXPECT_EQ(find_actor(*g, ACTOR_GUARD), nullptr);
}

TEST_F(Model, FlagsDarkCraterEdgeAndTargets) {
    draw({"..,.......",
          ".,s,..s,..",
          "..,.......",
          "....o.....",
          "..P...P..."});
    EXPECT_TRUE(flags(12, 10) & CELL_DARK);       // kind "dark"
    EXPECT_TRUE(flags(12, 11) & CELL_DARK);       // sprite with dark tiles on 3 sides
    EXPECT_FALSE(flags(16, 11) & CELL_DARK);      // sprite with one dark neighbour
    EXPECT_TRUE(flags(13, 13) & CELL_CRATER_EDGE);
    EXPECT_TRUE(flags(14, 12) & CELL_CRATER_EDGE);
    EXPECT_FALSE(flags(14, 13) & CELL_CRATER_EDGE);  // the crater itself
    EXPECT_FALSE(flags(13, 12) & CELL_CRATER_EDGE);  // only the four neighbours count
    EXPECT_EQ(g->level.targets_left, 2);
    set_tile(12, 14, T_FLOOR);
    build_flags(*g);
    EXPECT_EQ(g->level.targets_left, 1);
    // Cells outside the playable area are never flagged.
    for (int x = 0; x < 128; ++x) EXPECT_EQ(g->flags[cell_index(x, 3)], 0);
}

TEST_F(Model, LampLightEndsAtDistanceFiveAndSkipsDarkCells) {
    draw({"."}, 20, 20);
    place(ACTOR_LAMP, 25, 20);
    build_flags(*g);
    struct Case {
        int i, j;
        bool lit;
    } cases[] = {{0, 0, true},  {4, 0, true},  {0, -4, true},  {-4, 2, true},  {3, 3, true},
                 {5, 0, false}, {3, 4, false}, {-4, 3, false}, {4, 4, false}};
    for (const Case& c : cases)
        EXPECT_EQ(bool(flags(25 + c.i, 20 + c.j) & CELL_LIT), c.lit) << c.i << "," << c.j;
    set_tile(27, 22, T_DARK);
    build_flags(*g);
    EXPECT_FALSE(flags(27, 22) & CELL_LIT);
    EXPECT_TRUE(flags(26, 22) & CELL_LIT);
    // A lamp near the edge lights no cell outside 4..124 and stays on the grid.
    g->level.actors[0].cell_x = 2;
    g->level.actors[0].cell_y = 126;
    build_flags(*g);
    EXPECT_TRUE(g->flags[cell_index(4, 124)] & CELL_LIT);
    EXPECT_FALSE(g->flags[cell_index(3, 124)] & CELL_LIT);
}

TEST_F(Model, SetUpMakesActorsCountsAndCamera) {
    draw({"..P.$..$..",
          "..4@..6...",
          "..........",
          "......L...",
          "..G....$.P"});
    g->level.ticks = 99;
    g->level.play_time = 99;
    g->level.cartridges = 3;
    start();
    const level& lv = g->level;
    EXPECT_EQ(lv.targets_total, 2);
    EXPECT_EQ(lv.targets_left, 2);
    EXPECT_EQ(lv.cartridges_total, 3);
    EXPECT_EQ(lv.cartridges, 0);
    EXPECT_EQ(lv.ticks, 2);  // the two set-up ticks
    EXPECT_EQ(lv.play_time, 0);
    actor* p = player();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->x, 13.0f);
    EXPECT_EQ(p->y, 11.0f);
    EXPECT_EQ(p->facing, 4);  // the arrow next to it
    EXPECT_EQ(lv.look_x, 13.0f);
    EXPECT_EQ(lv.look_y, 11.0f);
    actor* lamp = find_actor(*g, ACTOR_LAMP);
    ASSERT_NE(lamp, nullptr);
    EXPECT_EQ(lamp->value, 3);
    EXPECT_EQ(lamp->mode, MODE_STANDING);
    actor* guard = find_actor(*g, ACTOR_GUARD);
    ASSERT_NE(guard, nullptr);
    EXPECT_EQ(guard->facing, 2);
    EXPECT_EQ(guard->route_count, 1);  // no arrow: a one-point route
    // Spawn tiles became ground.
    EXPECT_EQ(tile(13, 11), T_FLOOR);
    EXPECT_EQ(tile(16, 13), T_FLOOR);
    EXPECT_EQ(tile(12, 14), T_FLOOR);
    EXPECT_EQ(tile(12, 11), T_FLOOR);
    // The actor slots are in scan order (rows, then cells).
    EXPECT_EQ(p->slot, 0);
    EXPECT_EQ(lamp->slot, 1);
    EXPECT_EQ(guard->slot, 2);
}

TEST_F(Model, LastArrowAroundThePlayerWins) {
    draw({"1.7",
          ".@.",
          "3.9"});
    start();
    EXPECT_EQ(player()->facing, 9);  // bottom right is found last
}

TEST_F(Model, LoopingRouteFromArrows) {
    draw({"........",
          ".G3...1.",
          "........",
          "..9...7.",
          "........"});
    start();
    const actor& a = *find_actor(*g, ACTOR_GUARD);
    const int want[][2] = {{11, 11}, {12, 11}, {16, 11}, {16, 13}, {12, 13}};
    ASSERT_EQ(a.route_count, 5);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(a.route[k][0], want[k][0]) << k;
        EXPECT_EQ(a.route[k][1], want[k][1]) << k;
    }
    EXPECT_EQ(a.route_continue, 1);
    EXPECT_EQ(a.facing, 3);
    EXPECT_EQ(a.x, 11.0f);
    EXPECT_EQ(a.y, 11.0f);
    EXPECT_EQ(a.mode, MODE_STANDING);
    EXPECT_STREQ(a.anim, "guard-walk-3-0");  // set-up ticks already animate it
}

TEST_F(Model, RouteEndsAtAWallOrTheFrame) {
    draw({".G3..1.",
          ".......",
          ".....#.",
          "G......",
          "7......"},
         4, 10);
    start();
    const actor& a = *nth(ACTOR_GUARD, 0);
    ASSERT_EQ(a.route_count, 3);
    EXPECT_EQ(a.route[2][0], 9);
    EXPECT_EQ(a.route[2][1], 10);
    EXPECT_EQ(a.route_continue, 0);
    // The second guard's arrow points into the frame: own cell and the arrow only.
    const actor& b = *nth(ACTOR_GUARD, 1);
    EXPECT_EQ(b.route_count, 2);
    EXPECT_EQ(b.facing, 7);
}

TEST_F(Model, LampRoutesPassWallsAndStartAtTheLamp) {
    draw({"L.#.1",
          "3....",
          "....6"});
    start();
    const actor& a = *find_actor(*g, ACTOR_LAMP);
    // The arrow below the lamp gives the direction; the route starts at the lamp
    // and runs through the wall to the arrow in line.
    ASSERT_EQ(a.route_count, 3);
    EXPECT_EQ(a.route[0][0], 10);
    EXPECT_EQ(a.route[1][0], 14);
    EXPECT_EQ(a.route[1][1], 10);
    EXPECT_EQ(a.route[2][0], 14);
    EXPECT_EQ(a.route[2][1], 12);
}

TEST_F(Model, RouteStopsAt32Points) {
    // A staircase of arrows, 3 then 1, over and over: far more than 32 way-points.
    std::vector<std::string> rows;
    for (int k = 0; k < 30; ++k) {
        std::string row(k + 3, '.');
        if (k == 0) row[0] = 'G';
        row[k + 1] = '3';
        row[k + 2] = '1';
        rows.push_back(row);
        std::string gap(k + 3, '.');
        rows.push_back(gap);
    }
    draw(rows, 10, 10);
    start();
    const actor& a = *find_actor(*g, ACTOR_GUARD);
    EXPECT_EQ(a.route_count, 32);
    EXPECT_EQ(a.route_continue, 0);
}

TEST_F(Model, SpawnTilesBecomeGroundFromTheirNeighbours) {
    draw({"_o__,,.",
          "o2_1G,,",
          "_o_,_,.",
          ".L.....",
          "_._____"});
    // Keep the arrows from starting anything: no guard is next to the lamp.
    start();
    EXPECT_EQ(tile(11, 11), T_CRATER);  // arrow between craters
    EXPECT_EQ(tile(13, 11), T_NONE);    // arrow with empty cells around
    EXPECT_EQ(tile(14, 11), T_DARK);    // guard beside dark ground and the replaced arrow
    EXPECT_EQ(tile(11, 13), T_FLOOR);   // lamp with one crater neighbour
}

TEST_F(Model, ReplacedCellsCountForTheirNeighbours) {
    // Two guards side by side between empty cells: a guard cell is never made 0,
    // so each becomes floor, and the arrow next to them sees replaced cells.
    draw({"_____",
          "_GG3_",
          "_____"});
    start();
    EXPECT_EQ(tile(11, 11), T_FLOOR);
    EXPECT_EQ(tile(12, 11), T_FLOOR);
    EXPECT_EQ(tile(13, 11), T_NONE);  // empty above, below and right
}

TEST_F(Model, SanitizeClampsHostileFields) {
    draw({"@....", ".G..."});
    start();
    level& lv = g->level;
    actor& a = *find_actor(*g, ACTOR_GUARD);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    a.steps = 1000;
    a.route_count = -7;
    a.route_pos = 55;
    a.route_continue = 40;
    a.x = nan;
    a.y = std::numeric_limits<float>::infinity();
    a.dx = 1e30f;
    a.cell_x = -100;
    a.counter = -5;
    a.mode = 99;
    a.return_x = 200;
    a.return_y = 5;
    actor& b = lv.actors[40];
    b.active = 7;
    b.kind = 99;  // unknown kind: freed
    actor& c = lv.actors[41];
    c.active = 3;
    c.kind = ACTOR_LAMP;
    c.slot = 9;
    lv.next_slot = 64;
    lv.inventory[19] = -5;
    lv.inventory[20] = 0x7FFFFFFF;
    lv.ticks = 0x7FFFFFFF;
    lv.play_time = -1;
    memset(lv.title, 'x', sizeof lv.title);
    memset(lv.actors[0].anim, 'y', sizeof lv.actors[0].anim);
    lv.view_r = nan;

    level_sanitize(lv);
    EXPECT_EQ(a.steps, 128);
    EXPECT_EQ(a.route_count, 0);
    EXPECT_EQ(a.route_pos, 0);
    EXPECT_EQ(a.route_continue, 0);
    EXPECT_EQ(a.x, 0.0f);
    EXPECT_EQ(a.y, 0.0f);
    EXPECT_EQ(a.dx, 256.0f);
    EXPECT_EQ(a.cell_x, 0);
    EXPECT_EQ(a.counter, 0);
    EXPECT_EQ(a.mode, MODE_STANDING);
    EXPECT_EQ(a.return_x, 0);
    EXPECT_EQ(b.active, 0);
    EXPECT_EQ(c.active, 1);
    EXPECT_EQ(c.slot, 41);
    EXPECT_EQ(lv.next_slot, 0);
    EXPECT_EQ(lv.inventory[19], 0);
    EXPECT_EQ(lv.inventory[20], 1 << 20);
    EXPECT_EQ(lv.ticks, 1 << 30);
    EXPECT_EQ(lv.play_time, 0);
    EXPECT_EQ(lv.title[63], 0);
    EXPECT_EQ(lv.actors[0].anim[31], 0);
    EXPECT_EQ(lv.view_r, 0.0f);
    // Ticking the mended record stays in bounds (the sanitizer build checks).
    tick(50);
}

TEST_F(Model, SanitizeLeavesALevelOfTheRulesUnchanged) {
    draw({"..........",
          ".G3...1...",
          "..........",
          "..9...7...",
          ".L@.......",
          "2........."});
    g->level.inventory[ACTOR_TIME_BOMB] = 2;
    start();
    walk_to(*g, 19, 14);
    for (int t = 0; t < 200; ++t) {
        tick();
        if (t == 20) use_bomb(*g, ACTOR_TIME_BOMB);
        level copy;
        memcpy(&copy, &g->level, sizeof copy);
        level_sanitize(copy);
        ASSERT_EQ(memcmp(&copy, &g->level, sizeof copy), 0) << "tick " << t;
    }
}

TEST(Ascii, BuildsAndReadsBackLevels) {
    level lv;
    ASSERT_TRUE(level_from_ascii(lv, {"#.@", "W$,"}, legend(), 20, 30, T_DARK));
    EXPECT_EQ(lv.map[cell_index(20, 30)], T_WALL);
    EXPECT_EQ(lv.map[cell_index(22, 30)], T_PLAYER);
    EXPECT_EQ(lv.map[cell_index(21, 31)], T_ITEM + 5);
    EXPECT_EQ(lv.map[cell_index(4, 4)], T_DARK);
    EXPECT_EQ(lv.map[cell_index(3, 4)], T_BORDER);
    EXPECT_EQ(lv.unbeaten, 1);
    EXPECT_EQ(lv.look_x, 21.5f);
    EXPECT_EQ(lv.look_y, 31.0f);
    const auto back = level_to_ascii(lv, legend(), 19, 30, 5, 2);
    EXPECT_EQ(back[0], ",#.@,");
    EXPECT_EQ(back[1], ",W$,,");
    lv.map[cell_index(20, 30)] = 200;
    EXPECT_EQ(level_to_ascii(lv, legend(), 20, 30, 1, 1)[0], "?");
    EXPECT_EQ(level_to_ascii(lv, legend(), -1, 0, 2, 1)[0], " +");

    testing::internal::CaptureStderr();
    EXPECT_FALSE(level_from_ascii(lv, {"#Q"}, legend()));
    EXPECT_FALSE(level_from_ascii(lv, {"...."}, legend(), 121, 10));
    EXPECT_FALSE(level_from_ascii(lv, {"."}, legend(), 4, 124));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("no tile for 'Q'"), std::string::npos);
    EXPECT_NE(log.find("outside 4..123"), std::string::npos);
}

}  // namespace
