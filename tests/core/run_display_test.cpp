// The real binary under a private Xvfb: it starts, runs frames, is asked to stop
// with SIGTERM or SIGINT, and leaves its two files behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "core/game.h"
#include "test_support.h"

namespace {

struct GameRun {
    int status = -1;
    std::string out, err;
};

// Starts the game, waits until start-up is over plus `settle`, sends sig, and
// collects what it printed.
GameRun run_game(const test::TempDir& home, int sig, std::chrono::milliseconds settle,
                 bool with_display = true) {
    std::unique_ptr<test::ScopedEnv> no_display;
    if (!with_display) no_display.reset(new test::ScopedEnv("DISPLAY", nullptr));
    test::GameProcess game_run(home.path());
    GameRun run;
    if (!game_run.running()) return run;
    game_run.wait_for_stderr("sizeof(game) = 208k");
    std::this_thread::sleep_for(settle);
    run.status = game_run.stop(sig);
    run.out = game_run.out();
    run.err = game_run.err();
    return run;
}

game read_state(const std::string& path) {
    game g{};
    std::string bytes = test::read_file(path);
    memcpy(&g, bytes.data(), std::min(bytes.size(), sizeof g));
    return g;
}

TEST(RealBinary, StartsRunsAndSavesOnSigterm) {
    test::Xvfb x;
    ASSERT_TRUE(x.ok());
    test::TempDir home;
    GameRun run = run_game(home, SIGTERM, std::chrono::milliseconds(1500));
    ASSERT_TRUE(WIFEXITED(run.status)) << run.err;
    EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.err;

    EXPECT_NE(run.out.find("SDL Runtime Version: 1.2."), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("SDL Compile Version: 1.2.14\n"), std::string::npos);
    EXPECT_NE(run.out.find("SDL_image Compile Version: 1.2.10\n"), std::string::npos);
    EXPECT_NE(run.out.find("SDL_BYTEORDER == SDL_LIL_ENDIAN\n"), std::string::npos);
    // Defaults: desktop size, full screen; the first attempt is accepted as given.
    EXPECT_NE(run.err.find("init_video: 0 0 640 480 480 320 1\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("res: 1280 x 1024\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("GL_DEPTH_SIZE:"), std::string::npos);
    EXPECT_NE(run.err.find("sizeof(level) = 45k\nsizeof(_rewind) = 0k\nsizeof(game) = 208k\n"),
              std::string::npos);

    const std::string dir = home.path() + "/Murkwell/";
    EXPECT_EQ(test::read_file(dir + "settings.dat").size(), 276u);
    ASSERT_EQ(test::read_file(dir + "state.dat").size(), 213308u);
    game g = read_state(dir + "state.dat");
    EXPECT_EQ(g.version, 1);
    EXPECT_EQ(g.state, 1) << "a fresh start is at the main menu";
    EXPECT_EQ(g.quit, 1);
    EXPECT_EQ(g.settings.music_volume, 50);
    EXPECT_EQ(g.settings.effects_volume, 50);
    EXPECT_EQ(g.settings.fullscreen, 1);
    EXPECT_EQ(g.settings.video_mode, -1);
    EXPECT_STREQ(g.settings.user_id, "g:");
    EXPECT_EQ(std::string(g.settings.device_id).rfind("time|", 0), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(g.db_slots), 36), std::string(36, '\0'));
}

TEST(RealBinary, QuitDuringPlayResumesPausedAndSigintSaves) {
    test::Xvfb x;
    ASSERT_TRUE(x.ok());
    test::TempDir home;
    mkdir((home.path() + "/Murkwell").c_str(), 0700);
    game saved{};
    saved.version = 1;
    saved.state = 3;
    strcpy(saved.level.title, "Mid-level");
    saved.level.ticks = 1234;
    test::write_file(home.path() + "/Murkwell/state.dat",
                     std::string(reinterpret_cast<const char*>(&saved), sizeof saved));
    settings s{};
    s.version = 1;
    s.music_volume = 20;
    s.effects_volume = 30;
    s.video_mode = 800 * 4096 + 600;
    s.fullscreen = -1;
    test::write_file(home.path() + "/Murkwell/settings.dat",
                     std::string(reinterpret_cast<const char*>(&s), sizeof s));

    GameRun run = run_game(home, SIGINT, std::chrono::milliseconds(300));
    ASSERT_TRUE(WIFEXITED(run.status)) << run.err;
    EXPECT_EQ(WEXITSTATUS(run.status), 0);
    EXPECT_NE(run.err.find("init_video: 800 600 640 480 480 320 0\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("res: 800 x 600\n"), std::string::npos);

    game g = read_state(home.path() + "/Murkwell/state.dat");
    EXPECT_EQ(g.state, 4) << "the pause screen over the same level";
    EXPECT_STREQ(g.level.title, "Mid-level");
    EXPECT_EQ(g.level.ticks, 1234);
    EXPECT_EQ(g.settings.music_volume, 20);
    EXPECT_EQ(g.settings.effects_volume, 30);
}

TEST(RealBinary, WithoutAnyDisplayRunsOnAndSavesOnSigterm) {
    test::TempDir home;
    GameRun run = run_game(home, SIGTERM, std::chrono::milliseconds(300), false);
    ASSERT_TRUE(WIFEXITED(run.status)) << run.err;
    EXPECT_EQ(WEXITSTATUS(run.status), 0);
    EXPECT_NE(run.err.find("trying w/o fullscreen ...\n"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("res: 1280"), std::string::npos);
    EXPECT_EQ(test::read_file(home.path() + "/Murkwell/state.dat").size(), 213308u);
    EXPECT_EQ(test::read_file(home.path() + "/Murkwell/settings.dat").size(), 276u);
}

}  // namespace
