// The map editor and its menu, info and share screens driven headless through
// the real dispatcher: events into app_event, app_frame and the current
// screen's paint as the main loop calls them. Cells are painted by pointing at
// them: a cell's centre is projected to window pixels with the renderer's own
// camera (the matrices of the last paint), so every stroke goes through the
// editor's real picking. Saved maps land in a real user.db, read back with the
// sqlite3 shell and inflated with Python's zlib.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "../ui/test_gfx.h"
#include "screen_driver.h"
#include "core/app.h"
#include "core/fixed_text.h"
#include "core/state.h"
#include "gfx/world_draw.h"
#include "net/web.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "screens/edit.h"
#include "screens/edit_info.h"
#include "screens/states.h"
#include "test_support.h"
#include "ui/play_widgets.h"
#include "ui/text_input.h"
#include "world/ascii.h"
#include "world/catalogue.h"
#include "world/editing.h"
#include "world/hooks.h"
#include "world/model.h"
#include "world/rewind.h"
#include "world/rules.h"
#include "world/storage.h"

namespace {

// Shipped tile numbers (data/tiles.json) used below.
enum : int {
    T_NONE = 0, T_FLOOR = 1, T_DARK = 2, T_PLAYER = 4, T_GUARD = 5, T_WINDOW = 6,
    T_CARTRIDGE = 17, T_ARROW1 = 21, T_ARROW3 = 23, T_WALL = 32,
};

const AsciiLegend& legend() {
    static const AsciiLegend L = {
        {'_', T_NONE}, {'.', T_FLOOR}, {'@', T_PLAYER}, {'W', T_WINDOW}, {'$', T_CARTRIDGE},
        {'#', T_WALL},
    };
    return L;
}

void walk(Widget* w, const std::function<void(Widget*)>& f) {
    f(w);
    if (Container* c = dynamic_cast<Container*>(w))
        for (Widget* k : c->children) walk(k, f);
}

// The texts of every label of a tree, in tree order.
std::vector<std::string> label_texts(Widget* root) {
    std::vector<std::string> out;
    walk(root, [&](Widget* w) {
        if (const Label* l = dynamic_cast<const Label*>(w)) out.push_back(l->text);
    });
    return out;
}

bool has_label(Widget* root, const std::string& text) {
    for (const std::string& t : label_texts(root))
        if (t == text) return true;
    return false;
}

// The button (its click box) whose label reads `text`, or null.
Widget* button(Widget* root, const std::string& text) {
    Widget* found = nullptr;
    walk(root, [&](Widget* w) {
        const Box* b = dynamic_cast<const Box*>(w);
        const Label* l = b ? dynamic_cast<const Label*>(b->child()) : nullptr;
        if (!found && l && l->text == text && w->click_value != 0) found = w;
    });
    return found;
}

struct EditorTest : test::ScreenDriver {
    void SetUp() override {
        test::ScreenDriver::SetUp();
        reset_editor_globals();
    }
    void TearDown() override {
        test::ScreenDriver::TearDown();
        reset_editor_globals();
    }
    void reset_editor_globals() {
        top_view = 0;
        selected_tile = 0;
        palette_built = false;
        info_page = 0;
    }

    // Lays the current screen out as its paint does, without a frame passing.
    void layout() {
        fake.rec().calls.clear();
        logged([&] {
            if (State* s = current_state(*g)) s->paint();
        });
    }
    // A click on a widget where the current screen's layout puts it.
    void press(Widget* w) {
        layout();
        click(w);
    }

    Edit& editor() { return *static_cast<Edit*>(state_table[STATE_EDIT]); }
    level& ed() { return g->edit_level; }
    int tile(int x, int y) { return ed().map[cell_index(x, y)]; }

    // A new map in the editor, its camera current.
    void open_editor() {
        logged([&] {
            new_level(*g);
            clear_undo(*g);
            set_state(*g, STATE_EDIT);
        });
        frames();
    }
    // The look point and zoom of the view, settled and painted.
    void look_at(float x, float y, float zoom = 0) {
        ed().look_x = x;
        ed().look_y = y;
        ed().cam_dist = ed().zoom_target = zoom;
        frames();
    }
    // The window point of a cell's centre at pointer height, by the renderer's
    // camera of the last paint; it must lie on the open map, clear of the tools.
    Vec3 on_screen(int x, int y) {
        const Vec3 p = project_to_window(Vec3{float(x) + 0.5f, 1.25f, float(y) + 0.5f});
        EXPECT_TRUE(p.x > 100 && p.x < 860 && p.y > 60 && p.y < 585)
            << "cell " << x << "," << y << " is at " << p.x << "," << p.y;
        return p;
    }
    // A left press and release on a cell.
    void press_cell(int x, int y) {
        const Vec3 p = on_screen(x, y);
        mouse(EV_MOUSEMOVE, p.x, p.y, 0, p.x - pointer_x, p.y - pointer_y);
        mouse(EV_MOUSEDOWN, p.x, p.y, 1);
        mouse(EV_MOUSEUP, p.x, p.y, 1);
    }
    // One motion with the left button held from where the pointer is to (px, py).
    void drag_to(float px, float py) { mouse(EV_MOUSEMOVE, px, py, 1, px - pointer_x, py - pointer_y); }
    void choose(int t) {
        Widget* cell = find(&editor().root, std::to_string(t));
        ASSERT_NE(cell, nullptr) << "tile " << t << " is not in the palette";
        press(cell);
        ASSERT_EQ(selected_tile, t);
    }
    void undo(uint32_t mods = MOD_CTRL) { key(KEY_Z, 0, mods); }
    void redo(uint32_t mods = MOD_CTRL) { key(KEY_Z, 0, mods | MOD_SHIFT); }

    // Every cell outside the playable area still holds the frame's tile.
    bool frame_intact() {
        for (int y = 0; y < MAP_SIZE; ++y)
            for (int x = 0; x < MAP_SIZE; ++x)
                if (!in_play(x, y) && tile(x, y) != T_WALL) return false;
        return true;
    }
    std::string map_bytes() { return std::string(reinterpret_cast<const char*>(ed().map), sizeof ed().map); }
};

TEST_F(EditorTest, ToolsArePlacedAndThePaletteFollowsTheCatalogue) {
    open_editor();
    Edit& e = editor();
    ASSERT_EQ(e.root.children.size(), 6u);
    struct Placed {
        int x, y, w, h;
    };
    const Placed want[5] = {{0, 591, 960, 129}, {0, 0, 0, 0}, {0, 624, 96, 96}, {96, 624, 96, 96},
                            {72, 595, 48, 48}};
    for (int i = 0; i < 5; ++i) {
        if (i == 1) continue;  // the "||" label is as large as its text
        const Rect r = screen_rect(e.root.children[size_t(i)]);
        EXPECT_EQ(int(r.x), want[i].x) << i;
        EXPECT_EQ(int(r.y), want[i].y) << i;
        EXPECT_EQ(int(r.w), want[i].w) << i;
        EXPECT_EQ(int(r.h), want[i].h) << i;
    }
    EXPECT_EQ(e.root.children[0]->styles[STYLE_CURRENT].image_alpha, 34);
    const Label* menu = dynamic_cast<const Label*>(e.root.children[1]);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->text, "||");
    EXPECT_EQ(menu->x, 0);
    EXPECT_EQ(menu->y, 0);
    for (int i : {2, 3}) {
        const WRotate* r = dynamic_cast<const WRotate*>(e.root.children[size_t(i)]);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->level, &g->edit_level) << "the turns act on the map being edited";
        EXPECT_EQ(r->dir, i == 2 ? -1 : 1);
    }
    EXPECT_EQ(e.root.children[4]->down_value, Edit::VIEW);

    // The palette: 16 columns of 48 from x 192, on the canvas's bottom edge,
    // every shipped editor tile once, by category and then by number.
    ASSERT_EQ(e.root.children[5], e.palette);
    EXPECT_EQ(e.palette->x, 192);
    EXPECT_EQ(e.palette->w, 768);
    EXPECT_EQ(e.palette->y + e.palette->h, 720);
    std::set<int> offered;
    for (int i = 0; i < 32; ++i) {
        const int t = palette_order[i];
        Widget* cell = find(&e.root, std::to_string(t));
        ASSERT_NE(cell, nullptr) << i;
        const Rect r = screen_rect(cell);
        EXPECT_EQ(int(r.x), 192 + 48 * (i / 2)) << i;
        EXPECT_EQ(int(r.y), e.palette->y + 48 * (i % 2)) << i;
        EXPECT_EQ(int(r.w), 48);
        EXPECT_EQ(cell->down_value, 100 + t);
        EXPECT_EQ(cell->styles[STYLE_BASE].image,
                  uitest::fake_image_get(std::string("icon-") + tile_name(*g, t)));
        EXPECT_TRUE(offered.insert(t).second) << "tile " << t << " twice";
        if (i > 0) {
            const int a = tile_at(*g, palette_order[i - 1]).editor, b = tile_at(*g, t).editor;
            EXPECT_TRUE(a < b || (a == b && palette_order[i - 1] < t)) << i;
        }
    }
    for (int t = 0; t < 256; ++t) {
        const int cat = tile_at(*g, t).editor;
        EXPECT_EQ(offered.count(t) == 1, cat >= 1 && cat <= 7) << "tile " << t;
    }
    EXPECT_EQ(palette_order[32], 0);
    Widget* help = find(&e.root, "help");
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(static_cast<Label*>(help)->text, tile_help(*g, 0));

    // Choosing a tile moves the selected look and replaces the help line; it
    // paints nothing.
    choose(T_WALL);
    EXPECT_EQ(find(&e.root, "0")->selected, 0);
    EXPECT_EQ(find(&e.root, "32")->selected, 1);
    help = find(&e.root, "help");
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(static_cast<Label*>(help)->text, tile_help(*g, T_WALL));
    std::vector<int> alphas;
    for (int i = 0; i < 3; ++i) {
        frames();
        alphas.push_back(find(&e.root, "32")->styles[STYLE_CURRENT].overlay_alpha);
    }
    EXPECT_EQ(alphas, (std::vector<int>{36, 72, 85}));
    EXPECT_EQ(find(&e.root, "0")->styles[STYLE_CURRENT].overlay_alpha, 0);
    EXPECT_EQ(g->undo_pos, 0);
    EXPECT_EQ(e.palette->y + e.palette->h, 720) << "still on the bottom edge";

    // The choice outlives the screen: entering again shows it selected.
    key(KEY_ESCAPE);
    key(KEY_ESCAPE);
    ASSERT_EQ(g->state, STATE_EDIT);
    EXPECT_EQ(find(&editor().root, "32")->selected, 1);
}

TEST_F(EditorTest, PaintingRecordsOneStepPerChangedCell) {
    open_editor();
    choose(T_FLOOR);
    ed().unbeaten = 0;
    press_cell(60, 62);
    EXPECT_EQ(tile(60, 62), T_FLOOR);
    ASSERT_EQ(g->undo_pos, 1);
    const UndoStep& s = g->undo_ring[0];
    EXPECT_EQ(s.seq, 0);
    EXPECT_EQ(s.x, 60);
    EXPECT_EQ(s.y, 62);
    EXPECT_EQ(s.old_tile, T_NONE);
    EXPECT_EQ(s.new_tile, T_FLOOR);
    EXPECT_EQ(ed().unbeaten, 1);
    EXPECT_FLOAT_EQ(ed().cursor_x, 60);
    EXPECT_FLOAT_EQ(ed().cursor_y, 62);

    // The same tile again, a drag to and fro inside the cell, and the floor of
    // the new map record nothing.
    press_cell(60, 62);
    const Vec3 p = on_screen(60, 62);
    mouse(EV_MOUSEDOWN, p.x, p.y, 1);
    for (int i = 0; i < 12; ++i) drag_to(p.x + float(i % 3 - 1) * 4, p.y + float(i % 2) * 3);
    mouse(EV_MOUSEUP, p.x, p.y, 1);
    press_cell(64, 63);
    EXPECT_EQ(g->undo_pos, 1);

    // Moving without the left button, or with another button as well, paints
    // nothing; the middle button alone neither.
    const Vec3 q = on_screen(61, 66);
    mouse(EV_MOUSEMOVE, q.x, q.y, 0, q.x - pointer_x, q.y - pointer_y);
    mouse(EV_MOUSEMOVE, q.x + 2, q.y, 1 | 4, 2, 0);
    mouse(EV_MOUSEMOVE, q.x + 4, q.y, 2, 2, 0);
    EXPECT_EQ(tile(61, 66), T_NONE);

    // The cursor cell (the last cell pointed at with the left button) and the
    // count of actors (the agent of the new map) in the top-right corner,
    // right-aligned at 950.
    press_cell(60, 62);
    frames();
    std::vector<uitest::Call> lines = texts(1);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "60,62");
    EXPECT_EQ(lines[1].text, "1/64");
    EXPECT_FLOAT_EQ(lines[0].ax() + uitest::width_of("60,62"), 950);
    EXPECT_FLOAT_EQ(lines[0].ay(), 10);
    EXPECT_FLOAT_EQ(lines[1].ay(), 10 + uitest::LINE + 10);

    // A guard painted stands on its cell in the live level, which the frame
    // rebuilds from the map; the map itself keeps the guard's tile.
    choose(T_GUARD);
    press_cell(61, 62);
    frames();
    EXPECT_EQ(tile(61, 62), T_GUARD);
    EXPECT_NE(g->level.map[cell_index(61, 62)], T_GUARD) << "the live level shows ground there";
    const actor* guard = find_actor(*g, ACTOR_GUARD);
    ASSERT_NE(guard, nullptr);
    EXPECT_EQ(cell_under_x(*guard), 61);
    EXPECT_EQ(cell_under_y(*guard), 62);
    EXPECT_EQ(texts(1)[1].text, "2/64");
    EXPECT_EQ(g->level.started, 0) << "set up without the start of play";
}

TEST_F(EditorTest, TheFrameAroundTheMapIsNeverPainted) {
    open_editor();
    choose(T_FLOOR);
    // Each corner of the map, looked at from nearby: the cells of the frame
    // stay as they are, the first playable cell takes the paint.
    struct Corner {
        float lx, ly;
        std::vector<std::pair<int, int>> frame;
        std::pair<int, int> inside;
    };
    const Corner corners[] = {
        {8, 8, {{3, 8}, {8, 3}, {2, 2}, {3, 3}, {0, 5}}, {4, 4}},
        {120, 120, {{124, 118}, {118, 124}, {125, 125}, {124, 124}, {127, 122}}, {123, 123}},
        {120, 8, {{124, 6}, {120, 3}, {126, 1}}, {123, 4}},
    };
    for (const Corner& c : corners) {
        look_at(c.lx, c.ly);
        const std::string before = map_bytes();
        const int pos = g->undo_pos;
        for (const auto& cell : c.frame) press_cell(cell.first, cell.second);
        EXPECT_EQ(map_bytes(), before);
        EXPECT_EQ(g->undo_pos, pos);
        // A drag across the frame into the map paints only the playable part.
        const Vec3 a = on_screen(c.frame[0].first, c.frame[0].second);
        const Vec3 b = on_screen(c.inside.first, c.inside.second);
        mouse(EV_MOUSEMOVE, a.x, a.y, 0, a.x - pointer_x, a.y - pointer_y);
        mouse(EV_MOUSEDOWN, a.x, a.y, 1);
        drag_to(b.x, b.y);
        mouse(EV_MOUSEUP, b.x, b.y, 1);
        EXPECT_EQ(tile(c.inside.first, c.inside.second), T_FLOOR);
        EXPECT_TRUE(frame_intact());
    }
}

TEST_F(EditorTest, AFastDragPaintsEveryCellOfTheLine) {
    const int segments[][4] = {
        {57, 60, 70, 66}, {60, 70, 60, 58}, {58, 58, 69, 69}, {70, 60, 57, 61}, {62, 68, 66, 67},
    };
    for (const auto& s : segments) {
        open_editor();
        look_at(64, 64, 10);
        choose(T_DARK);
        const Vec3 a = on_screen(s[0], s[1]);
        const Vec3 b = on_screen(s[2], s[3]);
        // The pointer rests on A, then one motion with the left button held
        // jumps to B: both ends come from that one event.
        mouse(EV_MOUSEMOVE, a.x, a.y, 0, a.x - pointer_x, a.y - pointer_y);
        drag_to(b.x, b.y);
        mouse(EV_MOUSEUP, b.x, b.y, 1);

        std::set<std::pair<int, int>> painted;
        for (int y = 0; y < MAP_SIZE; ++y)
            for (int x = 0; x < MAP_SIZE; ++x)
                if (tile(x, y) == T_DARK) painted.insert({x, y});
        const std::string seg = std::to_string(s[0]) + "," + std::to_string(s[1]) + " -> " +
                                std::to_string(s[2]) + "," + std::to_string(s[3]);
        EXPECT_EQ(painted.count({s[0], s[1]}), 1u) << seg;
        EXPECT_EQ(painted.count({s[2], s[3]}), 1u) << seg;
        EXPECT_EQ(g->undo_pos, int(painted.size())) << seg;
        // Nothing strays from the line, and the cells join up from end to end.
        const double dx = s[2] - s[0], dy = s[3] - s[1], len = std::sqrt(dx * dx + dy * dy);
        for (const auto& c : painted) {
            const double dist = std::fabs((c.first - s[0]) * dy - (c.second - s[1]) * dx) / len;
            EXPECT_LT(dist, 1.0) << seg << ": " << c.first << "," << c.second;
        }
        std::set<std::pair<int, int>> reached = {{s[0], s[1]}}, todo = reached;
        while (!todo.empty()) {
            const auto c = *todo.begin();
            todo.erase(todo.begin());
            for (int j = -1; j <= 1; ++j)
                for (int i = -1; i <= 1; ++i) {
                    const std::pair<int, int> n = {c.first + i, c.second + j};
                    if (painted.count(n) && reached.insert(n).second) todo.insert(n);
                }
        }
        EXPECT_EQ(reached.size(), painted.size()) << seg << ": the stroke has a gap";
        EXPECT_GE(int(painted.size()), int(std::max(std::fabs(dx), std::fabs(dy))) + 1) << seg;
        EXPECT_FLOAT_EQ(ed().cursor_x, float(s[2])) << "the cursor is where the pointer is";
    }
}

TEST_F(EditorTest, UndoAndRedoWalkTheRing) {
    open_editor();
    look_at(64, 64, 25);
    // Modifiers first, on a short history: Ctrl, Alt or Meta with Z undoes,
    // with Shift as well redoes; Z alone or with Shift alone does neither.
    choose(T_FLOOR);
    for (int x : {58, 59, 60}) press_cell(x, 58);
    ASSERT_EQ(g->undo_pos, 3);
    for (uint32_t m : {0u, uint32_t(MOD_SHIFT)}) key(KEY_Z, 0, m);
    EXPECT_EQ(g->undo_pos, 3);
    undo(MOD_CTRL);
    undo(MOD_ALT);
    undo(MOD_META);
    EXPECT_EQ(g->undo_pos, 0);
    EXPECT_EQ(tile(58, 58), T_NONE);
    undo();  // nothing left to undo
    EXPECT_EQ(g->undo_pos, 0);
    redo(MOD_META);
    redo(MOD_ALT);
    EXPECT_EQ(g->undo_pos, 2);
    EXPECT_EQ(tile(59, 58), T_FLOOR);
    EXPECT_EQ(tile(60, 58), T_NONE);
    // A new stroke after an undo: the undone step cannot come back.
    press_cell(61, 59);
    redo();
    EXPECT_EQ(tile(60, 58), T_NONE);
    EXPECT_EQ(g->undo_pos, 3);
    redo();
    EXPECT_EQ(g->undo_pos, 3) << "nothing newer than the newest step";

    // 130 steps: 128 of floor on a 16 x 8 block, one of dark floor over the
    // cell of step 5, one more of dark floor. The grid after every step is kept.
    open_editor();
    look_at(64, 64, 25);
    choose(T_FLOOR);
    std::vector<std::string> grids = {map_bytes()};
    std::vector<std::pair<int, int>> cells;
    for (int i = 0; i < 128; ++i) cells.push_back({56 + i % 16, 55 + i / 16});
    for (const auto& c : cells) {
        press_cell(c.first, c.second);
        grids.push_back(map_bytes());
    }
    choose(T_DARK);
    press_cell(cells[5].first, cells[5].second);
    grids.push_back(map_bytes());
    press_cell(72, 60);
    grids.push_back(map_bytes());
    ASSERT_EQ(g->undo_pos, 130);

    log.clear();
    for (int i = 0; i < 128; ++i) {
        undo();
        ASSERT_EQ(g->undo_pos, 129 - i);
        ASSERT_EQ(map_bytes(), grids[size_t(129 - i)]) << "after undo " << i + 1;
    }
    EXPECT_EQ(log.substr(0, 42), "undo: 72 60 0\nundo: 61 55 1\nundo: 71 62 0\n");
    // The 129th: steps 0 and 1 are no longer in the ring; the position goes
    // down, the map stays, and there is nothing to redo.
    log.clear();
    undo();
    EXPECT_EQ(g->undo_pos, 1);
    EXPECT_EQ(map_bytes(), grids[2]);
    redo();
    redo();
    EXPECT_EQ(g->undo_pos, 1);
    EXPECT_EQ(map_bytes(), grids[2]);
    EXPECT_EQ(log, "");
    // A new cell: step 1 again. Undoing it and going on down to 0 must not
    // bring back anything of the dropped steps (the cell of step 5 was painted
    // twice; its step-128 entry is dropped now).
    choose(T_FLOOR);
    press_cell(73, 61);
    EXPECT_EQ(g->undo_pos, 2);
    redo();
    EXPECT_EQ(g->undo_pos, 2);
    undo();
    undo();
    EXPECT_EQ(g->undo_pos, 0);
    EXPECT_EQ(map_bytes(), grids[2]);
    EXPECT_EQ(tile(cells[5].first, cells[5].second), T_NONE);
}

TEST_F(EditorTest, ArrowsArePaintedAsTheyLookInTheTurnedView) {
    open_editor();  // builds the palette
    std::vector<int> arrows;
    for (int i = 0; i < 32; ++i)
        if (tile_kind(*g, palette_order[i]) == TILE_ARROW) arrows.push_back(palette_order[i]);
    ASSERT_EQ(arrows.size(), 8u);
    for (int heading = 0; heading < 360; heading += 45) {
        open_editor();
        ed().cam_angle = ed().cam_angle_target = float(heading);
        frames();
        for (size_t k = 0; k < arrows.size(); ++k) {
            choose(arrows[k]);
            const int x = 60 + int(k);
            press_cell(x, 63);
            const int painted = tile(x, 63);
            ASSERT_EQ(tile_kind(*g, painted), TILE_ARROW) << heading;
            // Drawn through this view, the painted arrow points where the
            // chosen one does in the palette.
            EXPECT_EQ(view_facing(*g, tile_value(*g, painted)), tile_value(*g, arrows[k]))
                << "heading " << heading << ", arrow " << arrows[k];
            if (heading == 0) {
                EXPECT_EQ(painted, arrows[k]);
            }
        }
        if (heading == 90) {
            EXPECT_EQ(tile(60, 63), T_ARROW3) << "arrow 1 turned by 90 degrees";
        }
    }
    // In the editor the arrows show where the guards will go: a guard next to
    // one starts its route that way.
    open_editor();
    choose(T_GUARD);
    press_cell(60, 60);
    choose(T_ARROW3);  // (+1, 0)
    press_cell(61, 60);
    frames();
    const actor* guard = find_actor(*g, ACTOR_GUARD);
    ASSERT_NE(guard, nullptr);
    ASSERT_GE(guard->route_count, 2);
    EXPECT_EQ(guard->route[1][0], 61);
    EXPECT_EQ(guard->facing, 3) << "facing its route";
    EXPECT_EQ(guard->mode, MODE_STANDING) << "put back on its cell, not walking";
}

TEST_F(EditorTest, APaletteOfFewerTilesFillsUpWithTileZero) {
    tile_catalogue_load_text(*g, R"([
        {"n": 0, "name": "none", "type": "none", "view": "none", "editor": 0},
        {"n": 7, "name": "pillar", "type": "pillar", "view": "pillar", "editor": 3},
        {"n": 40, "name": "floor", "type": "floor", "view": "floor", "editor": 1},
        {"n": 41, "name": "gate", "type": "wall", "view": "wall", "editor": 9}
    ])");
    open_editor();
    EXPECT_EQ(palette_order[0], 40);
    EXPECT_EQ(palette_order[1], 7);
    Edit& e = editor();
    int zeros = 0;
    walk(&e.root, [&](Widget* w) {
        if (w->name != "0") return;
        ++zeros;
        EXPECT_EQ(w->down_value, 100);
        EXPECT_EQ(w->styles[STYLE_BASE].image, uitest::fake_image_get("icon-none"));
    });
    EXPECT_EQ(zeros, 30);
    EXPECT_EQ(find(&e.root, "41"), nullptr) << "category 9 is never offered";
    // The palette is built once per run: a second entry keeps it.
    tile_catalogue_load_text(*g, R"([{"n": 1, "name": "floor", "type": "floor", "editor": 1}])");
    set_state(*g, STATE_EDIT);
    EXPECT_EQ(palette_order[0], 40);
}

TEST_F(EditorTest, SpaceTestsTheMapAndTheMenuLeadsAround) {
    open_editor();
    choose(T_WINDOW);
    press_cell(63, 64);  // a window next to the agent, who escapes at once
    const std::string painted = map_bytes();

    // Space: a test play of the map as painted, back here afterwards.
    key(0, ' ');
    EXPECT_EQ(g->return_state, STATE_EDIT);
    EXPECT_EQ(g->state, STATE_LEVEL_INTRO);
    EXPECT_NE(find_actor(*g, ACTOR_PLAYER), nullptr);
    key(KEY_ENTER);
    ASSERT_EQ(g->state, STATE_LEVEL);
    ASSERT_TRUE(frames_until([&] { return g->state == STATE_LEVEL_WIN; }, 200));
    key(KEY_ENTER);
    EXPECT_EQ(g->state, STATE_EDIT);
    EXPECT_EQ(map_bytes(), painted) << "playing leaves the map as it was";
    EXPECT_EQ(ed().unbeaten, 0) << "a clean win";

    // "||" and Escape open the menu; its Escape is Edit Map.
    press(editor().root.children[1]);
    EXPECT_EQ(g->state, STATE_EDIT_MENU);
    key(KEY_ESCAPE);
    EXPECT_EQ(g->state, STATE_EDIT);
    key(KEY_ESCAPE);
    ASSERT_EQ(g->state, STATE_EDIT_MENU);
    Screen& menu = screen(STATE_EDIT_MENU);
    EXPECT_EQ(label_texts(&menu.root), (std::vector<std::string>{"Edit Map", "Title & Options",
                                                                 "Play / Test", "Share", "Save & Quit"}));
    // Behind the menu the map shows set up, as in the editor.
    EXPECT_NE(find_actor(*g, ACTOR_PLAYER), nullptr);
    press(button(&menu.root, "Title & Options"));
    EXPECT_EQ(g->state, STATE_EDIT_INFO);
    key(KEY_ESCAPE);
    key(KEY_ESCAPE);
    press(button(&screen(STATE_EDIT_MENU).root, "Share"));
    EXPECT_EQ(g->state, STATE_EDIT_SHARE);
    key(KEY_ESCAPE);
    EXPECT_EQ(g->state, STATE_EDIT);

    // Play / Test from the menu comes back to the menu, even for a stored copy
    // that claims to be set up already.
    key(KEY_ESCAPE);
    ed().started = 1;
    press(button(&screen(STATE_EDIT_MENU).root, "Play / Test"));
    EXPECT_EQ(g->return_state, STATE_EDIT_MENU);
    EXPECT_EQ(g->state, STATE_LEVEL_INTRO);
    key(KEY_ENTER);
    key(KEY_ESCAPE);
    ASSERT_EQ(g->state, STATE_PAUSE);
    press(button(&screen(STATE_PAUSE).root, "Quit"));
    EXPECT_EQ(g->state, STATE_EDIT_MENU);
}

TEST_F(EditorTest, SaveAndQuitStoresTheMapAndEmptiesTheHistory) {
    open_editor();
    look_at(64, 64, 10);
    set_field(ed().id, "");  // a map without an identifier gets one when saved
    set_field(ed().title, "Cellar");
    set_field(ed().name, "cellar");
    set_field(ed().intro, "Down the stairs.");
    choose(T_WALL);
    for (int x = 58; x < 70; ++x) press_cell(x, 60);
    choose(T_GUARD);
    press_cell(60, 66);
    const int steps = g->undo_pos;
    ASSERT_EQ(steps, 13);
    key(KEY_ESCAPE);

    // A save that cannot be written: the menu says so and stays; the map and
    // its history are kept.
    app_handles().user_db.close();
    press(button(&screen(STATE_EDIT_MENU).root, "Save & Quit"));
    EXPECT_EQ(g->state, STATE_EDIT_MENU);
    EXPECT_TRUE(has_label(&screen(STATE_EDIT_MENU).root, "The map could not be saved."));
    EXPECT_EQ(g->undo_pos, steps);
    EXPECT_NE(log.find("Save & Quit: the map was not saved\n"), std::string::npos);

    logged([&] { open_level_db(app_handles().user_db, home.file("user.db")); });
    set_state(*g, STATE_EDIT_MENU);
    EXPECT_FALSE(has_label(&screen(STATE_EDIT_MENU).root, "The map could not be saved."));
    for (int i = 0; i < 2; ++i) {  // twice: still one row
        press(button(&screen(STATE_EDIT_MENU).root, "Save & Quit"));
        ASSERT_EQ(g->state, STATE_MENU_EDIT);
        if (i == 0) set_state(*g, STATE_EDIT_MENU);
    }
    EXPECT_EQ(g->undo_pos, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(g->undo_ring), sizeof g->undo_ring),
              std::string(sizeof g->undo_ring, '\0'));

    const std::string db = home.file("user.db");
    const std::string id = field_text(ed().id);
    ASSERT_FALSE(id.empty());
    EXPECT_GT(std::stoll(id), 1600000000LL) << "the Unix time of the save";
    EXPECT_EQ(test::sqlite(db, "select id, name, title, intro, q is null from levels"),
              id + "|cellar|Cellar|Down the stairs.|1\n");
    // The data column inflates, with Python's zlib, to exactly the map painted.
    const std::string painted = home.file("painted.bin");
    test::write_file(painted, std::string(reinterpret_cast<const char*>(&ed()), sizeof(level)));
    EXPECT_EQ(test::run("python3 -c \"import sqlite3, zlib, sys; "
                        "d = sqlite3.connect(sys.argv[1]).execute('select cast(data as blob) "
                        "from levels').fetchone()[0]; "
                        "print(zlib.decompress(d) == open(sys.argv[2], 'rb').read())\" '" +
                        db + "' '" + painted + "'"),
              "True\n");

    // Loaded back, it is the map painted, byte for byte.
    const level saved = ed();
    new_level(*g);
    logged([&] { ASSERT_TRUE(logic_load(*g, app_handles().user_db, id)); });
    EXPECT_EQ(memcmp(&ed(), &saved, sizeof(level)), 0);

    // Painting afterwards starts a new history at step 0.
    set_state(*g, STATE_EDIT);
    frames();
    choose(T_FLOOR);
    press_cell(61, 61);
    EXPECT_EQ(g->undo_pos, 1);
    EXPECT_EQ(g->undo_ring[0].seq, 0);
    EXPECT_EQ(g->undo_ring[0].x, 61);
}

TEST_F(EditorTest, InfoPagesStoreTheirFieldsCutToSize) {
    open_editor();
    ed().unbeaten = 0;
    key(KEY_ESCAPE);
    press(button(&screen(STATE_EDIT_MENU).root, "Title & Options"));
    ASSERT_EQ(g->state, STATE_EDIT_INFO);
    Screen& info = screen(STATE_EDIT_INFO);
    EXPECT_EQ(button(&info.root, "Previous"), nullptr);
    ASSERT_NE(button(&info.root, "Next"), nullptr);
    const Rect next = screen_rect(button(&info.root, "Next"));
    EXPECT_EQ(int(next.x + next.w), 960);
    EXPECT_EQ(int(next.y + next.h), 720);

    // Page 0: the title field has the focus; 70 characters typed keep 63. Tab
    // goes to the intro and back.
    TextInput* title = static_cast<TextInput*>(find(&info.root, "title"));
    TextInput* intro = static_cast<TextInput*>(find(&info.root, "intro"));
    ASSERT_NE(title, nullptr);
    ASSERT_NE(intro, nullptr);
    EXPECT_TRUE(title->focused);
    const std::string seventy = "The Long Night of the Seven Guards Who Never Slept At All, Part Two!";
    ASSERT_EQ(seventy.size() + 2, 70u);
    type(seventy + "!!");
    key(KEY_TAB);
    EXPECT_TRUE(intro->focused);
    type("Line one");
    key(KEY_ENTER);
    type("Line \xc3\xa9");  // characters outside printable ASCII are not typed
    key(KEY_TAB);
    EXPECT_TRUE(title->focused);
    key(KEY_ESCAPE);  // Escape is Done
    EXPECT_EQ(g->state, STATE_EDIT);
    EXPECT_EQ(field_text(ed().title), (seventy + "!!").substr(0, 63));
    EXPECT_EQ(field_text(ed().intro), "Line one\nLine ");
    EXPECT_EQ(ed().unbeaten, 1);

    // Page 1 by Next: the bomb allowances, read as atoi reads them and held
    // within 0..999. Two rounds of four fields.
    const std::vector<std::pair<std::string, int>> rounds[2] = {
        {{"12abc", 12}, {"abc", 0}, {"-5", 0}, {"99999999999999999999", 999}},
        {{" +7", 7}, {"1000", 999}, {"0042", 42}, {"2147483648", 999}},
    };
    for (const auto& round : rounds) {
        key(KEY_ESCAPE);
        press(button(&screen(STATE_EDIT_MENU).root, "Title & Options"));
        press(button(&screen(STATE_EDIT_INFO).root, "Next"));
        ASSERT_EQ(info_page, 1);
        EXPECT_NE(button(&info.root, "Previous"), nullptr);
        EXPECT_NE(button(&info.root, "Done"), nullptr);
        for (const auto& c : round) {  // each field selected whole when Tab reaches it
            type(c.first);
            key(KEY_TAB);
        }
        press(button(&info.root, "Done"));
        EXPECT_EQ(g->state, STATE_EDIT);
        EXPECT_EQ(info_page, 0);
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(ed().inventory[ACTOR_DETONATOR + k], round[size_t(k)].second) << round[size_t(k)].first;
    }
    EXPECT_EQ(field_text(ed().title), (seventy + "!!").substr(0, 63)) << "page 1 leaves the title";

    // F1 goes to page 2 (storing the page shown); a paste of any bytes is cut
    // to the 31 characters of the field.
    key(KEY_ESCAPE);
    press(button(&screen(STATE_EDIT_MENU).root, "Title & Options"));
    press(button(&info.root, "Next"));
    type("5");
    key(KEY_F1);
    EXPECT_EQ(info_page, 2);
    EXPECT_EQ(ed().inventory[ACTOR_DETONATOR], 5);
    ASSERT_NE(find(&info.root, "name"), nullptr);
    clipboard_set(std::string("map\x01\x7f") + std::string(40, 'x'));
    key(KEY_V, 0, MOD_CTRL);
    key(KEY_TAB);
    type("tense");
    key(KEY_TAB);
    type("night");
    key(KEY_TAB);
    EXPECT_TRUE(find(&info.root, "name")->focused) << "Tab goes round";
    press(button(&info.root, "Previous"));
    EXPECT_EQ(info_page, 1);
    EXPECT_EQ(field_text(ed().name), "map??" + std::string(26, 'x'));
    EXPECT_EQ(ed().name[31], '\0');
    EXPECT_EQ(field_text(ed().music), "tense");
    EXPECT_EQ(field_text(ed().theme), "night");

    // Opening and closing without a change makes the map unshareable again.
    key(KEY_ESCAPE);
    ed().unbeaten = 0;
    key(KEY_ESCAPE);
    press(button(&screen(STATE_EDIT_MENU).root, "Title & Options"));
    key(KEY_ESCAPE);
    EXPECT_EQ(ed().unbeaten, 1);
}

TEST_F(EditorTest, ShareWaitsForACleanWin) {
    struct Case {
        const char* why;
        std::vector<std::string> rows;
        bool rewind;
        bool shareable;
    };
    const Case cases[] = {
        {"an item left", {"W@$"}, false, false},
        {"one rewind", {"W@."}, true, false},
        {"a clean win", {"W@."}, false, true},
    };
    for (const Case& c : cases) {
        logged([&] { ASSERT_TRUE(level_from_ascii(ed(), c.rows, legend(), 62, 64, T_FLOOR)); });
        set_field(ed().title, "Shortcut");
        set_state(*g, STATE_EDIT_SHARE);
        Screen& share = screen(STATE_EDIT_SHARE);
        EXPECT_TRUE(has_label(&share.root, "Before you can share your map you must beat it.")) << c.why;
        EXPECT_TRUE(has_label(&share.root, "- You may not rewind"));
        EXPECT_TRUE(has_label(&share.root, "- You must collect all items"));
        EXPECT_EQ(button(&share.root, "To Everyone"), nullptr);
        ASSERT_NE(button(&share.root, "Cancel"), nullptr);
        press(button(&share.root, "Play"));
        EXPECT_EQ(g->return_state, STATE_EDIT_SHARE);
        key(KEY_ENTER);
        ASSERT_EQ(g->state, STATE_LEVEL) << c.why;
        if (c.rewind) g->level.rewinds_used = 1;
        ASSERT_TRUE(frames_until([&] { return g->state == STATE_LEVEL_WIN; }, 200)) << c.why;
        key(KEY_ENTER);
        ASSERT_EQ(g->state, STATE_EDIT_SHARE) << c.why;
        EXPECT_EQ(ed().unbeaten == 0, c.shareable) << c.why;
        EXPECT_EQ(has_label(&share.root, "Before you can share your map you must beat it."), !c.shareable)
            << c.why;
        EXPECT_EQ(button(&share.root, "To Everyone") != nullptr, c.shareable) << c.why;
        EXPECT_EQ(button(&share.root, "Play") != nullptr, !c.shareable) << c.why;
    }

    // To Everyone sends the map and goes back to painting at once.
    press(button(&screen(STATE_EDIT_SHARE).root, "To Everyone"));
    EXPECT_EQ(g->state, STATE_EDIT);
    const WebRequest& r = web_slots().share;
    EXPECT_NE(r.path.find("&_action=share"), std::string::npos) << r.path;
    EXPECT_EQ(r.post.rfind("&target=1&id=", 0), 0u) << r.post.substr(0, 60);
    EXPECT_NE(r.post.find("&title=Shortcut&"), std::string::npos);
    // Cancel and Escape leave without sending.
    web_slots().share = WebRequest();
    set_state(*g, STATE_EDIT_SHARE);
    press(button(&screen(STATE_EDIT_SHARE).root, "Cancel"));
    EXPECT_EQ(g->state, STATE_EDIT);
    set_state(*g, STATE_EDIT_SHARE);
    key(KEY_ESCAPE);
    EXPECT_EQ(g->state, STATE_EDIT);
    EXPECT_TRUE(web_slots().share.post.empty());
}

TEST_F(EditorTest, DamagedHistoriesAndRandomInputKeepTheMapSound) {
    // A ring and position from a damaged state.dat.
    const int32_t positions[] = {-5, INT32_MIN, INT32_MAX, UNDO_POS_MAX + 1, 129};
    std::mt19937 rng(15);
    for (int32_t pos : positions) {
        open_editor();
        for (UndoStep& s : g->undo_ring) {
            s.seq = int32_t(rng() % 300) - 20;
            s.x = uint8_t(rng());
            s.y = uint8_t(rng());
            s.old_tile = uint8_t(rng());
            s.new_tile = uint8_t(rng());
        }
        g->undo_pos = pos;
        for (int i = 0; i < 40; ++i) (i % 3 == 0 ? redo() : undo());
        EXPECT_GE(g->undo_pos, 0) << pos;
        choose(T_FLOOR);
        press_cell(62, 62);
        EXPECT_EQ(tile(62, 62), T_FLOOR) << pos;
        for (int i = 0; i < 140; ++i) undo();
        EXPECT_GE(g->undo_pos, 0);
        EXPECT_TRUE(frame_intact()) << pos;
    }

    // Random input over the editor and the screens around it.
    open_editor();
    const int keys[] = {KEY_ESCAPE, KEY_TAB, KEY_ENTER, KEY_Z, KEY_F1, KEY_LEFT, KEY_RIGHT, KEY_UP,
                        KEY_DOWN, KEY_V, 0};
    for (int i = 0; i < 3000; ++i) {
        const int s = g->state;
        if (s != STATE_EDIT && s != STATE_EDIT_MENU && s != STATE_EDIT_INFO && s != STATE_EDIT_SHARE)
            logged([&] { set_state(*g, STATE_EDIT); });  // screens of other issues, or play
        Event e{};
        switch (rng() % 4) {
        case 0:
            e.kind = EV_KEYDOWN;
            e.key = uint32_t(keys[rng() % (sizeof keys / sizeof keys[0])]);
            e.unicode = rng() % 3 == 0 ? uint32_t(rng() % 300) : 0;
            e.button = rng() % 16;
            break;
        case 1:
            e.kind = EV_MOUSEDOWN;
            e.button = 1 + rng() % 3;
            break;
        case 2:
            e.kind = EV_MOUSEMOVE;
            e.button = rng() % 8;
            e.dx = float(int(rng() % 2000) - 1000);
            e.dy = float(int(rng() % 2000) - 1000);
            break;
        default:
            e.kind = rng() % 2 ? EV_MOUSEUP : EV_WHEEL;
            e.button = 1;
            e.dy = rng() % 2 ? 1.0f : -1.0f;
            break;
        }
        e.x = float(int(rng() % 1100) - 70);
        e.y = float(int(rng() % 860) - 70);
        send(e);
        if (i % 7 == 0) frames();
        ASSERT_GE(g->undo_pos, 0);
        ASSERT_LE(g->undo_pos, UNDO_POS_MAX);
        ASSERT_EQ(ed().title[63], '\0');
        ASSERT_EQ(ed().intro[255], '\0');
        for (int k = ACTOR_DETONATOR; k <= ACTOR_MINI_BOMB; ++k) ASSERT_LE(ed().inventory[k], 999);
    }
    EXPECT_TRUE(frame_intact());
}

}  // namespace
