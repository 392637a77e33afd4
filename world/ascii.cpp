#include "world/ascii.h"

#include <cstdio>
#include <cstring>

bool level_from_ascii(level& out, const std::vector<std::string>& rows, const AsciiLegend& legend,
                      int x0, int y0, int fill) {
    memset(&out, 0, sizeof out);
    for (int y = 0; y < MAP_SIZE; ++y) {
        for (int x = 0; x < MAP_SIZE; ++x) {
            const bool frame = x < MAP_MIN || y < MAP_MIN || x > MAP_MAX || y > MAP_MAX;
            out.map[x + MAP_SIZE * y] = uint8_t(frame ? 32 : fill);
        }
    }
    out.unbeaten = 1;
    size_t width = 0;
    for (const std::string& r : rows) width = r.size() > width ? r.size() : width;
    out.look_x = float(x0) + float(width) / 2.0f;
    out.look_y = float(y0) + float(rows.size()) / 2.0f;

    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < rows[r].size(); ++c) {
            const long x = long(x0) + long(c), y = long(y0) + long(r);
            if (x < MAP_MIN || x > MAP_MAX || y < MAP_MIN || y > MAP_MAX) {
                fprintf(stderr, "level_from_ascii: cell (%ld, %ld) lies outside 4..123\n", x, y);
                return false;
            }
            const auto it = legend.find(rows[r][c]);
            if (it == legend.end()) {
                fprintf(stderr, "level_from_ascii: no tile for '%c' at row %d, column %d\n",
                        rows[r][c], int(r), int(c));
                return false;
            }
            out.map[x + MAP_SIZE * y] = uint8_t(it->second);
        }
    }
    return true;
}

std::vector<std::string> level_to_ascii(const level& lv, const AsciiLegend& legend, int x0, int y0,
                                        int w, int h) {
    char of_tile[256];
    memset(of_tile, '?', sizeof of_tile);
    // The first character for a tile wins, so a legend with aliases reads back stably.
    for (auto it = legend.rbegin(); it != legend.rend(); ++it)
        if (it->second >= 0 && it->second < 256) of_tile[it->second] = it->first;
    std::vector<std::string> rows;
    for (int y = y0; y < y0 + h; ++y) {
        std::string row;
        for (int x = x0; x < x0 + w; ++x) {
            const bool on = x >= 0 && x < MAP_SIZE && y >= 0 && y < MAP_SIZE;
            row += on ? of_tile[lv.map[x + MAP_SIZE * y]] : ' ';
        }
        rows.push_back(row);
    }
    return rows;
}
