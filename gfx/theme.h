// A level's look: its theme field picks the floor and wall pictures the world
// renderer tiles the map with. Main thread only.
#pragma once

#include <cstddef>
#include <string>

// The default look's own name, "manor": the pictures "floor" and "walls".
extern const char* const THEME_DEFAULT;

// The theme a level's theme field (`size` bytes) names: its text when
// "image.txt" describes both "floor-<text>" and "walls-<text>", else "" for the
// default look ("floor" and "walls"). An empty field or "manor" is the default
// without a word; a name without both pictures, or bytes that are not text, get
// the default and one line on stderr, once for each such field in a row (the
// renderer asks every frame).
std::string theme_of(const char* field, size_t size);

// The floor and wall picture names of a theme from theme_of.
std::string theme_floor(const std::string& theme);
std::string theme_walls(const std::string& theme);
