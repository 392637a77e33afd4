#include "core/launch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "core/app.h"
#include "core/fixed_text.h"
#include "core/state.h"
#include "platform/files.h"
#include "world/catalogue.h"
#include "world/levelfile.h"
#include "world/model.h"
#include "world/rewind.h"

namespace {

const char* const USAGE =
    "usage: murkwell [--play LEVEL [--replay FILE]]\n"
    "  --play LEVEL   start LEVEL at once: a level source, a level record, compressed\n"
    "                 level data, a level database (PATH or PATH:ID), or the name of\n"
    "                 a shipped level such as t03\n"
    "  --replay FILE  show the replay FILE of LEVEL being played (the saved game is\n"
    "                 kept as it was)\n";

// Frames the intro shows during a replay before it is moved on, as a player
// would, by a key press: long enough for the camera to fly in.
const int REPLAY_INTRO_FRAMES = 60;

struct Active {
    bool replay = false;    // a replay was shown in this run: the saved game stays
    bool steering = false;  // the replay still steers: its level has not been left
    Replay moves;
    size_t next = 0;
    int last_tick = -1;
    int intro_frames = 0;
    bool told = false;  // the outcome has been reported
};
std::unique_ptr<Active> g_active;

bool is_file(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Runs f with the error stream sent to /dev/null: the catalogue loader reports
// every tile there, which a check before start-up must not repeat.
template <class F>
void quietly(F&& f) {
    fflush(stderr);
    const int saved = dup(2);
    FILE* null = fopen("/dev/null", "w");
    if (saved >= 0 && null) dup2(fileno(null), 2);
    f();
    fflush(stderr);
    if (saved >= 0) {
        dup2(saved, 2);
        close(saved);
    }
    if (null) fclose(null);
}

// The level named on the command line: a file in any stored form, or failing
// that the name (or identifier) of a shipped level.
bool find_level(const std::string& arg, level& out, std::string& why) {
    const size_t colon = arg.rfind(':');
    const bool names_file = is_file(arg) || arg.find('/') != std::string::npos ||
                            (colon != std::string::npos && is_file(arg.substr(0, colon)));
    if (names_file) return read_level_file(arg, out, why);
    for (const char* db : {"game.db", "featured.db"}) {
        const std::string path = path_join(data_dir(), db);
        std::string ignored;
        if (is_file(path) && read_level_from_db(path, arg, out, ignored)) return true;
    }
    why = arg + ": no such file, and no shipped level of that name";
    return false;
}

// The replay steers the attempts at its own level only: once the player has
// gone from the play screens to the menus or the editor, whatever level comes
// next is the player's. (The error dialog returns to the screen it covers.)
bool still_steering(const game& g) {
    Active* a = g_active.get();
    if (!a || !a->steering) return false;
    switch (g.state) {
    case STATE_LEVEL:
    case STATE_PAUSE:
    case STATE_REWIND:
    case STATE_LEVEL_INTRO:
    case STATE_LEVEL_WIN:
    case STATE_MENU_ERROR:
        return true;
    default:
        a->steering = false;
        return false;
    }
}

}  // namespace

int launch_parse(int argc, char** argv, LaunchOptions& out) {
    out = LaunchOptions();
    std::string level_arg, replay_arg;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool has_value = i + 1 < argc;
        if (a == "--help" || a == "-h") {
            fputs(USAGE, stdout);
            return 0;
        }
        if ((a == "--play" || a == "--replay") && !has_value) {
            fprintf(stderr, "murkwell: %s needs a file\n%s", a.c_str(), USAGE);
            return LAUNCH_USAGE;
        }
        if (a == "--play" && level_arg.empty()) {
            level_arg = argv[++i];
        } else if (a == "--replay" && replay_arg.empty()) {
            replay_arg = argv[++i];
        } else {
            fprintf(stderr, "murkwell: unexpected argument \"%s\"\n%s", a.c_str(), USAGE);
            return LAUNCH_USAGE;
        }
    }
    if (level_arg.empty() && replay_arg.empty()) return LAUNCH_GO;
    if (level_arg.empty()) {
        fprintf(stderr, "murkwell: --replay needs --play LEVEL, the level it plays\n%s", USAGE);
        return LAUNCH_USAGE;
    }

    std::string why;
    if (!find_level(level_arg, out.lv, why)) {
        fprintf(stderr, "murkwell: --play: %s\n", why.c_str());
        return LAUNCH_BAD_FILE;
    }
    out.play = true;
    out.level_name = level_arg;
    if (replay_arg.empty()) return LAUNCH_GO;

    if (!replay_load(replay_arg, out.moves, why)) {
        fprintf(stderr, "murkwell: --replay: %s\n", why.c_str());
        return LAUNCH_BAD_FILE;
    }
    const std::string name = field_text(out.lv.name);
    if (!out.moves.level_name.empty() && out.moves.level_name != name) {
        fprintf(stderr, "murkwell: --replay: %s was made for level \"%s\", not \"%s\"\n",
                replay_arg.c_str(), out.moves.level_name.c_str(), name.c_str());
        return LAUNCH_BAD_FILE;
    }
    // Play it through once, headless, so a replay that runs on past the end of
    // the level is refused before anything starts.
    std::unique_ptr<game> scratch(new game());
    const std::string tiles = read_data_file("tiles.json");
    quietly([&] { tile_catalogue_load_text(*scratch, tiles); });
    scratch->edit_level = out.lv;
    if (!replay_run(*scratch, out.moves, out.expected, why)) {
        fprintf(stderr, "murkwell: --replay: %s: %s\n", replay_arg.c_str(), why.c_str());
        return LAUNCH_BAD_FILE;
    }
    out.replay = true;
    return LAUNCH_GO;
}

void launch_begin(game& g, const LaunchOptions& o) {
    g_active.reset(new Active());
    g_active->replay = o.replay;
    g_active->steering = o.replay;
    g_active->moves = o.moves;
    memcpy(&g.edit_level, &o.lv, sizeof(level));
    memcpy(&g.level, &o.lv, sizeof(level));
    g.level.started = 0;  // a fresh attempt: the play screen sets it up
    g.return_state = STATE_MENU_MAIN;
    set_state(g, STATE_LEVEL);
}

void launch_frame(game& g) {
    if (!still_steering(g)) return;
    Active* a = g_active.get();
    if (g.state == STATE_LEVEL_INTRO) {
        // Move the intro on as a player would, once the camera has flown in.
        if (++a->intro_frames == REPLAY_INTRO_FRAMES) {
            Event e = {};
            e.kind = EV_KEYDOWN;
            e.key = KEY_ENTER;
            app_event(g, e);
            e.kind = EV_KEYUP;
            app_event(g, e);
        }
        if (g.state == STATE_LEVEL_INTRO) return;
        // Play starts with this very frame: its commands go in first.
    }
    a->intro_frames = 0;
    if (!a->told && a->last_tick >= 0 && g.state != STATE_LEVEL) {
        // The rules ended the attempt, or the player paused it.
        const actor* p = find_actor(g, ACTOR_PLAYER);
        if (g.state == STATE_LEVEL_WIN) {
            printf("replay: the level is won after %d ticks\n", a->last_tick + 1);
            a->told = true;
        } else if (p && p->mode == MODE_DYING) {
            printf("replay: the agent died after %d ticks\n", a->last_tick + 1);
            a->told = true;
        }
        fflush(stdout);
    }
    if (g.state != STATE_LEVEL || !g.level.started) return;
    // Play ticks since set-up, which takes two; a rewind or a restart takes the
    // count back, and the replay goes back with it.
    const int t = g.level.ticks - 2;
    if (t < a->last_tick) a->next = 0;
    a->last_tick = t;
    replay_due(a->moves, t, &a->next, [&](const ReplayCommand& c) { replay_apply(g, c); });
}

bool launch_takes_event(const game& g, const Event& e) {
    if (!still_steering(g) || g.state != STATE_LEVEL) return true;
    const Active* a = g_active.get();
    if (a->last_tick >= a->moves.end_tick) return true;  // the replay is over: play on
    if (e.kind == EV_KEYDOWN || e.kind == EV_KEYUP) {
        if (e.unicode >= '1' && e.unicode <= '4') return false;
        // The keys that steer the agent: W, A, S, D and Z, X, C, V ("1" to "4" above).
        for (int k : {KEY_W, KEY_A, KEY_S, KEY_D, KEY_Z, KEY_X, KEY_C, KEY_V})
            if (e.key == uint32_t(k)) return false;
    }
    // A left click walks or uses a bomb from the bar; the view keeps the arrow
    // keys, the wheel and the right-drag.
    if ((e.kind == EV_MOUSEDOWN || e.kind == EV_MOUSEUP) && e.button == 1) return false;
    return true;
}

bool launch_keeps_saved_game() { return g_active && g_active->replay; }

void launch_reset() { g_active.reset(); }
