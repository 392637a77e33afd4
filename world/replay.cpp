#include "world/replay.h"

#include <cctype>
#include <cstring>

#include "core/state.h"
#include "text/text.h"
#include "world/bombs.h"
#include "world/hooks.h"
#include "world/levelfile.h"
#include "world/model.h"
#include "world/paths.h"
#include "world/rewind.h"
#include "world/rules.h"

namespace {

const char* const HEADER = "murkwell-replay";
const int FORMAT_VERSION = 1;
const size_t MAX_FILE_BYTES = 16 << 20;

struct BombName {
    const char* word;
    int kind;
};
const BombName BOMB_NAMES[] = {
    {"detonator", ACTOR_DETONATOR},
    {"time", ACTOR_TIME_BOMB},
    {"emp", ACTOR_EMP_BOMB},
    {"mini", ACTOR_MINI_BOMB},
};

// A whole decimal number without sign in 0..hi; false for anything else,
// including numbers too long to hold.
bool number(const std::string& s, long hi, long* out) {
    if (s.empty() || s.size() > 12) return false;
    long v = 0;
    for (char c : s) {
        if (!isdigit(static_cast<unsigned char>(c))) return false;
        v = v * 10 + (c - '0');
    }
    if (v > hi) return false;
    *out = v;
    return true;
}

class Parser {
public:
    Parser(Replay& out, std::string& error) : out_(out), error_(error) {}

    bool run(const std::string& text) {
        out_ = Replay();
        int n = 0;
        bool header = false, ended = false;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            start = end + 1;
            ++n;
            if (line.find('\0') != std::string::npos) return fail(n, "a NUL byte: not a text file");
            const std::vector<std::string> w = split_words(line);
            if (w.empty() || w[0][0] == '#') continue;
            if (ended) return fail(n, "text after the \"end\" line");
            if (!header) {
                if (w.size() != 2 || w[0] != HEADER)
                    return fail(n, "not a replay: the first line must be \"murkwell-replay 1\"");
                if (w[1] != std::to_string(FORMAT_VERSION))
                    return fail(n, "replay format " + w[1] + " is not known; this game reads 1");
                header = true;
                continue;
            }
            if (w[0] == "level") {
                if (!out_.commands.empty() || !out_.level_name.empty())
                    return fail(n, "\"level\" belongs once, before the commands");
                if (w.size() != 2) return fail(n, "\"level\" takes one name");
                out_.level_name = w[1];
                continue;
            }
            if (!command(n, w, &ended)) return false;
        }
        if (!header) return fail(n + 1, "empty: no \"murkwell-replay 1\" line");
        if (!ended)
            return fail(n + 1, "the replay stops without an \"end\" line: the file is truncated");
        return true;
    }

private:
    Replay& out_;
    std::string& error_;
    int last_tick_ = 0, last_tick_line_ = 0;

    bool fail(int line, const std::string& what) {
        error_ = "line " + std::to_string(line) + ": " + what;
        return false;
    }

    bool command(int n, const std::vector<std::string>& w, bool* ended) {
        long tick = 0;
        if (!number(w[0], 1L << 40, &tick))
            return fail(n, "\"" + w[0] + "\" is not a tick (a whole number from 0)");
        if (tick > REPLAY_MAX_TICK)
            return fail(n, "tick " + std::to_string(tick) + " lies beyond one hour of play (" +
                               std::to_string(REPLAY_MAX_TICK) + " ticks)");
        if (last_tick_line_ && tick < last_tick_)
            return fail(n, "tick " + std::to_string(tick) + " comes before tick " +
                               std::to_string(last_tick_) + " of line " +
                               std::to_string(last_tick_line_) + ": ticks must not go down");
        if (w.size() < 2) return fail(n, "tick " + std::to_string(tick) + " without a command");
        last_tick_ = int(tick);
        last_tick_line_ = n;

        ReplayCommand c;
        c.line = n;
        c.tick = int(tick);
        const std::string& op = w[1];
        const size_t args = w.size() - 2;
        auto arity = [&](size_t k) {
            if (args == k) return true;
            fail(n, "\"" + op + "\" takes " + std::to_string(k) + " argument" + (k == 1 ? "" : "s") +
                        ", not " + std::to_string(args));
            return false;
        };
        if (op == "end") {
            if (!arity(0)) return false;
            out_.end_tick = c.tick;
            out_.end_line = n;
            *ended = true;
            return true;
        }
        if (op == "stop") {
            if (!arity(0)) return false;
            c.op = ReplayOp::stop;
        } else if (op == "walk") {
            if (!arity(1)) return false;
            const std::string& d = w[2];
            if (d.size() != 1 || !strchr("12346789", d[0]))
                return fail(n, "walk takes a keypad direction 1-4 or 6-9, not \"" + d + "\"");
            c.op = ReplayOp::walk;
            c.a = d[0] - '0';
        } else if (op == "to") {
            if (!arity(2)) return false;
            long x = 0, y = 0;
            if (!number(w[2], 1L << 40, &x) || !number(w[3], 1L << 40, &y) || !in_play(int(x), int(y)))
                return fail(n, "to (" + w[2] + ", " + w[3] +
                                   ") is no cell of the playable area 4..123");
            c.op = ReplayOp::to;
            c.a = int(x);
            c.b = int(y);
        } else if (op == "bomb") {
            if (!arity(1)) return false;
            c.op = ReplayOp::bomb;
            for (const BombName& b : BOMB_NAMES)
                if (w[2] == b.word) c.a = b.kind;
            if (c.a == 0)
                return fail(n, "unknown bomb \"" + w[2] + "\" (detonator, time, emp or mini)");
        } else {
            return fail(n, "unknown command \"" + op + "\" (to, walk, stop, bomb or end)");
        }
        out_.commands.push_back(c);
        return true;
    }
};

}  // namespace

bool replay_parse(const std::string& text, Replay& out, std::string& error) {
    Parser p(out, error);
    return p.run(text);
}

bool replay_load(const std::string& path, Replay& out, std::string& error) {
    std::string text;
    if (!read_whole_file(path, MAX_FILE_BYTES, "replay", text, error)) return false;
    if (!replay_parse(text, out, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

void replay_apply(game& g, const ReplayCommand& c) {
    switch (c.op) {
    case ReplayOp::walk: {
        // The keys that walk this way on the map with the view unturned: the
        // keypad digit's place on the screen.
        const int kx = (c.a - 1) % 3 - 1, ky = 1 - (c.a - 1) / 3;
        const float heading = g.level.cam_angle;
        g.level.cam_angle = 0.0f;
        walk_direction(g, kx, ky);
        g.level.cam_angle = heading;
        break;
    }
    case ReplayOp::stop:
        walk_direction(g, 0, 0);
        break;
    case ReplayOp::to:
        walk_to(g, c.a, c.b);
        break;
    case ReplayOp::bomb:
        use_bomb(g, c.a);
        break;
    }
}

bool replay_run(game& g, const Replay& r, ReplayResult& out,
                std::string& error, const std::function<void(const game&, int)>& on_tick) {
    out = ReplayResult();
    const RulesHooks saved = rules_hooks();
    RulesHooks quiet;
    quiet.state = [](game& gr, int n) { gr.state = n; };
    set_rules_hooks(quiet);

    // What the play screen does when an attempt starts.
    memcpy(&g.level, &g.edit_level, sizeof(level));
    g.state = STATE_LEVEL;
    setup_level(g, 1);
    clear_history(g);
    g.level.started = 1;

    size_t next = 0;
    int t = 0;
    for (; t < r.end_tick && g.state == STATE_LEVEL; ++t) {
        replay_due(r, t, &next, [&](const ReplayCommand& c) { replay_apply(g, c); });
        build_flags(g);
        game_tick(g);
        if (on_tick) on_tick(g, t);
    }
    // Commands of the end tick itself still reach the rules; no tick follows.
    if (g.state == STATE_LEVEL)
        replay_due(r, t, &next, [&](const ReplayCommand& c) { replay_apply(g, c); });
    set_rules_hooks(saved);

    out.ticks = t;
    out.state = g.state;
    out.won = g.state == STATE_LEVEL_WIN;
    out.clean = out.won && g.level.rewinds_used == 0 &&
                g.level.cartridges >= g.level.cartridges_total;
    if (next < r.commands.size() && g.state != STATE_LEVEL) {
        const ReplayCommand& c = r.commands[next];
        error = "line " + std::to_string(c.line) + ": tick " + std::to_string(c.tick) +
                " comes after the level ended at tick " + std::to_string(t) +
                (out.won ? " (won)" : " (the player died)");
        return false;
    }
    return true;
}

const char* replay_bomb_word(int kind) {
    for (const BombName& b : BOMB_NAMES)
        if (b.kind == kind) return b.word;
    return "";
}
