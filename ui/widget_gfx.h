// The drawing and text services the widgets paint and measure with.
//
// By default every entry is the graphics module's own operation (and the tint
// is the GL current colour). Layout, routing and text editing only measure, so
// tests and fuzzers can swap in a font model and a draw recorder and run the
// whole toolkit with no display. Main thread only.
#pragma once

#include <string>

#include "gfx/graphics.h"

struct WidgetGfx {
    int (*image_get)(const std::string& name);
    int (*font_get)(const std::string& name);
    int (*image_gl_texture)(int image);
    // Line height of a font in canvas units (0 for an unknown font).
    float (*line_height)(int font);

    // Colour and alpha (0..1) of the draws that follow; tint(1, 1, 1, 1) resets.
    void (*tint)(float r, float g, float b, float a);
    void (*image_draw)(int image, int x, int y, int w, int h);
    void (*rect_fill)(int rgb, int x, int y, int w, int h);
    void (*frame_draw)(int gl_name, int x, int y, int w, int h, int b);
    void (*translate2d)(int dx, int dy);
    void (*clip_push)(int w, int h);
    void (*clip_pop)();

    float (*text_width)(int font, const char* text);
    float (*text_height)(int font, const char* text, float maxw);
    void (*text_draw)(int font, const char* text, float x, float y, float maxw, int align);
    Rect (*text_caret_rect)(int font, const char* text, int index, float maxw);
    int (*text_hit)(int font, const char* text, float px, float py, float maxw);
};

// The services in use. Tests may assign entries; widget_gfx_reset puts the
// graphics module back.
WidgetGfx& widget_gfx();
void widget_gfx_reset();

// Tint by a 0xRRGGBB colour and a 0..255 alpha (clamped).
void tint_rgb(int rgb, int alpha);
void tint_reset();
