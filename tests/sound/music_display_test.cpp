// The real binary under a private Xvfb with SDL's disk audio driver: the menu
// music starts at start-up at the music volume of the settings, and the game
// shuts its sound down cleanly at exit.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "audio_capture.h"
#include "core/game.h"
#include "test_support.h"

namespace {

constexpr size_t RATE = 44100;

struct MusicRun {
    int status = -1;
    std::string err;
    std::vector<test::Frame> music;  // output after the music was asked to play
};

// Runs the game until the menu music was started and `frames` frames of output
// followed, then asks it to stop with SIGTERM.
MusicRun run_game(const test::TempDir& home, size_t frames) {
    const std::string audio_path = home.file("mixed.raw");
    test::GameOptions options;
    options.env = {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", audio_path}, {"SDL_DISKAUDIODELAY", "2"}};
    test::GameProcess game(home.path(), options);
    MusicRun run;
    if (!game.running()) return run;
    test::DiskAudio audio(audio_path);  // reads the file the game's driver writes
    game.wait_for_stderr("Pos: set: ", 60);
    const size_t start = audio.frames_now();
    run.music = audio.window(start, frames);
    run.status = game.stop(SIGTERM);
    run.err = game.err();
    return run;
}

TEST(MenuMusic, StartsAtTheMusicVolumeAndStopsAtExit) {
    test::Xvfb x;
    ASSERT_TRUE(x.ok());
    test::TempDir home;
    const MusicRun run = run_game(home, RATE);
    ASSERT_TRUE(WIFEXITED(run.status)) << run.err;
    EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.err;

    // After the start-up report: the stream is looked up, loaded and played at 0 s.
    const size_t report = run.err.find("sizeof(game) = 208k\n");
    ASSERT_NE(report, std::string::npos) << run.err;
    const std::string music_log = run.err.substr(report);
    EXPECT_NE(music_log.find("trying load stream menus\ndoing load stream menus\nstream_load in ticks: "),
              std::string::npos)
        << music_log;
    EXPECT_NE(music_log.find("\nsetispaused: "), std::string::npos) << music_log;
    EXPECT_NE(music_log.find("\nPos: set: 0 get: "), std::string::npos) << music_log;
    EXPECT_EQ(run.err.find("error"), std::string::npos) << run.err;

    ASSERT_EQ(run.music.size(), RATE);
    const test::Levels l = test::measure(run.music);
    EXPECT_GT(l.loud[0], RATE / 2);
    EXPECT_GT(l.loud[1], RATE / 2);
    // The default music volume, 50, halves the track (whose peak is 0.7 of full scale).
    EXPECT_GT(l.peak[0], 1000);
    EXPECT_LE(l.peak[0], 32768 / 2);
}

TEST(MenuMusic, MusicVolumeZeroIsSilent) {
    test::Xvfb x;
    ASSERT_TRUE(x.ok());
    test::TempDir home;
    mkdir((home.path() + "/Murkwell").c_str(), 0700);
    settings s{};
    s.version = 1;
    s.music_volume = 0;
    s.effects_volume = 50;
    test::write_file(home.path() + "/Murkwell/settings.dat",
                     std::string(reinterpret_cast<const char*>(&s), sizeof s));
    const MusicRun run = run_game(home, RATE / 2);
    ASSERT_TRUE(WIFEXITED(run.status)) << run.err;
    EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.err;
    EXPECT_NE(run.err.find("\nPos: set: 0 get: "), std::string::npos) << run.err;
    ASSERT_EQ(run.music.size(), RATE / 2);
    const test::Levels l = test::measure(run.music);
    EXPECT_EQ(l.loud[0] + l.loud[1], 0u);
}

}  // namespace
