// The world renderer: the camera that orbits a ground point, and the lit 3D scene
// of the 128 x 128 map (floors, walls, shadows, decals, upright sprites, glows)
// gathered into eleven quad batches drawn with fixed render states.
//
// World units: a cell is 1 x 1 on the ground plane; world x is map x, world z is
// map y, y is up. Main thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "core/game.h"
#include "gfx/graphics.h"
#include "platform/event.h"

// The editor's overhead view: 0 or 1, toggled by the up and down arrow keys and
// by the editor's view control; honoured only while the editor is current.
extern int top_view;

// Projection (10 degree perspective, the look-at of the live level's camera
// folded into it) and an identity model-view, for the current GL viewport.
// aspect 0 means canvas width / canvas height. Keeps a copy of the matrices,
// the viewport and the eye, so unproject_to_plane and the back-face test work
// without reading GL state (and without a window, where the viewport is the
// driver's window size).
void camera_setup(game& g, float aspect);

// Once per frame: eases the distance toward the zoom target (2 per frame) and
// the heading toward its target (5 degrees per frame), turns 45 degrees more
// while an arrow key is held, and wraps both headings together into 0..360.
void camera_update(level& lv, game& g);

// Right-drag pans (the ground point under the pointer stays under it), other
// mouse events set the hover point, the wheel zooms (-25 .. 50 in steps of 5),
// left and right arrows queue 45 degree turns (refused once 360 are pending),
// up and down toggle top_view. Uses the window-pixel positions raw_x, raw_y.
void camera_event(level& lv, game& g, const Event& e);

// The point of the plane y = h under window point (px, py) (pixels from the top
// left of the viewport), by the matrices of the last camera_setup. When the ray
// runs parallel to the plane, t = -1 is used.
Vec3 unproject_to_plane(float px, float py, float h);

// The window point (pixels from the top left of the viewport; z the depth 0..1)
// where world point p appears, by the matrices of the last camera_setup.
Vec3 project_to_window(Vec3 p);

// The combined projection x model-view matrix (column-major) and the viewport
// (x, y, w, h) of the last camera_setup.
void camera_matrix(double out[16]);
void camera_viewport(int out[4]);

// The eye position of the last camera_setup.
Vec3 camera_eye();

// One vertex of a batch: GL texture name, normal, texture coordinate, position.
struct QuadVertex {
    uint32_t texture;
    float nx, ny, nz;
    float u, v;
    float x, y, z;
};
// Two triangles (p1, p2, p3) and (p4, p3, p2).
struct Quad {
    QuadVertex v[6];
};
// Storage kept from frame to frame; count is reset at the start of every frame.
struct QuadBatch {
    int count = 0;
    std::vector<Quad> quads;
};

// Appends a quad, unless `cull` is set and it faces away from the camera eye
// ((eye - centre) . normal < 0, centre = midpoint of p1 and p4). Texture corners:
// p1 (u, v + dv), p2 (u + du, v + dv), p3 (u, v), p4 (u + du, v).
void batch_add_quad(QuadBatch& b, int gl_name, Vec3 normal, Rect uv, Vec3 p1, Vec3 p2, Vec3 p3,
                    Vec3 p4, bool cull);

// Draws the quads in order, one indexed triangle-list call per run of equal
// texture (runs of texture 0, pictures that did not load, are skipped). Returns
// the number of draw calls made.
int batch_draw(const QuadBatch& b);

// The eleven batches, in the order they are drawn.
enum : int {
    BATCH_BLOCK,
    BATCH_TINTED,
    BATCH_DARK_SIDE,
    BATCH_LIT_FLOOR,
    BATCH_SHADED_FLOOR,
    BATCH_DARK_FLOOR,
    BATCH_FLOOR_COLUMN,
    BATCH_DECAL,
    BATCH_SPRITE,
    BATCH_SHADED_SPRITE,
    BATCH_GLOW,
    BATCH_COUNT,
};

// Draws the live level g.level with the current GL viewport (the editor's
// guide and decals come from g.edit_level), after clearing the depth buffer
// inside the viewport. Writes the visible area into the level record. Leaves lighting on, depth writes on, blending and alpha test
// off, and the client array state as it found it.
void world_draw(game& g);

// Figures of the last world_draw, for the benchmark and the tests.
struct WorldStats {
    int quads[BATCH_COUNT];   // quads per batch
    int draw_calls;           // batch draw calls (overlays not counted)
    int tiles_visited;        // tiles inside the visible circle
    int point_lights;         // lights 1..7 in use
};
const WorldStats& world_stats();
// The batches of the last world_draw (read-only, for the tests).
const QuadBatch& world_batch(int which);
