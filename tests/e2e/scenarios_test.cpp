// The game as a player meets it: the real binary in a 960 x 720 window under a
// private X server, a temporary per-user folder, real mouse and keyboard input
// at the places the screens lay their controls out, and each scenario checked
// through what the game leaves behind: state.dat, settings.dat, the level
// databases, the level service's database, its error stream, and (loosely)
// the pictures of a few still screens.
//
// MURKWELL_E2E_SHOTS=DIR keeps a PNG of every screen a scenario waits on.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "session.h"

namespace {

using e2e::Game;

// Where the screens put their controls on the 960 x 720 canvas.
struct At {
    int x, y;
};
const At MAIN_TUTORIAL{282, 298}, MAIN_PLAY{677, 298}, MAIN_BUILD{282, 428}, MAIN_SETTINGS{677, 428};
const At LIST_MENU{120, 38}, LIST_PLAY{480, 680}, CORNER_RIGHT{840, 680}, CORNER_LEFT{120, 680};
const At PAUSE_QUIT{480, 510};
const At WIN_CONTINUE{480, 580};
const At MUSIC_KNOB{446, 288}, EFFECTS_KNOB{446, 364};

enum { MAIN = 1, PLAY = 3, PAUSE = 4, TUTORIALS = 9, INTRO = 10, SETTINGS = 11, WON = 13 };

std::string stored_shot(const char* name) {
    return std::string(MURKWELL_SOURCE_DIR) + "/tests/e2e/shots/" + name + ".pgm";
}

struct Scenario : ::testing::Test {
    test::TempDir tmp;
    std::unique_ptr<e2e::Display> display;
    std::string home, dir;

    void SetUp() override {
        display.reset(new e2e::Display(tmp.path()));
        ASSERT_TRUE(display->ok());
        home = tmp.file("home");
        dir = home + "/Murkwell/";
        ASSERT_EQ(test::run("mkdir -p '" + dir + "' && echo ok"), "ok\n");
        write_settings(e2e::window_settings());
        // No level service unless a scenario starts one: a port where nothing listens.
        test::write_file(dir + "service.txt", "{\"host\": \"127.0.0.1\", \"port\": 1}\n");
    }
    void write_settings(const settings& s) { test::write_file(dir + "settings.dat", e2e::bytes_of(s)); }

    std::unique_ptr<Game> start(e2e::GameOptions o = e2e::GameOptions()) {
        std::unique_ptr<Game> g(new Game(*display, home, o));
        EXPECT_TRUE(g->started()) << g->err();
        return g;
    }

    // Clicks a control and waits for the screen it leads to.
    void go(Game& g, At at, int screen) {
        const size_t from = g.mark();
        ASSERT_TRUE(g.click(at.x, at.y));
        ASSERT_TRUE(g.wait_screen(screen, from)) << "no screen " << screen << " after a click at " << at.x
                                                  << "," << at.y << "\n" << g.err().substr(from);
        look(g, screen);
    }
    void press(Game& g, const std::string& key, int screen) {
        const size_t from = g.mark();
        ASSERT_TRUE(g.key(key));
        ASSERT_TRUE(g.wait_screen(screen, from)) << "no screen " << screen << " after " << key << "\n"
                                                  << g.err().substr(from);
        look(g, screen);
    }
    // Keeps a picture of the screen when asked to (MURKWELL_E2E_SHOTS).
    void look(Game& g, int screen) {
        const char* keep = getenv("MURKWELL_E2E_SHOTS");
        if (!keep) return;
        g.wait_frames(30);
        static int n = 0;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        e2e::write_png(g.shot(*display), std::string(keep) + "/" + info->name() + "-" + std::to_string(++n) +
                                             "-screen" + std::to_string(screen) + ".png");
    }
    // A still screen looks like its stored picture, loosely.
    void looks_like(Game& g, const char* name) {
        ASSERT_TRUE(g.wait_frames(30));
        const e2e::Picture p = g.shot(*display);
        ASSERT_FALSE(p.empty());
        EXPECT_EQ(e2e::like_stored(p, stored_shot(name)), "");
    }

    int exit_code(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1000 - status; }
};

// First start -> main menu -> Tutorial -> Play the first level -> intro ->
// walk to the window -> win screen -> Continue -> back in the tutorial list.
TEST_F(Scenario, TheFirstTutorialFromAFreshStartToItsWin) {
    std::unique_ptr<Game> g = start();
    EXPECT_EQ(g->screen(), MAIN) << g->err();
    looks_like(*g, "main-menu");

    go(*g, MAIN_TUTORIAL, TUTORIALS);
    go(*g, LIST_PLAY, INTRO);
    ASSERT_TRUE(g->wait_frames(20));  // the camera flies in over 19 frames
    press(*g, "Return", PLAY);
    ASSERT_TRUE(g->wait_frames(20));

    // A left click on the floor beside the window: the agent walks there and
    // escapes; 60 ticks later the level is won.
    const Vec3 beside_window = e2e::cell_on_screen("t01", 23, 14);
    ASSERT_GT(beside_window.x, 0);
    const size_t before_walk = g->mark();
    ASSERT_TRUE(g->click(int(beside_window.x), int(beside_window.y)));
    ASSERT_TRUE(g->wait_screen(WON, before_walk)) << g->err().substr(before_walk);
    look(*g, WON);
    go(*g, WIN_CONTINUE, TUTORIALS);

    EXPECT_EQ(exit_code(g->stop(SIGTERM)), 0) << g->err();
    const std::unique_ptr<game> saved = e2e::read_state(dir + "state.dat");
    EXPECT_EQ(saved->state, TUTORIALS);
    EXPECT_EQ(saved->return_state, TUTORIALS);
    EXPECT_STREQ(saved->edit_level.name, "t01");
    // The win screen asked for a rating (none given); it is stored for the level.
    EXPECT_EQ(test::sqlite(dir + "user.db", "select lid, stars, skulls from ratings;"), "t01|0|0\n");
}

// Play -> Escape -> pause -> Quit -> the list it came from; then play ->
// SIGTERM -> the next start resumes at the pause screen over the same level.
TEST_F(Scenario, PauseQuitsToItsListAndAnEndedGameResumesPaused) {
    std::unique_ptr<Game> g = start();
    go(*g, MAIN_TUTORIAL, TUTORIALS);
    go(*g, CORNER_RIGHT, TUTORIALS);  // Next: the second tutorial
    go(*g, LIST_PLAY, INTRO);
    press(*g, "Return", PLAY);
    press(*g, "Escape", PAUSE);
    go(*g, PAUSE_QUIT, TUTORIALS);

    go(*g, LIST_PLAY, INTRO);
    press(*g, "Return", PLAY);
    ASSERT_TRUE(g->wait_frames(30));  // a second of play
    EXPECT_EQ(exit_code(g->stop(SIGTERM)), 0) << g->err();
    const std::unique_ptr<game> ended = e2e::read_state(dir + "state.dat");
    EXPECT_EQ(ended->state, PLAY);
    EXPECT_EQ(ended->return_state, TUTORIALS);
    EXPECT_STREQ(ended->level.name, "t02");
    EXPECT_GT(ended->level.ticks, 0);

    g = start();
    EXPECT_EQ(g->screen(), PAUSE) << g->err();
    EXPECT_EQ(g->err().find("kept as"), std::string::npos) << g->err();
    EXPECT_EQ(exit_code(g->stop(SIGTERM)), 0) << g->err();
    const std::unique_ptr<game> resumed = e2e::read_state(dir + "state.dat");
    EXPECT_EQ(resumed->state, PAUSE);
    EXPECT_STREQ(resumed->level.name, "t02");
    EXPECT_EQ(resumed->level.ticks, ended->level.ticks) << "paused: no tick went by";
    EXPECT_EQ(memcmp(&resumed->level, &ended->level, sizeof(level)), 0) << "the same moment of the same level";
}

// Settings -> volumes moved -> page 1 name and password typed -> Done ->
// settings.dat holds them -> the next start keeps them.
TEST_F(Scenario, SettingsChosenOnScreenAreSavedAndKept) {
    std::unique_ptr<Game> g = start();
    go(*g, MAIN_SETTINGS, SETTINGS);
    looks_like(*g, "settings-volumes");
    ASSERT_TRUE(g->drag(MUSIC_KNOB.x, MUSIC_KNOB.y, 640, MUSIC_KNOB.y));
    ASSERT_TRUE(g->drag(EFFECTS_KNOB.x, EFFECTS_KNOB.y, 200, EFFECTS_KNOB.y));
    go(*g, CORNER_RIGHT, SETTINGS);  // Next: the account page, the name field focused
    ASSERT_TRUE(g->type("Ada Lovelace"));
    ASSERT_TRUE(g->key("Tab"));
    ASSERT_TRUE(g->type("s3cret!pass"));
    go(*g, CORNER_RIGHT, SETTINGS);  // Next: the video page
    go(*g, CORNER_RIGHT, MAIN);      // Done

    EXPECT_EQ(exit_code(g->stop(SIGTERM)), 0) << g->err();
    const settings s = e2e::read_settings(dir + "settings.dat");
    EXPECT_GE(s.music_volume, 75);
    EXPECT_LE(s.music_volume, 90);
    EXPECT_GE(s.effects_volume, 0);
    EXPECT_LE(s.effects_volume, 15);
    EXPECT_STREQ(s.user, "Ada Lovelace");
    EXPECT_STREQ(s.password, "s3cret!pass");
    EXPECT_STREQ(s.user_id, "g:Ada Lovelace");
    EXPECT_EQ(s.video_mode, 960 * 4096 + 720);
    EXPECT_EQ(s.fullscreen, -1);

    g = start();
    EXPECT_EQ(exit_code(g->stop(SIGTERM)), 0) << g->err();
    const settings kept = e2e::read_settings(dir + "settings.dat");
    EXPECT_EQ(memcmp(&kept, &s, sizeof s), 0) << "the next start keeps every choice";
}

}  // namespace
