#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "world_fixture.h"

namespace {

using namespace wt;

// The search written out as plainly as the rules state it: an ordered set for the
// open nodes, maps for the open index and the closed set.
std::vector<std::pair<int, int>> reference_path(const game& g, int sx, int sy, int gx, int gy) {
    auto solid = [&](int x, int y) { return (g.flags[x + 128 * y] & CELL_SOLID) != 0; };
    auto inside = [](int x, int y) { return x > 3 && x < 124 && y > 3 && y < 124; };
    if (!inside(sx, sy) || !inside(gx, gy) || solid(sx, sy) || solid(gx, gy)) return {};
    struct Node {
        int x, y, px, py;
        float g, h, f;
    };
    std::set<std::pair<float, int>> open;
    std::map<int, Node> open_index, closed;
    auto key = [](int x, int y) { return y * 65536 + x; };
    auto h_of = [&](int x, int y) { return float(std::abs(x - gx) + std::abs(y - gy)); };
    Node s{sx, sy, sx, sy, 0.0f, h_of(sx, sy), h_of(sx, sy)};
    open.insert({s.f, key(sx, sy)});
    open_index[key(sx, sy)] = s;
    const int nb[8][2] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
    while (!open.empty()) {
        const int k = open.begin()->second;
        open.erase(open.begin());
        Node cur = open_index[k];
        open_index.erase(k);
        closed[k] = cur;
        if (cur.x == gx && cur.y == gy) {
            std::vector<std::pair<int, int>> out;
            Node n = cur;
            for (;;) {
                out.insert(out.begin(), {n.x, n.y});
                if (n.g == 0.0f) break;
                n = closed[key(n.px, n.py)];
            }
            return out;
        }
        for (const auto& d : nb) {
            const int nx = cur.x + d[0], ny = cur.y + d[1];
            if (!inside(nx, ny) || solid(nx, ny) || solid(nx, cur.y) || solid(cur.x, ny)) continue;
            const int nk = key(nx, ny);
            if (closed.count(nk)) continue;
            Node n{nx, ny, cur.x, cur.y, cur.g + (d[0] && d[1] ? 1.4142135f : 1.0f), h_of(nx, ny),
                   0.0f};
            n.f = n.g + n.h;
            auto it = open_index.find(nk);
            if (it != open_index.end()) {
                if (!(n.f < it->second.f)) continue;
                open.erase({it->second.f, nk});
            }
            open_index[nk] = n;
            open.insert({n.f, nk});
        }
    }
    return {};
}

std::vector<std::pair<int, int>> fast_path(const game& g, int sx, int sy, int gx, int gy) {
    const PathCell* cells = nullptr;
    const int n = find_path(g, sx, sy, gx, gy, &cells);
    std::vector<std::pair<int, int>> out;
    for (int i = 0; i < n; ++i) out.push_back({cells[i].x, cells[i].y});
    return out;
}

struct Paths : World {
    // A random playable area: walls with the given density in 4..123.
    void random_map(std::mt19937& rng, double density) {
        new_level(*g);
        std::uniform_real_distribution<double> u(0, 1);
        for (int y = 4; y <= 123; ++y)
            for (int x = 4; x <= 123; ++x) set_tile(x, y, u(rng) < density ? T_WALL : T_FLOOR);
        build_flags(*g);
    }
};

TEST_F(Paths, SameCellsAsThePlainSearchOnRandomMaps) {
    std::mt19937 rng(1234);
    int compared = 0, found = 0;
    for (double density : {0.0, 0.1, 0.25, 0.35, 0.45}) {
        random_map(rng, density);
        std::uniform_int_distribution<int> c(2, 125);  // some ends off the playable area
        for (int k = 0; k < 40; ++k) {
            const int sx = c(rng), sy = c(rng), gx = c(rng), gy = c(rng);
            const auto want = reference_path(*g, sx, sy, gx, gy);
            const auto got = fast_path(*g, sx, sy, gx, gy);
            ASSERT_EQ(got, want) << "density " << density << " from " << sx << "," << sy << " to "
                                 << gx << "," << gy;
            ++compared;
            found += !want.empty();
        }
    }
    EXPECT_EQ(compared, 200);
    EXPECT_GT(found, 100);
}

TEST_F(Paths, SameCellsAsThePlainSearchInARoomMaze) {
    // Rooms of 8 x 8 with doors: many equal-cost alternatives, so every tie rule shows.
    new_level(*g);
    for (int y = 4; y <= 123; ++y) {
        for (int x = 4; x <= 123; ++x) {
            const bool wall = (x % 8 == 0 && (y % 8) != 4) || (y % 8 == 0 && (x % 8) != 3);
            set_tile(x, y, wall ? T_WALL : T_FLOOR);
        }
    }
    build_flags(*g);
    const int ends[][4] = {{5, 5, 122, 122}, {122, 5, 5, 122}, {60, 61, 62, 9},
                           {9, 100, 101, 10}, {33, 35, 37, 35}, {5, 5, 5, 5}};
    for (const auto& e : ends)
        EXPECT_EQ(fast_path(*g, e[0], e[1], e[2], e[3]), reference_path(*g, e[0], e[1], e[2], e[3]))
            << e[0] << "," << e[1] << " to " << e[2] << "," << e[3];
}

TEST_F(Paths, EndsMustBeWalkableAndInsideThePlayableArea) {
    draw({"...", ".#.", "..."});
    struct Case {
        int sx, sy, gx, gy, n;
    } cases[] = {
        {10, 10, 12, 12, 5},   // around the wall, never across its corner
        {11, 11, 12, 12, 0},   // solid start
        {10, 10, 11, 11, 0},   // solid goal
        {3, 10, 10, 10, 0},    // start in the frame
        {10, 10, 10, 124, 0},  // goal in the frame
        {10, 10, 10, 10, 1},   // already there
        {-5, 300, 10, 10, 0},  // off the grid
    };
    for (const Case& c : cases) {
        const PathCell* cells;
        EXPECT_EQ(find_path(*g, c.sx, c.sy, c.gx, c.gy, &cells), c.n)
            << c.sx << "," << c.sy << " to " << c.gx << "," << c.gy;
    }
}

TEST_F(Paths, DiagonalMovesNeverCutACorner) {
    // Two walls touching at a corner, and a single wall beside a diagonal.
    draw({"....",
          ".#..",
          "..#.",
          "...."});
    const auto p = fast_path(*g, 12, 11, 11, 12);  // between the two walls
    ASSERT_FALSE(p.empty());
    for (size_t i = 1; i < p.size(); ++i) {
        const int ox = p[i - 1].first, oy = p[i - 1].second;
        const int nx = p[i].first, ny = p[i].second;
        EXPECT_FALSE(flags(nx, oy) & CELL_SOLID) << i;
        EXPECT_FALSE(flags(ox, ny) & CELL_SOLID) << i;
    }
    EXPECT_GT(p.size(), 3u);
    // Past a single wall: (10, 10) to (11, 12) may not touch the wall's side.
    const auto q = fast_path(*g, 10, 12, 11, 10);
    ASSERT_FALSE(q.empty());
    for (size_t i = 1; i < q.size(); ++i)
        EXPECT_FALSE((flags(q[i].first, q[i - 1].second) | flags(q[i - 1].first, q[i].second)) &
                     CELL_SOLID);
}

TEST_F(Paths, SetPathStoresTheLastStepFirstAndRefusesLongPaths) {
    draw({"."});
    actor& a = place(ACTOR_GUARD, 10, 10);
    set_path(*g, a, 13, 10, 0);
    ASSERT_EQ(a.steps, 3);
    EXPECT_EQ(a.path[0][0], 13);
    EXPECT_EQ(a.path[2][0], 11);

    // A serpentine where the way to the goal is far longer than 128 cells.
    new_level(*g);
    for (int y = 4; y <= 123; ++y)
        for (int x = 4; x <= 123; ++x)
            set_tile(x, y, (y % 4 == 0 && y > 4 && x != ((y / 4) % 2 ? 4 : 123)) ? T_WALL : T_FLOOR);
    build_flags(*g);
    actor& b = place(ACTOR_GUARD, 10, 5);
    set_path(*g, b, 12, 5, 0);
    ASSERT_EQ(b.steps, 2);
    set_path(*g, b, 10, 21, 0);  // over 128 cells away along the way: refused
    EXPECT_EQ(b.steps, 2);
    EXPECT_EQ(b.path[0][0], 12);
    set_path(*g, b, 10, 21, 1);  // forced: the old path is dropped all the same
    EXPECT_EQ(b.steps, 0);
    set_path(*g, b, 118, 9, 1);  // 110-odd cells around the first wall: accepted
    EXPECT_GT(b.steps, 100);
    EXPECT_LE(b.steps, 127);
    set_path(*g, b, 10, 5, 0);   // on the goal already: the path is cleared
    EXPECT_EQ(b.steps, 0);
}

TEST_F(Paths, LinePathsForLamps) {
    draw({"#"});
    struct Case {
        int lx, ly, gx, gy, steps;
    } cases[] = {
        {20, 20, 25, 20, 5},   // straight, through nothing
        {20, 20, 17, 23, 3},   // diagonal
        {20, 20, 20, 20, 0},   // already there
        {20, 20, 26, 22, 4},   // neither: (6 + 2) / 2
        {4, 4, 123, 123, 119},
        {4, 4, 123, 4, 119},
        {5, 10, 110, 6, 54},  // shorter axis runs past the lamp but stays on the grid
    };
    for (const Case& c : cases) {
        actor& a = place(ACTOR_LAMP, c.lx, c.ly);
        a.steps = 77;
        set_line_path(*g, a, c.gx, c.gy);
        EXPECT_EQ(a.steps, c.steps) << c.gx << "," << c.gy;
        if (c.steps > 0) {
            EXPECT_EQ(a.path[0][0], c.gx);
            EXPECT_EQ(a.path[0][1], c.gy);
        }
        a.active = 0;
    }
    // 128 cells or more, or a line that would leave the grid: no new path.
    actor& a = place(ACTOR_LAMP, 4, 4);
    a.steps = 9;
    a.x = 0.0f;
    set_line_path(*g, a, 128, 4);
    EXPECT_EQ(a.steps, 9);
    actor& b = place(ACTOR_LAMP, 5, 5);
    b.steps = 9;
    set_line_path(*g, b, 120, 6);  // (115 + 1) / 2 = 58 cells, running up past row 0
    EXPECT_EQ(b.steps, 9);
}

TEST_F(Paths, ASolidTileOnThePathStopsTheActorOnItsCell) {
    draw({"@......"});
    start();
    walk_to(*g, 16, 10);
    tick(8);  // the first step is under way
    set_tile(12, 10, T_CRATE);
    tick(30);
    actor* p = player();
    EXPECT_EQ(p->x, 11.0f);
    EXPECT_EQ(p->y, 10.0f);
    EXPECT_EQ(p->steps, 0);
    EXPECT_EQ(p->mode, MODE_STANDING);
}

TEST_F(Paths, TheGuardInTheHigherSlotGivesWay) {
    // Two guards sent through each other along one corridor.
    draw({"#######",
          "G.....G",
          "#######"});
    start();
    actor& a = *nth(ACTOR_GUARD, 0);
    actor& b = *nth(ACTOR_GUARD, 1);
    ASSERT_LT(a.slot, b.slot);
    set_path(*g, a, 16, 11, 1);
    set_path(*g, b, 10, 11, 1);
    a.mode = b.mode = MODE_WALKING;
    // Waiting shows as a path left to walk with no step under way. Both start
    // their first step when their counters reach 8.
    tick(6);
    int a_waited = 0, b_waited = 0;
    for (int t = 0; t < 120; ++t) {
        tick();
        a_waited += a.steps > 0 && a.dx == 0.0f && a.dy == 0.0f;
        b_waited += b.steps > 0 && b.dx == 0.0f && b.dy == 0.0f;
    }
    EXPECT_EQ(a_waited, 0);
    EXPECT_GT(b_waited, 0);
    EXPECT_EQ(a.x, 16.0f);
    EXPECT_EQ(b.x, 10.0f);
}

TEST_F(Paths, ReleasingTheKeysStopsThePlayerOnTheNextCell) {
    draw({"@........#"});
    start();
    g->level.cam_angle = 0.0f;
    // With the camera at 0 degrees "down" walks along +x +y... find the key that
    // walks the map's +x: right plus down.
    walk_direction(*g, 1, 1);
    actor* p = player();
    EXPECT_EQ(p->steps, 8);  // up to the cell before the wall
    EXPECT_EQ(p->path[0][0], 18);
    EXPECT_EQ(p->counter, 6);
    tick(14);  // two ticks of delay, then most of the second step
    EXPECT_GT(p->x, 11.0f);
    EXPECT_LT(p->x, 12.0f);
    walk_direction(*g, 0, 0);
    EXPECT_EQ(p->steps, 0);
    tick(20);
    EXPECT_EQ(p->x, 12.0f);
    EXPECT_EQ(p->mode, MODE_STANDING);
}

TEST_F(Paths, KeyDirectionsTurnWithTheCamera) {
    draw({"....................",
          "....................",
          "....................",
          "..........@.........",
          "....................",
          "....................",
          "...................."},
         10, 10);
    start();
    struct Case {
        float angle;
        int kx, ky, sx, sy;
    } cases[] = {
        {0, 1, 0, 1, -1},  {0, 0, 1, 1, 1},   {0, -1, 0, -1, 1}, {0, 0, -1, -1, -1},
        {0, 1, 1, 1, 0},   {90, 1, 0, -1, -1}, {45, 1, 0, 0, -1}, {180, 1, 0, -1, 1},
    };
    for (const Case& c : cases) {
        actor* p = player();
        g->level.cam_angle = c.angle;
        walk_direction(*g, c.kx, c.ky);
        ASSERT_GT(p->steps, 0) << c.angle << " " << c.kx << "," << c.ky;
        const int nx = p->path[p->steps - 1][0] - p->cell_x;
        const int ny = p->path[p->steps - 1][1] - p->cell_y;
        EXPECT_EQ(nx, c.sx) << c.angle << " " << c.kx << "," << c.ky;
        EXPECT_EQ(ny, c.sy) << c.angle << " " << c.kx << "," << c.ky;
    }
}

TEST_F(Paths, ClicksOnUnreachableCellsLeaveThePathAlone) {
    draw({"@....#.",
          ".....#.",
          "######."},
         10, 10, T_WALL);
    start();
    walk_to(*g, 13, 10);
    actor* p = player();
    EXPECT_EQ(p->steps, 3);
    EXPECT_EQ(p->counter, 7);
    walk_to(*g, 16, 10);  // walled off
    EXPECT_EQ(p->steps, 3);
    EXPECT_EQ(p->path[0][0], 13);
    tick(1);
    EXPECT_NE(p->dx, 0.0f);  // the step starts on the next tick
    tick(7);
    walk_to(*g, 10, 11);  // between cells: the counter is left alone
    EXPECT_EQ(p->counter, 15);
}

TEST_F(Paths, PickCellPrefersWalkableCellsNearThePointer) {
    draw({".....",
          ".###.",
          ".###.",
          ".###.",
          "....."});
    struct Case {
        float mx, my, ox, oy, px, py;
    } cases[] = {
        {12.3f, 12.9f, 0, 0, 12.5f, 10.5f},  // the nearest floor, first found (top row)
        {12.3f, 12.9f, 12.5f, 14.5f, 12.5f, 14.5f},  // ties go to the old choice's side
        {10.7f, 10.2f, 0, 0, 10.5f, 10.5f},  // already walkable
        {1.0f, 1.0f, 0, 0, 4.5f, 4.5f},      // near the corner: the nearest cell inside
        {-50.0f, 60.0f, 0, 0, -49.5f, 60.5f},  // nothing qualifies
    };
    for (const Case& c : cases) {
        g->level.mouse_x = c.mx;
        g->level.mouse_y = c.my;
        g->level.pick_x = c.ox;
        g->level.pick_y = c.oy;
        pick_cell(*g);
        EXPECT_EQ(g->level.pick_x, c.px) << c.mx << "," << c.my;
        EXPECT_EQ(g->level.pick_y, c.py) << c.mx << "," << c.my;
    }
}

TEST_F(Paths, ThePlayerPushesTheCameraNearAThirdOfTheView) {
    draw({"@...................."}, 30, 30);
    start();
    level& lv = g->level;
    lv.view_x = 25.0f;
    lv.view_y = 30.0f;
    lv.view_r = 30.0f;  // a third: 10; the push starts past 8
    lv.look_x = 25.0f;
    walk_to(*g, 50, 30);
    float pushed = 0;
    for (int t = 0; t < 200; ++t) {
        const float before = lv.look_x;
        tick();
        const actor* p = player();
        if (lv.look_x != before) {
            const float d = std::fabs(p->x - lv.view_x);
            EXPECT_GT(d, 8.0f);
            EXPECT_LT(d, 10.0f);
            pushed += lv.look_x - before;
        }
    }
    EXPECT_GT(pushed, 0.0f);
    // Not on another screen.
    g->state = STATE_PAUSE;
    walk_to(*g, 30, 30);
    const float before = lv.look_x;
    tick(200);
    EXPECT_EQ(lv.look_x, before);
}

}  // namespace
