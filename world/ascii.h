// Levels drawn as text: one character per cell, a legend from characters to tile
// numbers. Used by the tests and by the tools that build the tutorial levels.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "world/level.h"

using AsciiLegend = std::map<char, int>;

// Makes a level record from rows of text: character c of row r is the cell
// (x0 + c, y0 + r). The record starts zeroed with the four-cell frame of tile 32,
// every other cell `fill`; `unbeaten` is 1 and the camera looks at the middle of the
// drawing. Returns false, with a line on stderr, for a character missing from the
// legend or a drawing that leaves the playable area 4..123 (the record then holds
// what was drawn up to that point).
bool level_from_ascii(level& out, const std::vector<std::string>& rows, const AsciiLegend& legend,
                      int x0 = MAP_MIN, int y0 = MAP_MIN, int fill = 0);

// The w x h cells from (x0, y0) as rows of text through the same legend; a tile
// with no character reads '?', a cell off the grid ' '.
std::vector<std::string> level_to_ascii(const level& lv, const AsciiLegend& legend, int x0, int y0,
                                        int w, int h);
