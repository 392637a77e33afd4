// Styles, style resolution and the base Widget.
#include "ui/widget.h"

#include <cstdio>
#include <cstdlib>

#include "ui/widget_gfx.h"

namespace {

using Slot = int32_t Style::*;

const Slot style_slots[STYLE_SLOTS] = {
    &Style::width, &Style::height, &Style::clip, &Style::align, &Style::valign,
    &Style::color, &Style::background,
    &Style::border_top, &Style::border_right, &Style::border_bottom, &Style::border_left,
    &Style::border_color,
    &Style::padding_top, &Style::padding_right, &Style::padding_bottom, &Style::padding_left,
    &Style::margin_top, &Style::margin_right, &Style::margin_bottom, &Style::margin_left,
    &Style::box_color, &Style::box_outset, &Style::box_corner, &Style::box,
    &Style::image, &Style::image_color, &Style::image_alpha,
    &Style::unused27, &Style::unused28,
    &Style::overlay, &Style::overlay_color, &Style::overlay_alpha,
    &Style::unused32, &Style::overlay_corner,
    &Style::unused34, &Style::unused35, &Style::unused36,
};

// How `current` approaches its target, per slot: 0 immediate, -1 colour fade
// (36 per channel), N > 0 steps of N.
enum : int { IMMEDIATE = 0, COLOUR = -1 };
const int transitions[STYLE_SLOTS] = {
    1000, 1000, IMMEDIATE, IMMEDIATE, IMMEDIATE,     // width .. valign
    COLOUR, COLOUR,                                  // color, background
    1, 1, 1, 1, COLOUR,                              // borders, border_color
    1, 1, 1, 1,                                      // paddings
    1, 1, 1, 1,                                      // margins
    COLOUR, 1, 1, IMMEDIATE,                         // box_color, outset, corner, box
    IMMEDIATE, COLOUR, 36,                           // image, image_color, image_alpha
    IMMEDIATE, IMMEDIATE,                            // unused
    IMMEDIATE, COLOUR, 36,                           // overlay, overlay_color, overlay_alpha
    IMMEDIATE, 1,                                    // unused, overlay_corner
    IMMEDIATE, IMMEDIATE, IMMEDIATE,                 // unused
};

int32_t step_towards(int32_t from, int32_t to, int64_t step) {
    const int64_t d = int64_t(to) - int64_t(from);
    if (d > step) return int32_t(from + step);
    if (d < -step) return int32_t(from - step);
    return to;
}

int32_t fade_towards(int32_t from, int32_t to) {
    int32_t out = 0;
    for (int shift = 16; shift >= 0; shift -= 8) {
        const int a = (from >> shift) & 255;
        const int b = (to >> shift) & 255;
        out |= step_towards(a, b, 36) << shift;
    }
    return out;
}

// Unset edge values count as 0.
int edge(int32_t v) { return style_or(v, 0); }

}  // namespace

int32_t& Style::slot(int i) { return this->*style_slots[i]; }
int32_t Style::slot(int i) const { return this->*style_slots[i]; }

void set_margins(Style& s, int v) {
    s.margin_top = s.margin_right = s.margin_bottom = s.margin_left = v;
}
void set_paddings(Style& s, int v) {
    s.padding_top = s.padding_right = s.padding_bottom = s.padding_left = v;
}
void set_borders(Style& s, int v) {
    s.border_top = s.border_right = s.border_bottom = s.border_left = v;
}

void style_resolve(Widget* w) {
    if (!w) return;
    const Style& base = w->styles[STYLE_BASE];
    const int state = (w->variant >= 0 && w->variant + 1 < STYLE_VARIANTS) ? w->variant + 1
                                                                          : STYLE_NORMAL;
    const Style& by_state = w->styles[state];
    const Style& selected = w->styles[STYLE_SELECTED];
    Style& cur = w->styles[STYLE_CURRENT];
    for (int i = 0; i < STYLE_SLOTS; ++i) {
        int32_t target = STYLE_UNSET;
        if (w->selected && selected.slot(i) != STYLE_UNSET)
            target = selected.slot(i);
        else if (by_state.slot(i) != STYLE_UNSET)
            target = by_state.slot(i);
        else if (base.slot(i) != STYLE_UNSET)
            target = base.slot(i);
        if (target == STYLE_UNSET) continue;
        int32_t& v = cur.slot(i);
        if (v == STYLE_UNSET || transitions[i] == IMMEDIATE)
            v = target;
        else if (transitions[i] == COLOUR)
            v = fade_towards(v, target);
        else
            v = step_towards(v, target, transitions[i]);
    }
}

// ---------------------------------------------------------------------------
// Widget

Widget::~Widget() = default;

Widget* Widget::find(const std::string& n) { return name == n ? this : nullptr; }

const char* Widget::get_value_s() {
    fprintf(stderr, "const char *get_value_s(): n/a\n");
    return nullptr;
}

void Widget::set_value_s(const char*) { fprintf(stderr, "set_value_s(const char *): n/a\n"); }

int Widget::get_value_i() {
    fprintf(stderr, "int get_value_i(): n/a\n");
    return 0;
}

void Widget::set_value_i(int) { fprintf(stderr, "set_value_i(int): n/a\n"); }

void Widget::update_state() {
    pressed = hovered && focused;
    variant = (hovered && focused) ? 4 : focused ? 3 : hovered ? 2 : 0;
}

void Widget::focus() {
    Event ev{};
    ev.kind = EV_BLUR;
    for (Widget* w = this; w; w = w->parent) w->event(ev);
    ev.kind = EV_FOCUS;
    event(ev);
    Widget* child = this;
    for (Widget* a = parent; a; child = a, a = a->parent) {
        if (Container* c = dynamic_cast<Container*>(a)) c->focus_child = child;
        a->event(ev);
    }
}

int Widget::event(const Event& ev) {
    switch (ev.kind) {
    case EV_KEYDOWN:
        if (ev.key == uint32_t(KEY_TAB) && next_focus) next_focus->focus();
        return 0;
    case EV_CLICK:
        return click_value;
    case EV_MOUSEMOVE:
        return move_value;
    case EV_MOUSEDOWN:
        return down_value;
    case EV_FOCUS:
    case EV_BLUR:
        focused = ev.kind == EV_FOCUS;
        update_state();
        return 0;
    case EV_ENTER:
    case EV_LEAVE:
        hovered = ev.kind == EV_ENTER;
        update_state();
        return 0;
    default:
        return 0;
    }
}

void Widget::tick() {}

void Widget::paint_content() {}

void Widget::set_content_size(int, int) { measure_content(); }

void Widget::measure_content() {
    const Style& cur = styles[STYLE_CURRENT];
    content_w = style_or(cur.width, 0);
    content_h = style_or(cur.height, 0);
}

int Widget::event_outer(const Event& ev) {
    Event inner = ev;
    inner.x -= float(content_x);
    inner.y -= float(content_y);
    return event(inner);
}

void Widget::paint() {
    WidgetGfx& gfx = widget_gfx();
    const Style& c = styles[STYLE_CURRENT];
    const int ml = edge(c.margin_left), mt = edge(c.margin_top);
    const int mr = edge(c.margin_right), mb = edge(c.margin_bottom);
    const int bl = edge(c.border_left), bt = edge(c.border_top);
    const int br = edge(c.border_right), bb = edge(c.border_bottom);

    if (c.background != STYLE_UNSET)
        gfx.rect_fill(c.background, ml + bl, mt + bt, w - ml - bl - mr - br,
                      h - mt - bt - mb - bb);
    if (c.border_color != STYLE_UNSET) {
        const int inner_h = h - mt - bt - mb - bb;
        if (bt) gfx.rect_fill(c.border_color, ml, mt, w - ml - mr, bt);
        if (bb) gfx.rect_fill(c.border_color, ml, h - mb - bb, w - ml - mr, bb);
        if (br) gfx.rect_fill(c.border_color, w - mr - br, mt + bt, br, inner_h);
        if (bl) gfx.rect_fill(c.border_color, ml, mt + bt, bl, inner_h);
    }
    if (c.box_color != STYLE_UNSET && c.box != STYLE_UNSET) {
        const int o = edge(c.box_outset);
        tint_rgb(c.box_color, 255);
        gfx.frame_draw(gfx.image_gl_texture(c.box), ml - o, mt - o, w - ml - mr + 2 * o,
                       h - mt - mb + 2 * o, style_or(c.box_corner, 16));
        tint_reset();
    }
    if (c.image != STYLE_UNSET) {
        tint_rgb(style_or(c.image_color, 0xFFFFFF), style_or(c.image_alpha, 255));
        gfx.image_draw(c.image, content_x, content_y, content_w, content_h);
        tint_reset();
    }
    if (c.overlay != STYLE_UNSET) {
        tint_rgb(style_or(c.overlay_color, 0xFFFFFF), style_or(c.overlay_alpha, 255));
        gfx.frame_draw(gfx.image_gl_texture(c.overlay), ml, mt, w - ml - mr, h - mt - mb,
                       style_or(c.overlay_corner, 16));
        tint_reset();
    }
    gfx.translate2d(content_x, content_y);
    paint_content();
    gfx.translate2d(-content_x, -content_y);
}

namespace {
struct Edges {
    int left, top, right, bottom;
};
Edges edges_of(const Style& c) {
    return {edge(c.border_left) + edge(c.margin_left) + edge(c.padding_left),
            edge(c.border_top) + edge(c.margin_top) + edge(c.padding_top),
            edge(c.border_right) + edge(c.margin_right) + edge(c.padding_right),
            edge(c.border_bottom) + edge(c.margin_bottom) + edge(c.padding_bottom)};
}
}  // namespace

void Widget::resize(int rw, int rh) {
    const Edges e = edges_of(styles[STYLE_CURRENT]);
    set_content_size(rw - e.left - e.right, rh - e.top - e.bottom);
    content_x = e.left;
    content_y = e.top;
    w = e.left + content_w + e.right;
    h = e.top + content_h + e.bottom;
}

void Widget::measure() {
    measure_content();
    const Edges e = edges_of(styles[STYLE_CURRENT]);
    content_x = e.left;
    content_y = e.top;
    w = e.left + content_w + e.right;
    h = e.top + content_h + e.bottom;
}

// ---------------------------------------------------------------------------
// Tree queries

Widget* find(Widget* root, const std::string& name) { return root ? root->find(name) : nullptr; }

Rect screen_rect(const Widget* w) {
    Rect r;
    if (!w) return r;
    float sx = 0, sy = 0;
    for (const Widget* a = w; a; a = a->parent) {
        sx += float(a->x + a->content_x);
        sy += float(a->y + a->content_y);
        if (a != w) {
            sx -= float(a->scroll_x);
            sy -= float(a->scroll_y);
        }
    }
    r.x = sx - float(w->content_x);
    r.y = sy - float(w->content_y);
    r.w = float(w->w);
    r.h = float(w->h);
    return r;
}
