// The command line: starting a level directly, and showing a replay of it.
//
//   murkwell --play LEVEL [--replay FILE]
//
// LEVEL is a level file in any form the project's tools write (a level source,
// a level record, compressed level data, a level database as PATH or PATH:ID)
// or the name of a shipped level ("t03", "atrium"). The level goes into both
// level copies as a fresh attempt and play starts at once; quitting it returns
// to the main menu. With --replay the replay is played in the window at normal
// speed; the keys and clicks that steer the agent are ignored until it ends,
// and the saved game (state.dat) is left as it was. The replay steers only the
// attempts at its own level: once the player has left it for the menus, the
// levels started from there are the player's.
//
// Everything is read and checked before the game starts: a bad argument or file
// prints why on the error stream and the program exits non-zero without
// touching the saved game.
#pragma once

#include <string>

#include "core/game.h"
#include "platform/event.h"
#include "world/replay.h"

struct LaunchOptions {
    bool play = false;
    level lv{};                 // the stored copy of the level to play
    std::string level_name;     // for messages: the LEVEL argument
    bool replay = false;
    Replay moves;               // the replay to show
    ReplayResult expected;      // what the replay does, played headless beforehand
};

enum : int {
    LAUNCH_GO = -1,   // start the game
    LAUNCH_USAGE = 2, // a malformed command line
    LAUNCH_BAD_FILE = 1,
};

// Reads the command line (argv[0] is the program). Returns LAUNCH_GO, or an
// exit status after printing the usage or the reason on stderr (0 after
// --help, which prints the usage on stdout).
int launch_parse(int argc, char** argv, LaunchOptions& out);

// Called by the application. launch_begin puts the level in play (both copies,
// return_state the main menu, state 3); launch_frame gives the replay's
// commands of the current tick to the rules, before the screen's frame, and
// moves the intro on; launch_takes_event is false for the steering input a
// replay ignores; launch_keeps_saved_game is true while a replay is shown.
void launch_begin(game& g, const LaunchOptions& o);
void launch_frame(game& g);
bool launch_takes_event(const game& g, const Event& e);
bool launch_keeps_saved_game();

// Forgets the options given to launch_begin (tests).
void launch_reset();
