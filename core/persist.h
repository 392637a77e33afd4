// state.dat and settings.dat: the game record and the settings, read at start-up
// and written whole at shutdown, both in the per-user folder.
#pragma once

#include "core/game.h"

// Zeroes the record and reads "state.dat" into it; a file of another version is
// discarded. Text fields are forced to end in NUL and the reserved handle slots
// and the key-down table are cleared, whatever the file held.
void load_state(game& g);

// Reads "settings.dat" into g.settings and completes it: volumes 50 for a
// missing file or a version below 1, volumes clamped to 0..100, mode -1 and full
// screen 1 when unset, version 1, the user identifier rebuilt as "g:" + user
// name (cut to its field), the device identifier "time|<now>" when empty.
void load_settings(game& g);

// Writes "settings.dat" alone.
void save_settings(game& g);

// Writes "settings.dat" and then "state.dat" (handle slots zero).
void save_state_and_settings(game& g);
