// The play screens painted in a real GL window with the shipped artwork: the
// heads-up display and the win screen's veil read back where their layout puts
// them, over the same frame of the level drawn alone.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../gfx/render_support.h"
#include "core/app.h"
#include "screens/states.h"
#include "world/bombs.h"
#include "world/hooks.h"

namespace {

struct PlayDisplay : rt::Window {
    std::unique_ptr<game> g;

    void SetUp() override {
        rt::Window::SetUp();
        // A wide lit floor around the player, so the whole view shows ground.
        std::vector<std::string> rows(40, std::string(48, '.'));
        rows[20][24] = '@';
        g.reset(new game());
        testing::internal::CaptureStderr();
        _game_tile_init(*g);
        ASSERT_TRUE(level_from_ascii(g->level, rows, rt::legend(), 40, 40, 0));
        g->level.inventory[ACTOR_TIME_BOMB] = 3;
        g->edit_level = g->level;
        g->return_state = STATE_EDIT;  // no rating row: the win screen's middle only
        make_states(*g);
        app_wire_rules();
        set_state(*g, STATE_LEVEL);  // sets up and shows the intro
        for (int i = 0; i < 20; ++i) state_table[STATE_LEVEL_INTRO]->frame();  // zoomed in
        set_state(*g, STATE_LEVEL);  // back in play: the display is built
        testing::internal::GetCapturedStderr();
        ASSERT_EQ(g->state, STATE_LEVEL);
        ASSERT_NE(find_actor(*g, ACTOR_PLAYER), nullptr);
    }
    void TearDown() override {
        for (State*& s : state_table) {
            delete s;
            s = nullptr;
        }
        set_rules_hooks(RulesHooks());
    }
    rt::Frame painted(int state, const char* name) {
        clear();
        state_table[state]->paint();
        return rt::read_frame(name);
    }
};

// Pixels of b that differ from a by more than the tolerance, in [x0, x1) x [y0, y1).
int changed(const rt::Frame& a, const rt::Frame& b, int x0, int y0, int x1, int y1, int tol = 3) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const rt::Pixel p = a.at(x, y), q = b.at(x, y);
            if (std::abs(p.r - q.r) > tol || std::abs(p.g - q.g) > tol || std::abs(p.b - q.b) > tol) ++n;
        }
    return n;
}

TEST_F(PlayDisplay, TheDisplayAndTheVeilLieWhereTheLayoutPutsThem) {
    // The level alone (what the rewind screen paints) and with the display.
    const rt::Frame scene = painted(STATE_REWIND, "play-scene");
    const rt::Frame hud = painted(STATE_LEVEL, "play-hud");
    ASSERT_GT(scene.mean(200, 200, 760, 500).sum(), 60) << "the ground fills the view";
    // Between the counters and the bar nothing but the level.
    EXPECT_EQ(changed(scene, hud, 0, 80, 960, 620), 0);
    EXPECT_EQ(changed(scene, hud, 80, 0, 840, 80), 0) << "no timers without bombs";
    // The pause button in the top-left corner, the counters in the top-right.
    EXPECT_GT(changed(scene, hud, 0, 0, 60, 50), 20);
    EXPECT_GT(changed(scene, hud, 900, 0, 960, 80), 20);
    // The bar over the bottom 96 units: the spacers are the level lightened by
    // white at alpha 34; the camera-turn buttons and bomb selectors are drawn.
    int lighter = 0, total = 0;
    for (int y = 630; y < 715; y += 3)
        for (int x = 200; x < 570; x += 3) {
            const rt::Pixel p = scene.at(x, y), q = hud.at(x, y);
            const int want = p.g + (255 - p.g) * 34 / 255;
            lighter += std::abs(q.g - want) <= 3;
            ++total;
        }
    EXPECT_GT(lighter, total * 95 / 100) << lighter << " of " << total;
    EXPECT_GT(changed(scene, hud, 10, 634, 86, 710), 500) << "the left arrow";
    EXPECT_GT(changed(scene, hud, 672, 634, 768, 720), 500) << "the Time Bomb selector";
    // The 3D camera is current again for picking between frames.
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLboolean depth_writes = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_writes);
    EXPECT_TRUE(depth_writes);

    // A Time Bomb lying: its timer at the top, centred.
    testing::internal::CaptureStderr();
    use_bomb(*g, ACTOR_TIME_BOMB);
    testing::internal::GetCapturedStderr();
    const rt::Frame timer = painted(STATE_LEVEL, "play-timer");
    EXPECT_GT(changed(hud, timer, 384, 0, 576, 50), 20);
    EXPECT_EQ(changed(hud, timer, 80, 0, 380, 50), 0);
    EXPECT_EQ(changed(hud, timer, 580, 0, 840, 50), 0);

    // The win screen: the level behind a black veil at alpha 170 over the whole
    // canvas; the edges hold no widgets.
    testing::internal::CaptureStderr();
    set_state(*g, STATE_LEVEL_WIN);
    testing::internal::GetCapturedStderr();
    const rt::Frame win = painted(STATE_LEVEL_WIN, "play-win");
    int veiled = 0, counted = 0;
    for (int y = 0; y < 720; y += 4)
        for (int x = 0; x < 960; x += 4) {
            if (x > 150 && x < 810) continue;  // the score table and the button
            const rt::Pixel p = scene.at(x, y), q = win.at(x, y);
            veiled += std::abs(q.g - p.g * 85 / 255) <= 3;
            ++counted;
        }
    EXPECT_GT(veiled, counted * 98 / 100) << veiled << " of " << counted;
    EXPECT_GT(changed(scene, win, 380, 200, 580, 520), 2000) << "the score table";
}

}  // namespace
