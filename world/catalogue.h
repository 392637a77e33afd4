// The tile catalogue: 256 entries in g.tiles, loaded from "tiles.json" at start-up,
// and the lookups the rules, the renderer and the editor make of a tile number.
#pragma once

#include <string>

#include "core/game.h"

// Zeroes the 256 entries of g.tiles and fills them from the data folder's
// "tiles.json". A missing, empty or malformed file leaves the catalogue zero
// (every tile inert, kind "none"); only a malformed one is reported on stderr.
void _game_tile_init(game& g);

// The same, from the text of a tiles.json document. Elements that cannot be used
// (not an object, "n" outside 0..255 or not an integer) are skipped, fields of the
// wrong type read as 0 or "", and texts longer than their fields are cut, each with
// a line on stderr.
void tile_catalogue_load_text(game& g, const std::string& json);

// The kind number of a tile word ("none" 0 ... "decal" 16); -1 for any other word.
int tile_kind_of_word(const std::string& word);

// Lookups by tile number. Numbers outside 0..255 read as an all-zero entry.
const tile_entry& tile_at(const game& g, int tile);
inline int tile_kind(const game& g, int tile) { return tile_at(g, tile).kind; }
inline int tile_value(const game& g, int tile) { return tile_at(g, tile).value; }
inline int tile_view(const game& g, int tile) { return tile_at(g, tile).view; }
inline bool tile_solid(const game& g, int tile) { return tile_at(g, tile).solid != 0; }
inline bool tile_opaque(const game& g, int tile) { return tile_at(g, tile).opaque != 0; }
inline int tile_shadow(const game& g, int tile) { return tile_at(g, tile).shadow; }
inline bool tile_editor(const game& g, int tile) { return tile_at(g, tile).editor != 0; }
inline const char* tile_name(const game& g, int tile) { return tile_at(g, tile).name; }
inline const char* tile_help(const game& g, int tile) { return tile_at(g, tile).help; }
