// Levels in SQLite databases: one row per level, the whole record compressed
// in `data`, its texts repeated in columns so lists need no unpacking.
//
// levels (id text primary key, name text, data blob, ts int, author text,
//         title text, q text, uid text, stars float, skulls float, intro text,
//         value int)
// ratings (lid text primary key, stars int, skulls int)
#pragma once

#include <string>

#include "core/game.h"
#include "db/mydb.h"

enum : int {
    LEVELS_COLUMNS = 12,
    RATINGS_COLUMNS = 3,
    LEVEL_DATA_CAPACITY = 65536,  // the compressed record always fits in this
};

// Creates the file if missing, opens it into db and brings its `levels` and
// `ratings` tables up to date, reporting the column counts on stderr. A file
// that cannot be opened or is not a database leaves error lines and a db whose
// queries return nothing. An untrusted file (a download) is locked down
// (MyDB::lock_down) before its tables are read or upgraded.
void open_level_db(MyDB& db, const std::string& path, bool untrusted = false);

// Stores the stored copy g.edit_level as the row of the play copy's identifier,
// with the play copy's texts, replacing any row with that identifier. Returns
// false (and keeps the old row) when the row could not be written.
bool logic_save(game& g, MyDB& db);

// Loads the row `id` into the stored copy and the play copy, then sets the play
// copy up. A missing row or undecodable data leaves the blank map in both copies.
// Returns true when the row's map was loaded.
bool logic_load(game& g, MyDB& db, const std::string& id);

// Inflates a `data` column into out. False when it is not one complete zlib
// stream or would inflate to more than sizeof(level) bytes; out is untouched
// then. A shorter record fills only its first bytes.
bool level_data_inflate(const std::string& data, level& out);
