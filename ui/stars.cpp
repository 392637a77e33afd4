#include "ui/stars.h"

#include <cmath>

#include "ui/widget_gfx.h"

Stars::Stars(float v, int img, int sz) : image(img), size(sz), value(v) {}

int Stars::get_value_i() { return event_int(value); }

void Stars::set_value_i(int v) { value = float(v); }

void Stars::measure_content() {
    content_w = 5 * size;
    content_h = size;
}

int Stars::event(const Event& ev) {
    switch (ev.kind) {
    case EV_MOUSEDOWN:
    case EV_MOUSEMOVE:
    case EV_MOUSEUP:
        if (hovered) {
            const int h = content_w > 0 ? event_int(double(ev.x) * 5.0 / content_w + 1.0) : 0;
            hover_value = float(clamp_range(h, 0, 5));
        }
        break;
    case EV_LEAVE:
        hover_value = 0;
        break;
    case EV_CLICK:
        value = hover_value;
        break;
    default:
        break;
    }
    return Widget::event(ev);
}

void Stars::paint_content() {
    WidgetGfx& gfx = widget_gfx();
    gfx.tint(0.35f, 0.35f, 0.35f, 1);
    for (int i = 0; i < 5; ++i) gfx.image_draw(image, i * size, 0, size, size);

    float r = value;
    gfx.tint(0.35f, 0.7f, 1, 1);
    if (hover_value != 0) {
        gfx.tint(1, 1, 0.35f, 1);
        r = hover_value;
    }
    if (disabled) gfx.tint(1, 1, 0.35f, 1);
    // A stored rating from outside may lie beyond 0..5 or be no number at all.
    if (!(r >= 0)) r = 0;
    if (r > 5) r = 5;
    gfx.clip_push(event_int(5.0 * size * r / 5.0), size);
    for (int i = 0; i < 5; ++i) gfx.image_draw(image, i * size, 0, size, size);
    gfx.clip_pop();
    tint_reset();
}
