// state.dat and settings.dat: the game record and the settings, read at start-up
// and written whole at shutdown, both in the per-user folder.
#pragma once

#include <string>

#include "core/game.h"

class MyDB;

// Zeroes the record and reads "state.dat" into it. A file that is not exactly
// one record of version 1 (cut short, too large, unreadable, another version)
// is reported, moved aside as "state.dat.damaged" and the record stays zero,
// so the game starts at the main menu and the old file survives. Text fields are forced to end in NUL and the reserved handle slots
// and the key-down table are cleared, whatever the file held.
void load_state(game& g);

// Reads "settings.dat" into g.settings and completes it: volumes 50 for a
// missing file or a version below 1, volumes clamped to 0..100, mode -1 and full
// screen 1 when unset, version 1, the user identifier rebuilt as "g:" + user
// name (cut to its field), the device identifier "time|<now>" when empty.
// A file that is not one record of version 0 or 1 is reported and moved aside
// as "settings.dat.damaged"; the defaults take its place.
void load_settings(game& g);

// Writes "settings.dat" alone.
void save_settings(game& g);

// Writes "settings.dat" and then "state.dat" (handle slots zero).
void save_state_and_settings(game& g);

// What a look at a level database found: `sound`; `locked` by another program
// (nothing could be read, its state is unknown); `damaged` (not an SQLite
// database, or its pages fail SQLite's quick check); `unreadable` (it cannot be
// opened or read for another reason: permissions, I/O). `why` says it in words.
enum class DbHealth { sound, locked, damaged, unreadable };
DbHealth check_level_db(const std::string& path, std::string& why);

// Opens a level database of the per-user folder ("user.db", "net.db") with its
// tables brought up to date; statements wait a moment for another program's
// lock. The game never writes to a database it could not read: a damaged one
// is reported and moved aside as NAME.damaged (its journal with it) and a new
// one takes its place; an unreadable one is reported and left closed. One that
// another program holds locked is reported and kept: the game saves there once
// it is free. A read-only one is reported.
void open_user_level_db(MyDB& db, const char* name);
