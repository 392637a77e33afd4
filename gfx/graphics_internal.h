// Shared between the files of the graphics module only.
#pragma once

#include <string>
#include <vector>

#include "gfx/graphics.h"

// Back to no translation and an empty clip stack (a new Graphics record).
void clip_state_reset();
// Moves the translation without touching GL (translate2d adds the GL part).
void clip_state_translate(float dx, float dy);

// The word-filtered copy of a text (null reads as empty).
std::string filtered_text(const char* text);
// Wrapping of a text that is already filtered.
std::vector<Line> wrap_filtered(const Font& f, const std::string& s, float maxw);

// x / d, or 0 when d is 0 (a zero size in a description file).
inline float ratio(float x, float d) { return d != 0.0f ? x / d : 0.0f; }

// The whole part of v as an int, for any float: NaN reads as 0 and magnitudes
// beyond 1e9 are held there.
inline int trunc_int(float v) {
    if (!(v == v)) return 0;
    if (v > 1e9f) return 1000000000;
    if (v < -1e9f) return -1000000000;
    return int(v);
}
