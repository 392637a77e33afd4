#include "ui/slider.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "ui/widget_gfx.h"

// ---------------------------------------------------------------------------
// NumSlider

NumSlider::NumSlider(int v, int is_live) : value(v), live(is_live) {
    WidgetGfx& gfx = widget_gfx();
    font = gfx.font_get("font2");
    const int line = int(gfx.line_height(font));
    Style& s = styles[STYLE_BASE];
    s.width = 720;
    s.height = line;
    set_margins(s, 4);
    label_w = int(gfx.text_width(font, " 100"));
    knob = std::max((720 - label_w) / 101, 2 * line);
    style_resolve(this);
    measure_content();
}

int NumSlider::event(const Event& ev) {
    if (int answer = Widget::event(ev)) return answer;
    if (!focused) return 0;
    if (ev.kind != EV_MOUSEDOWN && ev.kind != EV_MOUSEMOVE && ev.kind != EV_MOUSEUP) return 0;
    if (!ev.button) return 0;
    const int track = std::max(1, content_w - label_w - knob);
    const int st = step > 0 ? step : 1;
    const double along = (double(ev.x) - knob / 2) * (double(max) - min + 1) / track;
    const int64_t raw = int64_t(min) + int64_t(st) * event_int(along / st);
    const int v = clamp_range(int(std::clamp<int64_t>(raw, INT32_MIN, INT32_MAX)), min, max);
    const bool changed = v != value;
    value = v;
    if (live) return changed ? change_value : 0;
    return ev.kind == EV_MOUSEUP ? change_value : 0;
}

void NumSlider::paint_content() {
    WidgetGfx& gfx = widget_gfx();
    value = clamp_range(value, min, max);
    const int track = content_w - label_w;
    gfx.frame_draw(gfx.image_gl_texture(gfx.image_get("box")), 0, 0, track, content_h, 20);
    const int range = max - min;
    const int knob_x = range > 0 ? int(int64_t(track - knob) * (value - min) / range) : 0;
    gfx.frame_draw(gfx.image_gl_texture(gfx.image_get("box2")), knob_x, 0, knob, content_h, 20);
    char number[16];
    snprintf(number, sizeof number, "%d", value);
    const float line = gfx.line_height(font);
    gfx.text_draw(font, number, 0, float(int((float(content_h) - line) / 2)), float(content_w), 1);
}

NumSlider* make_slider(const char* name, int value, int live) {
    NumSlider* s = new NumSlider(value, live);
    s->name = name ? name : "";
    return s;
}

// ---------------------------------------------------------------------------
// VSlider

void VSlider::set_value_i(int v) { value = clamp_range(v, min, max); }

int VSlider::event(const Event& ev) {
    if (int answer = Widget::event(ev)) return answer;
    if (ev.kind == EV_WHEEL) {
        value = clamp_range(event_int(double(value) + double(ev.dy) * 30), min, max);
        return change_value;
    }
    if (!focused) return 0;
    if (ev.kind != EV_MOUSEDOWN && ev.kind != EV_MOUSEMOVE && ev.kind != EV_MOUSEUP) return 0;
    if (!ev.button) return 0;
    const double along = (double(ev.y) - knob / 2) * (double(max) - min + 1) /
                         std::max(1, content_h - knob);
    const int v = clamp_range(event_int(along + min), min, max);
    if (v == value) return 0;
    value = v;
    return change_value;
}

void VSlider::paint_content() {
    WidgetGfx& gfx = widget_gfx();
    gfx.frame_draw(gfx.image_gl_texture(gfx.image_get("box")), 0, 0, content_w, content_h, 15);
    const int range = max - min;
    const int knob_y = range > 0 ? int(int64_t(content_h - knob) * (value - min) / range) : 0;
    gfx.frame_draw(gfx.image_gl_texture(gfx.image_get("box2")), 0, knob_y, content_w, knob, 15);
}
