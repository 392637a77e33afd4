#include "screens/edit_info.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "core/fixed_text.h"
#include "screens/edit.h"
#include "ui/text_input.h"

int info_page = 0;

namespace {

enum : int { BOMB_MAX = 999 };

const char* const BOMB_LABELS[4] = {"Detonator Bombs", "Time Bombs", "EMP Bombs", "Mini Bombs"};

Label* field_label(const char* text) {
    Label* l = make_label("font2", text);
    l->styles[STYLE_BASE].margin_left = 10;
    return l;
}

// A text field that holds no more than its record field keeps, so what is
// shown is what is stored.
TextInput* text_field(const char* name, const std::string& text, size_t capacity, int multiline) {
    TextInput* t = make_text_field(name, text.c_str(), multiline, 0);
    t->max_len = int(capacity - 1);
    return t;
}

// Tab goes round the fields in order.
void tab_ring(const std::vector<Widget*>& fields) {
    for (size_t i = 0; i < fields.size(); ++i) fields[i]->next_focus = fields[(i + 1) % fields.size()];
}

// The text of the field `name` on the page, or false when the page has none.
bool field_value(Container& root, const char* name, std::string* out) {
    Widget* w = find(&root, name);
    if (!w) return false;
    const char* v = w->get_value_s();
    *out = v ? v : "";
    return true;
}

// A button placed with its outer corner on a canvas corner.
void corner_button(Container& root, const char* text, int value, bool right) {
    Box* b = make_button(text, value, 240, 0);
    b->measure();
    b->x = right ? 960 - b->w : 0;
    b->y = 720 - b->h;
    add(&root, b);
}

}  // namespace

int bomb_allowance(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int value = 0;
    for (; i < text.size() && isdigit(static_cast<unsigned char>(text[i])); ++i)
        if (value <= BOMB_MAX) value = value * 10 + (text[i] - '0');
    if (negative) return 0;
    return value > BOMB_MAX ? BOMB_MAX : value;
}

EditInfo::EditInfo(game* g) : Screen(g) {}

void EditInfo::enter() {
    clear(&root);
    edit_show_map(*g);
    if (info_page < 0 || info_page > 2) info_page = 0;
    const level& ed = g->edit_level;

    Table* t = new Table();
    std::vector<Widget*> fields;
    if (info_page == 0) {
        td_row(t, field_label("Title"));
        fields.push_back(text_field("title", field_text(ed.title), sizeof ed.title, 0));
        td_row(t, fields.back());
        td_row(t, field_label("Intro"));
        TextInput* intro = text_field("intro", field_text(ed.intro), sizeof ed.intro, 1);
        intro->styles[STYLE_BASE].height = 360;
        fields.push_back(intro);
        td_row(t, intro);
    } else if (info_page == 1) {
        for (int k = 0; k < 4; ++k) {
            char name[8], value[16];
            snprintf(name, sizeof name, "bomb%d", k + 1);
            snprintf(value, sizeof value, "%d", int(ed.inventory[ACTOR_DETONATOR + k]));
            TextInput* f = make_text_field(name, value, 0, 0);
            f->styles[STYLE_BASE].width = 120;
            fields.push_back(f);
            // The label sits in a box as high as the row, level with its field.
            Box* label = new Box(field_label(BOMB_LABELS[k]));
            label->styles[STYLE_BASE].align = -1;
            label->styles[STYLE_BASE].padding_right = 10;
            tr(t);
            td(t, label);
            td(t, f);
        }
    } else {
        const struct {
            const char* label;
            const char* name;
            std::string text;
        } rows[3] = {{"Map_ID", "name", field_text(ed.name)},
                     {"Music", "music", field_text(ed.music)},
                     {"Theme", "theme", field_text(ed.theme)}};
        for (const auto& r : rows) {
            td_row(t, field_label(r.label));
            fields.push_back(text_field(r.name, r.text, sizeof ed.name, 0));
            td_row(t, fields.back());
        }
    }
    tab_ring(fields);

    Box* page = new Box(t);
    page->styles[STYLE_BASE].width = 960;
    page->styles[STYLE_BASE].height = 620;
    add(&root, page);
    if (info_page > 0) corner_button(root, "Previous", PREVIOUS, false);
    corner_button(root, info_page == 0 ? "Next" : "Done", info_page == 0 ? NEXT : DONE, true);
    // Ready for typing: the first field has the focus (its text selected).
    fields.front()->focus();
}

void EditInfo::leave() {
    level& ed = g->edit_level;
    std::string v;
    if (field_value(root, "title", &v)) set_field(ed.title, v);
    if (field_value(root, "intro", &v)) set_field(ed.intro, v);
    for (int k = 0; k < 4; ++k) {
        const std::string name = "bomb" + std::to_string(k + 1);
        if (field_value(root, name.c_str(), &v)) ed.inventory[ACTOR_DETONATOR + k] = bomb_allowance(v);
    }
    if (field_value(root, "name", &v)) set_field(ed.name, v);
    if (field_value(root, "music", &v)) set_field(ed.music, v);
    if (field_value(root, "theme", &v)) set_field(ed.theme, v);
    ed.unbeaten = 1;
}

void EditInfo::paint() { paint_over_level(*g, root); }

void EditInfo::frame() { screen_tick(root); }

void EditInfo::event(Event e) {
    int answer = root.event(e);
    if (e.kind == EV_KEYDOWN) {
        if (e.key == uint32_t(KEY_ESCAPE)) answer = DONE;
        if (e.key == uint32_t(KEY_F1)) {
            info_page = 2;
            set_state(*g, STATE_EDIT_INFO);
            return;
        }
    }
    switch (answer) {
    case NEXT:
    case PREVIOUS:
        info_page += answer;
        set_state(*g, STATE_EDIT_INFO);
        break;
    case DONE:
        info_page = 0;
        set_state(*g, STATE_EDIT);
        break;
    default:
        break;
    }
}
