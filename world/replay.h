// Replays: a level played as a list of tick-stamped commands, the same commands
// the play screen gives the rules for keys and clicks. A replay file:
//
//   murkwell-replay 1
//   # comments and blank lines anywhere
//   level t03           (optional: the name of the level it was made for)
//   0 to 40 52          walk to the map cell (40, 52), as a left click there
//   24 walk 6           walk in a keypad direction, as the keys with the view unturned
//   30 stop             stop at the end of the current step, as releasing the keys
//   31 bomb time        use a bomb: detonator, time, emp or mini (as 1-4 or Z/X/C/V)
//   400 end             the replay stops here (required, last)
//
// A tick counts the ticks of play: tick 0 is the first tick after the level was
// set up for play. Commands of one tick apply in file order, before that tick
// runs. Ticks never go down, and lie within one hour of play.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/game.h"

enum : int {
    REPLAY_MAX_TICK = 30 * 60 * 60,  // one hour of play
};

enum class ReplayOp { walk, stop, to, bomb };

struct ReplayCommand {
    int line = 0;   // line in the file, for messages
    int tick = 0;
    ReplayOp op = ReplayOp::stop;
    int a = 0, b = 0;  // walk: the keypad digit; to: the cell; bomb: the kind 19..22
};

struct Replay {
    std::string level_name;  // empty when the file names none
    std::vector<ReplayCommand> commands;
    int end_tick = 0;
    int end_line = 0;
};

// Parses a replay. On failure returns false with error "line N: <what>".
bool replay_parse(const std::string& text, Replay& out, std::string& error);

// Reads and parses a replay file; the error names the file.
bool replay_load(const std::string& path, Replay& out, std::string& error);

// Gives one command to the rules on the play copy (walk_to, walk_direction or
// use_bomb). A walk is taken on the map, whatever the view's heading.
void replay_apply(game& g, const ReplayCommand& c);

// The commands due at play tick t, from the index *next on (advanced past them).
// Rewinding the index when play goes back (a rewind, a restart) is the caller's.
template <class F>
void replay_due(const Replay& r, int t, size_t* next, F&& apply) {
    while (*next < r.commands.size() && r.commands[*next].tick < t) ++*next;
    while (*next < r.commands.size() && r.commands[*next].tick == t) apply(r.commands[(*next)++]);
}

struct ReplayResult {
    int ticks = 0;       // ticks of play run
    int state = 0;       // the screen the rules asked for last (13 won, 4 died), else 3
    bool won = false;
    bool clean = false;  // won with every Data Cartridge and no rewind
};

// Plays the replay headless from the stored copy g.edit_level through the real
// rules, as the play screen does: the stored copy over the play copy, set-up for
// play, the history cleared; then per tick the tick's commands, build_flags and
// game_tick. Stops when the rules leave the play screen (a win, a death) or at
// the end tick. Needs the tile catalogue in g.tiles; the rules' up-calls are
// silenced meanwhile. Returns false, with error "line N: ...", when a command
// lies after the level has ended. on_tick, if given, sees every tick played.
bool replay_run(game& g, const Replay& r, ReplayResult& out, std::string& error,
                const std::function<void(const game&, int tick)>& on_tick = nullptr);

// The word of a bomb kind (19..22) in the format; "" for any other kind.
const char* replay_bomb_word(int kind);
