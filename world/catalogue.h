// Loading of the tile catalogue from "tiles.json".
#pragma once

#include "core/game.h"

// Zeroes the 256 entries of g.tiles and fills them from "tiles.json".
void _game_tile_init(game& g);
