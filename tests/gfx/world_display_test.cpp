// The world renderer in a real GL window with the shipped artwork: pixels read
// back from small levels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "render_support.h"
#include "world/rules.h"

namespace {

using rt::Frame;
using rt::Pixel;

struct WorldDraw : rt::Window {
    // The mean colour of a 9 x 9 pixel box around where world point p appears.
    static Pixel around(const Frame& f, Vec3 p) {
        const Vec3 w = project_to_window(p);
        const int x = int(w.x), y = int(w.y);
        EXPECT_TRUE(x >= 4 && y >= 4 && x < f.w - 4 && y < f.h - 4) << "off screen: " << x << "," << y;
        return f.mean(x - 4, y - 4, x + 5, y + 5);
    }
    Frame render(game& g, const char* shot) {
        clear();
        testing::internal::CaptureStderr();  // the first lookups of each picture
        world_draw(g);
        testing::internal::GetCapturedStderr();
        return rt::read_frame(shot);
    }
    static void add_blast(game& g, float x, float y, const char* anim) {
        actor& a = spawn_actor(g);
        a.active = 1;
        a.kind = ACTOR_BLAST;
        a.x = x;
        a.y = y;
        snprintf(a.anim, sizeof a.anim, "%s", anim);
    }
};

// A small level with walls, lamps, a guard, the agent, items and a blast.
TEST_F(WorldDraw, NightSceneHasItsLampsAndAnIsolatedBlast) {
    auto g = rt::make_game({
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
                           },
                           STATE_LEVEL);
    g->level.cam_dist = g->level.zoom_target = -10;
    add_blast(*g, 32.5f, 26.5f, "blast-3");
    Frame f = render(*g, "night_scene");
    EXPECT_EQ(world_stats().point_lights, 4);  // three lamps and the blast
    // Moody: mostly dark, bluish where only the moon reaches.
    const Pixel all = f.mean(0, 0, f.w, f.h);
    EXPECT_LT(all.sum(), 3 * 90);
    const Pixel moonlit = around(f, Vec3{21.5f, 0, 31.5f});
    EXPECT_GT(moonlit.b, moonlit.r);
    // The blast is the brightest thing in the picture.
    EXPECT_GT(around(f, Vec3{33, 2.5f, 27}).sum(), 3 * 200);
}

TEST_F(WorldDraw, LitShadedAndDarkFloorsDifferClearly) {
    auto g = rt::make_game({
                               "......................",
                               "......................",
                               "...#######.......L....",
                               "......................",
                               ".................,....",
                               "......................",
                               "......................",
                           },
                           STATE_MENU_MAIN);
    g->level.look_x = 30;
    g->level.look_y = 23;
    g->level.cam_dist = g->level.zoom_target = 10;
    Frame f = render(*g, "floors");
    const Pixel moonlit = around(f, Vec3{21.5f, 0, 26.5f});  // plain floor, far from the lamp
    const Pixel shaded = around(f, Vec3{25.5f, 0, 23.5f});   // in the wall's shadow, far too
    const Pixel lamplit = around(f, Vec3{37.5f, 0, 20.5f});  // two cells from the lamp
    const Pixel dark = around(f, Vec3{37.5f, 0, 24.5f});     // dark floor, two cells from it
    EXPECT_GT(moonlit.sum(), shaded.sum() * 3 / 2) << moonlit.sum() << " " << shaded.sum();
    EXPECT_GT(lamplit.sum(), moonlit.sum() * 3 / 2) << lamplit.sum() << " " << moonlit.sum();
    EXPECT_GT(lamplit.sum(), dark.sum() * 3) << lamplit.sum() << " " << dark.sum();  // lamps skip it
    // The amber lamp lights the floor amber: red over green over blue, where it
    // used to clip to yellow and show lime and olive on the bluish stone.
    const Pixel beside = around(f, Vec3{37.5f, 0, 23.5f});  // the cell south of the lamp
    for (const Pixel& p : {lamplit, beside}) {
        EXPECT_GT(p.r, p.g * 21 / 20) << p.r << "," << p.g << "," << p.b;
        EXPECT_GT(p.r, p.b * 11 / 10) << p.r << "," << p.g << "," << p.b;
        EXPECT_GT(p.r, moonlit.r * 3);
    }
    // Dark floor is floor in deep shadow, murky blue, not a black hole, and
    // not the grey of a wall's shadow: bluer than that, darker than moonlit.
    EXPECT_GT(dark.b, shaded.b * 3 / 2) << dark.b << " " << shaded.b;
    EXPECT_GT(dark.b, dark.r * 3) << dark.r << "," << dark.b;
    EXPECT_LT(dark.sum(), moonlit.sum() * 2 / 3) << dark.sum() << " " << moonlit.sum();
}

// Each lamp lights the floor around it in its own colour, seen against the
// moonlit floor far from any lamp: amber, blue, red and violet.
TEST_F(WorldDraw, EachLampLightsTheFloorInItsColour) {
    auto g = rt::make_game({
                               "...............................",
                               "...............................",
                               "...L.......l.......r.......v...",
                               "...............................",
                               "...............................",
                           },
                           STATE_MENU_MAIN);
    g->level.look_x = 35;
    g->level.look_y = 22;
    g->level.cam_dist = g->level.zoom_target = 25;
    g->level.cam_angle = g->level.cam_angle_target = 45;  // the row of lamps across the screen
    const Frame f = render(*g, "lamp_colours");
    struct Lamp {
        float x;
        const char* colour;
        int r, g, b;  // the order of the channels: 2 strongest, 0 weakest
    };
    const Lamp lamps[] = {{23, "amber", 2, 1, 0}, {31, "blue", 0, 1, 2}, {39, "red", 2, 1, 1},
                          {47, "violet", 1, 0, 2}};
    for (const Lamp& l : lamps) {
        SCOPED_TRACE(l.colour);
        const Pixel p = around(f, Vec3{l.x + 0.5f, 0, 23.5f});  // one cell from the lamp
        const int ch[3] = {p.r, p.g, p.b};
        const int want[3] = {l.r, l.g, l.b};
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b)
                if (want[a] > want[b]) {
                    EXPECT_GT(ch[a], ch[b] * 11 / 10) << p.r << "," << p.g << "," << p.b;
                }
    }
}

// A level's theme field dresses the map in that theme's floor and walls; a
// name without both pictures, or bytes that are not text, draw the default
// and say so once.
TEST_F(WorldDraw, ALevelsThemeDressesItsFloorAndWalls) {
    const std::vector<std::string> rows = {
        "#########",
        "#.......#",
        "#.......#",
        "#.......#",
        "#########",
    };
    auto g = rt::make_game(rows, STATE_MENU_MAIN);
    g->level.cam_dist = g->level.zoom_target = -10;
    const auto with_theme = [&](const std::string& bytes, std::string* log) {
        memset(g->level.theme, 0, sizeof g->level.theme);
        memcpy(g->level.theme, bytes.data(), std::min(bytes.size(), sizeof g->level.theme));
        clear();
        testing::internal::CaptureStderr();
        world_draw(*g);
        *log = testing::internal::GetCapturedStderr();
        return rt::read_frame(("theme_" + std::to_string(bytes.size())).c_str());
    };
    const Vec3 floor{23.5f, 0, 22.5f}, wall_top{27.5f, 2.5f, 20.5f};  // moonlit, out of the shadow
    std::string log;
    const Frame plain = with_theme("", &log);
    EXPECT_EQ(log.find("theme"), std::string::npos) << log;
    // The default look by its name.
    const Frame manor = with_theme("manor", &log);
    EXPECT_EQ(log.find("theme"), std::string::npos) << log;
    EXPECT_EQ(manor.rgb, plain.rgb);
    const Frame museum = with_theme("museum", &log);
    EXPECT_EQ(log.find("world_draw"), std::string::npos) << log;
    const Frame warehouse = with_theme("warehouse", &log);
    // The default stone is cold; marble is warm; the warehouse's brick is red.
    const Pixel f0 = around(plain, floor), f1 = around(museum, floor);
    EXPECT_GT(f0.b, f0.r);
    EXPECT_GT(f1.r * 100 / std::max(f1.b, 1), f0.r * 100 / std::max(f0.b, 1) + 10)
        << f0.r << "," << f0.b << " " << f1.r << "," << f1.b;
    EXPECT_GT(f1.sum(), f0.sum() * 5 / 4) << "marble is paler than the default stone";
    const Pixel w0 = around(plain, wall_top), w2 = around(warehouse, wall_top);
    EXPECT_GT(w2.r * 100 / std::max(w2.g, 1), w0.r * 100 / std::max(w0.g, 1) + 30)
        << w0.r << "," << w0.g << " " << w2.r << "," << w2.g;

    const std::string unknown[] = {"castle", "Museum", std::string("mus\x01eum"), std::string(32, 'q')};
    const std::string lines[] = {"world_draw: no theme \"castle\", drawing the default\n",
                                 "world_draw: no theme \"Museum\", drawing the default\n",
                                 "world_draw: the level's theme is not text, drawing the default\n",
                                 "world_draw: the level's theme is not text, drawing the default\n"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const Frame f = with_theme(unknown[i], &log);
        EXPECT_EQ(log, lines[i]);
        long diff = 0;
        for (size_t k = 0; k < f.rgb.size(); ++k) diff += std::abs(f.rgb[k] - plain.rgb[k]);
        EXPECT_EQ(diff, 0) << "not the default look";
        with_theme(unknown[i], &log);  // the next frame says nothing more
        EXPECT_EQ(log, "");
    }
}

TEST_F(WorldDraw, WallsHideWhatIsBehindThem) {
    const std::vector<std::string> open = {
        "........",
        "........",
        "........",
        "........",
        "........",
    };
    std::vector<std::string> walled = open;
    walled[2][4] = 'X';  // a tall block at (24, 22), between the camera and (22, 20)
    auto a = rt::make_game(open, STATE_MENU_MAIN);
    auto b = rt::make_game(walled, STATE_MENU_MAIN);
    for (game* g : {a.get(), b.get()}) {
        g->level.look_x = 23;
        g->level.look_y = 21;
        g->level.cam_dist = g->level.zoom_target = -10;
        add_blast(*g, 22, 20, "blast-3");
    }
    Frame fa = render(*a, "blast_in_the_open");
    const Pixel seen = around(fa, Vec3{22.5f, 1.5f, 20.5f});
    Frame fb = render(*b, "blast_behind_a_block");
    const Pixel hidden = around(fb, Vec3{22.5f, 1.5f, 20.5f});
    EXPECT_GT(seen.sum(), 3 * 100);
    EXPECT_LT(hidden.sum() * 3, seen.sum()) << hidden.sum() << " " << seen.sum();
    // The part of the glow that rises above the block still shows.
    EXPECT_GT(around(fb, Vec3{22.5f, 4.2f, 20.5f}).sum(), 3 * 50);
}

TEST_F(WorldDraw, AnEmpTurnsTheSceneGreen) {
    const std::vector<std::string> rows = {
        "############",
        "#..........#",
        "#...L......#",
        "#......#...#",
        "#..........#",
        "############",
    };
    auto g = rt::make_game(rows, STATE_MENU_MAIN);
    g->level.cam_dist = g->level.zoom_target = -10;
    // The mean colour of everything that is not background.
    const auto scene_mean = [](const Frame& f) {
        long r = 0, gr = 0, b = 0, n = 0;
        for (int y = 0; y < f.h; ++y)
            for (int x = 0; x < f.w; ++x) {
                const Pixel p = f.at(x, y);
                if (p.sum() < 12) continue;
                r += p.r;
                gr += p.g;
                b += p.b;
                ++n;
            }
        return Pixel{int(r / n), int(gr / n), int(b / n)};
    };
    const Frame before = render(*g, "before_emp");
    const Pixel normal = scene_mean(before);
    const Pixel moon = around(before, Vec3{30.5f, 0, 24.5f});
    g->level.emp_time = 100;
    const Frame after = render(*g, "emp");
    const Pixel emp = scene_mean(after);
    const Pixel moon_emp = around(after, Vec3{30.5f, 0, 24.5f});
    EXPECT_EQ(world_stats().point_lights, 0);  // the lamp is out too
    EXPECT_GT(moon.b, moon.g);
    EXPECT_GT(moon.b, moon.r);
    EXPECT_GT(moon_emp.g, moon_emp.r * 2);
    EXPECT_GT(moon_emp.g, moon_emp.b * 2);
    EXPECT_GT(emp.g, emp.r * 2) << normal.r << "," << normal.g << "," << normal.b;
    EXPECT_GT(emp.g, emp.b * 2);
}

TEST_F(WorldDraw, TheEditorsOverheadViewShowsIconsInsteadOfUprightSprites) {
    std::vector<std::string> rows(9, std::string(9, '.'));
    auto plain = rt::make_game(rows, STATE_EDIT);
    rows[4][4] = 's';  // a statue at (24, 24)
    auto statue = rt::make_game(rows, STATE_EDIT);
    // Bounding box of the pixels the statue changes, and the cell centre.
    struct Box {
        int x0 = 10000, y0 = 10000, x1 = -1, y1 = -1;
    };
    const auto changed = [](const Frame& a, const Frame& b) {
        Box box;
        for (int y = 0; y < a.h; ++y)
            for (int x = 0; x < a.w; ++x) {
                const Pixel p = a.at(x, y), q = b.at(x, y);
                if (std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b) < 60) continue;
                box.x0 = std::min(box.x0, x);
                box.y0 = std::min(box.y0, y);
                box.x1 = std::max(box.x1, x);
                box.y1 = std::max(box.y1, y);
            }
        return box;
    };
    for (int overhead = 0; overhead < 2; ++overhead) {
        top_view = overhead;
        for (game* g : {plain.get(), statue.get()}) {
            g->level.look_x = g->level.look_y = 24.5f;
            g->level.mouse_x = g->level.mouse_y = -50;  // no editor guide
            g->level.cam_dist = g->level.zoom_target = -10;
        }
        const Frame without = render(*plain, overhead ? "overhead_plain" : "editor_plain");
        const Frame with = render(*statue, overhead ? "overhead_statue" : "editor_statue");
        const Box box = changed(without, with);
        const Vec3 foot = project_to_window(Vec3{24.5f, 0, 24.5f});
        const Vec3 one = project_to_window(Vec3{25.5f, 0, 24.5f});
        const float cell = std::hypot(one.x - foot.x, one.y - foot.y);
        ASSERT_GE(box.x1, 0) << "the statue changed nothing";
        if (overhead) {
            // A flat icon around the cell, about one cell across.
            EXPECT_GT(float(box.y0), foot.y - 1.2f * cell);
            EXPECT_LT(float(box.y1), foot.y + 1.2f * cell);
            EXPECT_LT(float(box.x1 - box.x0), 2.4f * cell);
        } else {
            // An upright figure rising well above its cell.
            const Vec3 head = project_to_window(Vec3{24.5f, 2.0f, 24.5f});
            EXPECT_LT(float(box.y0), head.y);
            EXPECT_GT(float(box.y1 - box.y0), 2.0f * float(box.x1 - box.x0) / 2);
        }
    }
    top_view = 0;
}

TEST_F(WorldDraw, CellsAGuardSeesNearTheAgentAreMarkedRed) {
    const std::vector<std::string> rows = {
        ".........",
        ".........",
        "....@....",
        ".........",
        "....G....",
        ".........",
        ".........",
    };
    auto paused = rt::make_game(rows, STATE_PAUSE);
    auto menu = rt::make_game(rows, STATE_MENU_MAIN);
    int sx = -1, sz = -1, ux = -1, uz = -1;
    for (int z = 19; z <= 25; ++z)
        for (int x = 21; x <= 27; ++x) {
            if (seen_by_any(*paused, x, z)) {
                if (sx < 0) sx = x, sz = z;
            } else if (ux < 0 && x > 21 && z > 19) {
                ux = x, uz = z;
            }
        }
    ASSERT_GE(sx, 0) << "the guard sees nothing near the agent";
    ASSERT_GE(ux, 0);
    const Frame marked = render(*paused, "seen_cells");
    const Pixel seen = around(marked, Vec3{float(sx) + 0.5f, 0, float(sz) + 0.5f});
    const Pixel unseen = around(marked, Vec3{float(ux) + 0.5f, 0, float(ux) + 0.5f - float(ux - uz)});
    const Frame plain = render(*menu, "seen_cells_unmarked");
    const Pixel seen0 = around(plain, Vec3{float(sx) + 0.5f, 0, float(sz) + 0.5f});
    const Pixel unseen0 = around(plain, Vec3{float(ux) + 0.5f, 0, float(uz) + 0.5f});
    // A strong red: it reads as danger, not as a faint pink tile.
    EXPECT_GT(seen.r, seen0.r + 50) << seen.r << " vs " << seen0.r;
    EXPECT_GT(seen.r, 2 * seen.g) << seen.r << "," << seen.g << "," << seen.b;
    EXPECT_GT(seen.r, 3 * seen.b / 2) << seen.r << "," << seen.g << "," << seen.b;
    EXPECT_NEAR(unseen.r, unseen0.r, 3);
}

TEST_F(WorldDraw, TheAgentGlowsOnThePlayScreen) {
    const std::vector<std::string> rows = {".....", ".....", "..@..", ".....", "....."};
    auto playing = rt::make_game(rows, STATE_LEVEL);
    auto paused = rt::make_game(rows, STATE_PAUSE);
    for (game* g : {playing.get(), paused.get()}) g->level.cam_dist = g->level.zoom_target = -10;
    const actor* p = find_actor(*playing, ACTOR_PLAYER);
    ASSERT_NE(p, nullptr);
    // Just beside the figure (a quarter unit to the right on screen, at heading 0):
    // the cyan glow shows there.
    const Vec3 at{p->x + 0.5f + 0.18f, 1.0f, p->y + 0.5f - 0.18f};
    const Frame with = render(*playing, "agent_glow");
    const Frame without = render(*paused, "agent_no_glow");
    const Pixel glow = around(with, at);
    const Pixel none = around(without, at);
    EXPECT_GT(glow.g, none.g + 15) << glow.g << " " << none.g;
    EXPECT_GT(glow.g - none.g, glow.r - none.r);
    // Over the figure itself the figure keeps its own colours: the glow stands
    // behind it and rims it instead of washing it out (and never fights it
    // over the same depths, which would stripe it).
    const Vec3 knee = project_to_window(Vec3{p->x + 0.5f, 0.5f, p->y + 0.5f});
    const Vec3 chest = project_to_window(Vec3{p->x + 0.5f, 1.5f, p->y + 0.5f});
    int lines = 0, same = 0;
    for (int y = int(chest.y); y <= int(knee.y); ++y, ++lines) {
        const Pixel a = with.at(int(knee.x), y), b = without.at(int(knee.x), y);
        same += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) <= 6;
    }
    ASSERT_GT(lines, 10);
    EXPECT_GE(same, lines * 9 / 10) << same << " of " << lines;
}

// The agent wears a colour that no floor, wall, lamp pool or shadow shows, in
// the moonlight, under a lamp and on dark floor alike: a strong teal.
TEST_F(WorldDraw, TheAgentWearsAColourNoFloorOrWallHas) {
    std::vector<std::string> rows = {
        "###############",
        "#.............#",
        "#..L..l..r..v.#",
        "#.....,,,.....#",
        "#.....,,,..P..#",
        "#..c.........X#",
        "###############",
    };
    const auto teal_pixels = [](const Frame& f) {
        int n = 0;
        for (int y = 0; y < f.h; ++y)
            for (int x = 0; x < f.w; ++x) {
                const Pixel p = f.at(x, y);
                n += p.g > 100 && p.g > 2 * p.r && p.b > p.g / 2 && p.b < p.g * 23 / 20;
            }
        return n;
    };
    const auto scene = [&](int ax, int ay) {
        std::vector<std::string> r = rows;
        if (ax >= 0) r[size_t(ay)][size_t(ax)] = '@';
        auto g = rt::make_game(r, STATE_PAUSE);  // no glow: the figure alone
        g->level.cam_dist = g->level.zoom_target = 0;
        return g;
    };
    auto empty = scene(-1, -1);
    EXPECT_EQ(teal_pixels(render(*empty, "no_agent")), 0);
    struct Spot {
        int x, y;
        const char* where;
    } spots[] = {{1, 1, "moonlight"}, {3, 3, "amber lamp"}, {7, 4, "dark floor"}, {12, 3, "violet lamp"}};
    for (const Spot& s : spots) {
        SCOPED_TRACE(s.where);
        auto g = scene(s.x, s.y);
        EXPECT_GT(teal_pixels(render(*g, s.where)), 60);
    }
}

TEST_F(WorldDraw, TwoDimensionalDrawingInBetweenDoesNotChangeTheScene) {
    auto g = rt::make_game({"#####", "#.L.#", "#.@.#", "#####"}, STATE_LEVEL);
    const Frame first = render(*g, "scene_first");
    canvas_begin_2d();
    translate2d(7, 9);
    clip_push(100, 100);
    glColor4f(1, 0, 0, 0.3f);
    rect_fill(0xFF00FF, 0, 0, 50, 50);
    text_draw(font_get("font1"), "Murkwell", 0, 0, 0, -1);
    clip_pop();
    translate2d(-7, -9);
    const Frame second = render(*g, "scene_second");
    long diff = 0;
    for (size_t i = 0; i < first.rgb.size(); ++i) diff += std::abs(first.rgb[i] - second.rgb[i]);
    EXPECT_EQ(diff, 0);
}

}  // namespace
