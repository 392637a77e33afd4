// The level checker: the structural faults that make a level unplayable or
// plainly broken, found before the level ships. Used by the level build tool and
// the tests; it proves nothing about difficulty (the solutions do that).
#pragma once

#include <string>
#include <vector>

#include "core/game.h"

struct LevelProblem {
    int x = -1, y = -1;  // the map cell it concerns; -1 when it concerns the level
    std::string text;
};

struct LevelCheckOptions {
    bool needs_targets = true;  // false only for the first tutorial
};

// Checks a stored level (never set up) against the catalogue in g.tiles:
//   - exactly one player start;
//   - at most 64 actors (player, guards, lamps) at set-up;
//   - every tile number on the map has a catalogue entry;
//   - targets, unless the options allow none;
//   - a window with a side the player can walk to from the start, and every Data
//     Cartridge reachable (targets count as passable: they are destroyed first);
//   - every guard's route has no arrow or more than two points (a guard beside an
//     arrow that leads to no other arrow never walks), and each leg of a route has
//     a path the guard can walk.
// g.level and g.flags are used as scratch. Returns the problems found, in map
// order for those tied to a cell.
std::vector<LevelProblem> check_level(game& g, const level& lv, const LevelCheckOptions& options);
