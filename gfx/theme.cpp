#include "gfx/theme.h"

#include <cstdio>

#include "gfx/graphics.h"
#include "text/text.h"

namespace {
// The field that got the last diagnostic: asked again, it stays quiet.
std::string g_reported;
bool g_reported_any = false;

void report_once(const std::string& field, const std::string& line) {
    if (g_reported_any && field == g_reported) return;
    g_reported = field;
    g_reported_any = true;
    fputs(line.c_str(), stderr);
}
}  // namespace

const char* const THEME_DEFAULT = "manor";

std::string theme_floor(const std::string& theme) { return theme.empty() ? "floor" : "floor-" + theme; }
std::string theme_walls(const std::string& theme) { return theme.empty() ? "walls" : "walls-" + theme; }

std::string theme_of(const char* field, size_t size) {
    const std::string bytes(field, size);
    std::string name;
    if (!field_name(field, size, &name)) {
        report_once(bytes, "world_draw: the level's theme is not text, drawing the default\n");
        return "";
    }
    if (name.empty() || name == THEME_DEFAULT) return "";
    if (image_described(theme_floor(name)) && image_described(theme_walls(name))) return name;
    report_once(bytes, "world_draw: no theme \"" + name + "\", drawing the default\n");
    return "";
}
