// The game under valgrind's memcheck for a scripted minute of menus, play and
// the editor, driven by real input as the end-to-end scenarios are: no
// invalid read or write, no use of uninitialised memory, no leak in the
// game's own code. The suppressions (tests/e2e/valgrind.supp) cover only the
// GL driver and the X libraries, each with its reason.
//
// Labelled "valgrind": it takes several minutes, so it runs on demand:
//   (cd build && ctest -L valgrind --output-on-failure)
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "session.h"

namespace {

using e2e::Game;

struct At {
    int x, y;
};
enum {
    MAIN = 1, EDITOR = 2, PLAY = 3, PAUSE = 4, REWIND = 5, INFO = 6, EDIT_MENU = 7, MAPS = 8, TUTORIALS = 9,
    INTRO = 10, SETTINGS = 11, WON = 13, CREDITS = 17
};

// Where a cell of a new map lies in the editor's view (its camera on 64,64).
At map_cell(int x, int y) {
    const Vec3 p = e2e::cell_on_screen(64, 64, 0, EDITOR, x, y);
    return At{int(p.x + 0.5f), int(p.y + 0.5f)};
}

TEST(Valgrind, AMinuteOfMenusPlayAndEditorHasNoMemoryErrors) {
    test::TempDir tmp;
    e2e::Display display(tmp.path());
    ASSERT_TRUE(display.ok());
    const std::string home = tmp.file("home"), dir = home + "/Murkwell/";
    ASSERT_EQ(test::run("mkdir -p '" + dir + "' && echo ok"), "ok\n");
    test::write_file(dir + "settings.dat", e2e::bytes_of(e2e::window_settings()));
    test::write_file(dir + "service.txt", "{\"host\": \"127.0.0.1\", \"port\": 1}\n");

    const std::string log = tmp.file("valgrind.log");
    e2e::GameOptions o;
    o.exe = "/usr/bin/valgrind";
    o.args = {"--tool=memcheck",
              "--error-exitcode=99",
              "--leak-check=full",
              "--show-leak-kinds=definite",
              "--errors-for-leak-kinds=definite",
              "--num-callers=40",
              "--suppressions=" MURKWELL_SOURCE_DIR "/tests/e2e/valgrind.supp",
              "--gen-suppressions=all",
              "--log-file=" + log,
              MURKWELL_BINARY_DIR "/murkwell"};
    o.patience = 10;
    Game g(display, home, o);
    ASSERT_TRUE(g.started()) << g.err() << test::read_file(log);
    // Under memcheck a frame takes most of a second: a click that arrives
    // before the first menu is laid out finds no button under it.
    ASSERT_TRUE(g.wait_frames(2));

    auto tail = [&] {
        const std::string e = g.err();
        return e.substr(e.size() > 2000 ? e.size() - 2000 : 0);
    };
    // Each step waits for the screen it leads to and for that screen's first
    // frames, so the next click finds the new screen laid out. A step that
    // fails ends the script: later input would land on the wrong screen.
    auto go = [&](At at, int screen) {
        const size_t from = g.mark();
        return g.click(at.x, at.y) && g.wait_screen(screen, from) && g.wait_frames(1);
    };
    auto press = [&](const char* key, int screen) {
        const size_t from = g.mark();
        return g.key(key) && g.wait_screen(screen, from) && g.wait_frames(1);
    };

    // Menus: the tutorial list paged both ways, the settings pages, the credits.
    ASSERT_TRUE(go({282, 298}, TUTORIALS)) << "no screen TUTORIALS\n" << tail();
    ASSERT_TRUE(go({840, 680}, TUTORIALS)) << "no screen TUTORIALS\n" << tail();
    ASSERT_TRUE(go({120, 680}, TUTORIALS)) << "no screen TUTORIALS\n" << tail();
    ASSERT_TRUE(go({120, 38}, MAIN)) << "no screen MAIN\n" << tail();
    ASSERT_TRUE(go({677, 428}, SETTINGS)) << "no screen SETTINGS\n" << tail();
    ASSERT_TRUE(g.drag(446, 288, 560, 288, 4));
    ASSERT_TRUE(go({840, 680}, SETTINGS)) << "no screen SETTINGS\n" << tail();
    ASSERT_TRUE(g.type("valgrind"));
    ASSERT_TRUE(go({840, 680}, SETTINGS)) << "no screen SETTINGS\n" << tail();
    ASSERT_TRUE(press("Escape", MAIN)) << "no screen MAIN\n" << tail();
    ASSERT_TRUE(go({480, 672}, CREDITS)) << "no screen CREDITS\n" << tail();
    ASSERT_TRUE(g.wait_frames(30));
    ASSERT_TRUE(press("Escape", MAIN)) << "no screen MAIN\n" << tail();

    // Play: the first tutorial won, then the second paused, rewound and quit.
    ASSERT_TRUE(go({282, 298}, TUTORIALS)) << "no screen TUTORIALS\n" << tail();
    ASSERT_TRUE(go({480, 680}, INTRO)) << "no screen INTRO\n" << tail();
    ASSERT_TRUE(g.wait_frames(20));
    ASSERT_TRUE(press("Return", PLAY)) << "no screen PLAY\n" << tail();
    ASSERT_TRUE(g.wait_frames(20));
    const Vec3 beside_window = e2e::cell_on_screen("t01", 23, 14);
    {
        const size_t from = g.mark();
        ASSERT_TRUE(g.click(int(beside_window.x), int(beside_window.y)));
        ASSERT_TRUE(g.wait_screen(WON, from)) << g.err().substr(from);
    }
    ASSERT_TRUE(g.wait_frames(30));
    ASSERT_TRUE(go({480, 580}, TUTORIALS)) << "no screen TUTORIALS\n" << tail();
    ASSERT_TRUE(go({840, 680}, TUTORIALS)) << "no screen TUTORIALS\n" << tail();
    ASSERT_TRUE(go({480, 680}, INTRO)) << "no screen INTRO\n" << tail();
    ASSERT_TRUE(press("Return", PLAY)) << "no screen PLAY\n" << tail();
    ASSERT_TRUE(g.key("d"));
    ASSERT_TRUE(g.wait_frames(30));
    ASSERT_TRUE(press("Escape", PAUSE)) << "no screen PAUSE\n" << tail();
    {
        const size_t from = g.mark();
        ASSERT_TRUE(go({480, 432}, REWIND)) << "no screen REWIND\n" << tail();
        ASSERT_TRUE(g.wait_err("5 -> 3\n", from)) << "the rewind returns to play";
    }
    ASSERT_TRUE(press("Escape", PAUSE)) << "no screen PAUSE\n" << tail();
    ASSERT_TRUE(go({480, 510}, TUTORIALS)) << "no screen TUTORIALS\n" << tail();
    ASSERT_TRUE(go({120, 38}, MAIN)) << "no screen MAIN\n" << tail();

    // The editor: a new map named on its info screen, a floor drawn with a drag
    // (floor, the palette's second entry, under "nothing"), undone and redone,
    // saved to the list.
    ASSERT_TRUE(go({282, 428}, MAPS)) << "no screen MAPS\n" << tail();
    ASSERT_TRUE(go({840, 38}, INFO)) << "no screen INFO\n" << tail();
    ASSERT_TRUE(g.type("Memcheck"));
    ASSERT_TRUE(press("Escape", EDITOR)) << "no screen EDITOR\n" << tail();
    ASSERT_TRUE(g.click(216, 664));
    {
        const At from_cell = map_cell(60, 60), to_cell = map_cell(68, 60);
        ASSERT_TRUE(g.drag(from_cell.x, from_cell.y, to_cell.x, to_cell.y, 6));
        const size_t from = g.mark();
        ASSERT_TRUE(g.key("ctrl+z"));
        ASSERT_TRUE(g.wait_err("undo: ", from)) << g.err().substr(from);
        ASSERT_TRUE(g.key("ctrl+shift+z"));
        ASSERT_TRUE(g.wait_err("redo: ", from)) << g.err().substr(from);
    }
    ASSERT_TRUE(press("Escape", EDIT_MENU)) << "no screen EDIT_MENU\n" << tail();
    ASSERT_TRUE(go({480, 515}, MAPS)) << "no screen MAPS\n" << tail();
    ASSERT_TRUE(go({120, 38}, MAIN)) << "no screen MAIN\n" << tail();

    // Quit from the main menu: the game ends by itself and valgrind reports.
    ASSERT_TRUE(g.click(677, 559));
    const int status = g.wait_exit();
    const std::string report = test::read_file(log);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << "\n" << report;
    EXPECT_NE(report.find("ERROR SUMMARY: 0 errors from 0 contexts"), std::string::npos) << report;
    const size_t heap = report.rfind("HEAP SUMMARY");
    printf("%s\n", report.substr(heap == std::string::npos ? 0 : heap).c_str());
}

}  // namespace
