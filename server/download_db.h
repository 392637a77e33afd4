// The body of a download reply: an SQLite database file, built in memory, with
// a `levels` table in the game's own format (12 columns) holding the listed
// levels in order.
#pragma once

#include <string>
#include <vector>

#include "server/store.h"

// The file's bytes; empty when SQLite fails. In each row: id and name are the
// level's number in decimal (the name is what the game reports plays under),
// data the compressed record as a blob, ts, author, title, uid and intro as
// stored, stars and skulls the averages as decimal text, q NULL, value the
// position in the list (0 first).
std::string build_download_db(const std::vector<SharedLevel>& levels);
