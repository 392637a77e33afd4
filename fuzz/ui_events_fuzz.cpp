// Random event sequences through a screen-like widget tree: text fields (one
// line, multi-line, password), sliders, a scroll box with its bar, a picker and
// a deep stack of clip boxes, with clipboard contents of any bytes and length,
// frames (layout, tick, paint) in between. After every step the widgets'
// contracts are checked: carets and selections inside the text, lengths within
// max_len, filtered text, bounded undo history, scroll offsets inside their
// limits, hover/focus pointers naming real children, and balanced clip and
// translation stacks.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/shell.h"
#include "tests/ui/test_gfx.h"
#include "ui/grid_picker.h"
#include "ui/scroll_box.h"
#include "ui/slider.h"
#include "ui/text_input.h"

namespace {

struct Reader {
    const uint8_t* p;
    size_t n;
    bool empty() const { return n == 0; }
    uint8_t byte() {
        if (!n) return 0;
        --n;
        return *p++;
    }
    uint16_t word() { return uint16_t(byte() | (byte() << 8)); }
    float raw_float() {
        uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits |= uint32_t(byte()) << (8 * i);
        float f;
        memcpy(&f, &bits, sizeof f);
        return f;
    }
    std::string bytes(size_t count) {
        count = count < n ? count : n;
        std::string s(reinterpret_cast<const char*>(p), count);
        p += count;
        n -= count;
        return s;
    }
};

struct Tree {
    Container root;
    std::vector<TextInput*> fields;
    std::vector<ScrollBox*> boxes;
    std::vector<Container*> containers;

    Tree() {
        TextInput* one = make_text_field("one", "start text", 0, 0);
        one->styles[STYLE_BASE].width = 200;
        TextInput* many = make_text_field("many", "line one\nline two", 1, 0);
        many->styles[STYLE_BASE].width = 150;
        many->styles[STYLE_BASE].height = 60;
        TextInput* secret = make_text_field("secret", "pw", 0, 1);
        one->next_focus = many;
        many->next_focus = secret;
        secret->next_focus = one;

        Table* top = new Table;
        tr(top);
        td(top, one);
        td(top, make_slider("live", 40, 1));
        tr(top);
        td(top, many);
        td(top, make_slider("late", 70, 0));
        tr(top);
        td(top, secret);
        GridPicker* picker = new GridPicker;
        for (int i = 0; i < 6; ++i) picker->add_entry("entry", i + 1, i == 3 ? 90 : 0);
        td(top, picker);
        add(&root, top);

        Table* list = new Table;
        for (int i = 0; i < 8; ++i) {
            tr(list);
            td(list, make_button("Row", 1000 + i, 180, 0));
            if (i == 3) {
                TextInput* inner = make_text_field("inner", "", 0, 0);
                inner->styles[STYLE_BASE].width = 100;
                td(list, inner);
                fields.push_back(inner);
            }
        }
        ScrollBox* box = new ScrollBox(list);
        box->styles[STYLE_BASE].width = 300;
        box->styles[STYLE_BASE].height = 200;
        ScrollBox2* pair = new ScrollBox2(box);
        pair->x = 0;
        pair->y = 400;
        add(&root, pair);
        boxes.push_back(box);

        Widget* deep = make_text_field("deep", "nested", 0, 0);
        for (int i = 0; i < 12; ++i) {
            Box* b = new Box(deep);
            b->styles[STYLE_BASE].clip = 1;
            b->styles[STYLE_BASE].width = 300 - i;
            b->styles[STYLE_BASE].height = 80;
            deep = b;
        }
        deep->x = 500;
        deep->y = 500;
        add(&root, deep);

        fields.push_back(one);
        fields.push_back(many);
        fields.push_back(secret);
        fields.push_back(static_cast<TextInput*>(root.find("deep")));
        collect(&root);
        for (int i = 0; i < 2; ++i) root.measure_content();
    }

    void collect(Container* c) {
        containers.push_back(c);
        for (Widget* w : c->children)
            if (Container* k = dynamic_cast<Container*>(w)) collect(k);
    }
};

void check_field(const TextInput* t) {
    const int len = int(t->value.size());
    if (t->caret < 0 || t->caret > len || t->anchor < 0 || t->anchor > len) abort();
    if (len > t->max_len) abort();
    if (t->shown.size() != t->value.size()) abort();
    if (t->history.size() > TEXT_HISTORY_MAX) abort();
    if (t->history_pos < 0 || t->history_pos > int(t->history.size())) abort();
    if (t->scroll_x < 0 || t->scroll_y < 0) abort();
    if (!t->multiline && t->value.find('\n') != std::string::npos) abort();
    for (const TextEdit& e : t->history)
        for (char c : e.inserted)
            if ((c < 32 || c > 126) && !(c == '\n' && t->multiline)) abort();
}

void check(Tree& tree) {
    for (const TextInput* t : tree.fields) check_field(t);
    for (const ScrollBox* b : tree.boxes) {
        const Widget* c = b->content();
        if (b->scroll_y < 0 || b->scroll_x < 0) abort();
        if (c && b->scroll_y > (c->h > b->content_h ? c->h - b->content_h : 0)) abort();
    }
    for (const Container* c : tree.containers) {
        for (const Widget* p : {c->hover_child, c->focus_child}) {
            if (!p) continue;
            bool found = false;
            for (const Widget* w : c->children) found |= w == p;
            if (!found) abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The process-local clipboard: no desktop tools are started.
    unsetenv("DISPLAY");
    uitest::install();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Each input starts from an empty draw log: the fake renderer records every
    // clip and call, and what one input left would pile up over a campaign.
    uitest::recorder() = uitest::Recorder();
    Tree tree;
    Reader in{data, size};
    int steps = 0;
    while (!in.empty() && steps++ < 200) {
        const uint8_t op = in.byte();
        Event ev{};
        switch (op % 12) {
        case 0:
        case 1:
        case 2: {   // pointer events on the canvas
            static const int kinds[] = {EV_MOUSEDOWN, EV_MOUSEMOVE, EV_MOUSEUP};
            ev.kind = kinds[op % 3];
            ev.x = float(in.word() % 1000) - 20;
            ev.y = float(in.word() % 760) - 20;
            ev.dx = float(int8_t(in.byte()));
            ev.dy = float(int8_t(in.byte()));
            ev.button = in.byte() % 4;
            tree.root.event(ev);
            break;
        }
        case 3:   // wheel
            ev.kind = EV_WHEEL;
            ev.x = float(in.word() % 1000);
            ev.y = float(in.word() % 760);
            ev.dy = (in.byte() & 1) ? 1.0f : -1.0f;
            tree.root.event(ev);
            break;
        case 4:
        case 5:   // keys, with any character and modifiers
            ev.kind = EV_KEYDOWN;
            ev.key = in.byte() % 64;
            ev.unicode = in.word();
            ev.button = in.byte() % 16;
            tree.root.event(ev);
            break;
        case 6: {   // arbitrary bits, NaN and infinities included
            ev.kind = int32_t(in.byte() % 20);
            ev.x = in.raw_float();
            ev.y = in.raw_float();
            ev.dx = in.raw_float();
            ev.dy = in.raw_float();
            ev.button = in.byte();
            ev.key = in.byte();
            ev.unicode = in.word();
            tree.root.event(ev);
            break;
        }
        case 7:   // clipboard contents of any bytes and length
            clipboard_set(in.bytes(in.word() % 2048));
            break;
        case 8:   // a frame
            tree.root.measure_content();
            tree.root.tick();
            tree.root.paint_content();
            if (uitest::recorder().clip_depth != 0) abort();
            if (uitest::recorder().tx != 0 || uitest::recorder().ty != 0) abort();
            uitest::recorder().calls.clear();
            uitest::recorder().clips.clear();
            break;
        case 9: {   // a screen sets a field's text
            TextInput* t = tree.fields[in.byte() % tree.fields.size()];
            t->set_value_s(in.bytes(in.byte()).c_str());
            break;
        }
        case 10: {   // undo / redo straight on a field
            TextInput* t = tree.fields[in.byte() % tree.fields.size()];
            if (in.byte() & 1)
                t->undo();
            else
                t->redo();
            break;
        }
        default:   // focus moved by a screen
            tree.fields[in.byte() % tree.fields.size()]->focus();
            break;
        }
        check(tree);
    }
    return 0;
}
