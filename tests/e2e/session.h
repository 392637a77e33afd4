// The real game as a player meets it, for the end-to-end tests and the monkey:
// the `murkwell` binary of this build started under a private X server with a
// temporary per-user folder and a 960 x 720 window, driven by real X input
// (xdotool), and read back through what it leaves behind: its files, its
// error stream, the framebuffer.
//
// Every wait is bounded (WAIT_SECONDS) and polls a condition; none is a
// measurement.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <zlib.h>

#include "core/game.h"
#include "core/state.h"
#include "db/mydb.h"
#include "gfx/world_draw.h"
#include "platform/canvas.h"
#include "platform/files.h"
#include "test_support.h"
#include "world/catalogue.h"
#include "world/model.h"
#include "world/storage.h"

namespace e2e {

constexpr double WAIT_SECONDS = 60.0;

inline double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Polls pred every 20 ms until it holds or `seconds` pass.
template <class Pred>
bool eventually(Pred pred, double seconds = WAIT_SECONDS) {
    const auto t0 = std::chrono::steady_clock::now();
    while (seconds_since(t0) < seconds) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return pred();
}

// Runs a program with arguments (no shell); its exit status, or -1. What it
// prints on its error stream goes to *err when given.
inline int spawn_wait(const std::vector<std::string>& args, const std::string& display = "",
                      std::string* err = nullptr) {
    char path[] = "/tmp/murkwell-e2e-err-XXXXXX";
    const int err_fd = err ? mkstemp(path) : -1;
    const pid_t pid = fork();
    if (pid == 0) {
        if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(err_fd >= 0 ? err_fd : null, 2);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    const bool waited = pid > 0 && waitpid(pid, &status, 0) == pid;
    if (err_fd >= 0) {
        *err = test::read_file(path);
        close(err_fd);
        unlink(path);
    }
    if (!waited) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// ---------------------------------------------------------------------------
// The X server: Xvfb on a free display whose screen is also a file (-fbdir),
// so the tests read the pixels the game put there.

class Display {
public:
    explicit Display(const std::string& fbdir) : fbdir_(fbdir) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 1);
            dup2(null, 2);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-fbdir",
                   fbdir_.c_str(), "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c;
        while (pid_ > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) {
            stop();
            return;
        }
        name_ = ":" + number;
    }
    ~Display() { stop(); }
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;
    bool ok() const { return !name_.empty(); }
    const std::string& name() const { return name_; }
    std::string framebuffer() const { return fbdir_ + "/Xvfb_screen0"; }

private:
    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    std::string fbdir_, name_;
    pid_t pid_ = -1;
};

// A picture: width x height RGB bytes, row by row.
struct Picture {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    bool empty() const { return w == 0; }
    const uint8_t* at(int x, int y) const { return &rgb[(size_t(y) * w + x) * 3]; }
};

// The rectangle (x, y, w, h) of the screen, read from Xvfb's XWD framebuffer
// file (24-bit TrueColor, 32 bits per pixel, the server's byte order).
inline Picture grab(const Display& d, int x, int y, int w, int h) {
    Picture p;
    const std::string f = test::read_file(d.framebuffer());
    if (f.size() < 100) return p;
    auto word = [&](size_t i) {
        const auto* b = reinterpret_cast<const uint8_t*>(f.data()) + i * 4;
        return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    };
    const uint32_t header = word(0), order = word(7), width = word(4), height = word(5), bpp = word(11),
                   line = word(12), colours = word(19);
    const size_t pixels = header + colours * 12;
    if (bpp != 32 || x < 0 || y < 0 || x + w > int(width) || y + h > int(height) ||
        pixels + size_t(line) * height > f.size())
        return p;
    p.w = w;
    p.h = h;
    p.rgb.resize(size_t(w) * h * 3);
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            const auto* b = reinterpret_cast<const uint8_t*>(f.data()) + pixels + size_t(y + j) * line +
                            size_t(x + i) * 4;
            uint8_t* out = &p.rgb[(size_t(j) * w + i) * 3];
            // LSBFirst: B G R x in memory; MSBFirst: x R G B.
            out[0] = order == 0 ? b[2] : b[1];
            out[1] = order == 0 ? b[1] : b[2];
            out[2] = order == 0 ? b[0] : b[3];
        }
    }
    return p;
}

// A loose likeness: the picture reduced to a grey 96 x 72 thumbnail (10 x 10
// blocks of a 960 x 720 window), stored as a binary PGM.
inline std::string thumbnail_pgm(const Picture& p) {
    const int tw = p.w / 10, th = p.h / 10;
    std::string out = "P5\n" + std::to_string(tw) + " " + std::to_string(th) + "\n255\n";
    for (int ty = 0; ty < th; ++ty)
        for (int tx = 0; tx < tw; ++tx) {
            int sum = 0;
            for (int j = 0; j < 10; ++j)
                for (int i = 0; i < 10; ++i) {
                    const uint8_t* c = p.at(tx * 10 + i, ty * 10 + j);
                    sum += (c[0] * 30 + c[1] * 59 + c[2] * 11) / 100;
                }
            out += char(sum / 100);
        }
    return out;
}

// Compares a picture with a stored thumbnail: the share of thumbnail cells
// whose grey differs by more than 48, and the mean difference. "" when alike
// (at most 3% of cells off and a mean under 10), else why not. With
// MURKWELL_E2E_UPDATE_SHOTS set, the stored file is written instead.
inline std::string like_stored(const Picture& p, const std::string& stored_path) {
    const std::string now = thumbnail_pgm(p);
    if (getenv("MURKWELL_E2E_UPDATE_SHOTS")) {
        test::write_file(stored_path, now);
        return "";
    }
    const std::string then = test::read_file(stored_path);
    if (then.size() != now.size()) return "no stored picture of this size at " + stored_path;
    const size_t head = now.size() - size_t(p.w / 10) * (p.h / 10);
    int off = 0;
    double total = 0;
    for (size_t i = head; i < now.size(); ++i) {
        const int d = std::abs(int(uint8_t(now[i])) - int(uint8_t(then[i])));
        total += d;
        off += d > 48;
    }
    const double cells = double(now.size() - head), share = off / cells, mean = total / cells;
    if (share <= 0.03 && mean < 10) return "";
    char why[160];
    snprintf(why, sizeof why, "%.1f%% of cells differ, mean difference %.1f (stored: %s)", share * 100,
             mean, stored_path.c_str());
    return why;
}

// Writes a picture as a PNG (to look at what a test saw).
inline void write_png(const Picture& p, const std::string& path) {
    std::string raw;
    for (int y = 0; y < p.h; ++y) {
        raw += '\0';
        raw.append(reinterpret_cast<const char*>(p.at(0, y)), size_t(p.w) * 3);
    }
    uLongf n = compressBound(uLong(raw.size()));
    std::string z(n, '\0');
    compress2(reinterpret_cast<Bytef*>(&z[0]), &n, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()), 6);
    z.resize(n);
    auto be = [](uint32_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    auto chunk = [&](const std::string& type, const std::string& data) {
        const std::string td = type + data;
        return be(uint32_t(data.size())) + td + be(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(td.data()), uInt(td.size()))));
    };
    std::string ihdr = be(uint32_t(p.w)) + be(uint32_t(p.h)) + std::string("\x08\x02\x00\x00\x00", 5);
    test::write_file(path, std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) + chunk("IDAT", z) + chunk("IEND", ""));
}

// Where the ground of map cell (cx, cy) appears in the 960 x 720 window on
// screen `state` (play or the editor) with the camera looking at (look_x,
// look_y) from distance cam_dist, the view unturned: the renderer's own camera,
// so the game's own picking takes the point back to that cell.
inline Vec3 cell_on_screen(float look_x, float look_y, float cam_dist, int state, int cx, int cy) {
    std::unique_ptr<game> g(new game());
    g->state = state;
    g->level.look_x = look_x;
    g->level.look_y = look_y;
    g->level.cam_dist = cam_dist;
    canvas().canvas_w = 960;
    canvas().canvas_h = 720;
    camera_setup(*g, 0);
    return project_to_window(Vec3{float(cx) + 0.5f, 1.25f, float(cy) + 0.5f});
}

// The same at the start of play of a shipped level: the camera on the agent
// at the zoom play starts with.
inline Vec3 cell_on_screen(const std::string& level_name, int cx, int cy) {
    set_data_dir(test::source_data_dir());
    std::unique_ptr<game> g(new game());
    test::stderr_of([&] { _game_tile_init(*g); });
    MyDB db;
    db.db_open(test::source_data_dir() + "/game.db", true);
    const std::vector<Row> rows = db.query("select id from levels where name = ?", {level_name});
    if (rows.empty() || !logic_load(*g, db, rows[0].at("id"))) return Vec3{-1, -1, 0};
    g->level = g->edit_level;
    test::stderr_of([&] { setup_level(*g, 1); });
    g->state = STATE_LEVEL;
    g->level.cam_dist = 12.5f;
    canvas().canvas_w = 960;
    canvas().canvas_h = 720;
    camera_setup(*g, 0);
    set_data_dir("");
    return project_to_window(Vec3{float(cx) + 0.5f, 1.25f, float(cy) + 0.5f});
}

// ---------------------------------------------------------------------------
// The per-user folder as a player's: settings for a 960 x 720 window.

inline settings window_settings(int music = 50, int sfx = 50) {
    settings s{};
    s.version = 1;
    s.music_volume = music;
    s.effects_volume = sfx;
    s.video_mode = 960 * 4096 + 720;
    s.fullscreen = -1;
    snprintf(s.device_id, sizeof s.device_id, "time|1700000000");
    return s;
}

inline std::string bytes_of(const settings& s) {
    return std::string(reinterpret_cast<const char*>(&s), sizeof s);
}

inline settings read_settings(const std::string& path) {
    settings s{};
    const std::string b = test::read_file(path);
    memcpy(&s, b.data(), std::min(b.size(), sizeof s));
    return s;
}

// The saved game record; all zero when the file is missing or not whole.
inline std::unique_ptr<game> read_state(const std::string& path) {
    std::unique_ptr<game> g(new game());
    const std::string b = test::read_file(path);
    if (b.size() == sizeof(game)) memcpy(g.get(), b.data(), sizeof(game));
    return g;
}

// ---------------------------------------------------------------------------
// One run of the game.

struct GameOptions {
    std::string exe = std::string(MURKWELL_BINARY_DIR) + "/murkwell";
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> env;  // added to the environment
    // How many times WAIT_SECONDS each wait allows (a game under valgrind
    // runs tens of times slower).
    double patience = 1.0;
};

class Game {
public:
    // home: the folder APPDATA points at (the per-user folder is home/Murkwell).
    // A stub `xdg-open` in home/bin records the addresses the game hands to the
    // browser in home/browser.txt instead of starting one.
    Game(const Display& d, const std::string& home, GameOptions o = GameOptions())
        : display_(d.name()), home_(home), bound_(WAIT_SECONDS * o.patience) {
        mkdir((home_ + "/bin").c_str(), 0700);
        const std::string stub = home_ + "/bin/xdg-open";
        test::write_file(stub, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"" + home_ + "/browser.txt\"\n");
        chmod(stub.c_str(), 0700);
        unlink((home_ + "/counts.txt").c_str());
        unlink((home_ + "/stuck.txt").c_str());
        out_ = home_ + "/stdout.txt";
        err_ = home_ + "/stderr.txt";
        unlink(out_.c_str());
        unlink(err_.c_str());
        pid_ = fork();
        if (pid_ == 0) {
            setenv("APPDATA", home_.c_str(), 1);
            setenv("DISPLAY", display_.c_str(), 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            setenv("PATH", (home_ + "/bin:" + std::string(getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin")).c_str(), 1);
            // The frame counter: tests wait for frames to pass, never for time.
            setenv("LD_PRELOAD", MURKWELL_COUNTS_SHIM, 1);
            setenv("MURKWELL_COUNTS", (home_ + "/counts.txt").c_str(), 1);
            for (const auto& kv : o.env) setenv(kv.first.c_str(), kv.second.c_str(), 1);
            const int out = open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> argv{const_cast<char*>(o.exe.c_str())};
            for (const std::string& a : o.args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(o.exe.c_str(), argv.data());
            _exit(127);
        }
    }
    ~Game() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    std::string err() const { return test::read_file(err_); }
    std::string out() const { return test::read_file(out_); }
    std::string user_file(const std::string& name) const { return home_ + "/Murkwell/" + name; }
    std::string browser() const { return test::read_file(home_ + "/browser.txt"); }

    // Start-up is done (the last line start-up prints) and the window is found.
    bool started() {
        if (!wait_err("sizeof(game) = 208k")) return false;
        return !window().empty();
    }

    // Whether the error stream holds `text` after `from` bytes, within the bound.
    bool wait_err(const std::string& text, size_t from = 0, double seconds = 0) const {
        return eventually(
            [&] {
                const std::string e = err();
                return e.size() > from && e.find(text, from) != std::string::npos;
            },
            seconds > 0 ? seconds : bound_);
    }
    // The screen changes the game reported ("set_state: A -> B").
    bool wait_screen(int n, size_t from = 0, double seconds = 0) const {
        return wait_err("-> " + std::to_string(n) + "\n", from, seconds);
    }
    size_t mark() const { return err().size(); }

    // Input events SDL handed the game and frames it ran so far (the counter
    // writes them every 30 frames and at exit).
    long frames() const {
        long events = 0, frames = 0;
        sscanf(test::read_file(home_ + "/counts.txt").c_str(), "events %ld\nframes %ld", &events, &frames);
        return frames;
    }
    long events() const {
        long events = 0;
        sscanf(test::read_file(home_ + "/counts.txt").c_str(), "events %ld", &events);
        return events;
    }
    // Waits until at least n more frames have run (n rounded up to the
    // counter's 30).
    bool wait_frames(long n) const {
        const long from = frames();
        return eventually([&] { return frames() >= from + n + 30; }, bound_);
    }

    // The number of the screen shown last, from the error stream; -1 if none.
    int screen() const {
        const std::string e = err();
        const size_t at = e.rfind("set_state: ");
        if (at == std::string::npos) return -1;
        const size_t arrow = e.find("-> ", at);
        return arrow == std::string::npos ? -1 : atoi(e.c_str() + arrow + 3);
    }

    // The game's window (found once, by its caption).
    const std::string& window() {
        if (window_.empty()) {
            eventually([&] {
                window_ = test::run("DISPLAY=" + display_ + " xdotool search --name '^Murkwell$' 2>/dev/null | head -1");
                while (!window_.empty() && window_.back() == '\n') window_.pop_back();
                return !window_.empty();
            }, bound_);
        }
        return window_;
    }

    // Real input through xdotool. Positions are canvas units, which are the
    // window's pixels at 960 x 720; the pointer is moved first, so the widget
    // under it sees the move before a press.
    bool xdo(const std::vector<std::string>& args) const {
        std::vector<std::string> all{"xdotool"};
        all.insert(all.end(), args.begin(), args.end());
        // A busy X server now and then refuses a new connection; xdotool then
        // did nothing at all and is simply run again.
        for (int tries = 0; tries < 5; ++tries) {
            std::string err;
            if (spawn_wait(all, display_, &err) == 0) return true;
            if (err.find("Can't open display") == std::string::npos &&
                err.find("Failed creating new xdo instance") == std::string::npos)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    bool move(int x, int y) {
        return xdo({"mousemove", "--sync", "--window", window(), std::to_string(x), std::to_string(y)});
    }
    bool click(int x, int y, int button = 1) {
        return move(x, y) && xdo({"click", std::to_string(button)});
    }
    // A press at (x0, y0), a move through `steps` points to (x1, y1), a release.
    bool drag(int x0, int y0, int x1, int y1, int steps = 8, int button = 1) {
        if (!move(x0, y0) || !xdo({"mousedown", std::to_string(button)})) return false;
        for (int i = 1; i <= steps; ++i) {
            if (!move(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps)) return false;
        }
        return xdo({"mouseup", std::to_string(button)});
    }
    bool key(const std::string& keys) { return xdo({"key", "--clearmodifiers", keys}); }
    bool type(const std::string& text) { return xdo({"type", "--delay", "20", text}); }

    // One pixel of the window (canvas units are pixels at 960 x 720).
    std::vector<int> pixel(const Display& d, int x, int y) {
        const Picture p = shot(d);
        if (p.empty()) return {-1, -1, -1};
        const uint8_t* c = p.at(x, y);
        return {c[0], c[1], c[2]};
    }

    // The window's pixels (960 x 720 from its top-left corner on the screen).
    Picture shot(const Display& d) {
        const std::string geo =
            test::run("DISPLAY=" + display_ + " xdotool getwindowgeometry --shell " + window() + " 2>/dev/null");
        auto value = [&](const char* key) {
            const size_t at = geo.find(key);
            return at == std::string::npos ? 0 : atoi(geo.c_str() + at + strlen(key));
        };
        return grab(d, value("X="), value("Y="), 960, 720);
    }

    // Sends sig and waits (bounded) for the end; the wait status, -1 if it had
    // to be killed.
    int stop(int sig = SIGTERM) {
        if (pid_ <= 0) return status_;
        kill(pid_, sig);
        return wait_exit();
    }
    // Waits for the game to end by itself; the wait status, -1 if it did not.
    int wait_exit(double seconds = 0) {
        if (pid_ <= 0) return status_;
        int status = 0;
        if (eventually([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, seconds > 0 ? seconds : bound_)) {
            pid_ = -1;
            status_ = status;
            return status;
        }
        // Stuck: where it is stuck goes beside its error stream, then it is killed.
        test::run("gdb -p " + std::to_string(pid_) + " -batch -ex 'thread apply all bt' > '" + home_ +
                  "/stuck.txt' 2>&1");
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return status_ = -1;
    }
    // What gdb saw when the game did not end in time ("" when it ended).
    std::string stuck() const { return test::read_file(home_ + "/stuck.txt"); }
    bool running() {
        if (pid_ <= 0) return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            status_ = status;
            return false;
        }
        return true;
    }
    pid_t pid() const { return pid_; }

private:
    std::string display_, home_, out_, err_, window_;
    double bound_;
    pid_t pid_ = -1;
    int status_ = -1;
};

}  // namespace e2e
