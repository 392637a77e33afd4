// The real binary under a private Xvfb with SDL's disk audio driver: the menu
// music starts at start-up at the music volume of the settings, and the game
// shuts its sound down cleanly at exit.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

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

bool wait_until(const std::function<bool()>& ready) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Runs the game until the menu music was started and `frames` frames of output
// followed, then asks it to stop with SIGTERM.
MusicRun run_game(const test::TempDir& home, size_t frames) {
    const std::string err_path = home.file("stderr.txt");
    const std::string audio_path = home.file("mixed.raw");
    pid_t pid = fork();
    if (pid == 0) {
        setenv("APPDATA", home.path().c_str(), 1);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", audio_path.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "2", 1);
        int out = open("/dev/null", O_WRONLY);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
        const std::string exe = std::string(MURKWELL_BINARY_DIR) + "/murkwell";
        execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    MusicRun run;
    if (pid < 0) return run;
    test::DiskAudio audio(audio_path);  // reads the file the game's driver writes
    wait_until([&] { return test::read_file(err_path).find("Pos: set: ") != std::string::npos; });
    const size_t start = audio.frames_now();
    run.music = audio.window(start, frames);
    kill(pid, SIGTERM);
    if (!wait_until([&] { return waitpid(pid, &run.status, WNOHANG) == pid; })) {
        kill(pid, SIGKILL);
        waitpid(pid, &run.status, 0);
    }
    run.err = test::read_file(err_path);
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
