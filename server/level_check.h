// What the service accepts as a level: the compressed record of exactly one
// level, sane after the level sanitiser, with a player start and no more
// actors than the game has slots for.
#pragma once

#include <cstdint>
#include <string>

#include "world/level.h"

// The kind (TILE_*) of every tile number, taken from the tile catalogue.
struct TileKinds {
    int8_t kind[256] = {};
};

// Reads the data folder's tiles.json. False, with a line on stderr, when the
// catalogue has no player tile: the service could not check any map then.
bool load_tile_kinds(TileKinds& out);

enum class MapVerdict {
    Ok,
    Damaged,        // not base64, not one zlib stream, not exactly one record
    NoPlayerStart,  // no player tile on the playable area
    TooManyActors,  // more player, guard and lamp tiles than actor slots
    Unbeaten,       // not won cleanly since its last change
};

// Inflates compressed (one zlib stream, at most 65536 bytes) into out, which
// must come to exactly sizeof(level) bytes with no input left over. Inflation
// stops one byte past a record, so a small stream that would inflate to much
// more costs no more than that. False leaves out unspecified.
bool inflate_level_exact(const std::string& compressed, level& out);

// Judges a level record: sanitises it in place, then checks the player start,
// the actor count and, when require_won, that it is not `unbeaten`.
MapVerdict check_level(level& lv, const TileKinds& kinds, bool require_won);

// The base64 text of a share's "data" field, decoded, inflated and judged.
// On Ok, out holds the sanitised record.
MapVerdict check_shared_data(const std::string& base64, const TileKinds& kinds, level& out);
