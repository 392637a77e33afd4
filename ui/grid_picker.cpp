#include "ui/grid_picker.h"

#include "ui/widget_gfx.h"

GridPicker::GridPicker() { set_margins(styles[STYLE_BASE], 10); }

void GridPicker::reset_as_new() {
    Table::reset_as_new();
    value = 0;
    columns = 5;
    count = 0;
    set_margins(styles[STYLE_BASE], 10);
}

void GridPicker::set_value_i(int v) {
    value = v;
    refresh_selection();
}

bool GridPicker::has_value(int v) {
    for (Widget* c : children)
        if (c != filler && c->get_value_i() == v) return true;
    return false;
}

void GridPicker::refresh_selection() {
    for (Widget* c : children) {
        if (c == filler) continue;
        c->selected = c->get_value_i() == value;
        c->update_state();
    }
}

void GridPicker::add_entry(const char* text, int v, int width) {
    WidgetGfx& gfx = widget_gfx();
    if (columns <= 0 || count % columns == 0) tr(this);
    count += 1;
    VBox* entry = new VBox(new Label(gfx.font_get("font3"), text));
    if (width) entry->styles[STYLE_BASE].width = width;
    entry->value = v;
    entry->click_value = v;
    Style& s = entry->styles[STYLE_BASE];
    s.box_color = 0xFFFFFF;
    s.box = gfx.image_get("box");
    s.box_corner = 16;
    set_paddings(s, 5);
    set_margins(s, 5);
    entry->styles[STYLE_SELECTED].box = gfx.image_get("box2");
    td(this, entry);
}

int GridPicker::event(const Event& ev) {
    const int answer = Table::event(ev);
    if (!answer) return 0;
    set_value_i(answer);
    return change_value;
}
