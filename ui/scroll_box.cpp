#include "ui/scroll_box.h"

#include <algorithm>

#include "ui/widget_gfx.h"

// ---------------------------------------------------------------------------
// ScrollBox

ScrollBox::ScrollBox(Widget* c) {
    if (c) {
        c->x = 0;
        c->y = 0;
        add(this, c);
    }
}

void ScrollBox::clamp_scroll() {
    const Widget* c = content();
    const int max_x = c ? c->w - content_w : 0;
    const int max_y = c ? c->h - content_h : 0;
    scroll_x = std::max(0, std::min(scroll_x, max_x));
    scroll_y = std::max(0, std::min(scroll_y, max_y));
}

void ScrollBox::measure_content() {
    Container::measure_content();
    const Style& s = styles[STYLE_CURRENT];
    content_w = style_or(s.width, 0);
    content_h = style_or(s.height, 0);
}

void ScrollBox::paint_content() {
    WidgetGfx& gfx = widget_gfx();
    gfx.clip_push(content_w, content_h);
    gfx.translate2d(-scroll_x, -scroll_y);
    Container::paint_content();
    gfx.translate2d(scroll_x, scroll_y);
    gfx.clip_pop();
}

int ScrollBox::event(const Event& ev) {
    Event moved = ev;
    moved.x += float(scroll_x);
    moved.y += float(scroll_y);
    switch (ev.kind) {
    case EV_MOUSEDOWN:
        dragging = 0;
        fling = 0;
        Container::event(moved);
        return 0;
    case EV_MOUSEMOVE:
        if (focused && ev.button) {
            scroll_x = event_int(double(scroll_x) - ev.dx);
            scroll_y = event_int(double(scroll_y) - ev.dy);
            clamp_scroll();
            if (ev.dy != 0) fling = event_int(ev.dy);
            dragging = 1;
            return 0;
        }
        if (!(ev.x >= 0 && ev.x < float(content_w) && ev.y >= 0 && ev.y < float(content_h))) {
            // Outside the viewport nothing inside may be hovered.
            moved.x = -65536;
            moved.y = -65536;
        }
        return Container::event(moved);
    case EV_MOUSEUP:
        if (dragging) {
            dragging = 0;
            return 0;
        }
        return Container::event(moved);
    case EV_WHEEL:
        scroll_y = event_int(double(scroll_y) + double(ev.dy) * 30);
        clamp_scroll();
        return 0;
    default:
        return Container::event(ev);
    }
}

void ScrollBox::tick() {
    if (!dragging) {
        scroll_y = event_int(double(scroll_y) - fling);
        clamp_scroll();
    }
    if (fling > 1)
        fling -= 2;
    else if (fling < -1)
        fling += 2;
    else
        fling = 0;
}

void ScrollBox::reset_as_new() {
    dragging = 0;
    fling = 0;
}

// ---------------------------------------------------------------------------
// ScrollBox2

ScrollBox2::ScrollBox2(ScrollBox* scroll_box) : box(scroll_box) { build(); }

void ScrollBox2::build() {
    bar = new VSlider;
    bar->min = 0;
    bar->max = 1;
    bar->value = 0;
    bar->knob = 20;
    Style& s = bar->styles[STYLE_BASE];
    s.width = 32;
    set_margins(s, 2);
    s.margin_left = 5;
    const int box_height = box ? style_or(box->styles[STYLE_BASE].height, 0) : 0;
    s.height = std::max(0, box_height - 4);
    bar->change_value = -1;
    tr(this);
    if (box) td(this, box);
    td(this, bar);
}

bool ScrollBox2::release_child(Widget* child, Widget* successor) {
    if (!Table::release_child(child, successor)) return false;
    if (child == box) box = dynamic_cast<ScrollBox*>(successor);
    if (child == bar) bar = dynamic_cast<VSlider*>(successor);
    return true;
}

void ScrollBox2::reset_as_new() {
    Table::reset_as_new();
    box = nullptr;
    build();
}

void ScrollBox2::measure_content() {
    Table::measure_content();
    if (!box || !bar) return;
    const int view = box->h;
    const Widget* c = box->content();
    const int full = c ? c->h : 0;
    bar->min = 0;
    bar->max = std::max(1, full - view);
    bar->value = clamp_range(bar->value, bar->min, bar->max);
    const int bar_h = style_or(bar->styles[STYLE_BASE].height, 0);
    bar->knob = std::max(20, std::min(bar_h, int(int64_t(bar_h) * view / std::max(1, full))));
    bar->set_value_i(box->scroll_y);
}

int ScrollBox2::event(const Event& ev) {
    const int answer = Table::event(ev);
    if (answer == -1 && box && bar) {
        box->scroll_y = bar->value;
        box->clamp_scroll();
        return 0;
    }
    return answer;
}
