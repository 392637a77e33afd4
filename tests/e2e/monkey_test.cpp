// The monkey: random real input into the whole game, built with AddressSanitizer
// and UndefinedBehaviorSanitizer, its network pointed at a real level service
// on 127.0.0.1. Keys, typed text, clicks, drags and the wheel anywhere in the
// window, now and then the window hidden and shown again, for a bounded time
// (MURKWELL_MONKEY_SECONDS, 60 by default; MURKWELL_MONKEY_SEED repeats a run).
//
// Every run of the game must end with status 0 and nothing from a sanitizer on
// its error stream (no memory error, no undefined behaviour, no leak at exit).
// When the monkey quits the game through its menu, the game is started again.
// At a random moment the game gets SIGTERM: the state.dat it leaves must load
// and the next start must resume on the screen it saved.
//
// The figures (input events SDL delivered to the game, frames it ran) come
// from a small preloaded library; they are printed at the end and, with
// MURKWELL_MONKEY_REPORT set, appended to that file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "session.h"
#include "tests/server/server_process.h"

namespace {

using e2e::Game;

double env_number(const char* name, double fallback) {
    const char* v = getenv(name);
    return v && *v ? atof(v) : fallback;
}

// The sanitizers' own words; none may appear on the game's error stream.
const char* const REPORTS[] = {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                               "SUMMARY: AddressSanitizer", "SUMMARY: UndefinedBehaviorSanitizer",
                               "AddressSanitizer:DEADLYSIGNAL"};

struct Counts {
    long events = 0, frames = 0;
};

Counts read_counts(const std::string& path) {
    Counts c;
    const std::string text = test::read_file(path);
    sscanf(text.c_str(), "events %ld\nframes %ld", &c.events, &c.frames);
    return c;
}

// Where the buttons of the menus and the play and editor tools tend to be; a
// share of the pointer's positions is drawn near them, the rest anywhere.
const int HOT[][2] = {{480, 250}, {480, 320}, {480, 390}, {480, 460}, {480, 530}, {320, 300},
                      {640, 300}, {320, 370}, {640, 370}, {320, 440}, {640, 440}, {120, 30},
                      {840, 30},  {120, 690}, {840, 690}, {480, 690}, {360, 690}, {600, 690},
                      {30, 30},   {40, 660},  {136, 660}, {96, 620},  {216, 664}, {700, 664},
                      {160, 300}, {160, 400}, {160, 500}, {480, 600}, {600, 400}, {240, 690}};

const char* const KEYS[] = {
    "Escape", "Escape", "Return", "space", "space", "Tab", "shift+Tab", "BackSpace", "Delete",
    "Left", "Right", "Up", "Down", "Home", "End", "F1", "1", "2", "3", "4", "z", "x", "c", "v",
    "w", "a", "s", "d", "ctrl+z", "ctrl+shift+z", "ctrl+a", "ctrl+c", "ctrl+v", "ctrl+x",
    "shift+Left", "shift+Right", "Page_Up", "Page_Down", "q", "0", "9", "minus", "period"};

class Monkey {
public:
    Monkey(Game& g, unsigned seed, int w, int h) : game_(g), rnd_(seed), w_(w), h_(h) {}

    // One batch of random actions as one xdotool command line (typed text,
    // which takes the rest of the line, comes last). Returns the actions.
    int batch() {
        std::vector<std::string> a;
        const std::string& win = game_.window();
        if (win.empty()) return 0;
        const int n = 3 + pick(8);
        int actions = 0;
        for (int i = 0; i < n; ++i, ++actions) {
            const int what = pick(100);
            if (what < 30) {  // a click
                point(a, win);
                const int b = pick(10) < 8 ? 1 : (pick(2) ? 3 : 2);
                a.insert(a.end(), {"click", std::to_string(b)});
            } else if (what < 42) {  // a drag, left or right button
                point(a, win);
                const std::string b = pick(4) ? "1" : "3";
                a.insert(a.end(), {"mousedown", b});
                for (int s = 1 + pick(6); s > 0; --s) point(a, win, true);
                a.insert(a.end(), {"mouseup", b});
            } else if (what < 52) {  // the pointer wanders
                point(a, win);
            } else if (what < 58) {  // the wheel
                point(a, win);
                a.insert(a.end(), {"click", pick(2) ? "4" : "5"});
            } else if (what < 85) {  // a key
                a.insert(a.end(), {"key", KEYS[pick(sizeof KEYS / sizeof *KEYS)]});
            } else if (what < 92) {  // a walking key held a moment
                static const char* const walk[] = {"w", "a", "s", "d"};
                const char* k = walk[pick(4)];
                a.insert(a.end(), {"keydown", k, "sleep", "0.2", "keyup", k});
            } else if (what < 94) {  // the window hidden and shown again
                a.insert(a.end(), {"windowunmap", "--sync", win, "windowmap", "--sync", win});
            } else {  // typed text, ending the batch
                std::string text;
                for (int c = 1 + pick(12); c > 0; --c) text += char(32 + pick(95));
                a.insert(a.end(), {"type", "--delay", "5", "--", text});
                break;
            }
        }
        game_.xdo(a);
        return actions;
    }

private:
    int pick(int n) { return int(rnd_() % unsigned(n)); }
    void point(std::vector<std::string>& a, const std::string& win, bool near = false) {
        int x, y;
        if (near) {
            x = last_x_ + pick(161) - 80;
            y = last_y_ + pick(161) - 80;
        } else if (pick(2)) {
            const int* p = HOT[pick(sizeof HOT / sizeof *HOT)];
            x = p[0] * w_ / 960 + pick(41) - 20;
            y = p[1] * h_ / 720 + pick(21) - 10;
        } else {
            x = pick(w_);
            y = pick(h_);
        }
        x = x < 0 ? 0 : (x >= w_ ? w_ - 1 : x);
        y = y < 0 ? 0 : (y >= h_ ? h_ - 1 : y);
        last_x_ = x;
        last_y_ = y;
        a.insert(a.end(), {"mousemove", "--window", win, std::to_string(x), std::to_string(y)});
    }

    Game& game_;
    std::mt19937 rnd_;
    int w_, h_, last_x_ = 480, last_y_ = 360;
};

// The screen a start shows for the saved one: the main menu for none, the
// pause screen over a level that was in play, else the same screen.
int resumed_screen(int saved) {
    if (saved == 0) return 1;
    if (saved == 3) return 4;
    return saved >= 1 && saved <= 18 ? saved : 1;
}

// A run of the game that ended: status 0 and a clean error stream.
void expect_clean_end(const Game& g, int status, const std::string& how) {
    const std::string err = g.err();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << how << ": wait status " << status << "\n" << err.substr(err.size() > 6000 ? err.size() - 6000 : 0)
        << g.stuck();
    for (const char* r : REPORTS) {
        const size_t at = err.find(r);
        EXPECT_EQ(at, std::string::npos) << how << ": " << err.substr(at == std::string::npos ? 0 : at, 4000);
    }
}

TEST(Monkey, RandomInputNeverBreaksTheGame) {
    const double seconds = env_number("MURKWELL_MONKEY_SECONDS", 60);
    const unsigned seed = unsigned(env_number("MURKWELL_MONKEY_SEED", double(time(nullptr) % 100000)));
    printf("monkey: seed %u, %.0f s (MURKWELL_MONKEY_SEED=%u repeats it)\n", seed, seconds, seed);
    std::mt19937 rnd(seed);

    test::TempDir tmp;
    e2e::Display display(tmp.path());
    ASSERT_TRUE(display.ok());

    // The level service, with an account the game signs in with.
    servertest::ServerProcess service(tmp.path());
    ASSERT_TRUE(service.start()) << service.log();
    const servertest::Reply made = servertest::round_trip(
        service.port(), servertest::post("/murkwell/manage.php",
                                         "do=create&name=monkey&password=banana1&password2=banana1",
                                         service.port()));
    ASSERT_LT(made.status, 400) << made.head;

    const std::string home = tmp.file("home"), dir = home + "/Murkwell/";
    ASSERT_EQ(test::run("mkdir -p '" + dir + "' && echo ok"), "ok\n");
    settings s = e2e::window_settings();
    snprintf(s.user, sizeof s.user, "monkey");
    snprintf(s.password, sizeof s.password, "banana1");
    test::write_file(dir + "settings.dat", e2e::bytes_of(s));
    test::write_file(dir + "service.txt",
                     "{\"host\": \"127.0.0.1\", \"port\": " + std::to_string(service.port()) + "}\n");

    e2e::GameOptions o;
    const std::string counts = home + "/counts.txt";  // the counter's file
    o.env = {{"ASAN_OPTIONS", "detect_leaks=1:halt_on_error=1"},
             {"UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1"},
             {"LSAN_OPTIONS", "suppressions=" MURKWELL_SOURCE_DIR "/tests/e2e/lsan.supp:print_suppressions=0"}};

    const auto t0 = std::chrono::steady_clock::now();
    const double kill_at = seconds * (0.4 + 0.5 * double(rnd() % 1000) / 1000.0);
    bool killed = false;
    long events = 0, frames = 0, actions = 0;
    int runs = 0, quits = 0;
    std::set<int> screens;

    while (e2e::seconds_since(t0) < seconds) {
        Game run(display, home, o);
        ++runs;
        ASSERT_TRUE(run.started()) << run.err();
        Monkey monkey(run, unsigned(rnd()), 960, 720);
        bool ended_by_itself = false;
        while (e2e::seconds_since(t0) < seconds) {
            if (!killed && e2e::seconds_since(t0) >= kill_at) break;
            if (!run.running()) {
                ended_by_itself = true;
                break;
            }
            actions += monkey.batch();
        }
        if (!killed && e2e::seconds_since(t0) >= kill_at && run.running()) {
            // SIGTERM at a random moment: what it saves must bring the player back.
            killed = true;
            const int status = run.stop(SIGTERM);
            const std::string err = run.err();
            expect_clean_end(run, status, "run " + std::to_string(runs) + ", SIGTERM");
            const std::unique_ptr<game> saved = e2e::read_state(dir + "state.dat");
            ASSERT_EQ(saved->version, 1) << "state.dat is not a whole record";
            const Counts c = read_counts(counts);
            events += c.events;
            frames += c.frames;
            for (size_t at = err.find("-> "); at != std::string::npos; at = err.find("-> ", at + 3))
                screens.insert(atoi(err.c_str() + at + 3));

            Game next(display, home, o);
            ++runs;
            ASSERT_TRUE(next.started()) << next.err();
            const std::string start = next.err();
            EXPECT_EQ(start.find("kept as"), std::string::npos) << start;
            EXPECT_EQ(next.screen(), resumed_screen(saved->state))
                << "saved on screen " << saved->state << "\n" << start;
            expect_clean_end(next, next.stop(SIGTERM), "run " + std::to_string(runs) + ", the resumed start");
            const Counts c2 = read_counts(counts);
            events += c2.events;
            frames += c2.frames;
            if (HasFailure()) return;
            continue;
        }
        const int status = ended_by_itself ? run.wait_exit() : run.stop(SIGTERM);
        quits += ended_by_itself;
        const std::string err = run.err();
        expect_clean_end(run, status, "run " + std::to_string(runs) + (ended_by_itself ? ", quit" : ", end"));
        const Counts c = read_counts(counts);
        events += c.events;
        frames += c.frames;
        for (size_t at = err.find("-> "); at != std::string::npos; at = err.find("-> ", at + 3))
            screens.insert(atoi(err.c_str() + at + 3));
        if (HasFailure()) return;
    }
    const double took = e2e::seconds_since(t0);
    EXPECT_TRUE(killed) << "the run ended before the SIGTERM moment";
    EXPECT_EQ(service.terminate(), 0) << service.log();

    std::string visited;
    for (int n : screens) visited += (visited.empty() ? "" : " ") + std::to_string(n);
    char line[512];
    snprintf(line, sizeof line,
             "monkey: seed %u, %.0f s, %d runs of the game (%d quit from its menu), %ld actions sent, "
             "%ld input events delivered (%.1f/s), %ld frames (%.1f/s), screens seen: %s\n",
             seed, took, runs, quits, actions, events, events / took, frames, frames / took, visited.c_str());
    printf("%s", line);
    if (const char* report = getenv("MURKWELL_MONKEY_REPORT")) {
        if (FILE* f = fopen(report, "a")) {
            fputs(line, f);
            fclose(f);
        }
    }
    EXPECT_GT(events, 0);
    EXPECT_GT(frames, 0);
}

}  // namespace
