// The level model: blank maps, actor slots, the cell-flag grid and set-up.
#pragma once

#include "core/game.h"

// Clears the play copy, makes the blank map (a four-cell frame of tile 32, 3x3
// floor in the middle with tile 4 at (64, 64)) and copies it to the stored copy.
void new_level(game& g);

// Turns the map of the play copy into actors; start_of_play points the camera at
// the player.
void setup_level(game& g, int start_of_play);
