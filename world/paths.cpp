#include "world/paths.h"

#include <cmath>
#include <cstring>

#include "core/state.h"
#include "world/model.h"

namespace {

const float DIAGONAL = 1.4142135f;
const int N_CELLS = MAP_SIZE * MAP_SIZE;

// The open set is a bucket queue keyed by f: bucket floor(f * 4) holds a list of
// entries naming the open nodes whose f falls in it, and the node taken is the one
// with the smallest (f, y * 65536 + x) in the lowest non-empty bucket. Within the
// playable area y * 65536 + x orders exactly like the cell index x + 128 * y, so
// the cell index breaks ties. A node whose f drops into another bucket gets a new
// entry there; the old one is recognised as stale (the node is closed, or its f
// lies in another bucket) and dropped when its bucket is scanned. f is never
// negative and stays below the cost of a path through every cell plus the largest h.
const int BUCKETS_PER_UNIT = 4;
const int N_BUCKETS = int((N_CELLS * 1.5f + 256.0f) * BUCKETS_PER_UNIT);
const int N_ENTRIES = N_CELLS * 9;  // one per opening, at most 8 more per cell

// One search's node per cell. Each search takes two new tag values above all earlier
// ones, `open` and `closed` = `open` + 1; a tag below `open` means the node is
// untouched in this search, so nothing is cleared between searches. `bucket` is the
// bucket of f, so a stale entry is told by one compare.
struct Node {
    float g, f;
    uint32_t tag;
    int32_t bucket;
};

struct Entry {
    int32_t next;  // next entry of the bucket; -1 ends it
    int32_t cell;
};

struct Search {
    Node nodes[N_CELLS];
    uint16_t parent[N_CELLS];
    int32_t head[N_BUCKETS];
    Entry entries[N_ENTRIES];
    int lo_touched = N_BUCKETS, hi_touched = -1;  // buckets to empty before the next search
    uint32_t tag = 0;  // the closed tag of the last search
    PathCell result[N_CELLS];

    Search() {
        for (Node& n : nodes) n.tag = 0;
        for (int32_t& h : head) h = -1;
    }
};

inline int bucket_of(float f) { return int(f * float(BUCKETS_PER_UNIT)); }

Search* g_search = nullptr;

Search& search_state() {
    if (!g_search) g_search = new Search();  // once per process, kept for every search
    return *g_search;
}

// Usable neighbours by what blocks them. The index holds the solid bits of the 3 x 3
// cells around the current one, three bits per row from the top (west, middle,
// east), with an axis neighbour outside 4..123 counted as solid. Result bit k:
// neighbour k is usable, in the order N, E, S, W, NW, NE, SW, SE; a diagonal needs
// both axis cells beside it free, so no corner is cut.
struct NeighbourTable {
    uint8_t usable[512];
    NeighbourTable() {
        for (int m = 0; m < 512; ++m) {
            const bool n = !(m & 2), e = !(m & 32), s = !(m & 128), w = !(m & 8);
            int u = (n ? 1 : 0) | (e ? 2 : 0) | (s ? 4 : 0) | (w ? 8 : 0);
            if (n && w && !(m & 1)) u |= 16;
            if (n && e && !(m & 4)) u |= 32;
            if (s && w && !(m & 64)) u |= 64;
            if (s && e && !(m & 256)) u |= 128;
            usable[m] = uint8_t(u);
        }
    }
};
const NeighbourTable NEIGHBOURS;

// The solid bits of three cells in a row from `at`, as bits 0..2 (one little-endian
// read of four flag bytes).
inline unsigned solid_row(const uint8_t* flags, int at) {
    uint32_t v;
    memcpy(&v, flags + at, sizeof v);
    v &= 0x010101u * CELL_SOLID;
    return (v | v >> 7 | v >> 14) & 7u;
}

const int NB_DI[8] = {-MAP_SIZE, 1, MAP_SIZE, -1, -MAP_SIZE - 1, -MAP_SIZE + 1, MAP_SIZE - 1,
                      MAP_SIZE + 1};

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
    for (int b = s.lo_touched; b <= s.hi_touched; ++b) s.head[b] = -1;
    if (s.tag >= 0xFFFFFFF0u) {  // tags about to wrap: forget every node once
        for (Node& n : s.nodes) n.tag = 0;
        s.tag = 1;
    }
    const uint32_t open = s.tag + 1, closed = s.tag + 2;
    s.tag = closed;
    Node* const nodes = s.nodes;
    uint16_t* const parent = s.parent;
    int32_t* const head = s.head;
    Entry* const entries = s.entries;
    int n_entries = 0, open_count = 0;
    int low = N_BUCKETS, lo_touched = N_BUCKETS, hi_touched = -1;

    // Buckets from lo_touched to hi_touched may hold entries when the search ends;
    // every bucket an entry goes to is at least the lowest `low` seen.
    auto open_in_bucket = [&](int cell, int b) {
        entries[n_entries] = Entry{head[b], cell};
        head[b] = n_entries++;
        low = b < low ? b : low;
        hi_touched = b > hi_touched ? b : hi_touched;
    };

    {
        Node& n = nodes[start];
        n.tag = open;
        n.g = 0.0f;
        n.f = float(iabs(sx - gx) + iabs(sy - gy));
        n.bucket = bucket_of(n.f);
        parent[start] = uint16_t(start);
        open_in_bucket(start, n.bucket);
        open_count = 1;
    }

    int found = 0;
    int next = -1;  // a node known to be the smallest open one: taken without the queue
    while (open_count > 0) {
        int i = next;
        next = -1;
        if (i < 0) {
            // The smallest (f, cell) among the live entries of the lowest bucket;
            // stale entries met on the way are unlinked. `link` points at the index
            // that leads to the entry in hand (the bucket's head or an entry's `next`).
            lo_touched = low < lo_touched ? low : lo_touched;
            for (;; ++low) {
                int32_t* link = &head[low];
                int32_t* best_link = nullptr;
                float best_f = 0.0f;
                for (int e = *link; e >= 0; e = *link) {
                    Entry& en = entries[e];
                    const Node& n = nodes[en.cell];
                    if (n.tag != open || n.bucket != low) {
                        *link = en.next;
                        continue;
                    }
                    if (!best_link || n.f < best_f || (n.f == best_f && en.cell < i)) {
                        best_link = link;
                        best_f = n.f;
                        i = en.cell;
                    }
                    link = &en.next;
                }
                if (best_link) {
                    *best_link = entries[*best_link].next;
                    break;
                }
            }
        }
        --open_count;
        Node& cur = nodes[i];
        cur.tag = closed;
        if (i == goal) {
            found = 1;
            break;
        }

        const int ox = i % MAP_SIZE, oy = i / MAP_SIZE;
        // The current cell lies in 4..123, so the 3 x 3 cells around it (and the
        // fourth byte each row read takes) are on the grid.
        const unsigned blocked = solid_row(F, i - MAP_SIZE - 1) |
                                 solid_row(F, i - 1) << 3 |
                                 solid_row(F, i + MAP_SIZE - 1) << 6 |
                                 unsigned(oy == MAP_MIN) << 1 | unsigned(ox == MAP_MAX) << 5 |
                                 unsigned(oy == MAP_MAX) << 7 | unsigned(ox == MAP_MIN) << 3;
        unsigned usable = NEIGHBOURS.usable[blocked];
        // g and f of all eight neighbours at once: g = g + step cost, then f = g + h.
        // h of a neighbour sums small whole numbers, exact in float.
        const int hx = ox - gx, hy = oy - gy;
        const float hxs[3] = {float(iabs(hx - 1)), float(iabs(hx)), float(iabs(hx + 1))};
        const float hys[3] = {float(iabs(hy - 1)), float(iabs(hy)), float(iabs(hy + 1))};
        const float g1 = cur.g + 1.0f, g2 = cur.g + DIAGONAL;
        const float ngs[8] = {g1, g1, g1, g1, g2, g2, g2, g2};
        const float nfs[8] = {g1 + (hxs[1] + hys[0]), g1 + (hxs[2] + hys[1]),
                              g1 + (hxs[1] + hys[2]), g1 + (hxs[0] + hys[1]),
                              g2 + (hxs[0] + hys[0]), g2 + (hxs[2] + hys[0]),
                              g2 + (hxs[0] + hys[2]), g2 + (hxs[2] + hys[2])};
        // Of the nodes this expansion opens or moves to another bucket, the one with
        // the smallest (f, cell) is held back: when its bucket lies below every
        // bucket holding entries it is the next node to take, with no entry made.
        int cand = -1, cand_b = 0;
        float cand_f = 0.0f;
        while (usable) {
            const int k = __builtin_ctz(usable);
            usable &= usable - 1;
            const int ni = i + NB_DI[k];
            Node& n = nodes[ni];
            const float nf = nfs[k];
            if (n.tag >= open) {  // seen in this search
                if (n.tag == closed || !(nf < n.f)) continue;
            } else {
                n.tag = open;
                n.bucket = -1;  // no entry yet
                ++open_count;
            }
            n.g = ngs[k];
            n.f = nf;
            parent[ni] = uint16_t(i);
            const int b = bucket_of(nf);
            if (b == n.bucket) continue;  // its entry stays right
            n.bucket = b;                 // any older entry goes stale
            if (cand < 0) {
                cand = ni;
                cand_f = nf;
                cand_b = b;
            } else if (nf < cand_f || (nf == cand_f && ni < cand)) {
                open_in_bucket(cand, cand_b);
                cand = ni;
                cand_f = nf;
                cand_b = b;
            } else {
                open_in_bucket(ni, b);
            }
        }
        if (cand >= 0) {
            if (cand_b < low)
                next = cand;
            else
                open_in_bucket(cand, cand_b);
        }
    }
    lo_touched = low < lo_touched ? low : lo_touched;
    s.lo_touched = lo_touched;
    s.hi_touched = hi_touched;
    if (!found) return 0;

    int n = 1;
    for (int c = goal; c != start; c = parent[c]) ++n;
    int k = n;
    for (int c = goal;; c = parent[c]) {
        s.result[--k] = PathCell{uint8_t(c % MAP_SIZE), uint8_t(c / MAP_SIZE)};
        if (c == start) break;
    }
    *cells = s.result;
    return n;
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
