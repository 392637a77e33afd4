// Shared helpers of the tests: temporary folders, a private Xvfb display, and
// running the real binary.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace test {

// A fresh folder under /tmp, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Sets an environment variable for the lifetime of the object, then restores it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);  // value nullptr unsets
    ~ScopedEnv();

private:
    std::string name_, old_;
    bool had_old_;
};

// A private X server (Xvfb on a free display, 1280x1024x24). DISPLAY points at
// it while the object lives. ok() is false when Xvfb could not start.
class Xvfb {
public:
    Xvfb();
    ~Xvfb();
    bool ok() const { return pid_ > 0; }
    const std::string& display() const { return display_; }

private:
    int pid_ = -1;
    std::string display_;
    ScopedEnv* env_ = nullptr;
};

// How GameProcess starts the game. The environment entries are set after
// APPDATA and SDL_AUDIODRIVER=dummy, so they may override the driver.
struct GameOptions {
    std::string exe;  // empty: the murkwell of this build
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> env;
};

// The real game binary, started with APPDATA at a folder and the dummy sound
// driver, its output collected into stdout.txt and stderr.txt of that folder
// (emptied before the start, so nothing of an earlier run is read as this
// one's). stop() sends a signal and waits (bounded; SIGKILL after 20 s) for it
// to end.
class GameProcess {
public:
    explicit GameProcess(const std::string& appdata, const GameOptions& options = GameOptions());
    ~GameProcess();  // stops it with SIGKILL if it still runs
    GameProcess(const GameProcess&) = delete;
    GameProcess& operator=(const GameProcess&) = delete;
    bool running() const { return pid_ > 0; }
    // True once the error (output) stream holds `text`; false after `seconds`.
    bool wait_for_stderr(const std::string& text, double seconds = 60) const;
    bool wait_for_stdout(const std::string& text, double seconds = 60) const;
    std::string err() const;
    std::string out() const;
    // Sends sig and returns the wait status.
    int stop(int sig);

private:
    std::string dir_;
    int pid_ = -1;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);

// The source tree's data folder.
std::string source_data_dir();

// Standard output of a shell command (external tools: sqlite3, python3, md5sum...).
std::string run(const std::string& command);

// The sqlite3 command-line shell's answer to one statement on a database file.
std::string sqlite(const std::string& path, const std::string& sql);

// Runs f and returns what it printed on the error stream.
template <class F>
std::string stderr_of(F&& f) {
    testing::internal::CaptureStderr();
    f();
    return testing::internal::GetCapturedStderr();
}

}  // namespace test
