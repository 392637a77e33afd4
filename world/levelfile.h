// A level from a file, whatever form the project's tools left it in.
#pragma once

#include <cstddef>
#include <string>

#include "world/level.h"

// Reads one stored level (not set up) from `where`, which is one of:
//   - a level source (text, see levelsource.h);
//   - a level record, exactly 46576 bytes;
//   - the compressed `data` encoding of a record (one zlib stream);
//   - an SQLite level database: "PATH" when it holds exactly one level, or
//     "PATH:ID" for the level of that identifier (or, failing that, name).
// The record is sanitised like a stored level and its play counters cleared,
// so play starts it fresh. On failure returns false and sets why to a one-line
// reason that names the file.
bool read_level_file(const std::string& where, level& out, std::string& why);

// The level of identifier or name `key` in the level database at `path`.
// False, with why, when the file is no level database or holds no such level.
bool read_level_from_db(const std::string& path, const std::string& key, level& out,
                        std::string& why);

// Reads the whole file at path into out. False, with why naming the file, when
// it cannot be opened or read, or holds more than max_bytes ("larger than N
// MiB: not a <what>").
bool read_whole_file(const std::string& path, size_t max_bytes, const char* what, std::string& out,
                     std::string& why);
