// The world renderer in a real GL window: pixels read back from small levels.
#include <gtest/gtest.h>

#include "render_support.h"
#include "world/rules.h"

namespace {

using rt::Frame;
using rt::Pixel;

const std::vector<std::string> kNightScene = {
    "##########WW######",
    "#b.......#......u#",
    "#..P..L..#...X...#",
    "#........#..$..l.#",
    "#,,,.....c...c...#",
    "#,,,..@..........#",
    "#,,,.....#..oo...#",
    "#...D....#..oo.G.#",
    "#...c....#.......#",
    "####.#####...P...#",
    "#.....s..#...r...#",
    "#...B....#.......#",
    "##################",
};

struct WorldDraw : rt::Window {};

TEST_F(WorldDraw, NightScene) {
    auto g = rt::make_game(kNightScene, STATE_LEVEL);
    g->level.cam_dist = g->level.zoom_target = -10;
    // A blast going off in the crater.
    actor& blast = spawn_actor(*g);
    blast.active = 1;
    blast.kind = ACTOR_BLAST;
    blast.x = 32.5f;
    blast.y = 26.5f;
    snprintf(blast.anim, sizeof blast.anim, "blast-3");
    clear();
    world_draw(*g);
    Frame f = rt::read_frame("night_scene");
    EXPECT_GT(f.mean(0, 0, 960, 720).sum(), 10);
}

}  // namespace
