// The camera rules without a display: wheel zoom, queued turns, heading
// wrapping, easing, panning by drag and the hover point. The matrices are the
// renderer's own, so unprojection works without GL (viewport = window size).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "core/game.h"
#include "core/state.h"
#include "gfx/world_draw.h"
#include "platform/driver.h"

namespace {

struct Camera : ::testing::Test {
    std::unique_ptr<game> g{new game()};
    level& lv = g->level;

    void SetUp() override {
        driver().width = 960;
        driver().height = 720;
        g->state = STATE_LEVEL;
        lv.look_x = 64;
        lv.look_y = 64;
        top_view = 0;
    }
    void TearDown() override {
        driver().width = driver().height = 0;
        top_view = 0;
    }

    // A key press as the dispatcher delivers it: the screen sees the event
    // before the held-key table is updated.
    void press(int key) {
        Event e{};
        e.kind = EV_KEYDOWN;
        e.key = uint32_t(key);
        camera_event(lv, *g, e);
        g->keys[key] = 1;
    }
    void release(int key) { g->keys[key] = 0; }
    void wheel(float dy) {
        Event e{};
        e.kind = EV_WHEEL;
        e.dy = e.raw_dy = dy;
        camera_event(lv, *g, e);
    }
};

TEST_F(Camera, WheelZoomsInStepsOfFiveBetweenMinus25And50) {
    lv.zoom_target = 0;
    for (int i = 0; i < 5; ++i) wheel(-1);
    EXPECT_EQ(lv.zoom_target, -25);
    wheel(-1);
    EXPECT_EQ(lv.zoom_target, -25);
    wheel(1);
    EXPECT_EQ(lv.zoom_target, -20);
    for (int i = 0; i < 20; ++i) wheel(1);
    EXPECT_EQ(lv.zoom_target, 50);
}

TEST_F(Camera, DistanceEasesTwoPerFrameWithoutOvershoot) {
    lv.cam_dist = 0;
    lv.zoom_target = 5;
    const float want[] = {2, 4, 5, 5};
    for (float w : want) {
        camera_update(lv, *g);
        EXPECT_EQ(lv.cam_dist, w);
    }
    lv.zoom_target = -25;
    for (int i = 0; i < 20; ++i) camera_update(lv, *g);
    EXPECT_EQ(lv.cam_dist, -25);
}

TEST_F(Camera, QuickPressesQueueTurnsUntil360ArePending) {
    press(KEY_RIGHT);
    // Auto-repeat delivers more key-downs while the key is held: ignored.
    press(KEY_RIGHT);
    press(KEY_RIGHT);
    EXPECT_EQ(lv.cam_angle_target, 45);
    release(KEY_RIGHT);
    press(KEY_RIGHT);
    release(KEY_RIGHT);
    EXPECT_EQ(lv.cam_angle_target, 90);  // two turns queued, none made yet
    for (int i = 0; i < 6; ++i) {
        press(KEY_RIGHT);
        release(KEY_RIGHT);
    }
    EXPECT_EQ(lv.cam_angle_target, 360);
    press(KEY_RIGHT);  // refused: 360 degrees are already pending
    release(KEY_RIGHT);
    EXPECT_EQ(lv.cam_angle_target, 360);
    press(KEY_LEFT);  // in either direction
    release(KEY_LEFT);
    EXPECT_EQ(lv.cam_angle_target, 360);
    // Once the view has turned a little, there is room for another press.
    camera_update(lv, *g);
    EXPECT_EQ(lv.cam_angle, 5);
    press(KEY_RIGHT);
    release(KEY_RIGHT);
    EXPECT_EQ(lv.cam_angle_target, 405);
}

TEST_F(Camera, HeadingTurnsFiveDegreesAFrameAndHoldingKeepsTurning) {
    lv.cam_angle_target = 45;
    for (int i = 1; i <= 9; ++i) {
        camera_update(lv, *g);
        EXPECT_EQ(lv.cam_angle, 5.0f * float(i));
    }
    // Held right arrow: a new 45 degree step once the last one is (nearly) done.
    g->keys[KEY_RIGHT] = 1;
    camera_update(lv, *g);
    EXPECT_EQ(lv.cam_angle_target, 90);
    EXPECT_EQ(lv.cam_angle, 50);
    g->keys[KEY_RIGHT] = 0;
    // A target that is not a multiple of five is reached, not circled.
    lv.cam_angle = 0;
    lv.cam_angle_target = 12;
    for (int i = 0; i < 5; ++i) camera_update(lv, *g);
    EXPECT_EQ(lv.cam_angle, 12);
}

TEST_F(Camera, HeadingWrapsPast360WithBothValuesTogether) {
    lv.cam_angle = 350;
    lv.cam_angle_target = 405;  // two turns to the right pending
    float last_gap = lv.cam_angle_target - lv.cam_angle;
    float seen_max = 0;
    for (int i = 0; i < 30; ++i) {
        camera_update(lv, *g);
        ASSERT_GE(lv.cam_angle, 0);
        ASSERT_LT(lv.cam_angle, 365);
        // The gap only ever closes by the step just made: the wrap moved both.
        const float gap = lv.cam_angle_target - lv.cam_angle;
        ASSERT_LE(gap, last_gap);
        last_gap = gap;
        seen_max = std::max(seen_max, lv.cam_angle);
    }
    EXPECT_EQ(lv.cam_angle, 45);
    EXPECT_EQ(lv.cam_angle_target, 45);
    EXPECT_EQ(seen_max, 360);

    // Turning left from 0 goes below zero: both move up by 360 together.
    lv.cam_angle = 0;
    lv.cam_angle_target = -45;
    camera_update(lv, *g);
    EXPECT_EQ(lv.cam_angle, 355);
    EXPECT_EQ(lv.cam_angle_target, 315);
}

TEST_F(Camera, ArrowsUpAndDownToggleTheOverheadView) {
    press(KEY_UP);
    release(KEY_UP);
    EXPECT_EQ(top_view, 1);
    press(KEY_DOWN);
    release(KEY_DOWN);
    EXPECT_EQ(top_view, 0);
}

TEST_F(Camera, RightDragKeepsTheGroundPointUnderThePointer) {
    struct Case {
        float heading, zoom;
        float x, y, dx, dy;
    } cases[] = {
        {0, 0, 500, 400, 30, -20},
        {45, -25, 100, 650, -60, 5},
        {135, 50, 900, 40, 12, 33},
        {270, 10, 480, 360, -200, 150},
    };
    for (const Case& c : cases) {
        lv.cam_angle = lv.cam_angle_target = c.heading;
        lv.cam_dist = lv.zoom_target = c.zoom;
        camera_setup(*g, 0);
        const Vec3 grabbed = unproject_to_plane(c.x - c.dx, c.y - c.dy, 1.25f);
        Event e{};
        e.kind = EV_MOUSEMOVE;
        e.button = 4;
        e.raw_x = c.x;
        e.raw_y = c.y;
        e.raw_dx = c.dx;
        e.raw_dy = c.dy;
        const float hover_x = lv.mouse_x;
        camera_event(lv, *g, e);
        EXPECT_EQ(lv.mouse_x, hover_x);  // a pan does nothing else
        camera_setup(*g, 0);
        const Vec3 under = unproject_to_plane(c.x, c.y, 1.25f);
        EXPECT_NEAR(under.x, grabbed.x, 0.01) << c.heading;
        EXPECT_NEAR(under.z, grabbed.z, 0.01) << c.heading;
        EXPECT_NEAR(under.y, 1.25f, 1e-3);
        // The ground itself moved along too.
        EXPECT_GT(std::hypot(lv.look_x - 64, lv.look_y - 64), 0.1);
        lv.look_x = lv.look_y = 64;
    }
}

TEST_F(Camera, HoverIsTheGroundPointAtHeight125UnderThePointer) {
    lv.cam_angle = 30;
    lv.cam_dist = 10;
    camera_setup(*g, 0);
    Event e{};
    e.kind = EV_MOUSEMOVE;
    e.button = 1;  // left held: not a pan
    e.raw_x = 480;
    e.raw_y = 360;
    camera_event(lv, *g, e);
    // The view centre looks at the target on the ground; at height 1.25 the
    // same ray is 1.25 / eye height of the way back toward the eye.
    const Vec3 eye = camera_eye();
    const float k = 1.25f / eye.y;
    EXPECT_NEAR(lv.mouse_x, 64 + (eye.x - 64) * k, 0.02);
    EXPECT_NEAR(lv.mouse_y, 64 + (eye.z - 64) * k, 0.02);

    // And projecting a world point lands where unprojecting it came from.
    const Vec3 p = project_to_window(Vec3{70, 0, 58});
    const Vec3 back = unproject_to_plane(p.x, p.y, 0);
    EXPECT_NEAR(back.x, 70, 0.01);
    EXPECT_NEAR(back.z, 58, 0.01);
}

TEST_F(Camera, EyeOrbitsTheTargetAndTheOverheadViewLooksStraightDown) {
    lv.cam_angle = 0;
    lv.cam_dist = 0;
    camera_setup(*g, 0);
    Vec3 eye = camera_eye();
    EXPECT_NEAR(eye.x, 114, 1e-3);  // target + 50 (cos 0 + sin 0)
    EXPECT_NEAR(eye.y, 82.5, 1e-3);
    EXPECT_NEAR(eye.z, 114, 1e-3);

    // Overhead only in the editor.
    top_view = 1;
    camera_setup(*g, 0);
    EXPECT_NEAR(camera_eye().y, 82.5, 1e-3);
    g->state = STATE_EDIT;
    camera_setup(*g, 0);
    eye = camera_eye();
    EXPECT_NEAR(eye.x, 64, 1e-3);
    EXPECT_NEAR(eye.y, 100, 1e-3);
    const Vec3 c = unproject_to_plane(480, 360, 0);
    EXPECT_NEAR(c.x, 64, 1e-3);
    EXPECT_NEAR(c.z, 64, 1e-3);
    // Screen up points away from the viewer of the 3D view: map (-1, -1) at heading 0.
    const Vec3 up = unproject_to_plane(480, 100, 0);
    EXPECT_LT(up.x, 64);
    EXPECT_LT(up.z, 64);
    EXPECT_NEAR(up.x, up.z, 1e-3);
}

TEST_F(Camera, GarbageCameraFieldsStayBounded) {
    lv.cam_angle = NAN;
    lv.cam_angle_target = -1e30f;
    lv.cam_dist = INFINITY;
    lv.zoom_target = 1e9f;
    camera_update(lv, *g);
    EXPECT_TRUE(std::isfinite(lv.cam_angle));
    EXPECT_TRUE(std::isfinite(lv.cam_angle_target));
    EXPECT_GE(lv.cam_angle, 0);
    EXPECT_LE(lv.zoom_target, 50);
    EXPECT_LE(lv.cam_dist, 50);
    camera_setup(*g, 0);
    const Vec3 p = unproject_to_plane(480, 360, 0);
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.z));
}

}  // namespace
