// What the world renderer gathers, without a display: the geometry in each of
// the eleven batches for small levels built from text with the shipped tile
// catalogue (the drawing itself is checked by the display tests).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/game.h"
#include "core/state.h"
#include "gfx/graphics.h"
#include "gfx/world_draw.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "test_support.h"
#include "world/ascii.h"
#include "world/catalogue.h"
#include "world/model.h"

namespace {

const AsciiLegend& legend() {
    static const AsciiLegend L = {
        {' ', 0},  {'.', 1},  {',', 2},  {'o', 3},  {'@', 4},  {'G', 5},  {'W', 6},  {'P', 7},
        {'L', 9},  {'D', 13}, {'$', 17}, {'b', 18}, {'s', 20}, {'3', 23}, {'#', 32}, {'X', 33},
        {'A', 34}, {'c', 35},
    };
    return L;
}

struct Batches : ::testing::Test {
    std::unique_ptr<game> g{new game()};

    void SetUp() override {
        driver().width = 960;
        driver().height = 720;
        set_data_dir(test::source_data_dir());
        testing::internal::CaptureStderr();
        load_graphics();  // no window: names resolve, nothing is uploaded
        _game_tile_init(*g);
        testing::internal::GetCapturedStderr();
        top_view = 0;
    }
    void TearDown() override {
        graphics_free();
        set_data_dir("");
        driver().width = driver().height = 0;
        top_view = 0;
    }

    // The level drawn at (x0, y0), set up for play, the camera on (cx, cz).
    void make(const std::vector<std::string>& rows, int state, int x0 = 30, int y0 = 30) {
        testing::internal::CaptureStderr();
        ASSERT_TRUE(level_from_ascii(g->level, rows, legend(), x0, y0, 0));
        g->edit_level = g->level;
        g->state = state;
        setup_level(*g, 0);
        testing::internal::GetCapturedStderr();
        g->level.cam_dist = g->level.zoom_target = -25;
    }
    void look(float x, float z, float heading = 0) {
        g->level.look_x = x;
        g->level.look_y = z;
        g->level.cam_angle = g->level.cam_angle_target = heading;
    }
    int quads(int batch) { return world_stats().quads[batch]; }
    // The quads of a batch whose every corner lies within [x0, x1] x [z0, z1].
    int quads_in(int batch, float x0, float z0, float x1, float z1) {
        const QuadBatch& b = world_batch(batch);
        int n = 0;
        for (int i = 0; i < b.count; ++i) {
            bool inside = true;
            for (const QuadVertex& v : b.quads[size_t(i)].v)
                inside = inside && v.x >= x0 - 1e-4f && v.x <= x1 + 1e-4f && v.z >= z0 - 1e-4f &&
                         v.z <= z1 + 1e-4f;
            n += inside;
        }
        return n;
    }
    // True when the quad's texture rectangle lies inside the named picture's
    // (without a window every picture has texture 0, so the rectangle tells).
    static bool shows(const Quad& q, const char* name) {
        const Image& img = image_entry(image_get(name));
        const Texture& tex = texture_entry(img.texture);
        if (img.index == 0 || tex.size.w <= 0 || tex.size.h <= 0) return false;
        const float u0 = img.rect.x / tex.size.w, u1 = (img.rect.x + img.rect.w) / tex.size.w;
        const float v0 = img.rect.y / tex.size.h, v1 = (img.rect.y + img.rect.h) / tex.size.h;
        for (const QuadVertex& v : q.v)
            if (v.u < u0 - 1e-5f || v.u > u1 + 1e-5f || v.v < v0 - 1e-5f || v.v > v1 + 1e-5f) return false;
        return true;
    }
    int quads_showing(int batch, const char* name) {
        const QuadBatch& b = world_batch(batch);
        int n = 0;
        for (int i = 0; i < b.count; ++i) n += shows(b.quads[size_t(i)], name);
        return n;
    }
};

TEST(BatchAddQuad, RejectsQuadsFacingAwayFromTheEyeAndKeepsTheCornerOrder) {
    std::unique_ptr<game> g(new game());
    driver().width = 960;
    driver().height = 720;
    g->level.look_x = g->level.look_y = 10;
    camera_setup(*g, 0);  // eye at +x, +z, above the target
    driver().width = driver().height = 0;
    QuadBatch b;
    const Vec3 p1{0, 0, 1}, p2{1, 0, 1}, p3{0, 1, 1}, p4{1, 1, 1};
    batch_add_quad(b, 7, Vec3{0, 0, -1}, Rect{0, 0, 1, 1}, p1, p2, p3, p4, true);
    EXPECT_EQ(b.count, 0);  // faces -z, the eye is at +z
    batch_add_quad(b, 7, Vec3{0, 0, -1}, Rect{0, 0, 1, 1}, p1, p2, p3, p4, false);
    batch_add_quad(b, 9, Vec3{0, 0, 1}, Rect{0.25f, 0.5f, 0.25f, 0.125f}, p1, p2, p3, p4, true);
    ASSERT_EQ(b.count, 2);
    const Quad& q = b.quads[1];
    // Triangles (p1, p2, p3) and (p4, p3, p2); p1 and p2 get the bottom (v + dv).
    const float want[6][5] = {{0, 1, 0.25f, 0.625f, 0}, {1, 1, 0.5f, 0.625f, 0},
                              {0, 1, 0.25f, 0.5f, 1},   {1, 1, 0.5f, 0.5f, 1},
                              {0, 1, 0.25f, 0.5f, 1},   {1, 1, 0.5f, 0.625f, 0}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(q.v[i].texture, 9u);
        EXPECT_EQ(q.v[i].x, want[i][0]) << i;
        EXPECT_EQ(q.v[i].z, want[i][1]) << i;
        EXPECT_FLOAT_EQ(q.v[i].u, want[i][2]) << i;
        EXPECT_FLOAT_EQ(q.v[i].v, want[i][3]) << i;
        EXPECT_EQ(q.v[i].y, want[i][4]) << i;
        EXPECT_EQ(q.v[i].nz, 1);
    }
    // Storage is kept when the count is reset.
    b.count = 0;
    EXPECT_EQ(b.quads.size(), 2u);
}

TEST_F(Batches, EveryTileOnScreenIsDrawnAndFewOthers) {
    std::vector<std::string> rows(90, std::string(90, '.'));
    make(rows, STATE_LEVEL, 20, 20);
    for (float zoom : {-25.0f, 0.0f, 50.0f}) {
        look(64, 64, zoom == 0 ? 30.0f : 0.0f);
        g->level.cam_dist = zoom;
        world_draw(*g);
        const level& lv = g->level;
        // The visible area: centred on the target, reaching the view's corners.
        EXPECT_NEAR(lv.view_x, 64, 1e-3);
        EXPECT_NEAR(lv.view_y, 64, 1e-3);
        const Vec3 corner = unproject_to_plane(0, 0, 0);
        EXPECT_NEAR(lv.view_r, std::hypot(corner.x - 64, corner.z - 64), 0.5);

        std::vector<bool> drawn(MAP_SIZE * MAP_SIZE, false);
        const QuadBatch& b = world_batch(BATCH_LIT_FLOOR);
        ASSERT_EQ(b.count, world_stats().tiles_visited);
        for (int i = 0; i < b.count; ++i) {
            const QuadVertex& a = b.quads[size_t(i)].v[0];  // p1 = (x, 0, z + 1)
            drawn[size_t(cell_index(int(a.x), int(a.z) - 1))] = true;
        }
        const Vec3 o = project_to_window(Vec3{64, 0, 64}), e = project_to_window(Vec3{65, 0, 64});
        const float unit = std::hypot(e.x - o.x, e.y - o.y);  // pixels per world unit
        int on_screen = 0;
        for (int z = 20; z < 110; ++z)
            for (int x = 20; x < 110; ++x) {
                const bool was_drawn = drawn[size_t(cell_index(x, z))];
                const Vec3 p = project_to_window(Vec3{float(x) + 0.5f, 0, float(z) + 0.5f});
                const bool inside = p.x >= 0 && p.x <= 960 && p.y >= 0 && p.y <= 720;
                on_screen += inside;
                if (inside) {
                    ASSERT_TRUE(was_drawn) << x << "," << z << " zoom " << zoom;
                }
                // Nothing that stays well away from the view.
                const float far = 3 * unit;
                if (p.x < -far || p.x > 960 + far || p.y < -far || p.y > 720 + far) {
                    ASSERT_FALSE(was_drawn) << x << "," << z << " zoom " << zoom;
                }
            }
        EXPECT_LT(world_stats().tiles_visited, on_screen * 3 / 2) << zoom;
        if (zoom == 50) {
            EXPECT_LT(world_stats().tiles_visited, 3.14159 * lv.view_r * lv.view_r);
        }
    }
}

TEST_F(Batches, TheFirstFrameLooksUpTheSharedPicturesInOrder) {
    make({"..."}, STATE_LEVEL);
    look(31, 30);
    testing::internal::CaptureStderr();
    world_draw(*g);
    const std::string log = testing::internal::GetCapturedStderr();
    std::vector<std::string> tried;
    const std::string prefix = "trying load img ";
    for (size_t at = 0; (at = log.find(prefix, at)) != std::string::npos;) {
        at += prefix.size();
        const size_t end = log.find('\n', at);
        tried.push_back(log.substr(at, end - at));
    }
    ASSERT_GE(tried.size(), 6u) << log;
    tried.resize(6);
    EXPECT_EQ(tried, (std::vector<std::string>{"floor", "shadow", "walls", "white", "black",
                                               "decal-none"}));
}

TEST_F(Batches, TheOuterBandIsDrawnOnlyInTheEditor) {
    make({"...."}, STATE_LEVEL, 4, 4);
    look(4, 4);
    world_draw(*g);
    EXPECT_EQ(quads_in(BATCH_BLOCK, 0, 0, 4, 128), 0);  // the frame walls of tile 32
    g->state = STATE_EDIT;
    world_draw(*g);
    EXPECT_GT(quads_in(BATCH_BLOCK, 0, 0, 4, 128), 0);
}

TEST_F(Batches, RunsOfEqualWallsFormOneMassAndFacesAwayAreRejected) {
    make({"#####"}, STATE_LEVEL);
    look(32, 30);
    world_draw(*g);
    // Heading 0 looks from +x, +z: five tops, five south faces and the east end;
    // no faces between the walls, no north or west faces.
    EXPECT_EQ(quads(BATCH_BLOCK), 11);
    g->level.cam_angle = 180;  // now from -x, -z
    world_draw(*g);
    EXPECT_EQ(quads(BATCH_BLOCK), 11);
    EXPECT_EQ(quads_in(BATCH_BLOCK, 30, 30, 30, 31), 1);  // the west end face

    // Different wall-like views side by side keep their faces: each block has its
    // top, south and east faces.
    make({"#X#"}, STATE_LEVEL);
    look(31, 30);
    world_draw(*g);
    EXPECT_EQ(quads(BATCH_BLOCK), 3 * 3);
}

TEST_F(Batches, FloorsGoByDarkThenShadedAndWallSidesFacingDarkCellsApart) {
    make({
             ".....",
             ".#...",
             "..,,.",
             ".....",
         },
         STATE_LEVEL);
    look(32, 32);
    world_draw(*g);
    // Row 2: (31, 32) lies in the wall's shadow; (32, 32) and (33, 32) are dark.
    EXPECT_EQ(quads(BATCH_SHADED_FLOOR), 1);
    EXPECT_EQ(quads_in(BATCH_SHADED_FLOOR, 31, 32, 32, 33), 1);
    EXPECT_EQ(quads(BATCH_DARK_FLOOR), 2);
    EXPECT_EQ(quads(BATCH_LIT_FLOOR), 20 - 1 - 1 - 2);
    // The wall's east side faces (32, 31), which is not dark; its south side faces
    // the shaded cell. Neither is dark, so the dark-side batch stays empty...
    EXPECT_EQ(quads(BATCH_DARK_SIDE), 0);
    // ...until the cell east of the wall is dark too.
    make({
             ".....",
             ".#,..",
             ".....",
         },
         STATE_LEVEL);
    look(32, 31);
    world_draw(*g);
    EXPECT_EQ(quads(BATCH_DARK_SIDE), 1);
    EXPECT_EQ(quads_in(BATCH_DARK_SIDE, 32, 31, 32, 32), 1);
}

TEST_F(Batches, CraterEdgesStandOnFloorColumns) {
    make({
             ".....",
             "..o..",
             ".....",
         },
         STATE_LEVEL);
    look(32, 31);
    world_draw(*g);
    // Four edge cells around the crater: no floor quad there, a column instead.
    EXPECT_EQ(quads(BATCH_LIT_FLOOR), 15 - 1 - 4);
    EXPECT_GE(quads(BATCH_FLOOR_COLUMN), 4 * 2);
    const QuadBatch& b = world_batch(BATCH_FLOOR_COLUMN);
    float lowest = 0;
    for (int i = 0; i < b.count; ++i)
        for (const QuadVertex& v : b.quads[size_t(i)].v) lowest = std::min(lowest, v.y);
    EXPECT_EQ(lowest, -4);
}

TEST_F(Batches, StandingObjectsAreUprightOrIconsOverhead) {
    make({
             "...",
             ".s.",
             "...",
             ".D.",
             "...",
         },
         STATE_EDIT);
    look(31, 32);
    world_draw(*g);
    // The statue stands in the sprite batch with its shadow, the bomb (an item)
    // in the decal batch; both upright from -1 to 3.
    EXPECT_EQ(quads(BATCH_SPRITE), 2 + 1);
    EXPECT_EQ(quads(BATCH_DECAL), 1);
    const Quad& bomb = world_batch(BATCH_DECAL).quads[0];
    EXPECT_EQ(bomb.v[0].y, -1);
    EXPECT_EQ(bomb.v[2].y, 3);
    EXPECT_NEAR(std::hypot(bomb.v[1].x - bomb.v[0].x, bomb.v[1].z - bomb.v[0].z), 2.5, 1e-4);
    EXPECT_NEAR((bomb.v[0].x + bomb.v[1].x) / 2, 31.5, 1e-4);
    EXPECT_NEAR((bomb.v[0].z + bomb.v[1].z) / 2, 33.5, 1e-4);

    top_view = 1;
    world_draw(*g);
    // Overhead: shadows only in the sprite batch, two flat icons in the decal batch.
    EXPECT_EQ(quads(BATCH_SPRITE), 2);
    EXPECT_EQ(quads(BATCH_DECAL), 2);
    for (int i = 0; i < 2; ++i)
        for (const QuadVertex& v : world_batch(BATCH_DECAL).quads[size_t(i)].v)
            EXPECT_NEAR(v.y, 0.01, 1e-6);

    g->state = STATE_LEVEL;  // the overhead view belongs to the editor only
    world_draw(*g);
    EXPECT_EQ(quads(BATCH_SPRITE), 3);
}

// The exit window glows in its opening and throws light on the floor on both
// sides; the barred opening shows its bars; crates and targets wear their own
// pictures, the targets in the unlit batch.
TEST_F(Batches, OpeningsCratesAndTargetsWearTheirOwnPictures) {
    make({
             "..#..",
             "#W#A.",
             "..#..",
             ".cP..",
         },
         STATE_LEVEL);
    look(32, 32);
    world_draw(*g);
    // The exit at (31, 31) sits in a wall running along x: its pane stands
    // across the cell at z = 31.5, between sill and lintel.
    ASSERT_EQ(quads_showing(BATCH_GLOW, "pane-window"), 1);
    const QuadBatch& glow = world_batch(BATCH_GLOW);
    for (int i = 0; i < glow.count; ++i) {
        const Quad& q = glow.quads[size_t(i)];
        if (!shows(q, "pane-window")) continue;
        for (const QuadVertex& v : q.v) {
            EXPECT_NEAR(v.z, 31.5, 1e-5);
            EXPECT_TRUE(v.x == 31 || v.x == 32) << v.x;
            EXPECT_TRUE(v.y == 0.5f || v.y == 2.0f) << v.y;
        }
    }
    // Light on the floor north and south of it, flat, reaching into each side.
    EXPECT_EQ(quads_showing(BATCH_GLOW, "spill-window"), 2);
    EXPECT_EQ(quads_in(BATCH_GLOW, 31, 29.5f, 32, 31), 1);
    EXPECT_EQ(quads_in(BATCH_GLOW, 31, 32, 32, 33.5f), 1);
    // The barred opening at (33, 31) continues the wall to its west, so its
    // bars run along x too; no light spills from it.
    ASSERT_EQ(quads_showing(BATCH_DECAL, "pane-arch"), 1);
    EXPECT_EQ(quads_in(BATCH_DECAL, 33, 31.5f, 34, 31.5f), 1);
    EXPECT_EQ(quads_showing(BATCH_GLOW, "pane-arch"), 0);
    // The crate at (31, 33): its top and the sides facing the camera, all from
    // the crate's own pictures.
    const QuadBatch& blocks = world_batch(BATCH_BLOCK);
    int crate_top = 0, crate_side = 0;
    for (int i = 0; i < blocks.count; ++i) {
        const Quad& q = blocks.quads[size_t(i)];
        bool inside = true;
        for (const QuadVertex& v : q.v) inside = inside && v.x > 30.99f && v.x < 32.01f && v.z > 32.99f && v.z < 34.01f;
        if (!inside) continue;
        if (shows(q, "crate-top") && q.v[0].ny == 1) ++crate_top;
        if (shows(q, "crate-side") && q.v[0].ny == 0) ++crate_side;
    }
    EXPECT_EQ(crate_top, 1);
    EXPECT_GE(crate_side, 2);
    // The target at (32, 33): four blocks, each showing its band of the picture.
    const QuadBatch& tinted = world_batch(BATCH_TINTED);
    EXPECT_EQ(quads_showing(BATCH_TINTED, "target-top"), 4);
    EXPECT_EQ(quads_showing(BATCH_TINTED, "target-side") + 4, tinted.count);
    EXPECT_GE(tinted.count, 4 + 4 * 2);

    // Overhead, in the editor, each opening shows its icon on its lintel.
    g->state = STATE_EDIT;
    top_view = 1;
    world_draw(*g);
    EXPECT_EQ(quads_showing(BATCH_DECAL, "icon-window"), 1);
    EXPECT_EQ(quads_showing(BATCH_DECAL, "icon-arch"), 1);
    EXPECT_EQ(quads_showing(BATCH_GLOW, "pane-window"), 0);
}

TEST_F(Batches, ActorsStandOnTheirCellsBlastsGlowLampsShowTheirFixture) {
    make({
             ".....",
             ".G.L.",
             ".....",
         },
         STATE_LEVEL);
    look(32, 31);
    actor& blast = spawn_actor(*g);
    blast.active = 1;
    blast.kind = ACTOR_BLAST;
    blast.x = 33;
    blast.y = 32;
    strcpy(blast.anim, "blast-2");
    world_draw(*g);
    EXPECT_EQ(quads(BATCH_SPRITE), 2);  // the guard's shadow and picture
    EXPECT_EQ(quads(BATCH_GLOW), 1);
    EXPECT_EQ(world_stats().point_lights, 2);  // the lamp and the blast
    const Quad& guard = world_batch(BATCH_SPRITE).quads[1];
    EXPECT_EQ(guard.v[0].y, -1);  // shape y -24 of 96: feet on the floor line
    EXPECT_EQ(guard.v[2].y, 3);
    EXPECT_NEAR((guard.v[0].x + guard.v[1].x) / 2, 31.5, 1e-4);
    EXPECT_NEAR((guard.v[0].z + guard.v[1].z) / 2, 31.5, 1e-4);
    // The glow: 5 wide (shape 192), 5 high (shape 120) and 1.5 more.
    const Quad& glow = world_batch(BATCH_GLOW).quads[0];
    EXPECT_NEAR(std::hypot(glow.v[1].x - glow.v[0].x, glow.v[1].z - glow.v[0].z), 5, 1e-4);
    EXPECT_NEAR(glow.v[2].y - glow.v[0].y, 6.5, 1e-4);
    // The lamp: its lit fixture, unlit itself, standing on its cell.
    ASSERT_EQ(quads(BATCH_DECAL), 1);
    const Quad& lamp = world_batch(BATCH_DECAL).quads[0];
    EXPECT_TRUE(shows(lamp, "lamp-1"));
    EXPECT_NEAR((lamp.v[0].x + lamp.v[1].x) / 2, 33.5, 1e-4);
    EXPECT_NEAR((lamp.v[0].z + lamp.v[1].z) / 2, 31.5, 1e-4);

    // An EMP leaves every point light off, and the lamp shows its dark fixture.
    g->level.emp_time = 10;
    world_draw(*g);
    EXPECT_EQ(world_stats().point_lights, 0);
    ASSERT_EQ(quads(BATCH_DECAL), 1);
    EXPECT_TRUE(shows(world_batch(BATCH_DECAL).quads[0], "lamp-off"));
    EXPECT_FALSE(shows(world_batch(BATCH_DECAL).quads[0], "lamp-1"));
}

TEST_F(Batches, TheEditorShowsSpawnDecalsAndArrowTrails) {
    make({
             ".......",
             ".G3...#",
             ".......",
         },
         STATE_EDIT);
    look(33, 31);
    world_draw(*g);
    // The guard's spawn decal, the arrow's decal and its trail over (33..35, 31),
    // stopping before the wall.
    EXPECT_EQ(quads_in(BATCH_DECAL, 31, 31, 32, 32), 1);
    EXPECT_EQ(quads_in(BATCH_DECAL, 32, 31, 33, 32), 1);
    EXPECT_EQ(quads_in(BATCH_DECAL, 33.25f, 31.25f, 35.75f, 31.75f), 3);
    EXPECT_EQ(quads_in(BATCH_DECAL, 36, 31, 37, 32), 0);
    g->state = STATE_LEVEL;
    world_draw(*g);
    EXPECT_EQ(quads(BATCH_DECAL), 0);
}

TEST_F(Batches, ArbitraryLevelBytesNeverLeaveTheRecords) {
    std::mt19937 rng(7);
    testing::internal::CaptureStderr();  // unknown animation names are reported
    for (int round = 0; round < 20; ++round) {
        auto* bytes = reinterpret_cast<unsigned char*>(&g->level);
        for (size_t i = 0; i < sizeof g->level; ++i) bytes[i] = static_cast<unsigned char>(rng());
        memcpy(&g->edit_level, &g->level, sizeof g->level);
        for (unsigned char& f : g->flags) f = static_cast<unsigned char>(rng());
        g->state = round % 2 ? STATE_EDIT : STATE_LEVEL;
        top_view = round % 3 == 0;
        // Keep the camera somewhere sensible half of the time, so tiles are visited.
        if (round % 2) {
            look(float(rng() % 128), float(rng() % 128), float(rng() % 360));
            g->level.cam_dist = 50;
        }
        world_draw(*g);
    }
    testing::internal::GetCapturedStderr();
}

}  // namespace
