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
#include "tests/server/server_process.h"
#include "world/editing.h"

namespace {

using e2e::Game;

// Where the screens put their controls on the 960 x 720 canvas.
struct At {
    int x, y;
};
const At MAIN_TUTORIAL{282, 298}, MAIN_PLAY{677, 298}, MAIN_BUILD{282, 428}, MAIN_SETTINGS{677, 428};
const At LIST_MENU{120, 38}, LIST_PLAY{480, 680}, CORNER_RIGHT{840, 680}, CORNER_LEFT{120, 680};
const At PAUSE_QUIT{480, 510};
const At WIN_CONTINUE{480, 580}, WIN_FOURTH_STAR{672, 398};
const At MUSIC_KNOB{446, 288}, EFFECTS_KNOB{446, 364};
const At MAPS_NEW{840, 38}, MAPS_DELETE{120, 680}, ASK_CANCEL{310, 427}, ASK_DELETE{647, 427};
const At EDIT_MENU_SHARE{480, 437}, EDIT_MENU_SAVE{480, 515}, SHARE_PLAY{480, 403}, SHARE_EVERYONE{480, 348};
const At ONLINE_TITLE{600, 38}, CATEGORY_NEWEST{480, 359}, ONLINE_PLAY{840, 680}, ONLINE_REFRESH{120, 680};
const At SIGN_IN{730, 559};

enum {
    MAIN = 1, EDITOR = 2, PLAY = 3, PAUSE = 4, INFO = 6, EDIT_MENU = 7, MAPS = 8, TUTORIALS = 9,
    INTRO = 10, SETTINGS = 11, CATEGORIES = 12, WON = 13, ONLINE = 14, SHARE = 15, SIGN_IN_DIALOG = 16
};

// Tiles of the shipped catalogue.
const int FLOOR = 1, PLAYER = 4, WINDOW = 6, WALL = 32, CRATE = 35;

// The palette cell of a tile along the editor's bottom edge: two rows of
// 48-unit cells from x 192, entry 2c + r in column c, row r.
At palette(int tile) {
    std::unique_ptr<game> g(new game());
    set_data_dir(test::source_data_dir());
    test::stderr_of([&] { _game_tile_init(*g); });
    set_data_dir("");
    const int n = build_palette_order(*g);
    for (int i = 0; i < n; ++i)
        if (palette_order[i] == tile) return At{192 + 48 * (i / 2) + 24, i % 2 ? 664 : 616};
    return At{-1, -1};
}

// A cell of a new map in the editor (its camera looks at the middle, 64,64).
At map_cell(int x, int y) {
    const Vec3 p = e2e::cell_on_screen(64, 64, 0, EDITOR, x, y);
    return At{int(p.x + 0.5f), int(p.y + 0.5f)};
}

// The same cell while the map is played from its start (the camera on the
// agent at 64,64, at the zoom play starts with).
At played_cell(int x, int y) {
    const Vec3 p = e2e::cell_on_screen(64, 64, 12.5f, PLAY, x, y);
    return At{int(p.x + 0.5f), int(p.y + 0.5f)};
}

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

    // One stroke of the left button through the given cells.
    void stroke(Game& g, std::vector<At> cells) {
        ASSERT_TRUE(g.move(cells[0].x, cells[0].y));
        ASSERT_TRUE(g.xdo({"mousedown", "1"}));
        for (size_t i = 1; i < cells.size(); ++i) ASSERT_TRUE(g.move(cells[i].x, cells[i].y));
        ASSERT_TRUE(g.xdo({"mouseup", "1"}));
    }
    void choose(Game& g, int tile) {
        const At at = palette(tile);
        ASSERT_GT(at.x, 0) << "tile " << tile << " is not in the palette";
        ASSERT_TRUE(g.click(at.x, at.y));
    }
    // A new map with its texts, painted as a room of walls with floor inside
    // (the map's own 3 x 3 floor and agent at 64,64 stay), and a window in its
    // east wall at 68,64, beside the floor the agent can reach.
    void build_room(Game& g, const std::string& title, const std::string& intro) {
        go(g, MAPS_NEW, INFO);
        ASSERT_TRUE(g.type(title));
        ASSERT_TRUE(g.key("Tab"));
        ASSERT_TRUE(g.type(intro));
        go(g, CORNER_RIGHT, INFO);  // Next: the bomb allowances
        go(g, CORNER_RIGHT, EDITOR);  // Done
        choose(g, WALL);
        stroke(g, {map_cell(60, 60), map_cell(68, 60), map_cell(68, 68), map_cell(60, 68), map_cell(60, 60)});
        choose(g, FLOOR);
        std::vector<At> zigzag;
        for (int y = 61; y <= 67; ++y) {
            zigzag.push_back(map_cell(y % 2 ? 61 : 67, y));
            zigzag.push_back(map_cell(y % 2 ? 67 : 61, y));
        }
        stroke(g, zigzag);
        choose(g, PLAYER);  // the floor covered the agent's start
        const At start = map_cell(64, 64);
        ASSERT_TRUE(g.click(start.x, start.y));
        choose(g, WINDOW);
        const At window = map_cell(68, 64);
        ASSERT_TRUE(g.click(window.x, window.y));
    }

    // The tiles of a map stored in a level database, decoded by the game's
    // own loader from the row's compressed data.
    std::unique_ptr<game> stored_map(const std::string& db_path, const std::string& where) {
        std::unique_ptr<game> g(new game());
        MyDB db;
        db.db_open(db_path, true);
        const std::vector<Row> rows = db.query("select id from levels where " + where);
        EXPECT_EQ(rows.size(), 1u) << where;
        if (rows.size() == 1) test::stderr_of([&] { logic_load(*g, db, rows[0].at("id")); });
        return g;
    }
    static int tile(const game& g, int x, int y) { return g.edit_level.map[x + 128 * y]; }
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

// Build -> New -> title and intro typed on the info screen -> Done -> a room
// painted with drags, undo, redo -> Escape -> Save & Quit -> the map list
// shows it, saved today -> Delete -> Cancel -> Delete -> gone.
TEST_F(Scenario, AMapBuiltSavedListedAndDeleted) {
    std::unique_ptr<Game> g = start();
    go(*g, MAIN_BUILD, MAPS);
    build_room(*g, "The Vault", "Walls all round; the window is the way out.");
    // A crate, then both steps undone and the window's step redone.
    choose(*g, CRATE);
    const At corner = map_cell(62, 62);
    ASSERT_TRUE(g->click(corner.x, corner.y));
    size_t from = g->mark();
    ASSERT_TRUE(g->key("ctrl+z"));
    ASSERT_TRUE(g->key("ctrl+z"));
    ASSERT_TRUE(g->wait_err("undo: 68 64 32\n", from)) << g->err().substr(from);
    EXPECT_NE(g->err().find("undo: 62 62 1\n", from), std::string::npos);
    ASSERT_TRUE(g->key("ctrl+shift+z"));
    ASSERT_TRUE(g->wait_err("redo: 68 64 6\n", from)) << g->err().substr(from);

    press(*g, "Escape", EDIT_MENU);
    go(*g, EDIT_MENU_SAVE, MAPS);
    // The list opens on the new map, marked as chosen (its frame's blue).
    ASSERT_TRUE(e2e::eventually([&] { return g->pixel(*display, 1, 150) == std::vector<int>{85, 170, 255}; }))
        << "no entry in the map list";
    const std::string user_db = dir + "user.db";
    EXPECT_EQ(test::sqlite(user_db, "select title, intro, q is null, date(ts, 'unixepoch', 'localtime') = "
                                    "date('now', 'localtime') from levels;"),
              "The Vault|Walls all round; the window is the way out.|1|1\n");
    {
        const std::unique_ptr<game> saved = stored_map(user_db, "title = 'The Vault'");
        for (int i = 60; i <= 68; ++i) {
            EXPECT_EQ(tile(*saved, i, 60), WALL) << i;
            EXPECT_EQ(tile(*saved, i, 68), WALL) << i;
            EXPECT_EQ(tile(*saved, 60, i), WALL) << i;
            if (i != 64) {
                EXPECT_EQ(tile(*saved, 68, i), WALL) << i;
            }
        }
        for (int y = 61; y <= 67; ++y)
            for (int x = 61; x <= 67; ++x) {
                if (x != 64 || y != 64) {
                    EXPECT_EQ(tile(*saved, x, y), FLOOR) << x << "," << y;
                }
            }
        EXPECT_EQ(tile(*saved, 64, 64), PLAYER);
        EXPECT_EQ(tile(*saved, 68, 64), WINDOW) << "redone";
        EXPECT_EQ(tile(*saved, 62, 62), FLOOR) << "the crate was undone";
        EXPECT_STREQ(saved->edit_level.title, "The Vault");
    }

    // Delete asks first; Cancel keeps the map.
    ASSERT_TRUE(g->click(MAPS_DELETE.x, MAPS_DELETE.y));
    ASSERT_TRUE(e2e::eventually([&] { return g->pixel(*display, 1, 150) != std::vector<int>{85, 170, 255}; }))
        << "no question over the list";
    ASSERT_TRUE(g->click(ASK_CANCEL.x, ASK_CANCEL.y));
    ASSERT_TRUE(e2e::eventually([&] { return g->pixel(*display, 1, 150) == std::vector<int>{85, 170, 255}; }));
    EXPECT_EQ(test::sqlite(user_db, "select count(*) from levels where q is null;"), "1\n");
    ASSERT_TRUE(g->click(MAPS_DELETE.x, MAPS_DELETE.y));
    ASSERT_TRUE(e2e::eventually([&] { return g->pixel(*display, 1, 150) != std::vector<int>{85, 170, 255}; }));
    go(*g, ASK_DELETE, MAPS);
    ASSERT_TRUE(g->wait_frames(30));
    EXPECT_EQ(g->pixel(*display, 1, 150), (std::vector<int>{0, 0, 0})) << "the list is empty";
    EXPECT_EQ(test::sqlite(user_db, "select q from levels;"), "deleted\n") << "kept, marked deleted";
    EXPECT_EQ(exit_code(g->stop(SIGTERM)), 0) << g->err();
}

// With a local level service: a wrong password (the dialog shows the service's
// text), then the right one; a map won cleanly and shared; Play -> Newest shows
// it; played, rated 4 stars; the next download carries the rating.
TEST_F(Scenario, SignInShareDownloadPlayAndRateOnALevelService) {
    servertest::ServerProcess service(tmp.path());
    ASSERT_TRUE(service.start()) << service.log();
    const servertest::Reply made = servertest::round_trip(
        service.port(),
        servertest::post("/murkwell/manage.php", "do=create&name=ann&password=secret1&password2=secret1",
                         service.port()));
    ASSERT_LT(made.status, 400) << made.head;
    test::write_file(dir + "service.txt",
                     "{\"host\": \"127.0.0.1\", \"port\": " + std::to_string(service.port()) + "}\n");
    settings s = e2e::window_settings();
    snprintf(s.user, sizeof s.user, "ann");
    snprintf(s.password, sizeof s.password, "wrong");
    write_settings(s);

    std::unique_ptr<Game> g = start();
    // The start-up check of the account fails: the sign-in dialog, with the
    // service's words, over the main menu. The right password signs in.
    ASSERT_TRUE(g->wait_screen(SIGN_IN_DIALOG)) << g->err();
    ASSERT_TRUE(g->wait_frames(10));
    ASSERT_TRUE(g->type("secret1"));  // the password field has the focus, its text chosen
    go(*g, SIGN_IN, MAIN);
    ASSERT_TRUE(servertest::eventually([&] { return service.log().find("valid 200") != std::string::npos; }))
        << service.log();

    // A map won cleanly, then shared.
    go(*g, MAIN_BUILD, MAPS);
    build_room(*g, "Shared Vault", "One way out.");
    press(*g, "Escape", EDIT_MENU);
    go(*g, EDIT_MENU_SHARE, SHARE);
    go(*g, SHARE_PLAY, INTRO);
    ASSERT_TRUE(g->wait_frames(20));
    press(*g, "Return", PLAY);
    ASSERT_TRUE(g->wait_frames(20));
    const At beside_window = played_cell(67, 64);
    size_t walk = g->mark();
    ASSERT_TRUE(g->click(beside_window.x, beside_window.y));
    ASSERT_TRUE(g->wait_screen(WON, walk)) << g->err().substr(walk);
    ASSERT_TRUE(g->wait_frames(30));
    press(*g, "Return", SHARE);  // any key goes on; one's own map is not rated
    ASSERT_TRUE(g->wait_frames(10));
    go(*g, SHARE_EVERYONE, EDITOR);
    ASSERT_TRUE(servertest::eventually([&] { return service.admin("levels").find("Shared Vault") != std::string::npos; }))
        << service.log();
    press(*g, "Escape", EDIT_MENU);
    go(*g, EDIT_MENU_SAVE, MAPS);
    go(*g, LIST_MENU, MAIN);

    // Play -> the featured list -> its title -> the categories -> Newest.
    go(*g, MAIN_PLAY, ONLINE);
    go(*g, ONLINE_TITLE, CATEGORIES);
    go(*g, CATEGORY_NEWEST, ONLINE);
    const std::string net_db = dir + "net.db";
    ASSERT_TRUE(e2e::eventually([&] {
        return test::sqlite(net_db, "select title from levels where q = 'c~newest';") == "Shared Vault\n";
    })) << service.log();
    ASSERT_TRUE(g->wait_frames(10));  // the list is rebuilt in the frame that stores the download

    // Played from the list, won, rated four stars.
    go(*g, ONLINE_PLAY, INTRO);
    ASSERT_TRUE(g->wait_frames(20));
    press(*g, "Return", PLAY);
    ASSERT_TRUE(g->wait_frames(20));
    walk = g->mark();
    ASSERT_TRUE(g->click(beside_window.x, beside_window.y));
    ASSERT_TRUE(g->wait_screen(WON, walk)) << g->err().substr(walk);
    look(*g, WON);
    ASSERT_TRUE(g->wait_frames(30));
    ASSERT_TRUE(g->click(WIN_FOURTH_STAR.x, WIN_FOURTH_STAR.y));
    go(*g, WIN_CONTINUE, ONLINE);
    ASSERT_TRUE(servertest::eventually([&] { return service.admin("levels").find("stars 4.00") != std::string::npos; }))
        << service.admin("levels") << service.log();

    // The next download of the list carries the rating.
    ASSERT_TRUE(g->click(ONLINE_REFRESH.x, ONLINE_REFRESH.y));
    ASSERT_TRUE(e2e::eventually([&] {
        return test::sqlite(net_db, "select title, stars from levels where q = 'c~newest';") == "Shared Vault|4.0\n";
    })) << test::sqlite(net_db, "select title, stars from levels;");
    EXPECT_EQ(test::sqlite(dir + "user.db", "select count(*) from ratings where stars = 4;"), "1\n");

    EXPECT_EQ(exit_code(g->stop(SIGTERM)), 0) << g->err();
    // The dialog showed the service's own words.
    const std::unique_ptr<game> saved = e2e::read_state(dir + "state.dat");
    EXPECT_STREQ(saved->error_text,
                 "The password does not match this account. Enter it again, or change it on the account page.");
    EXPECT_EQ(g->err().find("-> 16", g->err().find("-> 16") + 1), std::string::npos) << "signed in once right";
    EXPECT_EQ(service.terminate(), 0) << service.log();
}

}  // namespace
