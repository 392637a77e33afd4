// The menus in a real GL window with the shipped artwork: the level list's
// preview drawn only in its own viewport, and a video mode the display refuses
// shown on the settings screen as the mode actually in use.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../gfx/render_support.h"
#include "core/app.h"
#include "core/fixed_text.h"
#include "screens/level_list.h"
#include "screens/menu_settings.h"
#include "screens/screen.h"
#include "screens/states.h"
#include "ui/grid_picker.h"
#include "world/hooks.h"
#include "world/storage.h"

namespace {

Label* label_with(Widget* w, const std::string& text) {
    if (Label* l = dynamic_cast<Label*>(w); l && l->text == text) return l;
    if (Container* c = dynamic_cast<Container*>(w))
        for (Widget* k : c->children)
            if (Label* l = label_with(k, text)) return l;
    return nullptr;
}

struct MenusDisplay : rt::Window {
    test::TempDir home;
    std::unique_ptr<game> g{new game()};

    void SetUp() override {
        rt::Window::SetUp();
        testing::internal::CaptureStderr();
        _game_tile_init(*g);
        open_level_db(app_handles().net_db, home.file("net.db"));
        // A floor far wider than the view, so the level covers whatever part
        // of the window it is drawn in.
        std::vector<std::string> rows(100, std::string(100, '.'));
        rows[50][50] = '@';
        ASSERT_TRUE(level_from_ascii(g->level, rows, rt::legend(), 14, 14, 0));
        set_field(g->level.id, "wide");
        set_field(g->level.title, "Wide");
        g->level.look_x = g->level.look_y = 64;
        g->edit_level = g->level;
        logic_save(*g, app_handles().net_db);
        app_handles().net_db.query("update levels set q = 'c~newest'");
        set_field(g->download_query, "c~newest");
        g->settings.fullscreen = -1;
        g->settings.video_mode = 960 * 4096 + 720;
        make_states(*g);
        app_wire_rules();
        testing::internal::GetCapturedStderr();
    }
    void TearDown() override {
        for (State*& s : state_table) {
            delete s;
            s = nullptr;
        }
        set_rules_hooks(RulesHooks());
        app_handles().net_db.close();
    }
    void go(int n) {
        testing::internal::CaptureStderr();
        set_state(*g, n);
        testing::internal::GetCapturedStderr();
    }
    rt::Frame painted(const char* name) {
        clear();
        state_table[g->state]->paint();
        return rt::read_frame(name);
    }
    // A click at a canvas point, through the dispatcher (window pixels in).
    void click(float cx, float cy) {
        const CanvasPoint p = window_from_canvas(cx, cy);
        for (int kind : {EV_MOUSEMOVE, EV_MOUSEDOWN, EV_MOUSEUP}) {
            Event e{};
            e.kind = kind;
            e.x = p.x;
            e.y = p.y;
            e.button = kind == EV_MOUSEMOVE ? 0 : 1;
            app_event(*g, e);
        }
    }
};

// Mean brightness of a box of the frame (0 black .. 765 white).
int light(const rt::Frame& f, int x0, int y0, int x1, int y1) { return f.mean(x0, y0, x1, y1).sum(); }

TEST_F(MenusDisplay, TheListPreviewIsDrawnOnlyInItsViewport) {
    // The same level painted over the whole window, as the tutorial browser does.
    go(STATE_MENU_DOWNLOAD2);
    ASSERT_EQ(list_count, 1);
    clear();
    Container nothing;
    paint_over_level(*g, nothing);
    const rt::Frame whole = rt::read_frame("list-whole-window");
    const rt::Frame framed = painted("list-viewport");

    // The level fills the window when drawn over all of it...
    ASSERT_GT(light(whole, 360, 80, 950, 118), 30) << "the floor reaches above the preview";
    ASSERT_GT(light(whole, 400, 602, 950, 618), 30) << "and below it";
    // ...but the list's preview stays within (335, 120)-(960, 600).
    EXPECT_GT(light(framed, 500, 250, 900, 500), 30);
    EXPECT_EQ(light(framed, 360, 74, 950, 118), 0) << "nothing between the title and the preview";
    EXPECT_EQ(light(framed, 740, 602, 950, 618), 0) << "nothing between the preview and Play";
    // The whole window is the viewport again, and the camera is current.
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[0], 0);
    EXPECT_EQ(vp[1], 0);
    EXPECT_EQ(vp[2], 960);
    EXPECT_EQ(vp[3], 720);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    // The entries and the panel are drawn over it.
    EXPECT_GT(light(framed, 20, 140, 300, 200), 20) << "the first entry";
}

TEST_F(MenusDisplay, ARefusedModeFallsBackAndTheSettingsShowIt) {
    settings_page = 2;
    go(STATE_MENU_SETTINGS);
    GridPicker* vres = dynamic_cast<GridPicker*>(find(&static_cast<Screen*>(state_table[STATE_MENU_SETTINGS])->root, "vres"));
    ASSERT_NE(vres, nullptr);
    EXPECT_EQ(vres->value, 960 * 4096 + 720);
    Container& root = static_cast<Screen*>(state_table[STATE_MENU_SETTINGS])->root;
    ASSERT_NE(label_with(&root, "In use: 960 x 720, in a window"), nullptr);

    // The display refuses 1280 x 720: the driver falls back to 640 x 480.
    set_video_attempt([](int w, int h, int fullscreen) -> SDL_Surface* {
        if (w == 1280 && h == 720) return nullptr;
        return _try_init_video(w, h, fullscreen);
    });
    painted("settings-before");
    Label* choice = label_with(&root, "1280x720");
    ASSERT_NE(choice, nullptr);
    const Rect r = screen_rect(choice);
    testing::internal::CaptureStderr();
    click(r.x + r.w / 2, r.y + r.h / 2);
    const std::string err = testing::internal::GetCapturedStderr();
    set_video_attempt(nullptr);
    EXPECT_NE(err.find("trying at default res ...\n"), std::string::npos) << err;
    EXPECT_EQ(driver().width, 640);
    EXPECT_EQ(driver().height, 480);

    // The settings hold and show the mode in use, not the one refused.
    EXPECT_EQ(g->settings.video_mode, 640 * 4096 + 480);
    EXPECT_EQ(g->settings.fullscreen, -1);
    vres = dynamic_cast<GridPicker*>(find(&root, "vres"));
    ASSERT_NE(vres, nullptr);
    EXPECT_EQ(vres->value, 640 * 4096 + 480);
    Label* in_use = label_with(&root, "640x480");
    ASSERT_NE(in_use, nullptr);
    EXPECT_TRUE(in_use->parent->selected);
    EXPECT_NE(label_with(&root, "In use: 640 x 480, in a window"), nullptr);
    const rt::Frame small = painted("settings-fallback");
    EXPECT_EQ(small.w, 640);
    EXPECT_GT(light(small, 0, 0, 640, 480), 0);

    // Back to the window the other tests use.
    g->settings.video_mode = 960 * 4096 + 720;
    testing::internal::CaptureStderr();
    app_video_init(*g);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(driver().width, 960);
    glViewport(0, 0, 960, 720);
}

}  // namespace
