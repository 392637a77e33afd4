// murkwell-levels: builds the level databases from the level sources, checks
// levels and plays replays headless. See `murkwell-levels help`.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <string>
#include <vector>

#include "core/fixed_text.h"
#include "core/state.h"
#include "db/mydb.h"
#include "world/ascii.h"
#include "world/catalogue.h"
#include "world/levelcheck.h"
#include "world/levelfile.h"
#include "world/levelsource.h"
#include "world/model.h"
#include "world/replay.h"
#include "world/rewind.h"
#include "world/rules.h"
#include "world/storage.h"

namespace {

// Runs f with the error stream sent to /dev/null: the catalogue loader and the
// database opener report every step there, which drowns this tool's messages.
template <class F>
void quietly(F&& f) {
    fflush(stderr);
    const int saved = dup(2);
    FILE* null = fopen("/dev/null", "w");
    if (saved < 0 || !null) {
        if (null) fclose(null);
        if (saved >= 0) close(saved);
        f();
        return;
    }
    dup2(fileno(null), 2);
    f();
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
    fclose(null);
}

// Every shipped row carries this saving time, so a rebuild gives the same bytes.
const char* const SHIPPED_TS = "1704067200";  // 2024-01-01 00:00:00 UTC

const char* const USAGE =
    "usage: murkwell-levels COMMAND ...\n"
    "  build [--levels DIR] [--data DIR] [--out DIR]\n"
    "      check every level source under DIR/tutorial and DIR/featured (default\n"
    "      DIR: levels), play each one's solution (NAME.replay beside it), then\n"
    "      write OUT/game.db (the tutorials) and OUT/featured.db (default OUT: the\n"
    "      data folder). Nothing is written when anything fails.\n"
    "  check [--data DIR] [--first] FILE...\n"
    "      check level sources (--first: the level may have no targets)\n"
    "  replay [--data DIR] [--trace N] [--path] LEVEL REPLAY\n"
    "      play a replay headless and tell the outcome; --trace N draws the map\n"
    "      every N ticks, --path prints the player's place and mode and the\n"
    "      number of guards every tick.\n"
    "      LEVEL: a source, a record, compressed data or DB[:ID]\n"
    "  show [--data DIR] LEVEL [REPLAY TICK]\n"
    "      draw the level as set up for play (or at TICK of a replay), with its\n"
    "      actors, their routes and (as ':') the cells a guard sees\n";

struct Tool {
    std::unique_ptr<game> g{new game()};
    std::string data = "data";

    bool load_tiles() {
        const std::string path = data + "/tiles.json";
        FILE* f = fopen(path.c_str(), "rb");
        if (!f) {
            fprintf(stderr, "%s: %s\n", path.c_str(), strerror(errno));
            return false;
        }
        std::string text;
        char buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
        fclose(f);
        quietly([&] { tile_catalogue_load_text(*g, text); });
        return true;
    }
};

bool read_text(const std::string& path, std::string& out) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    const bool ok = !ferror(f);
    fclose(f);
    return ok;
}

bool file_exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> sources_in(const std::string& dir) {
    std::vector<std::string> out;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n.size() > 6 && n.compare(n.size() - 6, 6, ".level") == 0) out.push_back(dir + "/" + n);
        }
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string stem(const std::string& path) {
    std::string s = path.substr(path.rfind('/') + 1);
    return s.substr(0, s.rfind('.'));
}

// "file:line:column: text" for a problem of the checker.
std::string where(const LevelSource& src, const LevelProblem& p) {
    int line = 0, column = 0;
    if (p.x >= 0 && source_position(src, p.x, p.y, &line, &column))
        return src.file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + p.text;
    if (p.x >= 0)
        return src.file + ":" + std::to_string(src.map_line) + ": cell (" + std::to_string(p.x) +
               ", " + std::to_string(p.y) + "): " + p.text;
    return src.file + ":" + std::to_string(src.map_line) + ": " + p.text;
}

bool check_source(Tool& t, const LevelSource& src, bool first) {
    LevelCheckOptions o;
    o.needs_targets = !first;
    const std::vector<LevelProblem> problems = check_level(*t.g, src.lv, o);
    for (const LevelProblem& p : problems) fprintf(stderr, "%s\n", where(src, p).c_str());
    return problems.empty();
}

// Plays the solution of a level; true when it wins (cleanly where the level has
// Data Cartridges: every one collected, no rewind).
bool proves(Tool& t, const LevelSource& src, const std::string& replay_path, ReplayResult* result) {
    Replay r;
    std::string error;
    if (!replay_load(replay_path, r, error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    const std::string name = field_text(src.lv.name);
    if (!r.level_name.empty() && r.level_name != name) {
        fprintf(stderr, "%s: made for level \"%s\", not \"%s\"\n", replay_path.c_str(),
                r.level_name.c_str(), name.c_str());
        return false;
    }
    t.g->edit_level = src.lv;
    if (!replay_run(*t.g, r, *result, error)) {
        fprintf(stderr, "%s: %s\n", replay_path.c_str(), error.c_str());
        return false;
    }
    if (!result->won) {
        fprintf(stderr, "%s: does not win %s: after %d ticks the %s\n", replay_path.c_str(),
                src.file.c_str(), result->ticks,
                result->state == STATE_PAUSE ? "player is dead" : "level is still being played");
        return false;
    }
    if (!result->clean) {
        fprintf(stderr, "%s: wins %s, but not cleanly (%d of %d Data Cartridges)\n",
                replay_path.c_str(), src.file.c_str(), t.g->level.cartridges,
                t.g->level.cartridges_total);
        return false;
    }
    return true;
}

struct ShippedLevel {
    LevelSource src;
    int order = 0;
};

// Writes one database of shipped levels to a temporary file beside `out`; the
// caller renames it into place once every database is written.
bool write_db(const std::string& tmp, const std::vector<ShippedLevel>& rows, bool with_order) {
    unlink(tmp.c_str());
    {
        MyDB db;
        quietly([&] { open_level_db(db, tmp); });
        if (!db.is_open()) return false;
        db.query("begin");
        for (const ShippedLevel& row : rows) {
            const level& lv = row.src.lv;
            std::string packed;
            if (!level_data_deflate(lv, packed)) {
                fprintf(stderr, "%s: zlib failed\n", row.src.file.c_str());
                return false;
            }
            std::vector<std::string> v = {field_text(lv.id),     field_text(lv.name),
                                          packed,                SHIPPED_TS,
                                          field_text(lv.author), field_text(lv.title),
                                          field_text(lv.uid),    field_text(lv.intro)};
            std::string sql = "insert into levels (id,name,data,ts,author,title,uid,intro";
            if (with_order) {
                sql += ",value) values (?,?,?,?,?,?,?,?,?)";
                v.push_back(std::to_string(row.order));
            } else {
                sql += ") values (?,?,?,?,?,?,?,?)";
            }
            db.query(sql, v);
            if (db.error) {
                fprintf(stderr, "%s: the row could not be written\n", row.src.file.c_str());
                return false;
            }
        }
        db.query("commit");
        if (db.error) return false;
    }
    return true;
}

int cmd_build(Tool& t, const std::string& levels, const std::string& out) {
    if (!t.load_tiles()) return 1;
    bool ok = true;
    std::vector<ShippedLevel> tutorial, featured;
    std::vector<std::string> ids;
    long total_ticks = 0;
    for (const bool is_tutorial : {true, false}) {
        const std::string dir = levels + (is_tutorial ? "/tutorial" : "/featured");
        const std::vector<std::string> files = sources_in(dir);
        if (files.empty()) {
            fprintf(stderr, "%s: no level sources (*.level)\n", dir.c_str());
            ok = false;
        }
        for (size_t i = 0; i < files.size(); ++i) {
            ShippedLevel row;
            std::string text, error;
            if (!read_text(files[i], text)) {
                fprintf(stderr, "%s: cannot be read\n", files[i].c_str());
                ok = false;
                continue;
            }
            if (!parse_level_source(text, files[i], row.src, error)) {
                fprintf(stderr, "%s\n", error.c_str());
                ok = false;
                continue;
            }
            const std::string name = field_text(row.src.lv.name);
            const std::string id = field_text(row.src.lv.id);
            const bool t_name = name[0] == 't' || name[0] == 'T';
            if (name != stem(files[i])) {
                fprintf(stderr, "%s: the level is named \"%s\"; name the file after it\n",
                        files[i].c_str(), name.c_str());
                ok = false;
            }
            if (is_tutorial != t_name) {
                fprintf(stderr, "%s: %s\n", files[i].c_str(),
                        is_tutorial ? "a tutorial's name starts with \"t\" (the play list shows those)"
                                    : "a featured level's name must not start with \"t\" "
                                      "(the tutorial list would show it)");
                ok = false;
            }
            if (std::find(ids.begin(), ids.end(), id) != ids.end()) {
                fprintf(stderr, "%s: the identifier \"%s\" is taken by another level\n",
                        files[i].c_str(), id.c_str());
                ok = false;
            }
            ids.push_back(id);
            if (!check_source(t, row.src, is_tutorial && i == 0)) {
                ok = false;
                continue;
            }
            const std::string solution = files[i].substr(0, files[i].size() - 6) + ".replay";
            ReplayResult result;
            if (!file_exists(solution)) {
                fprintf(stderr, "%s: no solution (%s)\n", files[i].c_str(), solution.c_str());
                ok = false;
                continue;
            }
            if (!proves(t, row.src, solution, &result)) {
                ok = false;
                continue;
            }
            total_ticks += result.ticks;
            row.order = int(i) + 1;
            (is_tutorial ? tutorial : featured).push_back(row);
        }
    }
    if (!ok) {
        fprintf(stderr, "murkwell-levels: nothing written\n");
        return 1;
    }
    const std::string pid = std::to_string(getpid());
    const std::string game_db = out + "/game.db", featured_db = out + "/featured.db";
    const std::string game_tmp = game_db + ".tmp" + pid, featured_tmp = featured_db + ".tmp" + pid;
    if (!write_db(game_tmp, tutorial, false) || !write_db(featured_tmp, featured, true) ||
        rename(game_tmp.c_str(), game_db.c_str()) != 0 ||
        rename(featured_tmp.c_str(), featured_db.c_str()) != 0) {
        fprintf(stderr, "murkwell-levels: writing %s failed; nothing written\n", out.c_str());
        unlink(game_tmp.c_str());
        unlink(featured_tmp.c_str());
        return 1;
    }
    printf("wrote %s (%zu tutorials) and %s (%zu featured levels); solutions: %ld ticks\n",
           game_db.c_str(), tutorial.size(), featured_db.c_str(), featured.size(), total_ticks);
    return 0;
}

int cmd_check(Tool& t, const std::vector<std::string>& files, bool first) {
    if (!t.load_tiles()) return 1;
    bool ok = true;
    for (const std::string& f : files) {
        std::string text, error;
        LevelSource src;
        if (!read_text(f, text)) {
            fprintf(stderr, "%s: cannot be read\n", f.c_str());
            ok = false;
        } else if (!parse_level_source(text, f, src, error)) {
            fprintf(stderr, "%s\n", error.c_str());
            ok = false;
        } else if (!check_source(t, src, first)) {
            ok = false;
        } else {
            printf("%s: ok\n", f.c_str());
        }
    }
    return ok ? 0 : 1;
}

// The drawn part of the map: the cells inside the frame that are not void.
void bounds(const level& lv, int* x0, int* y0, int* x1, int* y1) {
    *x0 = MAP_MAX, *y0 = MAP_MAX, *x1 = MAP_MIN, *y1 = MAP_MIN;
    for (int y = MAP_MIN; y <= MAP_MAX; ++y)
        for (int x = MAP_MIN; x <= MAP_MAX; ++x)
            if (lv.map[cell_index(x, y)] != 0) {
                *x0 = std::min(*x0, x), *y0 = std::min(*y0, y);
                *x1 = std::max(*x1, x), *y1 = std::max(*y1, y);
            }
    if (*x1 < *x0) *x0 = *x1 = *y0 = *y1 = 64;
}

// The map with the actors drawn over it: '@' the player ('x' dying), guards as
// the keypad digit they face in brackets' place ('G' standing, 'g' walking, 'R'
// running, '!' shooting), 'd' 't' 'e' 'm' bombs, '+' blasts, '*' lamps.
void draw(game& g, int x0, int y0, int x1, int y1, bool seen = false) {
    std::vector<std::string> rows = level_to_ascii(g.level, standard_legend(), x0, y0, x1 - x0 + 1, y1 - y0 + 1);
    if (seen) {
        build_flags(g);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if (!(g.flags[cell_index(x, y)] & CELL_SOLID) && seen_by_any(g, x, y))
                    rows[y - y0][x - x0] = ':';
    }
    for (const actor& a : g.level.actors) {
        if (!a.active) continue;
        const int x = whole(a.x + 0.5f) - x0, y = whole(a.y + 0.5f) - y0;
        if (x < 0 || y < 0 || y >= int(rows.size()) || x >= int(rows[0].size())) continue;
        char c = '?';
        switch (a.kind) {
        case ACTOR_PLAYER: c = a.mode == MODE_DYING ? 'x' : '@'; break;
        case ACTOR_GUARD:
            c = a.mode == MODE_SHOOTING ? '!' : a.mode == MODE_RUNNING ? 'R'
                : a.mode == MODE_WALKING ? 'g' : 'G';
            break;
        case ACTOR_LAMP: c = '*'; break;
        case ACTOR_DETONATOR: c = 'd'; break;
        case ACTOR_TIME_BOMB: c = 't'; break;
        case ACTOR_EMP_BOMB: c = 'e'; break;
        case ACTOR_MINI_BOMB: c = 'm'; break;
        default: c = '+'; break;
        }
        rows[y][x] = c;
    }
    printf("     ");
    for (int x = x0; x <= x1; ++x) printf("%d", x % 10);
    printf("\n");
    for (size_t r = 0; r < rows.size(); ++r) printf("%4d %s\n", y0 + int(r), rows[r].c_str());
    for (const actor& a : g.level.actors) {
        if (!a.active) continue;
        if (a.kind == ACTOR_PLAYER || a.kind == ACTOR_GUARD)
            printf("  %s slot %d at (%.2f, %.2f) facing %d mode %d steps %d\n",
                   a.kind == ACTOR_PLAYER ? "player" : "guard", a.slot, a.x, a.y, a.facing, a.mode,
                   a.steps);
    }
}

int cmd_replay(Tool& t, const std::string& level_arg, const std::string& replay_path, int trace,
               bool path) {
    if (!t.load_tiles()) return 1;
    std::string why;
    if (!read_level_file(level_arg, t.g->edit_level, why)) {
        fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    Replay r;
    if (!replay_load(replay_path, r, why)) {
        fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    int x0, y0, x1, y1;
    bounds(t.g->edit_level, &x0, &y0, &x1, &y1);
    rewind_store_alloc();
    ReplayResult result;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = replay_run(*t.g, r, result, why, [&](const game& g, int tick) {
        if (path) {
            int guards = 0;
            for (const actor& a : g.level.actors) guards += a.active && a.kind == ACTOR_GUARD;
            for (const actor& a : g.level.actors)
                if (a.active && a.kind == ACTOR_PLAYER)
                    printf("at %d %.3f %.3f %d %d\n", tick, a.x, a.y, a.mode, guards);
        }
        if (trace > 0 && tick % trace == 0) {
            printf("tick %d (emp %d, targets %d, cartridges %d/%d)\n", tick, g.level.emp_time,
                   g.level.targets_left, g.level.cartridges, g.level.cartridges_total);
            draw(*t.g, x0, y0, x1, y1);
        }
    });
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ok) {
        fprintf(stderr, "%s: %s\n", replay_path.c_str(), why.c_str());
        return 1;
    }
    if (trace > 0) draw(*t.g, x0, y0, x1, y1);
    printf("%s after %d ticks (%.1f s of play)%s; targets left %d, Data Cartridges %d of %d, "
           "%.0f ticks per second\n",
           result.won ? "won" : result.state == STATE_PAUSE ? "died" : "still playing",
           result.ticks, result.ticks / 30.0, result.won ? (result.clean ? ", cleanly" : ", not cleanly") : "",
           t.g->level.targets_left, t.g->level.cartridges, t.g->level.cartridges_total,
           seconds > 0 ? result.ticks / seconds : 0.0);
    return result.won ? 0 : 3;
}

int cmd_show(Tool& t, const std::string& level_arg, const std::string& replay_path, int until) {
    if (!t.load_tiles()) return 1;
    std::string why;
    if (!read_level_file(level_arg, t.g->edit_level, why)) {
        fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    int x0, y0, x1, y1;
    bounds(t.g->edit_level, &x0, &y0, &x1, &y1);
    memcpy(&t.g->level, &t.g->edit_level, sizeof(level));
    t.g->state = STATE_LEVEL;
    setup_level(*t.g, 1);
    if (!replay_path.empty()) {
        Replay r;
        if (!replay_load(replay_path, r, why)) {
            fprintf(stderr, "%s\n", why.c_str());
            return 1;
        }
        size_t next = 0;
        for (int tick = 0; tick < until && t.g->state == STATE_LEVEL; ++tick) {
            replay_due(r, tick, &next, [&](const ReplayCommand& c) { replay_apply(*t.g, c); });
            build_flags(*t.g);
            game_tick(*t.g);
        }
        printf("tick %d\n", until);
    }
    draw(*t.g, x0, y0, x1, y1, true);
    for (const actor& a : t.g->level.actors) {
        if (!a.active || (a.kind != ACTOR_GUARD && a.kind != ACTOR_LAMP)) continue;
        printf("  %s slot %d route:", a.kind == ACTOR_GUARD ? "guard" : "lamp", a.slot);
        for (int i = 0; i < a.route_count; ++i) printf(" (%d,%d)", a.route[i][0], a.route[i][1]);
        if (a.route_continue) printf(" then back to point %d", a.route_continue);
        printf("\n");
    }
    const level& lv = t.g->level;
    printf("targets %d, Data Cartridges %d, bombs: detonator %d time %d emp %d mini %d\n",
           lv.targets_total, lv.cartridges_total, lv.inventory[ACTOR_DETONATOR],
           lv.inventory[ACTOR_TIME_BOMB], lv.inventory[ACTOR_EMP_BOMB], lv.inventory[ACTOR_MINI_BOMB]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "help" || args[0] == "--help") {
        fputs(USAGE, args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    Tool t;
    const std::string command = args[0];
    std::string levels = "levels", out;
    int trace = 0;
    bool first = false, path = false;
    std::vector<std::string> rest;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool has_value = i + 1 < args.size();
        if (a == "--data" && has_value) t.data = args[++i];
        else if (a == "--levels" && has_value) levels = args[++i];
        else if (a == "--out" && has_value) out = args[++i];
        else if (a == "--trace" && has_value) trace = atoi(args[++i].c_str());
        else if (a == "--first") first = true;
        else if (a == "--path") path = true;
        else if (a.size() > 1 && a[0] == '-') {
            fprintf(stderr, "murkwell-levels: unknown option %s\n%s", a.c_str(), USAGE);
            return 2;
        } else rest.push_back(a);
    }
    if (out.empty()) out = t.data;
    if (command == "build" && rest.empty()) return cmd_build(t, levels, out);
    if (command == "check" && !rest.empty()) return cmd_check(t, rest, first);
    if (command == "replay" && rest.size() == 2) return cmd_replay(t, rest[0], rest[1], trace, path);
    if (command == "show" && rest.size() == 1) return cmd_show(t, rest[0], "", 0);
    if (command == "show" && rest.size() == 3)
        return cmd_show(t, rest[0], rest[1], atoi(rest[2].c_str()));
    fprintf(stderr, "%s", USAGE);
    return 2;
}
