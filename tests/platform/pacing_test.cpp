#include <gtest/gtest.h>

#include <vector>

#include "platform/driver.h"
#include "platform/pacing.h"

namespace {

// A clock that only moves when the pacer sleeps or the test says so.
uint32_t fake_now = 0;
std::vector<uint32_t> sleeps;
uint32_t fake_ticks() { return fake_now; }
void fake_delay(uint32_t ms) {
    sleeps.push_back(ms);
    fake_now += ms;
}

struct PacingTest : ::testing::Test {
    void SetUp() override {
        static const FrameClock clock = {fake_ticks, fake_delay};
        set_frame_clock(&clock);
        frame_wait_reset();
        fake_now = 1000;
        sleeps.clear();
    }
    void TearDown() override {
        set_frame_clock(nullptr);
        frame_wait_reset();
        driver().fps = 0;
    }
    // Frame periods seen by a loop whose work takes no time.
    std::vector<uint32_t> periods(int frames) {
        std::vector<uint32_t> out;
        uint32_t last = fake_now;
        frame_wait();  // starts the schedule
        last = fake_now;
        for (int i = 0; i < frames; ++i) {
            frame_wait();
            out.push_back(fake_now - last);
            last = fake_now;
        }
        return out;
    }
};

TEST_F(PacingTest, ThirtyFpsSpreadsTheFraction) {
    const float step = 1000.0f / 30.0f;
    EXPECT_EQ(frame_length(0, step), 34);
    for (uint32_t n = 1; n <= 7086; ++n) ASSERT_EQ(frame_length(n, step), 33) << "frame " << n;
    int extra = 0;
    for (uint32_t n = 7087; n < 7087 + 3000; ++n) extra += frame_length(n, step) - 33;
    EXPECT_GT(extra, 800) << "about one frame in three gets the extra millisecond later on";
    EXPECT_LT(extra, 1200);
}

TEST_F(PacingTest, WholeStepsHaveNoExtraMillisecond) {
    for (int fps : {25, 20}) {
        for (uint32_t n = 0; n < 500; ++n)
            ASSERT_EQ(frame_length(n, 1000.0f / float(fps)), 1000 / fps) << fps << " fps, frame " << n;
    }
}

TEST_F(PacingTest, LoopRunsAtTheScheduledPeriods) {
    driver().fps = 30;
    std::vector<uint32_t> p = periods(10);
    EXPECT_EQ(p[0], 34u);
    for (size_t i = 1; i < p.size(); ++i) EXPECT_EQ(p[i], 33u);

    SetUp();
    driver().fps = 25;
    for (uint32_t period : periods(20)) EXPECT_EQ(period, 40u);
}

TEST_F(PacingTest, ZeroFpsNeverSleeps) {
    driver().fps = 0;
    frame_wait();
    frame_wait();
    EXPECT_TRUE(sleeps.empty());
}

TEST_F(PacingTest, StallRestartsTheScheduleFromNow) {
    driver().fps = 30;
    periods(5);
    fake_now += 1000;  // the game hung for a second
    sleeps.clear();
    frame_wait();      // does not sleep: far behind
    EXPECT_EQ(sleeps.back(), 0u);
    const uint32_t resumed = fake_now;
    frame_wait();
    EXPECT_EQ(fake_now - resumed, 33u) << "next frame one period after the stall, not a rush";
    frame_wait();
    EXPECT_EQ(fake_now - resumed, 66u);
}

TEST_F(PacingTest, ShortLagIsCaughtUpWithoutRestart) {
    driver().fps = 25;
    periods(3);
    const uint32_t due = fake_now + 40;
    fake_now += 100;  // 2.5 frames late
    frame_wait();
    frame_wait();
    // The schedule kept its phase: frames stay on the 40 ms grid.
    EXPECT_EQ((fake_now - due) % 40, 0u);
}

}  // namespace
