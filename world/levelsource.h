// Level sources: a level as a text file a person can read and edit. The shipped
// levels live in this form under levels/ and are built into the level databases.
//
//   # a comment (only before the map)
//   name    t02
//   title   Something Worth Blowing Up
//   intro   First line of the intro text,
//   intro   joined to the next with a space.
//   author  Murkwell
//   bombs   detonator 1 time 0 emp 0 mini 0
//   music   menus
//   theme   manor
//   map
//   ########
//   #@...PW#
//   ########
//
// Keys, one per line, its value the rest of the line: name (required), id
// (default: the name), title and intro (required), author, uid, bombs (kind and
// count pairs), music, theme, at (the map cell of the drawing's top-left
// character; default: the drawing is centred), tile (a character and a tile
// number, added to the standard legend). Everything after the "map" line is the
// drawing, one row per line, all of one width; blank lines at the end are
// ignored. Cells outside the drawing are tile 0 (the void).
#pragma once

#include <string>
#include <vector>

#include "world/ascii.h"
#include "world/level.h"

// The characters of the shipped tile catalogue: '_' void, '.' floor, ',' dark
// floor, '#' wall, 'P' target, 'W' window, '@' player, 'G' guard, keypad digits
// arrows, 'D' 'T' 'E' 'M' bombs to pick up, '$' Data Cartridge, '*' '^' '!' '%'
// lamps, and the props (the README lists them all).
const AsciiLegend& standard_legend();

// A parsed source: the level record as the databases store it (the stored copy,
// never set up), and where its drawing came from.
struct LevelSource {
    std::string file;      // as given to the parser, for messages
    level lv{};
    int map_x0 = 0, map_y0 = 0;  // map cell of the drawing's top-left character
    int map_w = 0, map_h = 0;
    int first_row_line = 0;      // file line of the drawing's first row
    int map_line = 0;            // file line of the "map" keyword
};

// Parses the text of a source. On failure returns false and sets error to
// "<file>:<line>: <what is wrong>". The record is zeroed first; unbeaten is 0
// (shipped levels come with a solution that wins them cleanly).
bool parse_level_source(const std::string& text, const std::string& file, LevelSource& out,
                        std::string& error);

// The file line and 1-based column of a map cell of the drawing; false for a cell
// outside it.
bool source_position(const LevelSource& src, int x, int y, int* line, int* column);
