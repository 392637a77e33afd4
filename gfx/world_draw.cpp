// The 3D scene of the live level: tiles inside the visible circle and the actors
// are gathered into eleven quad batches, which are then drawn batch by batch with
// fixed render states (so drawing is ordered by batch, not by tile), followed by
// the overlays.
//
// The software rasteriser this must also run on pays for every quad and every
// textured pixel, so: tiles whose geometry stays off screen are not gathered,
// pictures are cut down to their visible part before they become quads, and
// each quad's four corners are lit once (indexed drawing).
//
// Placement choices of this renderer: upright pictures (standing tiles and
// actors) are camera-facing quads whose bottom lies at 4 x shape.y / 96 world
// units (the artwork puts the floor line at three quarters of the picture, so the
// shipped pictures stand from -1 to 3 with their feet on the ground); glows of
// blasts grow by 1.5 units, half above and half below; lamps light the scene
// while they lie within 6 cells of the visible circle on both axes.
//
// What makes the scene read at a glance: the moon shines from the north, where
// the shaded cells south of each wall say it is; lamp colours stay below white
// so pools keep their hue; dark floor is lifted to a murky blue; targets wear
// their own pictures unlit, so no lamp, darkness or EMP changes them; crates
// have pictures of their own; the agent keeps its own colours (unlit, like the
// pick-ups) with its glow behind it; lamps show their fixture; window-like
// tiles fill their opening (the exit with light, which also falls on the floor
// where the agent escapes); the editor's overhead view draws walls pale and
// unlit. A level's theme field picks its floor and wall pictures (gfx/theme.h).
#include "gfx/world_draw.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/state.h"
#include "gfx/graphics_internal.h"
#include "gfx/theme.h"
#include "platform/driver.h"
#include "world/catalogue.h"
#include "world/model.h"
#include "world/rules.h"

namespace {

QuadBatch g_batches[BATCH_COUNT];
WorldStats g_stats;

const int LAMP_MARGIN = 6;         // cells beyond the visible circle a lamp still lights
const int MAX_POINT_LIGHTS = 7;    // GL lights 1..7
const float LIGHT_HEIGHT = 2.45f;  // point lights hang this high over their cell
const float SPRITE_LIGHT_RAISE = 3.0f;
const float FLAT = 0.01f;          // shadows, decals and icons lie this far above the floor

// The moon, a directional light from the north and high up: lit wall faces look
// north, as the shaded cells (one or two south of a wall) say.
const float MOON_DIRECTION[4] = {0, 40, -20, 0};
const float MOON[4] = {0.15f, 0.25f, 0.35f, 1};
const float NIGHT_AMBIENT[4] = {0.075f, 0.125f, 0.175f, 1};
// Lamp colours by the lamp's value (1 amber, 2 blue, 3 red, 4 violet; any other
// value amber), and a blast's. They are kept weak enough that the lit floor stays
// below white in every channel near the lamp, so the pool shows the lamp's hue
// instead of clipping to yellow, cyan or magenta.
struct LightColour {
    float r, g, b;
};
const LightColour LAMP_COLOURS[5] = {
    {6.0f, 2.9f, 0.3f},   // amber
    {6.0f, 2.9f, 0.3f},   // amber
    {0.3f, 2.6f, 7.0f},   // blue
    {6.5f, 0.4f, 0.3f},   // red
    {3.4f, 0.5f, 6.5f},   // violet
};
const LightColour BLAST_COLOUR = {36, 20, 6};
// The dark floor is lit by the night's ambient light alone; this lifts it to a
// murky blue in which the flagstones still show, so it reads as floor in deep
// shadow rather than as a hole.
const float DARK_FLOOR_COLOUR[4] = {1.7f, 1.75f, 2.3f, 1};
// Walls in the editor's overhead view: unlit and pale, so they stand apart from
// any floor, lamplit or not.
const float OVERHEAD_WALL_COLOUR[4] = {1.25f, 1.3f, 1.4f, 1};
// The cells a guard sees near the agent are marked this strongly.
const float SEEN_MARK_ALPHA = 0.6f;

// Camera-facing quads of the sprite batches take this normal (lit from above);
// on dark cells the normal points down so only the ambient light reaches them.
const Vec3 NORMAL_UP{0, 1, 0};
const Vec3 NORMAL_DOWN{0, -1, 0};

struct Lamp {
    float x, z;     // light position on the ground plane
    float r, g, b;  // diffuse
};

// What one frame needs while it gathers quads.
struct Scene {
    game& g;
    const level& lv;
    bool editor = false;
    bool mode3d = true;
    int floor_gl = 0, walls_gl = 0;
    int img_shadow = 0;
    Vec3 right;                      // screen right along the ground (unit)
    Vec3 away;                       // screen up along the ground (unit)
    float cx = 0, cz = 0, radius = 0;
    int sprite_img[256];             // per tile number, -1 until looked up
    int icon_img[256];
    int decal_img[256];
    int pane_img[256];

    Scene(game& gr) : g(gr), lv(gr.level) {
        for (int i = 0; i < 256; ++i) sprite_img[i] = icon_img[i] = decal_img[i] = pane_img[i] = -1;
    }
};

// The visible part of a picture as fractions of its width (x0..x1, left to
// right) and height (y0..y1, top to bottom), and its texture rectangle. Quads
// are cut down to it: the transparent margins of sprites and shadows would
// otherwise cost the rasteriser most of its work for nothing.
struct Visible {
    float x0 = 0, x1 = 1, y0 = 0, y1 = 1;
    Rect uv;
    bool empty = false;
};

Visible visible_part(int image) {
    Visible v;
    const Image& img = image_entry(image);
    const Texture& tex = texture_entry(img.texture);
    const Rect o = image_opaque_rect(image);
    if (img.rect.w > 0 && img.rect.h > 0) {
        v.x0 = (o.x - img.rect.x) / img.rect.w;
        v.x1 = (o.x + o.w - img.rect.x) / img.rect.w;
        v.y0 = (o.y - img.rect.y) / img.rect.h;
        v.y1 = (o.y + o.h - img.rect.y) / img.rect.h;
        v.empty = o.w <= 0 || o.h <= 0;
    }
    v.uv = Rect{ratio(o.x, tex.size.w), ratio(o.y, tex.size.h), ratio(o.w, tex.size.w),
                ratio(o.h, tex.size.h)};
    return v;
}

// A picture that may be missing from "image.txt": 0 then, without the lookup's
// "trying load" line (which would come every frame).
int optional_image(const std::string& name) { return image_described(name) ? image_get(name) : 0; }

int cached_image(int* cache, int tile, const char* prefix, const game& g) {
    if (cache[tile] < 0) {
        const char* name = tile_name(g, tile);
        cache[tile] = image_get(std::string(prefix) + std::string(name, strnlen(name, 32)));
    }
    return cache[tile];
}

int decal_image(Scene& s, int tile) {
    if (s.decal_img[tile] < 0 && tile == 0) s.decal_img[0] = image_get("decal-none");
    return cached_image(s.decal_img, tile, "decal-", s.g);
}

// A flat map-aligned rectangle [x0, x1] x [z0, z1] at height y, picture x along
// map x and picture y along map y.
void add_flat_map(QuadBatch& b, int gl, const Rect& uv, float x0, float z0, float x1, float z1,
                  float y) {
    batch_add_quad(b, gl, NORMAL_UP, uv, Vec3{x0, y, z1}, Vec3{x1, y, z1}, Vec3{x0, y, z0},
                   Vec3{x1, y, z0}, false);
}

void add_flat_image(QuadBatch& b, int image, float x0, float z0, float x1, float z1, float y) {
    if (!image) return;
    const Visible v = visible_part(image);
    if (v.empty) return;
    const float w = x1 - x0, h = z1 - z0;
    add_flat_map(b, image_gl_texture(image), v.uv, x0 + v.x0 * w, z0 + v.y0 * h, x0 + v.x1 * w,
                 z0 + v.y1 * h, y);
}

// A flat square of side `side` centred on (cx, cz) at height y, turned like the
// screen (the top of the picture away from the viewer).
void add_flat_screen(Scene& s, QuadBatch& b, int image, float cx, float cz, float side,
                     float y = FLAT) {
    if (!image) return;
    const Visible v = visible_part(image);
    if (v.empty) return;
    // Picture point (fx, fy) lies at centre + right (fx - 1/2) side - away (fy - 1/2) side.
    const auto at = [&](float fx, float fy) {
        const float r = (fx - 0.5f) * side, a = (0.5f - fy) * side;
        return Vec3{cx + s.right.x * r + s.away.x * a, y, cz + s.right.z * r + s.away.z * a};
    };
    batch_add_quad(b, image_gl_texture(image), NORMAL_UP, v.uv, at(v.x0, v.y1), at(v.x1, v.y1),
                   at(v.x0, v.y0), at(v.x1, v.y0), false);
}

// An upright picture `width` wide standing on (cx, cz) from `bottom` to `top`,
// facing the camera.
void add_upright(Scene& s, QuadBatch& b, int image, float cx, float cz, float width, float bottom,
                 float top, const Vec3& normal) {
    if (!image) return;
    const Visible v = visible_part(image);
    if (v.empty) return;
    const float l = (v.x0 - 0.5f) * width, r = (v.x1 - 0.5f) * width;
    const float lo = top - v.y1 * (top - bottom), hi = top - v.y0 * (top - bottom);
    batch_add_quad(b, image_gl_texture(image), normal, v.uv,
                   Vec3{cx + s.right.x * l, lo, cz + s.right.z * l},
                   Vec3{cx + s.right.x * r, lo, cz + s.right.z * r},
                   Vec3{cx + s.right.x * l, hi, cz + s.right.z * l},
                   Vec3{cx + s.right.x * r, hi, cz + s.right.z * r}, false);
}

int map_tile(const level& lv, int x, int z) {
    return on_map(x, z) ? lv.map[cell_index(x, z)] : -1;
}
int cell_flags(const game& g, int x, int z) { return on_map(x, z) ? g.flags[cell_index(x, z)] : 0; }

float cell_u(int n) { return float(n % 5) / 5.0f; }

// A block over cell (x, z) from y = bottom to top, shrunk by `inset` on all four
// sides, textured from `gl` (the walls or the floor picture). `view` is the
// tile's view: a side is left out where the neighbour has the same wall-like view
// (4..7), so runs of equal walls form one mass; inset blocks keep every side, or
// neighbouring pillars would show holes. Sides facing a dark cell go into the
// dark-side batch.
void add_block(Scene& s, int batch, int gl, int x, int z, float bottom, float top, float inset,
               int view) {
    QuadBatch& own = g_batches[batch];
    const float x0 = float(x) + inset, x1 = float(x) + 1 - inset;
    const float z0 = float(z) + inset, z1 = float(z) + 1 - inset;
    batch_add_quad(own, gl, NORMAL_UP, Rect{cell_u(x), cell_u(z), 0.2f, 0.2f},
                   Vec3{x0, top, z1}, Vec3{x1, top, z1}, Vec3{x0, top, z0}, Vec3{x1, top, z0},
                   true);
    struct Side {
        int dx, dz;
    };
    static const Side sides[4] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}};
    for (const Side& side : sides) {
        const int nx = x + side.dx, nz = z + side.dz;
        const int ntile = map_tile(s.lv, nx, nz);
        if (inset == 0 && view >= 4 && view <= 7 && ntile >= 0 && tile_view(s.g, ntile) == view)
            continue;
        QuadBatch& b = (cell_flags(s.g, nx, nz) & CELL_DARK) ? g_batches[BATCH_DARK_SIDE] : own;
        if (side.dz == 1)  // south, +z
            batch_add_quad(b, gl, Vec3{0, 0, 1}, Rect{cell_u(x), 0, 0.2f, 0.4f},
                           Vec3{x0, bottom, z1}, Vec3{x1, bottom, z1}, Vec3{x0, top, z1},
                           Vec3{x1, top, z1}, true);
        else if (side.dx == 1)  // east, +x
            batch_add_quad(b, gl, Vec3{1, 0, 0}, Rect{cell_u(1000 - z), 0.5f, 0.2f, 0.4f},
                           Vec3{x1, bottom, z1}, Vec3{x1, bottom, z0}, Vec3{x1, top, z1},
                           Vec3{x1, top, z0}, true);
        else if (side.dz == -1)  // north, -z
            batch_add_quad(b, gl, Vec3{0, 0, -1}, Rect{cell_u(1000 - x), 0, 0.2f, 0.4f},
                           Vec3{x1, bottom, z0}, Vec3{x0, bottom, z0}, Vec3{x1, top, z0},
                           Vec3{x0, top, z0}, true);
        else  // west, -x
            batch_add_quad(b, gl, Vec3{-1, 0, 0}, Rect{cell_u(z), 0, 0.2f, 0.4f},
                           Vec3{x0, bottom, z0}, Vec3{x0, bottom, z1}, Vec3{x0, top, z0},
                           Vec3{x0, top, z1}, true);
    }
}

// The texture rectangle of a whole picture (texture units), or an empty one.
Rect image_uv(int image) {
    const Image& img = image_entry(image);
    const Texture& tex = texture_entry(img.texture);
    return Rect{ratio(img.rect.x, tex.size.w), ratio(img.rect.y, tex.size.h),
                ratio(img.rect.w, tex.size.w), ratio(img.rect.h, tex.size.h)};
}

// A box over cell (x, z) from y = bottom to top, shrunk by `inset`, dressed in
// pictures of its own: the top shows the whole of `top_image`, every side the
// band of `side_image` from v0 to v1 (fractions of its height, top down), so a
// stack of boxes can share one picture of the whole elevation. With
// `dark_sides`, sides facing a dark cell go into the dark-side batch.
void add_box(Scene& s, int batch, int top_image, int side_image, int x, int z, float bottom,
             float top, float inset, float v0, float v1, bool dark_sides) {
    const float x0 = float(x) + inset, x1 = float(x) + 1 - inset;
    const float z0 = float(z) + inset, z1 = float(z) + 1 - inset;
    const Rect t = image_uv(top_image);
    const Rect r = image_uv(side_image);
    const Rect side{r.x, r.y + v0 * r.h, r.w, (v1 - v0) * r.h};
    const int top_gl = image_gl_texture(top_image), side_gl = image_gl_texture(side_image);
    batch_add_quad(g_batches[batch], top_gl, NORMAL_UP, t, Vec3{x0, top, z1}, Vec3{x1, top, z1},
                   Vec3{x0, top, z0}, Vec3{x1, top, z0}, true);
    struct Side {
        int dx, dz;
        Vec3 normal, p1, p2;  // bottom corners, left to right as seen from outside
    };
    const Side sides[4] = {
        {0, 1, Vec3{0, 0, 1}, Vec3{x0, 0, z1}, Vec3{x1, 0, z1}},
        {1, 0, Vec3{1, 0, 0}, Vec3{x1, 0, z1}, Vec3{x1, 0, z0}},
        {0, -1, Vec3{0, 0, -1}, Vec3{x1, 0, z0}, Vec3{x0, 0, z0}},
        {-1, 0, Vec3{-1, 0, 0}, Vec3{x0, 0, z0}, Vec3{x0, 0, z1}},
    };
    for (const Side& f : sides) {
        const bool dark = dark_sides && (cell_flags(s.g, x + f.dx, z + f.dz) & CELL_DARK);
        QuadBatch& b = g_batches[dark ? BATCH_DARK_SIDE : batch];
        batch_add_quad(b, side_gl, f.normal, side, Vec3{f.p1.x, bottom, f.p1.z},
                       Vec3{f.p2.x, bottom, f.p2.z}, Vec3{f.p1.x, top, f.p1.z},
                       Vec3{f.p2.x, top, f.p2.z}, true);
    }
}

// A target: base, shaft, cap and crown, dressed in the target's own pictures
// and drawn unlit, so it reads the same under every lamp, in the dark and
// during an EMP.
void add_target(Scene& s, int x, int z) {
    const int top = optional_image("target-top"), side = optional_image("target-side");
    static const struct {
        float bottom, top, inset;
    } parts[4] = {{0, 0.35f, 0}, {0.35f, 2.15f, 0.125f}, {2.15f, 2.5f, 0}, {2.5f, 2.675f, 0.25f}};
    const float height = parts[3].top;
    for (const auto& p : parts) {
        if (top && side)
            add_box(s, BATCH_TINTED, top, side, x, z, p.bottom, p.top, p.inset,
                    (height - p.top) / height, (height - p.bottom) / height, false);
        else  // a data folder without them: the stone of the walls
            add_block(s, BATCH_TINTED, s.walls_gl, x, z, p.bottom, p.top, p.inset, TILE_PILLAR);
    }
}

// A crate in its own pictures, or in the walls' stone when they are missing.
void add_crate(Scene& s, int x, int z) {
    const int top = optional_image("crate-top"), side = optional_image("crate-side");
    if (top && side)
        add_box(s, BATCH_BLOCK, top, side, x, z, 0, 1.25f, 0, 0, 1, true);
    else
        add_block(s, BATCH_BLOCK, s.walls_gl, x, z, 0, 1.25f, 0, TILE_CRATE);
}

// The light an exit throws on the floor on either side of it, where the agent
// escapes: the picture "spill-<tile name>" (its top at the window) on each
// neighbouring floor cell across the wall line, added like a glow.
void add_spill(Scene& s, int tile, int x, int z, bool along_x) {
    const char* name = tile_name(s.g, tile);
    const int image = optional_image("spill-" + std::string(name, strnlen(name, 32)));
    if (!image) return;  // an exit may come without one
    const float depth = 1.5f;
    for (int side = -1; side <= 1; side += 2) {
        const int nx = along_x ? x : x + side, nz = along_x ? z + side : z;
        const int t = map_tile(s.lv, nx, nz);
        if (t <= 0) continue;
        const int v = tile_view(s.g, t);
        if (v != TILE_FLOOR && v != TILE_DARK && v != TILE_SPRITE && v != TILE_DECAL) continue;
        // The window's edge on this side, and the direction into the room.
        const float ex = along_x ? float(x) : float(x) + (side > 0 ? 1.0f : 0.0f);
        const float ez = along_x ? float(z) + (side > 0 ? 1.0f : 0.0f) : float(z);
        const Vec3 e0{ex, FLAT, ez};
        const Vec3 e1 = along_x ? Vec3{ex + 1, FLAT, ez} : Vec3{ex, FLAT, ez + 1};
        const Vec3 in = along_x ? Vec3{0, 0, float(side) * depth} : Vec3{float(side) * depth, 0, 0};
        batch_add_quad(g_batches[BATCH_GLOW], image_gl_texture(image), NORMAL_UP, image_uv(image),
                       Vec3{e0.x + in.x, FLAT, e0.z + in.z}, Vec3{e1.x + in.x, FLAT, e1.z + in.z}, e0,
                       e1, false);
    }
}

// What fills the opening of a window-like tile (view "window") between its sill
// and lintel: the picture "pane-<tile name>" across the cell along the wall it
// sits in. The exit's pane glows (additive) and spills light on the floor; any
// other pane is drawn unlit, like a pick-up, so bars show against the dark
// beyond. Overhead, the tile's icon lies on its lintel.
void add_opening(Scene& s, int tile, int x, int z) {
    const float cx = float(x) + 0.5f, cz = float(z) + 0.5f;
    if (!s.mode3d) {
        const int icon = cached_image(s.icon_img, tile, "icon-", s.g);
        add_flat_screen(s, g_batches[BATCH_DECAL], icon, cx, cz, 1.0f, 2.5f + FLAT);
        return;
    }
    if (s.pane_img[tile] < 0) {  // a window-like tile may come without a pane
        const char* name = tile_name(s.g, tile);
        s.pane_img[tile] = optional_image("pane-" + std::string(name, strnlen(name, 32)));
    }
    const int image = s.pane_img[tile];
    if (!image) return;
    // Along x when a neighbour on the x axis is part of the wall, else along z.
    const auto wall_like = [&](int nx, int nz) {
        const int t = map_tile(s.lv, nx, nz);
        const int v = t >= 0 ? tile_view(s.g, t) : 0;
        return v >= TILE_ARCH && v <= TILE_CRATE;
    };
    const bool along_x = wall_like(x - 1, z) || wall_like(x + 1, z);
    const Vec3 a = along_x ? Vec3{float(x), 0, cz} : Vec3{cx, 0, float(z)};
    const Vec3 b = along_x ? Vec3{float(x) + 1, 0, cz} : Vec3{cx, 0, float(z) + 1};
    const bool exit = tile_kind(s.g, tile) == TILE_WINDOW;
    const float lo = 0.5f, hi = 2.0f;
    batch_add_quad(g_batches[exit ? BATCH_GLOW : BATCH_DECAL], image_gl_texture(image), NORMAL_UP,
                   image_uv(image), Vec3{a.x, lo, a.z}, Vec3{b.x, lo, b.z}, Vec3{a.x, hi, a.z},
                   Vec3{b.x, hi, b.z}, false);
    if (exit) add_spill(s, tile, x, z, along_x);
}

// A standing object (view "sprite") on cell (x, z): its shadow, and its picture
// upright or, overhead, its icon.
void add_standing(Scene& s, int tile, int x, int z, int flags) {
    const float cx = float(x) + 0.5f, cz = float(z) + 0.5f;
    add_flat_image(g_batches[BATCH_SPRITE], s.img_shadow, cx - 1.5f, cz - 1.5f, cx + 1.5f,
                   cz + 1.5f, FLAT);
    if (!s.mode3d) {
        const int icon = cached_image(s.icon_img, tile, "icon-", s.g);
        add_flat_screen(s, g_batches[BATCH_DECAL], icon, cx, cz, 1.3f);
        return;
    }
    const int image = cached_image(s.sprite_img, tile, "", s.g);
    int batch = (flags & CELL_SHADED) ? BATCH_SHADED_SPRITE : BATCH_SPRITE;
    if (tile_kind(s.g, tile) == TILE_ITEM) batch = BATCH_DECAL;
    add_upright(s, g_batches[batch], image, cx, cz, 2.5f, -1.0f, 3.0f,
                (flags & CELL_DARK) ? NORMAL_DOWN : NORMAL_UP);
}

// The editor's decals from the stored map: spawn, arrow and decal tiles, and the
// trail each arrow leaves over the ground in its direction.
void add_editor_decals(Scene& s, int x, int z) {
    const level& ed = s.g.edit_level;
    const int tile = ed.map[cell_index(x, z)];
    if (tile_view(s.g, tile) == TILE_DECAL) {
        const int image = decal_image(s, tile);
        add_flat_image(g_batches[BATCH_DECAL], image, float(x), float(z), float(x) + 1,
                       float(z) + 1, FLAT);
        if (tile_kind(s.g, tile) == TILE_ARROW) {
            int sx = 0, sz = 0;
            if (!digit_step(tile_value(s.g, tile), &sx, &sz)) return;
            for (int k = 1; k < 128; ++k) {
                const int nx = x + k * sx, nz = z + k * sz;
                if (!in_play(nx, nz)) break;
                // The trail runs over open ground (outside, floor, dark floor) and
                // ends at anything else, another arrow included.
                const int kind = tile_kind(s.g, ed.map[cell_index(nx, nz)]);
                if (kind != TILE_NONE && kind != TILE_FLOOR && kind != TILE_DARK) break;
                add_flat_image(g_batches[BATCH_DECAL], image, float(nx) + 0.25f,
                               float(nz) + 0.25f, float(nx) + 0.75f, float(nz) + 0.75f, FLAT);
            }
        }
    }
}

// The screen test of a tile: the column over the cell from `lo` to `hi` (what
// the tile draws, see tile_heights) must come within `reach` world units of the
// viewport (what reaches sideways beyond the cell centre: half a diagonal, or
// 2 units for the shadows and pictures of standing objects).
struct ScreenTest {
    double m[16];
    float w = 0, h = 0;
    float unit = 0;  // pixels per world unit near the view centre

    bool point(float x, float y, float z, float* px, float* py) const {
        const double cx = m[0] * x + m[4] * y + m[8] * z + m[12];
        const double cy = m[1] * x + m[5] * y + m[9] * z + m[13];
        const double cw = m[3] * x + m[7] * y + m[11] * z + m[15];
        if (cw <= 1e-6) return false;  // at or behind the eye: keep the tile
        *px = float((cx / cw + 1) * 0.5 * w);
        *py = float((1 - cy / cw) * 0.5 * h);
        return true;
    }
    bool column_visible(float x, float z, float lo, float hi, float reach) const {
        float ax, ay, bx, by;
        if (!point(x, lo, z, &ax, &ay) || !point(x, hi, z, &bx, &by)) return true;
        const float margin = reach * unit + 2;
        if (std::max(ax, bx) < -margin || std::min(ax, bx) > w + margin) return false;
        if (std::max(ay, by) < -margin || std::min(ay, by) > h + margin) return false;
        return true;
    }
};

// The lowest and highest point of what a tile adds (see add_tile), and how far
// it reaches sideways from the cell centre.
void tile_extent(int view, int flags, float* lo, float* hi, float* reach) {
    *lo = (flags & CELL_CRATER_EDGE) ? -4.0f : 0.0f;
    *reach = 0.75f;
    switch (view) {
    case TILE_ARCH: *hi = 5.0f; break;
    case TILE_WALL:
    case TILE_WINDOW: *hi = 2.5f; break;
    case TILE_PILLAR: *hi = 2.675f; break;
    case TILE_CRATE: *hi = 1.25f; break;
    case TILE_SPRITE:
        *lo = std::min(*lo, -1.0f);
        *hi = 3.0f;
        *reach = 2.0f;
        break;
    default: *hi = 0.0f; break;
    }
}

void add_tile(Scene& s, int x, int z) {
    const int idx = cell_index(x, z);
    const int tile = s.lv.map[idx];
    const int view = tile_view(s.g, tile);
    const int flags = s.g.flags[idx];
    const bool crater_edge = (flags & CELL_CRATER_EDGE) != 0;
    if (crater_edge) add_block(s, BATCH_FLOOR_COLUMN, s.floor_gl, x, z, -4.0f, 0.0f, 0.0f, 0);
    switch (view) {
    case TILE_FLOOR:
    case TILE_DARK:
    case TILE_SPRITE:
    case TILE_DECAL:
        if (!crater_edge && tile != 0) {
            const int batch = (flags & CELL_DARK)     ? BATCH_DARK_FLOOR
                              : (flags & CELL_SHADED) ? BATCH_SHADED_FLOOR
                                                      : BATCH_LIT_FLOOR;
            add_flat_map(g_batches[batch], s.floor_gl, Rect{cell_u(x), cell_u(z), 0.2f, 0.2f},
                         float(x), float(z), float(x) + 1, float(z) + 1, 0.0f);
        }
        break;
    case TILE_ARCH:
        add_block(s, BATCH_BLOCK, s.walls_gl, x, z, 0, 5, 0, view);
        break;
    case TILE_WALL:
        add_block(s, BATCH_BLOCK, s.walls_gl, x, z, 0, 2.5f, 0, view);
        break;
    case TILE_WINDOW:
        add_block(s, BATCH_BLOCK, s.walls_gl, x, z, 0, 0.5f, 0, view);
        add_block(s, BATCH_BLOCK, s.walls_gl, x, z, 2, 2.5f, 0, view);
        add_opening(s, tile, x, z);
        break;
    case TILE_PILLAR:
        add_target(s, x, z);
        break;
    case TILE_CRATE:
        add_crate(s, x, z);
        break;
    default:  // "full", "pit", the spawn kinds and unknown views draw nothing
        break;
    }
    if (view == TILE_SPRITE) add_standing(s, tile, x, z, flags);
}

bool is_blast(int kind) { return kind == ACTOR_BLAST || kind == ACTOR_MINI_BLAST || kind == ACTOR_SPARK; }

void add_actor(Scene& s, const actor& a) {
    if (!std::isfinite(a.x) || !std::isfinite(a.y)) return;
    const float cx = a.x + 0.5f, cz = a.y + 0.5f;
    if (!is_blast(a.kind))
        add_flat_image(g_batches[BATCH_SPRITE], s.img_shadow, cx - 1.5f, cz - 1.5f, cx + 1.5f,
                       cz + 1.5f, FLAT);
    const int image = image_get(std::string(a.anim, strnlen(a.anim, sizeof a.anim)));
    const Rect& shape = image_entry(image).shape;
    const float width = 2.5f * shape.w / 96.0f;
    const float height = float(trunc_int(4.0f * shape.h / 96.0f));
    const float bottom = 4.0f * shape.y / 96.0f;
    if (is_blast(a.kind)) {
        add_upright(s, g_batches[BATCH_GLOW], image, cx, cz, width, bottom - 0.75f,
                    bottom + height + 0.75f, NORMAL_UP);
        return;
    }
    if (!s.mode3d) {
        add_flat_screen(s, g_batches[BATCH_DECAL], image, cx, cz, width);
        return;
    }
    const int flags = cell_flags(s.g, cell_under_x(a), cell_under_y(a));
    int batch = (flags & CELL_SHADED) ? BATCH_SHADED_SPRITE : BATCH_SPRITE;
    // The agent keeps its own colours under any light, like the pick-ups: the
    // player has to find it at a glance, in the dark too.
    if (a.kind == ACTOR_PLAYER) batch = BATCH_DECAL;
    add_upright(s, g_batches[batch], image, cx, cz, width, bottom, bottom + height,
                (flags & CELL_DARK) ? NORMAL_DOWN : NORMAL_UP);
}

// A lamp's fixture, "lamp-<value>" (1 to 4; any other value shows lamp 1), or
// "lamp-off" while an EMP has put the lights out: unlit, since it is the light.
void add_lamp(Scene& s, const actor& a, bool emp) {
    if (!std::isfinite(a.x) || !std::isfinite(a.y)) return;
    static const char* const names[5] = {"lamp-off", "lamp-1", "lamp-2", "lamp-3", "lamp-4"};
    const int image = optional_image(names[emp ? 0 : (a.value >= 2 && a.value <= 4) ? a.value : 1]);
    if (!image) return;
    const Rect& shape = image_entry(image).shape;
    const float width = 2.5f * shape.w / 96.0f;
    const float height = float(trunc_int(4.0f * shape.h / 96.0f));
    const float bottom = 4.0f * shape.y / 96.0f;
    const float cx = a.x + 0.5f, cz = a.y + 0.5f;
    if (!s.mode3d)
        add_flat_screen(s, g_batches[BATCH_DECAL], image, cx, cz, width);
    else
        add_upright(s, g_batches[BATCH_DECAL], image, cx, cz, width, bottom, bottom + height,
                    NORMAL_UP);
}

// ---- lights ----

Lamp g_lamps[MAX_POINT_LIGHTS];
int g_lamp_count = 0;

void set_light(int i, const Lamp& l, float raise) {
    const GLenum light = GLenum(GL_LIGHT1 + i);
    const GLfloat black[4] = {0, 0, 0, 1};
    const GLfloat diffuse[4] = {l.r, l.g, l.b, 1};
    const GLfloat pos[4] = {l.x, LIGHT_HEIGHT + raise, l.z, 1};
    glLightfv(light, GL_AMBIENT, black);
    glLightfv(light, GL_SPECULAR, black);
    glLightfv(light, GL_DIFFUSE, diffuse);
    glLightfv(light, GL_POSITION, pos);
    glLightf(light, GL_CONSTANT_ATTENUATION, 0);
    glLightf(light, GL_LINEAR_ATTENUATION, 0);
    glLightf(light, GL_QUADRATIC_ATTENUATION, 1);
}

void point_lights_enable(bool on) {
    for (int i = 0; i < g_lamp_count; ++i) {
        if (on)
            glEnable(GLenum(GL_LIGHT1 + i));
        else
            glDisable(GLenum(GL_LIGHT1 + i));
    }
}

void point_lights_place(float raise) {
    for (int i = 0; i < g_lamp_count; ++i) set_light(i, g_lamps[i], raise);
}

// Lights 1..7 for the blasts and the lamps near the visible area, in slot order.
void gather_lights(const Scene& s, bool emp) {
    g_lamp_count = 0;
    if (emp) return;
    for (const actor& a : s.lv.actors) {
        if (g_lamp_count == MAX_POINT_LIGHTS) break;
        if (!a.active || !std::isfinite(a.x) || !std::isfinite(a.y)) continue;
        const float x = a.x + 0.5f, z = a.y + 0.5f;
        if (a.kind == ACTOR_BLAST || a.kind == ACTOR_MINI_BLAST) {
            const LightColour& c = BLAST_COLOUR;
            g_lamps[g_lamp_count++] = Lamp{x, z, c.r, c.g, c.b};
        } else if (a.kind == ACTOR_LAMP) {
            const float reach = s.radius + float(LAMP_MARGIN);
            if (std::fabs(x - s.cx) > reach || std::fabs(z - s.cz) > reach) continue;
            const LightColour& c = LAMP_COLOURS[a.value >= 1 && a.value <= 4 ? a.value : 0];
            g_lamps[g_lamp_count++] = Lamp{x, z, c.r, c.g, c.b};
        }
    }
}

// ---- overlays ----

void draw_image_upright(const Scene& s, int image, float cx, float cz, float width, float bottom,
                        float top) {
    const float hx = s.right.x * width / 2, hz = s.right.z * width / 2;
    image_draw_quad(image, Vec3{cx - hx, bottom, cz - hz}, Vec3{cx + hx, bottom, cz + hz},
                    Vec3{cx - hx, top, cz - hz}, Vec3{cx + hx, top, cz + hz});
}

void draw_image_flat(int image, float x0, float z0, float x1, float z1, float y) {
    image_draw_quad(image, Vec3{x0, y, z1}, Vec3{x1, y, z1}, Vec3{x0, y, z0}, Vec3{x1, y, z0});
}

void draw_overlays(Scene& s) {
    game& g = s.g;
    const actor* player = nullptr;
    for (const actor& a : s.lv.actors)
        if (a.active && a.kind == ACTOR_PLAYER && std::isfinite(a.x) && std::isfinite(a.y)) {
            player = &a;
            break;
        }
    const bool playing = g.state == STATE_LEVEL;

    glDisable(GL_LIGHTING);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);

    if (player && !s.editor) {
        const float px = player->x + 0.5f, pz = player->y + 0.5f;
        // Where the agent stands, until it first moves: a faint beam above its head.
        if (!(playing && player->has_moved)) {
            glColor4f(1, 1, 1, 0.5f);
            draw_image_upright(s, image_get("white"), px, pz, 0.12f, 3.0f, 5.5f);
        }
        if (playing) {
            // A little behind the figure, away from the viewer: the figure hides
            // the middle of the glow, which rims it instead of washing it out.
            glColor4f(1, 1, 1, 0.5f);
            draw_image_upright(s, image_get("player-glow"), px + s.away.x * 0.3f,
                               pz + s.away.z * 0.3f, 2.0f, -1.0f, 3.0f);
        }
    }

    if (s.editor) {
        // A dotted guide along the map axes through the cell under the pointer.
        const int hx = trunc_int(std::floor(s.lv.mouse_x)), hz = trunc_int(std::floor(s.lv.mouse_y));
        if (on_map(hx, hz)) {
            const int white = image_get("white");
            glColor4f(1, 1, 1, 0.3f);
            static const int dirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
            for (const auto& d : dirs)
                for (int k = 1; k <= 20; ++k) {
                    const float x = float(hx + k * d[0]) + 0.5f, z = float(hz + k * d[1]) + 0.5f;
                    draw_image_flat(white, x - 0.08f, z - 0.08f, x + 0.08f, z + 0.08f, 0.015f);
                }
        }
    }

    if (player && (playing || g.state == STATE_PAUSE)) {
        // Cells near the agent that a guard can see.
        const int unshadow = image_get("unshadow");
        glColor4f(1, 1, 1, SEEN_MARK_ALPHA);
        const int ux = cell_under_x(*player), uz = cell_under_y(*player);
        for (int j = -3; j <= 3; ++j)
            for (int i = -3; i <= 3; ++i) {
                const int x = ux + i, z = uz + j;
                if (!in_play(x, z) || !seen_by_any(g, x, z)) continue;
                draw_image_flat(unshadow, float(x) + 0.05f, float(z) + 0.05f, float(x) + 0.95f,
                                float(z) + 0.95f, 0.02f);
            }
    }
    glColor4f(1, 1, 1, 1);
    glDepthMask(GL_TRUE);
}

}  // namespace

void batch_add_quad(QuadBatch& b, int gl_name, Vec3 n, Rect uv, Vec3 p1, Vec3 p2, Vec3 p3, Vec3 p4,
                    bool cull) {
    if (cull) {
        const Vec3 eye = camera_eye();
        const float cx = (p1.x + p4.x) / 2, cy = (p1.y + p4.y) / 2, cz = (p1.z + p4.z) / 2;
        if ((eye.x - cx) * n.x + (eye.y - cy) * n.y + (eye.z - cz) * n.z < 0) return;
    }
    if (b.count == int(b.quads.size())) b.quads.emplace_back();
    Quad& q = b.quads[size_t(b.count++)];
    const auto vert = [&](QuadVertex& v, const Vec3& p, float u, float t) {
        v = QuadVertex{uint32_t(gl_name), n.x, n.y, n.z, u, t, p.x, p.y, p.z};
    };
    const float u0 = uv.x, u1 = uv.x + uv.w, v0 = uv.y, v1 = uv.y + uv.h;
    vert(q.v[0], p1, u0, v1);
    vert(q.v[1], p2, u1, v1);
    vert(q.v[2], p3, u0, v0);
    vert(q.v[3], p4, u1, v0);
    vert(q.v[4], p3, u0, v0);
    vert(q.v[5], p2, u1, v1);
}

namespace {
// Triangle lists over quads stored as six vertices each: (p1, p2, p3) and
// (p4, p3, p2) are vertices 0, 1, 2 and 3, 2, 1 of the quad, so each corner is
// transformed and lit once instead of the shared ones twice. The indices are
// the same for every batch; the array grows to the largest quad count asked.
const GLuint* quad_indices(int quads) {
    static std::vector<GLuint> indices;
    for (size_t q = indices.size() / 6; q < size_t(quads); ++q) {
        const GLuint b = GLuint(q * 6);
        const GLuint six[6] = {b, b + 1, b + 2, b + 3, b + 2, b + 1};
        indices.insert(indices.end(), six, six + 6);
    }
    return indices.data();
}
}  // namespace

int batch_draw(const QuadBatch& b) {
    if (b.count == 0 || !graphics_has_gl()) return 0;
    const GLsizei stride = sizeof(QuadVertex);
    const QuadVertex* base = &b.quads[0].v[0];
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, stride, &base->nx);
    glTexCoordPointer(2, GL_FLOAT, stride, &base->u);
    glVertexPointer(3, GL_FLOAT, stride, &base->x);
    int calls = 0;
    for (int first = 0; first < b.count;) {
        const uint32_t tex = b.quads[size_t(first)].v[0].texture;
        int end = first + 1;
        while (end < b.count && b.quads[size_t(end)].v[0].texture == tex) ++end;
        // A picture that did not load draws nothing rather than a blank shape.
        if (tex != 0) {
            glBindTexture(GL_TEXTURE_2D, tex);
            glDrawElements(GL_TRIANGLES, (end - first) * 6, GL_UNSIGNED_INT,
                           quad_indices(end) + first * 6);
            ++calls;
        }
        first = end;
    }
    glDisableClientState(GL_NORMAL_ARRAY);
    return calls;
}

const WorldStats& world_stats() { return g_stats; }

const QuadBatch& world_batch(int which) {
    return g_batches[which >= 0 && which < BATCH_COUNT ? which : 0];
}

void world_draw(game& g) {
    Scene s(g);
    level& lv = g.level;
    s.editor = g.state == STATE_EDIT;

    // 1. Pictures (the floor and walls of the level's theme) and camera.
    const std::string theme = theme_of(lv.theme, sizeof lv.theme);
    const int img_floor = image_get(theme_floor(theme));
    s.img_shadow = image_get("shadow");
    const int img_walls = image_get(theme_walls(theme));
    image_get("white");
    image_get("black");
    image_get("decal-none");
    s.floor_gl = image_gl_texture(img_floor);
    s.walls_gl = image_gl_texture(img_walls);
    camera_setup(g, 0);
    s.mode3d = !(s.editor && top_view);
    const float phi = (std::isfinite(lv.cam_angle) ? lv.cam_angle : 0.0f) * 3.14159265f / 180.0f -
                      3.14159265f / 4.0f;
    s.right = Vec3{-std::sin(phi), 0, -std::cos(phi)};
    s.away = Vec3{-std::cos(phi), 0, std::sin(phi)};

    for (QuadBatch& b : g_batches) b.count = 0;
    g_stats = WorldStats{};

    const bool gl = graphics_has_gl();
    if (gl) {
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        // 2. Render state.
        glEnable(GL_DEPTH_TEST);
        glDepthMask(GL_TRUE);
        // A clear made while the 2D layer of the last frame had depth writes off
        // leaves that frame's depths behind; start from a clean depth buffer in
        // the viewport drawn into.
        {
            GLint vp[4];
            glGetIntegerv(GL_VIEWPORT, vp);
            const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
            GLint box[4];
            glGetIntegerv(GL_SCISSOR_BOX, box);
            if (!scissor) {  // a caller's own scissor box stays in force
                glEnable(GL_SCISSOR_TEST);
                glScissor(vp[0], vp[1], vp[2], vp[3]);
            }
            glClearDepth(1.0);
            glClear(GL_DEPTH_BUFFER_BIT);
            if (!scissor) {
                glScissor(box[0], box[1], box[2], box[3]);
                glDisable(GL_SCISSOR_TEST);
            }
        }
        glDepthFunc(GL_LEQUAL);
        glDisable(GL_BLEND);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glShadeModel(GL_SMOOTH);
        glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
        glEnable(GL_COLOR_MATERIAL);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glFrontFace(GL_CCW);
        const GLfloat no_emission[4] = {0, 0, 0, 1};
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, no_emission);
    }

    // 3. The visible circle around the ground point at the centre of the view.
    {
        float vw = float(driver().width), vh = float(driver().height);
        if (gl) {
            GLint vp[4];
            glGetIntegerv(GL_VIEWPORT, vp);
            vw = float(vp[2]);
            vh = float(vp[3]);
        }
        const Vec3 c = unproject_to_plane(vw / 2, vh / 2, 0);
        const Vec3 tl = unproject_to_plane(0, 0, 0);
        const Vec3 br = unproject_to_plane(vw, vh, 0);
        const float d1 = std::hypot(tl.x - c.x, tl.z - c.z), d2 = std::hypot(br.x - c.x, br.z - c.z);
        s.cx = c.x;
        s.cz = c.z;
        s.radius = d1 > d2 ? d1 : d2;
        if (!std::isfinite(s.cx) || !std::isfinite(s.cz) || !std::isfinite(s.radius)) {
            s.cx = s.cz = 64;
            s.radius = 128;
        }
    }

    // 4. Moonlight, or the green of an EMP; the visible area goes to the record.
    const bool emp = lv.emp_time > 0;
    if (gl) {
        const GLfloat black[4] = {0, 0, 0, 1};
        const GLfloat green[4] = {0.05f, 0.25f, 0.05f, 1};
        glLightfv(GL_LIGHT0, GL_AMBIENT, black);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, emp ? green : MOON);
        glLightfv(GL_LIGHT0, GL_SPECULAR, black);
        glLightfv(GL_LIGHT0, GL_POSITION, MOON_DIRECTION);
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, emp ? green : NIGHT_AMBIENT);
    }
    lv.view_x = s.cx;
    lv.view_y = s.cz;
    lv.view_r = s.radius;

    // 5. Point lights for blasts and nearby lamps.
    if (gl)
        for (int i = 0; i < MAX_POINT_LIGHTS; ++i) glDisable(GLenum(GL_LIGHT1 + i));
    gather_lights(s, emp);
    g_stats.point_lights = g_lamp_count;
    if (gl) {
        point_lights_place(0);
        point_lights_enable(true);
    }

    // 6. Tiles inside the circle. The outer four-cell band is drawn in the editor
    // only. The circle is widened by the height of the tallest block, whose top
    // reaches into the view from beyond the ground corners; tiles whose geometry
    // stays off screen are left out as well.
    const int lo = s.editor ? 0 : MAP_MIN, hi = s.editor ? MAP_SIZE - 1 : MAP_MAX;
    const float reach = s.radius + 5.0f;
    const float r2 = reach * reach;
    ScreenTest screen;
    {
        camera_matrix(screen.m);
        int vp[4];
        camera_viewport(vp);
        screen.w = float(vp[2]);
        screen.h = float(vp[3]);
        float ax = 0, ay = 0, bx = 0, by = 0;
        screen.point(s.cx, 0, s.cz, &ax, &ay);
        screen.point(s.cx + s.right.x * 2, 0, s.cz + s.right.z * 2, &bx, &by);
        screen.unit = std::hypot(bx - ax, by - ay) / 2;
        if (!std::isfinite(screen.unit)) screen.unit = 1e9f;
    }
    const int x_from = std::max(lo, trunc_int(std::floor(s.cx - reach))),
              x_to = std::min(hi, trunc_int(std::ceil(s.cx + reach)));
    const int z_from = std::max(lo, trunc_int(std::floor(s.cz - reach))),
              z_to = std::min(hi, trunc_int(std::ceil(s.cz + reach)));
    for (int z = z_from; z <= z_to; ++z)
        for (int x = x_from; x <= x_to; ++x) {
            const float dx = float(x) + 0.5f - s.cx, dz = float(z) + 0.5f - s.cz;
            if (dx * dx + dz * dz > r2) continue;
            // An arrow's trail may cross the view although the arrow does not.
            if (s.editor) add_editor_decals(s, x, z);
            float y_lo, y_hi, side;
            const int idx = cell_index(x, z);
            tile_extent(tile_view(g, lv.map[idx]), g.flags[idx], &y_lo, &y_hi, &side);
            if (!screen.column_visible(float(x) + 0.5f, float(z) + 0.5f, y_lo, y_hi, side))
                continue;
            ++g_stats.tiles_visited;
            add_tile(s, x, z);
        }

    // 7. Actors; a lamp shows its fixture.
    for (const actor& a : lv.actors) {
        if (!a.active) continue;
        if (a.kind == ACTOR_LAMP)
            add_lamp(s, a, emp);
        else
            add_actor(s, a);
    }

    for (int i = 0; i < BATCH_COUNT; ++i) g_stats.quads[i] = g_batches[i].count;
    if (!gl) return;

    // 8. The batches in their order and render states.
    int calls = 0;
    glDisable(GL_CULL_FACE);  // the back faces were rejected while gathering
    glColor4f(1, 1, 1, 1);
    if (!s.mode3d) {
        glDisable(GL_LIGHTING);
        glColor4fv(OVERHEAD_WALL_COLOUR);
    }
    calls += batch_draw(g_batches[BATCH_BLOCK]);
    // Targets wear their own colours, unlit.
    glDisable(GL_LIGHTING);
    glColor4f(1, 1, 1, 1);
    calls += batch_draw(g_batches[BATCH_TINTED]);
    glEnable(GL_LIGHTING);
    point_lights_enable(false);
    calls += batch_draw(g_batches[BATCH_DARK_SIDE]);
    point_lights_enable(true);
    calls += batch_draw(g_batches[BATCH_LIT_FLOOR]);
    glDisable(GL_LIGHT0);
    calls += batch_draw(g_batches[BATCH_SHADED_FLOOR]);
    point_lights_enable(false);
    glColor4fv(DARK_FLOOR_COLOUR);
    calls += batch_draw(g_batches[BATCH_DARK_FLOOR]);
    glEnable(GL_LIGHT0);
    point_lights_enable(true);
    glColor4f(0.65f, 0.65f, 0.65f, 1);
    calls += batch_draw(g_batches[BATCH_FLOOR_COLUMN]);

    glColor4f(1, 1, 1, 1);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_LIGHTING);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.1f);
    calls += batch_draw(g_batches[BATCH_DECAL]);

    glEnable(GL_LIGHTING);
    glDepthFunc(GL_LEQUAL);
    point_lights_place(SPRITE_LIGHT_RAISE);
    calls += batch_draw(g_batches[BATCH_SPRITE]);
    glDisable(GL_LIGHT0);
    calls += batch_draw(g_batches[BATCH_SHADED_SPRITE]);
    glEnable(GL_LIGHT0);
    point_lights_place(0);

    // Glows add up in any order, so they leave the depth buffer alone.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_LIGHTING);
    glDepthMask(GL_FALSE);
    calls += batch_draw(g_batches[BATCH_GLOW]);
    glDepthMask(GL_TRUE);
    g_stats.draw_calls = calls;

    // 9. Overlays.
    draw_overlays(s);

    // 10. Restore.
    point_lights_enable(false);
    glEnable(GL_LIGHTING);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glColor4f(1, 1, 1, 1);
    glPopClientAttrib();
}
