// The real game under a private Xvfb, worked with xdotool as a level designer
// works it: a tile chosen in the palette, a drag across the map, a click, Ctrl+Z.
// The window's cells are found with the renderer's own camera. SIGTERM keeps
// the map being painted and its undo history in state.dat; the next start
// redoes the step with Ctrl+Shift+Z.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/game.h"
#include "core/state.h"
#include "gfx/world_draw.h"
#include "platform/canvas.h"
#include "platform/driver.h"
#include "test_support.h"
#include "world/model.h"

namespace {

struct Point {
    int x, y;
};

std::unique_ptr<game> read_state(const std::string& path) {
    std::unique_ptr<game> g(new game());
    const std::string bytes = test::read_file(path);
    memcpy(g.get(), bytes.data(), std::min(bytes.size(), sizeof(game)));
    return g;
}

// Where a cell's centre appears in the 960 x 720 window of the editor showing
// `g` (camera_setup with the live level a copy of the map, as each frame makes it).
Point cell_on_screen(const game& saved, int x, int y) {
    std::unique_ptr<game> g(new game(saved));
    g->level = g->edit_level;
    g->state = STATE_EDIT;
    driver().width = 960;
    driver().height = 720;
    canvas().canvas_w = 960;
    canvas().canvas_h = 720;
    camera_setup(*g, 0);
    const Vec3 p = project_to_window(Vec3{float(x) + 0.5f, 1.25f, float(y) + 0.5f});
    driver().width = driver().height = 0;
    return Point{int(p.x + 0.5f), int(p.y + 0.5f)};
}

void xdo(const std::string& args) {
    ASSERT_EQ(system(("xdotool " + args + " >/dev/null").c_str()), 0) << args;
}

int floor_cells(const level& lv) {
    int n = 0;
    for (int y = MAP_MIN; y <= MAP_MAX; ++y)
        for (int x = MAP_MIN; x <= MAP_MAX; ++x) n += lv.map[cell_index(x, y)] == 1;
    return n;
}

TEST(EditorDisplay, PaintedWithThePointerKeptThroughSigtermAndUndoneAcrossStarts) {
    test::Xvfb x;
    ASSERT_TRUE(x.ok());
    test::TempDir home;
    const std::string dir = home.path() + "/Murkwell";
    mkdir(dir.c_str(), 0700);
    std::unique_ptr<game> start(new game());
    new_level(*start);
    start->version = 1;
    start->state = STATE_EDIT;
    test::write_file(dir + "/state.dat",
                     std::string(reinterpret_cast<const char*>(start.get()), sizeof(game)));
    settings s{};
    s.version = 1;
    s.video_mode = 960 * 4096 + 720;
    s.fullscreen = -1;
    test::write_file(dir + "/settings.dat", std::string(reinterpret_cast<const char*>(&s), sizeof s));

    const Point a = cell_on_screen(*start, 59, 60), b = cell_on_screen(*start, 68, 62);
    const Point c = cell_on_screen(*start, 61, 67);
    int steps = 0;
    {
        test::GameProcess game_run(home.path());
        ASSERT_TRUE(game_run.wait_for_stderr("sizeof(game) = 208k")) << game_run.err();
        xdo("search --sync --name Murkwell");
        // The floor: palette column 0, row 1 (the palette stands on the bottom
        // edge, two rows of 48 over a help line 32 high).
        xdo("mousemove 216 664 click 1");
        xdo("mousemove " + std::to_string(a.x) + " " + std::to_string(a.y) + " mousedown 1");
        xdo("mousemove " + std::to_string(b.x) + " " + std::to_string(b.y) + " mouseup 1");
        xdo("mousemove " + std::to_string(c.x) + " " + std::to_string(c.y) + " click 1");
        xdo("key ctrl+z");
        // Events are handled in order: the undo's line means all went in.
        ASSERT_TRUE(game_run.wait_for_stderr("undo: 61 67 0\n", 20)) << game_run.err();
        const int status = game_run.stop(SIGTERM);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    std::unique_ptr<game> saved = read_state(dir + "/state.dat");
    EXPECT_EQ(saved->state, STATE_EDIT);
    const level& map = saved->edit_level;
    EXPECT_EQ(map.map[cell_index(59, 60)], 1);
    EXPECT_EQ(map.map[cell_index(68, 62)], 1);
    EXPECT_EQ(map.map[cell_index(61, 67)], 0) << "undone";
    steps = saved->undo_pos;
    EXPECT_GE(steps, 10) << "every cell of the drag from one end to the other";
    EXPECT_EQ(floor_cells(map), 8 + steps) << "one step per painted cell beside the new map's floor";
    const UndoStep& next = saved->undo_ring[steps % 128];
    EXPECT_EQ(next.seq, steps) << "the undone step can be redone";
    EXPECT_EQ(next.x, 61);
    EXPECT_EQ(next.y, 67);

    {
        test::GameProcess game_run(home.path());
        ASSERT_TRUE(game_run.wait_for_stderr("sizeof(game) = 208k")) << game_run.err();
        xdo("search --sync --name Murkwell");
        xdo("mousemove 480 300 key ctrl+shift+z");
        ASSERT_TRUE(game_run.wait_for_stderr("redo: 61 67 1\n", 20)) << game_run.err();
        const int status = game_run.stop(SIGTERM);
        ASSERT_TRUE(WIFEXITED(status));
    }
    saved = read_state(dir + "/state.dat");
    EXPECT_EQ(saved->edit_level.map[cell_index(61, 67)], 1);
    EXPECT_EQ(saved->undo_pos, steps + 1);
}

}  // namespace
