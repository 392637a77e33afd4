// The application in-process under a private Xvfb: start-up, frames, and the
// round trip to a window and back when a web page is opened from full screen.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <string>

#include "core/app.h"
#include "core/state.h"
#include "platform/canvas.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "test_support.h"

namespace {

int enters = 0;

// Stands in for the main menu so the test sees its enter calls.
class CountingMenu : public State {
public:
    using State::State;
    void enter() override { ++enters; }
};

struct AppTest : ::testing::Test {
    test::Xvfb x;
    test::TempDir home;
    test::ScopedEnv appdata{"APPDATA", home.path().c_str()};
    test::ScopedEnv audio{"SDL_AUDIODRIVER", "dummy"};
    std::unique_ptr<game> g{new game()};

    void SetUp() override {
        ASSERT_TRUE(x.ok());
        set_data_dir(test::source_data_dir());
    }
    void TearDown() override { set_data_dir(""); }
};

TEST_F(AppTest, StartsFullScreenClearsFramesAndComesBackFromAWindow) {
    testing::internal::CaptureStderr();
    app_init(*g);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(g->state, STATE_MENU_MAIN);
    EXPECT_EQ(g->version, 1);
    EXPECT_EQ(driver().width, 1280);
    EXPECT_EQ(driver().height, 1024);
    EXPECT_TRUE(video_is_fullscreen());
    EXPECT_EQ(driver().fps, 30);
    // A stop signal must not break off a call on the X connection.
    for (int sig : {SIGINT, SIGTERM}) {
        struct sigaction sa = {};
        sigaction(sig, nullptr, &sa);
        EXPECT_NE(sa.sa_flags & SA_RESTART, 0) << "signal " << sig;
    }

    // A frame of the (still empty) menu is cleared to black.
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    app_loop_pass(*g);
    unsigned char pixel[4] = {9, 9, 9, 9};
    glReadBuffer(GL_FRONT);
    glReadPixels(640, 512, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 0);
    EXPECT_EQ(pixel[1], 0);
    EXPECT_EQ(pixel[2], 0);

    // Opening a page when the window cannot be iconified: drop to a window and
    // re-enter the screen so it rebuilds.
    delete state_table[STATE_MENU_MAIN];
    state_table[STATE_MENU_MAIN] = new CountingMenu(g.get());
    enters = 0;
    // A focused text field near the bottom: the mode change resets the canvas
    // size but keeps the field's rectangle, so the canvas stays lifted.
    canvas().canvas_w = 100;
    canvas().focus_y = 700;
    canvas().focus_h = 40;
    testing::internal::CaptureStderr();
    driver().go_windowed();
    EXPECT_EQ(g->windowed, 1);
    EXPECT_FALSE(video_is_fullscreen());
    EXPECT_EQ(enters, 1);
    EXPECT_FLOAT_EQ(canvas().canvas_w, 960);
    EXPECT_FLOAT_EQ(canvas().canvas_h, 720);
    EXPECT_FLOAT_EQ(canvas().focus_h, 40);
    canvas_update_offset();
    EXPECT_FLOAT_EQ(canvas().offset_y, -20);
    canvas() = Canvas();

    // Coming back (visible, gained) restores full screen and re-enters again.
    Event back{};
    back.kind = EV_ACTIVE;
    back.source = 1;
    back.button = ACTIVE_VISIBLE;
    back.key = 1;
    app_event(*g, back);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(g->windowed, 0);
    EXPECT_TRUE(video_is_fullscreen());
    EXPECT_EQ(enters, 2);

    // A focus change without the visible bit does nothing of the kind.
    g->windowed = 0;
    Event focus = back;
    focus.button = ACTIVE_INPUT_FOCUS;
    app_event(*g, focus);
    EXPECT_EQ(enters, 2);

    app_shutdown(*g);
    EXPECT_EQ(test::read_file(home.path() + "/Murkwell/state.dat").size(), sizeof(game));
}

TEST_F(AppTest, UnwritableUserFolderStillStarts) {
    test::write_file(home.path() + "/notadir", "x");
    test::ScopedEnv bad("APPDATA", (home.path() + "/notadir").c_str());
    testing::internal::CaptureStderr();
    app_init(*g);
    app_loop_pass(*g);
    app_shutdown(*g);
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("cannot create folder"), std::string::npos) << log;
    EXPECT_EQ(g->state, STATE_MENU_MAIN);
}

}  // namespace
