#include "world/paths.h"

#include <cmath>
#include <cstring>

#include "core/state.h"
#include "world/model.h"

namespace {

const float DIAGONAL = 1.4142135f;
const int N_CELLS = MAP_SIZE * MAP_SIZE;

// One search's node per cell. `stamp` equal to the current search number means
// the node is open or closed in this search; anything else means untouched, so
// nothing is cleared between searches.
struct Node {
    float g, f;
    uint32_t stamp;
    uint16_t parent;
    uint8_t closed;
    uint8_t pad;
};

// The open set as a binary min-heap of (f bits << 32 | y * 65536 + x). f is never
// negative, so its bits order like the float; the low word breaks ties by y then x.
// A replaced node leaves its old entry behind; the smaller entry is always taken
// first and closes the node, so the stale one is skipped when it surfaces. Each
// node can be pushed at most once per expanded neighbour, so 8 per cell bounds it.
struct Search {
    Node nodes[N_CELLS];
    uint64_t heap[N_CELLS * 8];
    int heap_n = 0;
    uint32_t stamp = 0;
    PathCell result[N_CELLS];

    void push(uint64_t k) {
        int i = heap_n++;
        while (i > 0) {
            const int p = (i - 1) >> 1;
            if (heap[p] <= k) break;
            heap[i] = heap[p];
            i = p;
        }
        heap[i] = k;
    }

    uint64_t pop() {
        const uint64_t top = heap[0];
        const uint64_t last = heap[--heap_n];
        const int n = heap_n;
        int i = 0;
        for (;;) {
            int c = 2 * i + 1;
            if (c >= n) break;
            if (c + 1 < n && heap[c + 1] < heap[c]) ++c;
            if (heap[c] >= last) break;
            heap[i] = heap[c];
            i = c;
        }
        if (n > 0) heap[i] = last;
        return top;
    }
};

Search* g_search = nullptr;

Search& search_state() {
    if (!g_search) g_search = new Search();  // once per process, kept for every search
    return *g_search;
}

inline uint64_t open_key(float f, int x, int y) {
    uint32_t bits;
    memcpy(&bits, &f, sizeof bits);
    return (uint64_t(bits) << 32) | uint32_t(y * 65536 + x);
}

inline int iabs(int v) { return v < 0 ? -v : v; }

bool solid_at(const game& g, int x, int y) {
    return !on_map(x, y) || (g.flags[cell_index(x, y)] & CELL_SOLID);
}

}  // namespace

int find_path(const game& g, int sx, int sy, int gx, int gy, const PathCell** cells) {
    *cells = nullptr;
    if (!in_play(sx, sy) || !in_play(gx, gy)) return 0;
    const uint8_t* F = g.flags;
    const int start = cell_index(sx, sy), goal = cell_index(gx, gy);
    if ((F[start] & CELL_SOLID) || (F[goal] & CELL_SOLID)) return 0;

    Search& s = search_state();
    if (++s.stamp == 0) {  // wrapped: forget every node once
        for (Node& n : s.nodes) n.stamp = 0;
        s.stamp = 1;
    }
    const uint32_t stamp = s.stamp;
    Node* nodes = s.nodes;
    s.heap_n = 0;

    {
        Node& n = nodes[start];
        n.stamp = stamp;
        n.closed = 0;
        n.g = 0.0f;
        n.f = float(iabs(sx - gx) + iabs(sy - gy));
        n.parent = uint16_t(start);
        s.push(open_key(n.f, sx, sy));
    }

    while (s.heap_n > 0) {
        const uint64_t key = s.pop();
        const int ox = int(key & 0xFFFF), oy = int((key >> 16) & 0xFFFF);
        const int i = cell_index(ox, oy);
        Node& cur = nodes[i];
        if (cur.closed) continue;  // a stale entry of a replaced node
        cur.closed = 1;
        if (i == goal) {
            int n = 1;
            for (int c = i; c != start; c = nodes[c].parent) ++n;
            int k = n;
            for (int c = i;; c = nodes[c].parent) {
                s.result[--k] = PathCell{uint8_t(c % MAP_SIZE), uint8_t(c / MAP_SIZE)};
                if (c == start) break;
            }
            *cells = s.result;
            return n;
        }

        const float cg = cur.g;
        auto relax = [&](int nx, int ny, float cost) {
            const int ni = cell_index(nx, ny);
            Node& n = nodes[ni];
            const float ng = cg + cost;
            const float nf = ng + float(iabs(nx - gx) + iabs(ny - gy));
            if (n.stamp == stamp) {
                if (n.closed || !(nf < n.f)) return;
            } else {
                n.stamp = stamp;
                n.closed = 0;
            }
            n.g = ng;
            n.f = nf;
            n.parent = uint16_t(i);
            s.push(open_key(nf, nx, ny));
        };

        // The current cell lies in 4..123, so its eight neighbours are on the grid;
        // a neighbour is usable only inside 4..123. The two cells beside a
        // diagonal move are the axis neighbours, read once here.
        const bool in_n = oy - 1 > 3, in_e = ox + 1 < 124, in_s = oy + 1 < 124, in_w = ox - 1 > 3;
        const bool sol_n = F[i - MAP_SIZE] & CELL_SOLID, sol_e = F[i + 1] & CELL_SOLID;
        const bool sol_s = F[i + MAP_SIZE] & CELL_SOLID, sol_w = F[i - 1] & CELL_SOLID;
        if (in_n && !sol_n) relax(ox, oy - 1, 1.0f);
        if (in_e && !sol_e) relax(ox + 1, oy, 1.0f);
        if (in_s && !sol_s) relax(ox, oy + 1, 1.0f);
        if (in_w && !sol_w) relax(ox - 1, oy, 1.0f);
        if (in_n && in_w && !sol_n && !sol_w && !(F[i - MAP_SIZE - 1] & CELL_SOLID))
            relax(ox - 1, oy - 1, DIAGONAL);
        if (in_n && in_e && !sol_n && !sol_e && !(F[i - MAP_SIZE + 1] & CELL_SOLID))
            relax(ox + 1, oy - 1, DIAGONAL);
        if (in_s && in_w && !sol_s && !sol_w && !(F[i + MAP_SIZE - 1] & CELL_SOLID))
            relax(ox - 1, oy + 1, DIAGONAL);
        if (in_s && in_e && !sol_s && !sol_e && !(F[i + MAP_SIZE + 1] & CELL_SOLID))
            relax(ox + 1, oy + 1, DIAGONAL);
    }
    return 0;
}

void set_path(game& g, actor& a, int gx, int gy, int force) {
    if ((a.cell_x == gx && a.cell_y == gy) || force) a.steps = 0;
    const PathCell* cells = nullptr;
    const int n = find_path(g, a.cell_x, a.cell_y, gx, gy, &cells);
    if (n < 2 || n > PATH_MAX_STEPS) return;
    // Last step first: path[0] is the goal, path[steps - 1] the next cell.
    for (int k = 0; k < n - 1; ++k) {
        a.path[k][0] = cells[n - 1 - k].x;
        a.path[k][1] = cells[n - 1 - k].y;
    }
    a.steps = n - 1;
}

void set_line_path(game&, actor& a, int gx, int gy) {
    const int lx = whole(a.x), ly = whole(a.y);
    const int dx = gx - lx, dy = gy - ly;
    const int axes = (dx != 0) + (dy != 0);
    if (axes == 0) {  // already there: an empty path
        a.steps = 0;
        return;
    }
    const int n = (iabs(dx) + iabs(dy)) / axes;
    if (n >= PATH_MAX_STEPS) return;
    const int sx = dx > 0 ? 1 : dx < 0 ? -1 : 0, sy = dy > 0 ? 1 : dy < 0 ? -1 : 0;
    // A line that is neither straight nor diagonal runs past the lamp on its
    // shorter axis; refuse one that would leave the grid.
    for (int k = 0; k < n; ++k)
        if (!on_map(gx - k * sx, gy - k * sy)) return;
    for (int k = 0; k < n; ++k) {
        a.path[k][0] = uint8_t(gx - k * sx);
        a.path[k][1] = uint8_t(gy - k * sy);
    }
    a.steps = n;
}

void follow_path(game& g, actor& a) {
    level& lv = g.level;
    if (a.steps < 0 || a.steps > PATH_MAX_STEPS) a.steps = 0;
    a.x = float(a.cell_x);
    a.y = float(a.cell_y);
    a.dx = a.dy = 0.0f;

    if (a.steps == 0) {
        if (a.return_x != 0) {
            set_path(g, a, a.return_x, a.return_y, 1);
            a.mode = MODE_WALKING;
            if (a.steps == 0) {
                if (a.cell_x == a.return_x && a.cell_y == a.return_y && a.return_facing)
                    a.facing = a.return_facing;
                a.return_facing = 0;
            }
            a.return_x = a.return_y = 0;
        }
        if (a.steps == 0 && a.return_facing) {
            a.facing = a.return_facing;
            a.return_facing = 0;
        }
        if (a.steps == 0 && a.route_count > 2) {
            const int count = a.route_count > ROUTE_MAX_POINTS ? ROUTE_MAX_POINTS : a.route_count;
            a.route_pos += 1;
            a.mode = MODE_STANDING;
            if (a.route_pos >= count || a.route_pos < 0) {
                // Past the last point: loop back, or stay past the end for good.
                const int c = a.route_continue;
                a.route_pos = c > 0 && c < count ? c : count;
            }
            if (a.route_pos > 0 && a.route_pos < count) {
                const int gx = a.route[a.route_pos][0], gy = a.route[a.route_pos][1];
                if (a.kind == ACTOR_LAMP) {
                    set_line_path(g, a, gx, gy);
                } else {
                    set_path(g, a, gx, gy, 1);
                    a.mode = MODE_WALKING;
                }
            }
        }
    }

    if (a.steps > 0) {
        a.steps -= 1;
        const int nx = a.path[a.steps][0], ny = a.path[a.steps][1];
        if (a.kind == ACTOR_GUARD) {
            for (int s = 0; s < a.slot && s < MAX_ACTORS; ++s) {
                const actor& b = lv.actors[s];
                if (!b.active || b.kind != ACTOR_GUARD) continue;
                if (b.dx == 0.0f && b.dy == 0.0f && b.steps == 0) continue;
                const float ex = a.x - b.x, ey = a.y - b.y;
                if (ex * ex + ey * ey < 1.0f) {
                    a.steps += 1;  // wait on this cell and try again next tick
                    a.counter = 7;
                    return;
                }
            }
        }
        const bool blocked = a.kind == ACTOR_LAMP
                                 ? !on_map(nx, ny)
                                 : !in_play(nx, ny) || (g.flags[cell_index(nx, ny)] & CELL_SOLID);
        if (blocked) {
            a.steps = 0;
        } else {
            a.cell_x = int8_t(nx);
            a.cell_y = int8_t(ny);
            a.dx = float(nx) - a.x;
            a.dy = float(ny) - a.y;
            if (a.dx != 0.0f || a.dy != 0.0f) a.has_moved = 1;
        }
    }

    if (a.mode != MODE_STANDING && a.dx == 0.0f && a.dy == 0.0f) a.mode = MODE_STANDING;
}

void move_actor(game& g, actor& a, int n) {
    if (n == 0) return;
    const float mx = a.dx / float(n), my = a.dy / float(n);
    level& lv = g.level;
    if (g.state == STATE_LEVEL && a.kind == ACTOR_PLAYER) {
        const float cx = lv.view_x, cy = lv.view_y, r = lv.view_r / 3.0f;
        const float x0 = a.x + mx - cx, y0 = a.y + my - cy;
        const float x1 = x0 + mx, y1 = y0 + my;
        const float d0 = std::sqrt(x0 * x0 + y0 * y0), d1 = std::sqrt(x1 * x1 + y1 * y1);
        if (d0 < d1 && r - 2.0f < d0 && d0 < r) {
            lv.look_x += mx;
            lv.look_y += my;
        }
    }
    a.x += mx;
    a.y += my;
}

void walk_direction(game& g, int kx, int ky) {
    level_sanitize(g.level);
    actor* p = find_actor(g, ACTOR_PLAYER);
    if (!p) return;
    const double t = (-45.0 - double(g.level.cam_angle)) * M_PI / 180.0;
    const double u1 = kx * std::cos(t) - ky * std::sin(t);
    const double w1 = kx * std::sin(t) + ky * std::cos(t);
    const int u = std::fabs(u1) > 0.5 ? (u1 > 0 ? 1 : -1) : 0;
    const int w = std::fabs(w1) > 0.5 ? (w1 > 0 ? 1 : -1) : 0;
    int gx = p->cell_x, gy = p->cell_y;
    if (u != 0 || w != 0) {
        while (in_play(gx + u, gy + w) && !solid_at(g, gx + u, gy + w)) {
            gx += u;
            gy += w;
        }
    }
    set_path(g, *p, gx, gy, 1);
    if (p->x == float(p->cell_x) && p->y == float(p->cell_y)) p->counter = 6;
}

void walk_to(game& g, int x, int y) {
    level_sanitize(g.level);
    for (actor& a : g.level.actors) {
        if (!a.active || a.kind != ACTOR_PLAYER) continue;
        set_path(g, a, x, y, 0);
        if (a.x == float(a.cell_x) && a.y == float(a.cell_y)) a.counter = 7;
    }
}

void pick_cell(game& g) {
    level& lv = g.level;
    const int px = whole(lv.mouse_x), py = whole(lv.mouse_y);
    const int ox = whole(lv.pick_x), oy = whole(lv.pick_y);
    bool found = false;
    long best = 0;
    int bx = px, by = py;
    for (int j = -3; j <= 3; ++j) {
        for (int i = -3; i <= 3; ++i) {
            const int x = px + i, y = py + j;
            if (!in_play(x, y)) continue;
            const long score =
                long(iabs(x - px) + iabs(y - py) + (solid_at(g, x, y) ? 100 : 0)) * 100 +
                iabs(y - oy) + iabs(x - ox);
            if (!found || score < best) {
                found = true;
                best = score;
                bx = x;
                by = y;
            }
        }
    }
    lv.pick_x = float(bx) + 0.5f;
    lv.pick_y = float(by) + 0.5f;
}
