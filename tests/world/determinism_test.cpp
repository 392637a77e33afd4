#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "world_fixture.h"

namespace {

using namespace wt;

uint64_t fnv(const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

struct Determinism : World {
    level start_level;

    void SetUp() override {
        World::SetUp();
        draw({"W@......P.....",
              "..............",
              "..$..D....M...",
              "######.#######",
              ".G3.....1.....",
              "..............",
              "..9.....7..L3.",
              "......G......."},
             10, 10, T_WALL);
        for (int k = ACTOR_DETONATOR; k <= ACTOR_MINI_BOMB; ++k) g->level.inventory[k] = 2;
        strcpy(g->level.name, "scripted");
        memcpy(&start_level, &g->level, sizeof start_level);
    }

    // Plays the script from the start level; returns the hash of the level bytes
    // after every tick.
    std::vector<uint64_t> play(uint32_t seed) {
        rules_seed(seed);
        memcpy(&g->level, &start_level, sizeof start_level);
        memcpy(&g->edit_level, &start_level, sizeof start_level);
        states.clear();
        start();
        g->level.view_x = 20.0f;
        g->level.view_y = 12.0f;
        g->level.view_r = 9.0f;
        std::vector<uint64_t> out;
        for (int t = 0; t < 420; ++t) {
            switch (t) {
            case 5: walk_direction(*g, 1, 1); break;  // along the row to the target
            case 20:  // a rewind from the pause screen, then on again
                g->state = STATE_REWIND;
                while (g->state == STATE_REWIND) rewind_step(*g);
                walk_direction(*g, 1, 1);
                break;
            case 80: use_bomb(*g, ACTOR_MINI_BOMB); walk_to(*g, 15, 10); break;
            case 100: use_bomb(*g, ACTOR_EMP_BOMB); walk_to(*g, 13, 10); break;
            case 120: use_bomb(*g, ACTOR_MINI_BOMB); break;  // the target goes
            case 140: use_bomb(*g, ACTOR_TIME_BOMB); walk_direction(*g, -1, -1); break;
            case 145:
                g->level.mouse_x = 10.7f;
                g->level.mouse_y = 10.2f;
                pick_cell(*g);
                walk_to(*g, int(g->level.pick_x), int(g->level.pick_y));
                break;
            default: break;
            }
            if (g->state != STATE_LEVEL) break;  // the rules left the play screen
            tick();
            out.push_back(fnv(&g->level, sizeof(level)) ^ fnv(g->flags, sizeof g->flags));
        }
        return out;
    }
};

TEST_F(Determinism, TheSameScriptGivesTheSameBytes) {
    const auto a = play(7);
    level first;
    memcpy(&first, &g->level, sizeof first);
    const auto sounds_a = sounds;
    const auto states_a = states;
    const auto b = play(7);
    EXPECT_EQ(a, b);
    EXPECT_EQ(memcmp(&first, &g->level, sizeof first), 0);
    EXPECT_EQ(sounds_a, sounds);
    // The script really reaches the escape: sparks, the win and its report.
    const std::vector<int> want = {STATE_LEVEL, STATE_LEVEL_WIN};
    EXPECT_EQ(states_a, want);
    EXPECT_EQ(wins.size(), 2u);
}

TEST_F(Determinism, TheSeedMovesOnlyTheSparks) {
    const auto a = play(1);
    const auto b = play(2);
    ASSERT_EQ(a.size(), b.size());
    // Identical up to the escape; the spark positions then differ.
    size_t first_diff = a.size();
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) {
            first_diff = i;
            break;
        }
    EXPECT_LT(first_diff, a.size());
    EXPECT_GT(first_diff, 140u);
}

// Arbitrary bytes in the level record (a corrupt state.dat, a hostile download):
// set-up, ticks, commands and rewinds stay inside the record and the grid. The
// sanitizer build turns any stray access into a failure.
TEST_F(Determinism, ArbitraryLevelBytesAreSafe) {
    std::mt19937 rng(99);
    for (int round = 0; round < 24; ++round) {
        uint8_t* bytes = reinterpret_cast<uint8_t*>(&g->level);
        for (size_t i = 0; i < sizeof(level); ++i) bytes[i] = uint8_t(rng());
        // Some rounds keep the actors as they are (play resumed from state.dat),
        // others set the level up first.
        g->state = STATE_LEVEL;
        g->rewind_pos = int(rng());
        if (round % 2 == 0) setup_level(*g, 1);
        for (int t = 0; t < 150 && g->state == STATE_LEVEL; ++t) {
            switch (rng() % 8) {
            case 0: use_bomb(*g, 19 + int(rng() % 4)); break;
            case 1: walk_direction(*g, int(rng() % 3) - 1, int(rng() % 3) - 1); break;
            case 2: walk_to(*g, int(rng() % 300) - 50, int(rng() % 300) - 50); break;
            case 3:
                g->level.mouse_x = float(int(rng() % 400) - 100) / 3.0f;
                g->level.mouse_y = std::numeric_limits<float>::quiet_NaN();
                pick_cell(*g);
                break;
            default: break;
            }
            tick();
        }
        g->state = STATE_REWIND;
        for (int f = 0; f < 60 && g->state == STATE_REWIND; ++f) rewind_step(*g);
        EXPECT_GE(g->level.next_slot, 0);
        EXPECT_LT(g->level.next_slot, MAX_ACTORS);
        for (const actor& a : g->level.actors) {
            if (!a.active) continue;
            EXPECT_GE(a.steps, 0);
            EXPECT_LE(a.steps, PATH_MAX_STEPS);
            EXPECT_LE(a.route_count, ROUTE_MAX_POINTS);
        }
    }
}

}  // namespace
