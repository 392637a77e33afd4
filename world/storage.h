// Levels in SQLite databases: one row per level, the record compressed in `data`.
#pragma once

#include <string>

#include "core/game.h"
#include "db/mydb.h"

// Creates the file if missing, opens it into db and brings its `levels` and
// `ratings` tables up to date.
void open_level_db(MyDB& db, const std::string& path);
