#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "world_fixture.h"

namespace {

using namespace wt;
using Bombs = World;

TEST_F(Bombs, NothingWithAnEmptySlotAndNothingPlaced) {
    draw({"@...."});
    start();
    level before;
    memcpy(&before, &g->level, sizeof before);
    const int kinds[] = {ACTOR_DETONATOR, ACTOR_TIME_BOMB, ACTOR_EMP_BOMB, ACTOR_MINI_BOMB, 0, 18,
                         23, 255, -1};
    for (int k : kinds) use_bomb(*g, k);
    EXPECT_EQ(memcmp(&before, &g->level, sizeof before), 0);
    EXPECT_TRUE(sounds.empty());
}

TEST_F(Bombs, PlacePickUpAndSetOff) {
    draw({"@...."});
    g->level.inventory[ACTOR_DETONATOR] = 2;
    start();
    use_bomb(*g, ACTOR_DETONATOR);
    actor* b = find_actor(*g, ACTOR_DETONATOR);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->x, 10.0f);
    EXPECT_EQ(b->y, 10.0f);
    EXPECT_EQ(b->facing, 2);
    EXPECT_STREQ(b->anim, "bomb1");
    EXPECT_EQ(g->level.inventory[ACTOR_DETONATOR], 1);
    EXPECT_EQ(sounds, std::vector<std::string>{"drop"});

    use_bomb(*g, ACTOR_DETONATOR);  // standing on it: picked up again
    EXPECT_EQ(find_actor(*g, ACTOR_DETONATOR), nullptr);
    EXPECT_EQ(g->level.inventory[ACTOR_DETONATOR], 2);

    use_bomb(*g, ACTOR_DETONATOR);
    walk_to(*g, 14, 10);
    tick(40);
    use_bomb(*g, ACTOR_DETONATOR);  // elsewhere: it goes off, no second one is placed
    EXPECT_EQ(count(ACTOR_DETONATOR), 0);
    actor* blast = find_actor(*g, ACTOR_BLAST);
    ASSERT_NE(blast, nullptr);
    EXPECT_EQ(blast->counter, 0);
    EXPECT_STREQ(blast->anim, "blast-0");
    EXPECT_EQ(g->level.inventory[ACTOR_DETONATOR], 1);
    EXPECT_EQ(sound_count("bomb"), 1);
}

TEST_F(Bombs, NoBombOnACellTakenByAnotherActor) {
    draw({"@...."});
    g->level.inventory[ACTOR_TIME_BOMB] = 1;
    g->level.inventory[ACTOR_EMP_BOMB] = 1;
    start();
    use_bomb(*g, ACTOR_TIME_BOMB);
    use_bomb(*g, ACTOR_EMP_BOMB);
    EXPECT_EQ(count(ACTOR_EMP_BOMB), 0);
    EXPECT_EQ(g->level.inventory[ACTOR_EMP_BOMB], 1);
}

// Ticks from placing a Time Bomb, with some extra uses while on it, to its blast.
int time_bomb_run(World& w, int extra_uses) {
    use_bomb(*w.g, ACTOR_TIME_BOMB);
    for (int k = 0; k < extra_uses; ++k) use_bomb(*w.g, ACTOR_TIME_BOMB);
    actor* b = w.nth(ACTOR_TIME_BOMB, 0);
    if (!b) return -1;
    walk_to(*w.g, 13, 10);
    for (int t = 1; t < 2000; ++t) {
        w.tick();
        if (b->kind == ACTOR_BLAST) return t;
    }
    return -1;
}

TEST_F(Bombs, TimeBombFuseAndExtensions) {
    struct Case {
        int extra, fuse_ticks;
    } cases[] = {{0, 300}, {1, 600}, {2, 900}};
    for (const Case& c : cases) {
        draw({"@...."});
        g->level.inventory[ACTOR_TIME_BOMB] = 1;
        start();
        const int t = time_bomb_run(*this, c.extra);
        // The player is on the bomb for the tick its step starts; the fuse runs
        // from the next tick on, one tick per tick.
        EXPECT_EQ(t, c.fuse_ticks + 1) << c.extra;
        EXPECT_EQ(sound_count("drop"), 1 + c.extra);
    }
    // The fourth use picks it up.
    draw({"@...."});
    g->level.inventory[ACTOR_TIME_BOMB] = 1;
    start();
    for (int k = 0; k < 4; ++k) use_bomb(*g, ACTOR_TIME_BOMB);
    EXPECT_EQ(count(ACTOR_TIME_BOMB), 0);
    EXPECT_EQ(g->level.inventory[ACTOR_TIME_BOMB], 1);
}

TEST_F(Bombs, AStartedFuseIsNotExtended) {
    draw({"@...."});
    g->level.inventory[ACTOR_TIME_BOMB] = 1;
    start();
    use_bomb(*g, ACTOR_TIME_BOMB);
    walk_to(*g, 11, 10);
    tick(20);
    walk_to(*g, 10, 10);
    tick(20);
    actor* b = nth(ACTOR_TIME_BOMB, 0);
    ASSERT_NE(b, nullptr);
    ASSERT_GT(b->counter, 0);
    use_bomb(*g, ACTOR_TIME_BOMB);  // picked up, not extended
    EXPECT_EQ(count(ACTOR_TIME_BOMB), 0);
    EXPECT_EQ(g->level.inventory[ACTOR_TIME_BOMB], 1);
}

TEST_F(Bombs, CraterBlastRingsAndPattern) {
    draw({"."}, 30, 30);
    actor& b = place(ACTOR_BLAST, 40, 40, 0);
    b.counter = 0;
    g->level.ticks = 10;
    g->state = STATE_PAUSE;  // nothing else moves
    int ring_done = 0;
    while (b.active) {
        build_flags(*g);
        game_tick(*g);
        if (!b.active) break;
        // Rings up to counter - 1 (never 6) are crater, the rest untouched.
        for (int j = -5; j <= 5; ++j) {
            for (int i = -5; i <= 5; ++i) {
                const int v = crater_ring(i, j);
                const bool crater = v != 0 && v != 6 && v <= b.counter - 1;
                ASSERT_EQ(tile(40 + i, 40 + j), crater ? T_CRATER : T_FLOOR)
                    << i << "," << j << " counter " << b.counter;
            }
        }
        ring_done = b.counter;
        EXPECT_EQ(b.anim, "blast-" + std::to_string(b.counter));
    }
    EXPECT_EQ(ring_done, 8);
    EXPECT_EQ(g->level.ticks, 10 + 17);  // one ring every other tick, to ring 9
    // The crater stays after the blast.
    EXPECT_EQ(tile(40, 40), T_CRATER);
    EXPECT_EQ(tile(45, 40), T_FLOOR);
    EXPECT_EQ(tile(44, 40), T_CRATER);
    // Spot checks of the table.
    EXPECT_EQ(crater_ring(0, 0), 1);
    EXPECT_EQ(crater_ring(-5, -1), 6);
    EXPECT_EQ(crater_ring(-3, 4), 6);
    EXPECT_EQ(crater_ring(2, -3), 5);
    EXPECT_EQ(crater_ring(-4, -4), 0);
    EXPECT_EQ(crater_ring(6, 0), 0);
}

TEST_F(Bombs, ACraterKillsWhatStandsInItAndDestroysTargets) {
    draw({"..........",
          "..P.......",
          "..........",
          ".....@....",
          "G........."},
         20, 20);
    g->level.inventory[ACTOR_DETONATOR] = 0;
    start();
    g->level.emp_time = 100000;  // guards stay put
    place(ACTOR_DETONATOR, 21, 22);
    use_bomb(*g, ACTOR_DETONATOR);
    tick(40);
    EXPECT_EQ(tile(22, 21), T_CRATER);  // the target is gone
    EXPECT_EQ(g->level.targets_left, 0);
    EXPECT_EQ(count(ACTOR_GUARD), 0);   // (20, 24) is ring 3
    EXPECT_EQ(player()->mode, MODE_DYING);  // (25, 23) is ring 5
}

TEST_F(Bombs, MiniBombBlastRings) {
    draw({"@"}, 40, 40);
    start();
    g->level.emp_time = 100000;  // guards stay where they are put
    const int cx = 20, cy = 20;
    struct TileCase {
        int i, j, before, after;
    } tiles[] = {
        {1, -2, T_WALL, T_WALL},      // ring 4: walls stay
        {2, -1, T_WALL, T_WALL},      // ring 4
        {1, -1, T_WALL, T_FLOOR},     // ring 3: destroyed
        {-1, 1, T_WALL, T_FLOOR},     // ring 3
        {-1, 0, T_PILLAR, T_FLOOR},   // ring 2: a target destroyed
        {0, 1, T_CRATE, T_FLOOR},     // ring 2: solid without being opaque
        {1, 0, T_CRATER, T_CRATER},   // tile 3 is left alone
        {2, 2, T_WALL, T_WALL},       // a corner outside the pattern
        {3, 0, T_WALL, T_WALL},       // outside
        {0, -1, T_CURTAIN, T_CURTAIN},  // not solid: left alone
    };
    for (const TileCase& c : tiles) set_tile(cx + c.i, cy + c.j, c.before);
    struct GuardCase {
        float i, j;
        bool dies;
    } guards[] = {{2, 1, true},  {-2, 0, true},     {1, 1, true},  {-2, -2, false},
                  {3, 1, false}, {0.5f, 2, false},  {0, -2, true}};
    std::vector<actor*> gs;
    for (const GuardCase& c : guards) {
        actor& a = place(ACTOR_GUARD, cx + int(c.i), cy + int(c.j));
        a.x = float(cx) + c.i;
        gs.push_back(&a);
    }
    place(ACTOR_MINI_BLAST, cx, cy, 0);
    tick(30);
    EXPECT_EQ(count(ACTOR_MINI_BLAST), 0);
    for (const TileCase& c : tiles)
        EXPECT_EQ(tile(cx + c.i, cy + c.j), c.after) << c.i << "," << c.j;
    EXPECT_EQ(g->level.targets_left, 0);
    for (size_t k = 0; k < gs.size(); ++k)
        EXPECT_EQ(gs[k]->active == 0, guards[k].dies) << guards[k].i << "," << guards[k].j;
}

TEST_F(Bombs, MiniBombKillsThePlayerUpToRingThree) {
    struct Case {
        float dx, dy;
        bool dies;
    } cases[] = {{0, 0, true},    {1, 0, true},     {1, 1, true},    {0, -1, true},
                 {2, 0, false},   {2, 2, false},    {-1, 2, false},  {1.4f, 0, true},
                 {1.6f, 0, false}, {0.6f, 0.6f, true}};
    for (const Case& c : cases) {
        draw({"@"}, 30, 30);
        start();
        actor& p = *player();
        p.x = 30.0f + c.dx;
        p.y = 30.0f + c.dy;
        p.cell_x = int8_t(30 + int(c.dx + 0.5f));
        p.cell_y = int8_t(30 + int(c.dy + 0.5f));
        place(ACTOR_MINI_BLAST, 30, 30, 0);
        for (int t = 0; t < 30 && p.mode != MODE_DYING; ++t) tick();
        EXPECT_EQ(p.mode == MODE_DYING, c.dies) << c.dx << "," << c.dy;
    }
}

TEST_F(Bombs, MiniBombStepHitsOnlyGuardsExactlyOnACell) {
    draw({"."}, 30, 30);
    g->level.ticks = 7;  // an odd tick: the ring counter grows
    actor& on = place(ACTOR_GUARD, 32, 30);        // ring 4
    actor& between = place(ACTOR_GUARD, 32, 31);   // ring 4 cell, but half a cell off
    between.x = 32.5f;
    actor& lamp = place(ACTOR_LAMP, 31, 30);       // ring 2: lamps are never hit
    actor& blast = place(ACTOR_MINI_BLAST, 30, 30, 0);
    blast.counter = 4;
    mini_blast_step(*g, blast);
    EXPECT_EQ(blast.counter, 5);
    EXPECT_EQ(on.mode, MODE_DYING);
    EXPECT_EQ(between.mode, MODE_STANDING);
    EXPECT_EQ(lamp.mode, MODE_STANDING);
    EXPECT_STREQ(blast.anim, "blast-5");
    // On an even tick the counter stays, and ring 4 is not reached before 5.
    actor& blast2 = place(ACTOR_MINI_BLAST, 50, 50, 0);
    actor& far = place(ACTOR_GUARD, 52, 50);
    blast2.counter = 4;
    g->level.ticks = 8;
    mini_blast_step(*g, blast2);
    EXPECT_EQ(blast2.counter, 4);
    EXPECT_EQ(far.mode, MODE_STANDING);
}

// Other actors lying on a cell (earlier in slot order) never shield a guard
// standing there: not the blast itself on its centre, not a bomb.
TEST_F(Bombs, MiniBombBlastHitsAGuardBehindOtherActorsOnItsCell) {
    draw({"."}, 30, 30);
    g->level.ticks = 7;  // an odd tick: the ring counter grows
    g->level.emp_time = 100000;
    actor& blast = place(ACTOR_MINI_BLAST, 30, 30, 0);
    actor& time_bomb = place(ACTOR_TIME_BOMB, 31, 30, 0);
    time_bomb.fuse = 300;
    place(ACTOR_EMP_BOMB, 30, 31, 0);
    place(ACTOR_MINI_BOMB, 29, 29, 0);
    struct Case {
        const char* under;
        int x, y;
    } cases[] = {{"the blast", 30, 30}, {"a time bomb", 31, 30}, {"an EMP bomb", 30, 31},
                 {"a mini bomb", 29, 29}};
    std::vector<actor*> guards;
    for (const Case& c : cases) guards.push_back(&place(ACTOR_GUARD, c.x, c.y));
    blast.counter = 4;
    mini_blast_step(*g, blast);
    for (size_t k = 0; k < guards.size(); ++k)
        EXPECT_EQ(guards[k]->mode, MODE_DYING) << "under " << cases[k].under;
    EXPECT_NE(time_bomb.mode, MODE_DYING);   // only guards are marked
}

TEST_F(Bombs, EveryGuardRunsToTheBlastAndWalksBackHome) {
    draw({"##########.................",
          "#@.......#.................",
          "#........#......G..........",
          "##########.................",
          "...........................",
          "...........................",
          "............G3....1........",
          "...........................",
          ".............9....7........",
          "...........................",
          "...........................",
          "..G........................"},
         10, 10);
    g->level.inventory[ACTOR_DETONATOR] = 0;
    start();
    actor& still = *nth(ACTOR_GUARD, 0);   // (26, 12), no route
    actor& patrol = *nth(ACTOR_GUARD, 1);  // (22, 16), looping route
    actor& corner = *nth(ACTOR_GUARD, 2);  // (12, 21)
    ASSERT_EQ(patrol.route_count, 5);
    still.facing = 7;
    tick(100);  // the patrol is under way
    place(ACTOR_DETONATOR, 40, 24);
    use_bomb(*g, ACTOR_DETONATOR);
    while (find_actor(*g, ACTOR_BLAST)) tick();
    for (actor* a : {&still, &patrol, &corner}) {
        EXPECT_EQ(a->mode, MODE_RUNNING);
        EXPECT_NE(a->return_x, 0);
        ASSERT_GT(a->steps, 0);
        EXPECT_EQ(a->path[0][0], 40);  // heading for the centre
        EXPECT_EQ(a->path[0][1], 24);
    }
    EXPECT_EQ(still.return_x, 26);
    EXPECT_EQ(still.return_y, 12);
    EXPECT_EQ(still.return_facing, 7);
    EXPECT_EQ(corner.return_x, 12);
    EXPECT_EQ(corner.return_y, 21);
    // They stop at the rim of the crater (tile 3 is solid), then walk home.
    bool headed_home = false;
    for (int t = 0; t < 400; ++t) {
        tick();
        if (still.mode == MODE_WALKING && still.return_x == 0) headed_home = true;
        EXPECT_NE(tile(int(still.x + 0.5f), int(still.y + 0.5f)), T_CRATER);
    }
    EXPECT_TRUE(headed_home);
    EXPECT_GT(sound_count("guard"), 0);  // running guards call out now and then
    EXPECT_EQ(sound_count("bomb"), 1);
    EXPECT_EQ(still.x, 26.0f);
    EXPECT_EQ(still.y, 12.0f);
    EXPECT_EQ(still.facing, 7);
    EXPECT_EQ(still.mode, MODE_STANDING);
    EXPECT_EQ(corner.x, 12.0f);
    EXPECT_EQ(corner.y, 21.0f);
    // The patrol went home and carries on along its route.
    const auto seen = visits(*this, patrol, 400);
    const std::vector<std::pair<int, int>> lap = {{23, 16}, {28, 16}, {28, 18}, {23, 18}};
    size_t k = 0;
    for (const auto& c : seen)
        if (k < lap.size() && c == lap[k]) ++k;
    EXPECT_EQ(k, lap.size());
    EXPECT_EQ(player()->mode, MODE_STANDING);  // hidden in its room all along
}

// A second blast while a guard is on its way home: it runs again, but home stays
// where it was first alerted, and a Mini Bomb blast alerts as well as a crater.
TEST_F(Bombs, ASecondAlertOnTheWayHomeKeepsTheFirstHome) {
    draw({"##########..........",
          "#@.......#..........",
          "##########..........",
          "....................",
          "....................",
          "..........G.........",
          "....................",
          "...................."},
         10, 10);
    start();
    actor& guard = *find_actor(*g, ACTOR_GUARD);  // (20, 15)
    guard.facing = 7;
    place(ACTOR_MINI_BOMB, 26, 15);
    use_bomb(*g, ACTOR_MINI_BOMB);
    ASSERT_NE(find_actor(*g, ACTOR_MINI_BLAST), nullptr);
    while (find_actor(*g, ACTOR_MINI_BLAST)) tick();
    EXPECT_EQ(guard.mode, MODE_RUNNING);
    EXPECT_EQ(guard.return_x, 20);
    EXPECT_EQ(guard.return_y, 15);
    EXPECT_EQ(guard.return_facing, 7);
    // Wait until it has turned for home: the return cell is taken, the facing pends.
    int t = 0;
    while (!(guard.return_x == 0 && guard.steps > 0) && t++ < 300) tick();
    ASSERT_EQ(guard.return_x, 0);
    ASSERT_EQ(guard.return_facing, 7);
    ASSERT_EQ(guard.path[0][0], 20);
    ASSERT_NE(guard.x, 20.0f);
    place(ACTOR_DETONATOR, 24, 20);
    use_bomb(*g, ACTOR_DETONATOR);
    while (find_actor(*g, ACTOR_BLAST)) tick();
    EXPECT_EQ(guard.mode, MODE_RUNNING);
    EXPECT_EQ(guard.return_x, 20);  // the end of the way home, not where it stood
    EXPECT_EQ(guard.return_y, 15);
    EXPECT_EQ(guard.return_facing, 7);
    tick(400);
    EXPECT_EQ(guard.x, 20.0f);
    EXPECT_EQ(guard.y, 15.0f);
    EXPECT_EQ(guard.facing, 7);
    EXPECT_EQ(guard.mode, MODE_STANDING);
    EXPECT_EQ(player()->mode, MODE_STANDING);
}

TEST_F(Bombs, EmpFreezesGuardsButASolidCellStillKills) {
    draw({"##########",
          "#@.......#",
          "##########",
          "..........",
          ".G3....1..",
          "..........",
          "..9....7..",
          "....G.....",
          ".........."},
         10, 10);
    g->level.inventory[ACTOR_EMP_BOMB] = 1;
    start();
    actor& patrol = *nth(ACTOR_GUARD, 0);
    actor& other = *nth(ACTOR_GUARD, 1);
    tick(20);
    use_bomb(*g, ACTOR_EMP_BOMB);
    EXPECT_EQ(g->level.emp_time, 0);  // not while the player stands on it
    tick(10);
    EXPECT_EQ(g->level.emp_time, 0);
    walk_to(*g, 13, 11);
    tick(2);
    EXPECT_EQ(count(ACTOR_EMP_BOMB), 0);
    EXPECT_EQ(g->level.emp_time, 300);
    const float px = patrol.x, py = patrol.y;
    tick(100);
    EXPECT_EQ(patrol.x, px);
    EXPECT_EQ(patrol.y, py);
    // A guard on a solid cell is still marked and removed.
    set_tile(14, 17, T_CRATE);
    tick(2);
    EXPECT_EQ(other.active, 0);
    tick(200);
    EXPECT_EQ(g->level.emp_time, 0);
    tick(30);
    EXPECT_TRUE(patrol.x != px || patrol.y != py);  // moving again
}

TEST_F(Bombs, FrozenGuardsDoNotShoot) {
    draw({"G@..."});
    start();
    g->level.emp_time = 50;
    actor& guard = *find_actor(*g, ACTOR_GUARD);
    guard.facing = 3;
    tick(40);
    EXPECT_EQ(player()->mode, MODE_STANDING);
    tick(20);
    EXPECT_EQ(player()->mode, MODE_DYING);
}

TEST_F(Bombs, TwoEmpBombsRunOneAfterTheOther) {
    draw({"@....."});
    g->level.inventory[ACTOR_EMP_BOMB] = 2;
    start();
    use_bomb(*g, ACTOR_EMP_BOMB);
    walk_to(*g, 11, 10);
    tick(12);
    use_bomb(*g, ACTOR_EMP_BOMB);
    walk_to(*g, 12, 10);
    int t = 0, first_zero = -1, second_gone = -1;
    for (; t < 800; ++t) {
        tick();
        if (second_gone < 0 && count(ACTOR_EMP_BOMB) == 0) second_gone = t;
        if (first_zero < 0 && g->level.emp_time == 0) first_zero = t;
    }
    // The second waits for the first to run out and then extends it: one EMP after
    // the other with no gap, not a longer overlap.
    EXPECT_GE(second_gone, 280);
    EXPECT_LE(second_gone, 300);
    EXPECT_EQ(first_zero - second_gone, 301);
}

}  // namespace
