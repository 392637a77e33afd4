#include "ui/widget_gfx.h"

#include <GL/gl.h>

namespace {

float font_line_height(int font) { return font_entry(font).height; }

// Without a window there is no GL context to set a colour in.
void gl_tint(float r, float g, float b, float a) {
    if (graphics_has_gl()) glColor4f(r, g, b, a);
}

WidgetGfx graphics_module() {
    WidgetGfx s;
    s.image_get = image_get;
    s.font_get = font_get;
    s.image_gl_texture = image_gl_texture;
    s.line_height = font_line_height;
    s.tint = gl_tint;
    s.image_draw = image_draw;
    s.rect_fill = rect_fill;
    s.frame_draw = frame_draw;
    s.translate2d = translate2d;
    s.clip_push = clip_push;
    s.clip_pop = clip_pop;
    s.text_width = text_width;
    s.text_height = text_height;
    s.text_draw = text_draw;
    s.text_caret_rect = text_caret_rect;
    s.text_hit = text_hit;
    return s;
}

float unit(int v) {
    if (v < 0) v = 0;
    if (v > 255) v = 255;
    return float(v) / 255.0f;
}

}  // namespace

WidgetGfx& widget_gfx() {
    static WidgetGfx services = graphics_module();
    return services;
}

void widget_gfx_reset() { widget_gfx() = graphics_module(); }

void tint_rgb(int rgb, int alpha) {
    widget_gfx().tint(unit((rgb >> 16) & 255), unit((rgb >> 8) & 255), unit(rgb & 255), unit(alpha));
}

void tint_reset() { widget_gfx().tint(1, 1, 1, 1); }
