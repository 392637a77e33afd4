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

// Makes a stored record from outside safe to use: texts end in NUL, the bomb and
// cartridge counts are non-negative and small enough to add up, and the camera
// fields are finite and on the map. Actors and play counters are left alone:
// set-up rebuilds them before anything uses them.
void sanitize_stored_level(level& lv);

// The `data` encoding of a record: one zlib stream (header and Adler-32) made by
// deflate at the default level, as logic_save stores it. Deterministic for a
// given zlib. False only when zlib fails.
bool level_data_deflate(const level& lv, std::string& out);

// Fills a record from a `levels` row: the inflated `data`, then the texts from
// their columns (cut to their fields), the ratings, and the stored-record
// sanitiser. False (lv untouched) when the data does not inflate.
bool level_from_row(const Row& row, level& lv);

// Inflates a `data` column into out. False when it is not one complete zlib
// stream or would inflate to more than sizeof(level) bytes; out is untouched
// then. A shorter record fills only its first bytes.
bool level_data_inflate(const std::string& data, level& out);
