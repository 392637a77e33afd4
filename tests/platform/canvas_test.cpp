#include <gtest/gtest.h>

#include <cmath>

#include "platform/canvas.h"
#include "platform/driver.h"

namespace {

struct CanvasTest : ::testing::Test {
    void SetUp() override {
        canvas() = Canvas();
        driver().width = 1920;
        driver().height = 1080;
    }
    void TearDown() override {
        canvas() = Canvas();
        driver().width = driver().height = 0;
    }
};

TEST_F(CanvasTest, WindowCentreMapsToCanvasCentre) {
    Event e{};
    e.kind = EV_MOUSEDOWN;
    e.x = e.raw_x = 960;
    e.y = e.raw_y = 540;
    map_event_to_canvas(&e);
    EXPECT_FLOAT_EQ(e.x, 480);
    EXPECT_FLOAT_EQ(e.y, 360);
    EXPECT_FLOAT_EQ(e.raw_x, 960) << "window pixels stay in the raw fields";
}

TEST_F(CanvasTest, MotionBecomesCanvasDifference) {
    Event e{};
    e.kind = EV_MOUSEMOVE;
    e.x = 192;
    e.y = 108;
    e.dx = 96;
    e.dy = -54;
    map_event_to_canvas(&e);
    EXPECT_FLOAT_EQ(e.x, 96);
    EXPECT_FLOAT_EQ(e.y, 72);
    EXPECT_FLOAT_EQ(e.dx, 48);
    EXPECT_FLOAT_EQ(e.dy, -36);
}

TEST_F(CanvasTest, OnlyMouseKindsAreMapped) {
    for (int kind : {EV_WHEEL, EV_KEYDOWN, EV_QUIT, EV_ACTIVE}) {
        Event e{};
        e.kind = kind;
        e.x = 960;
        e.y = 540;
        e.dy = 1;
        map_event_to_canvas(&e);
        EXPECT_FLOAT_EQ(e.x, 960) << kind;
        EXPECT_FLOAT_EQ(e.dy, 1) << kind;
    }
}

TEST_F(CanvasTest, RoundTripThroughOffset) {
    canvas().focus_y = 700;
    canvas().focus_h = 40;
    canvas_update_offset();
    EXPECT_FLOAT_EQ(canvas().offset_y, -20);
    CanvasPoint c = canvas_from_window(960, 1080);
    EXPECT_FLOAT_EQ(c.y, 740) << "the lifted canvas shows 20 more units at the bottom";
    CanvasPoint w = window_from_canvas(c.x, c.y);
    EXPECT_NEAR(w.x, 960, 1e-3);
    EXPECT_NEAR(w.y, 1080, 1e-3);
    canvas().focus_h = 0;
    canvas_update_offset();
    EXPECT_FLOAT_EQ(canvas().offset_y, 0);
}

TEST_F(CanvasTest, NoWindowMapsWithoutDividingByZero) {
    driver().width = driver().height = 0;
    CanvasPoint c = canvas_from_window(10, 10);
    EXPECT_TRUE(std::isfinite(c.x));
    EXPECT_TRUE(std::isfinite(c.y));
}

}  // namespace
