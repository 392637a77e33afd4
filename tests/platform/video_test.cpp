#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/driver.h"

namespace {

// A display that refuses or answers each request from a script.
struct Attempt {
    int w, h, fs;
};
std::vector<Attempt> attempts;
std::vector<std::pair<int, int>> answers;  // (0, 0) = refused; consumed in order
SDL_Surface surfaces[8];

SDL_Surface* fake_attempt(int w, int h, int fs) {
    attempts.push_back({w, h, fs});
    if (attempts.size() > answers.size()) return nullptr;
    auto [aw, ah] = answers[attempts.size() - 1];
    if (aw == 0) return nullptr;
    SDL_Surface* s = &surfaces[attempts.size() - 1];
    *s = SDL_Surface{};
    s->w = aw;
    s->h = ah;
    return s;
}

struct VideoTest : ::testing::Test {
    void SetUp() override {
        set_video_attempt(fake_attempt);
        attempts.clear();
        answers.clear();
        driver().width = driver().height = 0;
    }
    void TearDown() override {
        set_video_attempt(nullptr);
        driver().width = driver().height = 0;
    }
    void expect_attempts(std::vector<Attempt> want) {
        ASSERT_EQ(attempts.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            EXPECT_EQ(attempts[i].w, want[i].w) << "attempt " << i;
            EXPECT_EQ(attempts[i].h, want[i].h) << "attempt " << i;
            EXPECT_EQ(attempts[i].fs, want[i].fs) << "attempt " << i;
        }
    }
};

TEST_F(VideoTest, RefusedModeFallsBackFullScreenThenWindowed) {
    answers = {{0, 0}, {0, 0}, {640, 480}};
    testing::internal::CaptureStderr();
    init_video(1600, 1200, 1);
    std::string log = testing::internal::GetCapturedStderr();
    expect_attempts({{1600, 1200, 1}, {640, 480, 1}, {640, 480, 0}});
    EXPECT_EQ(driver().width, 640);
    EXPECT_EQ(driver().height, 480);
    EXPECT_NE(log.find("init_video: 1600 1200 640 480 480 320 1\n"), std::string::npos) << log;
    EXPECT_NE(log.find("trying at default res ...\n"), std::string::npos);
    EXPECT_NE(log.find("trying w/o fullscreen ...\n"), std::string::npos);
    EXPECT_NE(log.find("res: 640 x 480\n"), std::string::npos);
}

TEST_F(VideoTest, NothingAtAllLeavesTheDriverUntouched) {
    driver().width = 7;
    init_video(800, 600, 1);
    expect_attempts({{800, 600, 1}, {640, 480, 1}, {640, 480, 0}});
    EXPECT_EQ(driver().width, 7);
}

TEST_F(VideoTest, TooSmallSurfaceRetriesAtMinimumWindowed) {
    answers = {{400, 300}, {480, 320}};
    testing::internal::CaptureStderr();
    init_video(400, 300, 1);
    std::string log = testing::internal::GetCapturedStderr();
    expect_attempts({{400, 300, 1}, {480, 320, 0}});
    EXPECT_EQ(driver().width, 480);
    EXPECT_NE(log.find("trying at minimum-sized windowed ...\n"), std::string::npos);
}

TEST_F(VideoTest, OtherSizeThanAskedIsRetriedOnceAsGiven) {
    answers = {{1024, 768}, {1024, 768}};
    init_video(1000, 700, 0);
    expect_attempts({{1000, 700, 0}, {1024, 768, 0}});
    EXPECT_EQ(driver().width, 1024);
    EXPECT_EQ(driver().height, 768);
}

TEST_F(VideoTest, RefusedMinimumSizeLeavesTheDriverUntouched) {
    answers = {{320, 200}, {0, 0}};
    driver().width = 7;
    init_video(320, 200, 1);
    expect_attempts({{320, 200, 1}, {480, 320, 0}});
    EXPECT_EQ(driver().width, 7);
}

TEST_F(VideoTest, FallbackAnsweredWithOtherSizeIsRetriedWindowed) {
    answers = {{0, 0}, {0, 0}, {800, 600}, {800, 600}};
    init_video(1600, 1200, 1);
    expect_attempts({{1600, 1200, 1}, {640, 480, 1}, {640, 480, 0}, {800, 600, 0}});
    EXPECT_EQ(driver().width, 800);
    EXPECT_EQ(driver().height, 600);
}

TEST_F(VideoTest, DesktopSizeIsNeverRetried) {
    answers = {{1280, 1024}};
    init_video(0, 0, 1);
    expect_attempts({{0, 0, 1}});
    EXPECT_EQ(driver().width, 1280);
}

TEST_F(VideoTest, ExactAnswerStops) {
    answers = {{800, 600}};
    init_video(800, 600, 0);
    expect_attempts({{800, 600, 0}});
}

}  // namespace
