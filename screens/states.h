// Creation of the screen table.
#pragma once

#include "core/game.h"

// Empties the 32 entries of the state table, then creates every screen in a
// fixed order and stores it at its number. The screens live until the process
// ends; nothing is entered here.
void make_states(game& g);
