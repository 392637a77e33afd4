#include "ui/text_input.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/canvas.h"
#include "platform/shell.h"
#include "ui/widget_gfx.h"

namespace {

// The field whose rectangle the canvas currently keeps in view, so a field that
// dies while focused does not leave the canvas lifted.
const TextInput* focus_rect_owner = nullptr;

void set_focus_rect(const TextInput* owner, const Rect& r) {
    Canvas& c = canvas();
    c.focus_x = r.x;
    c.focus_y = r.y;
    c.focus_w = r.w;
    c.focus_h = r.h;
    focus_rect_owner = owner;
}

void clear_focus_rect() { set_focus_rect(nullptr, Rect{}); }

}  // namespace

TextInput::TextInput(int f, const char* text) : font(f), value(text ? text : "") {
    max_len = std::max(int(value.size()), int(TEXT_HISTORY_MAX));
    update_shown();
    style_resolve(this);
    measure_content();
    keep_scroll(false, false);
}

TextInput::~TextInput() {
    if (focus_rect_owner == this) clear_focus_rect();
}

void TextInput::update_shown() {
    shown = value;
    // Line breaks stay, so a multi-line password keeps its lines.
    if (password)
        for (char& c : shown)
            if (c != '\n') c = '*';
}

int TextInput::clamp_index(int i) const { return std::clamp(i, 0, length()); }

void TextInput::set_value_s(const char* text) { replace_text(0, length(), text ? text : ""); }

void TextInput::apply(const TextEdit& e, bool forward) {
    const std::string& out = forward ? e.removed : e.inserted;
    const std::string& in = forward ? e.inserted : e.removed;
    if (e.pos < 0 || size_t(e.pos) > value.size()) return;
    value.replace(size_t(e.pos), out.size(), in);
    update_shown();
}

void TextInput::replace_text(int pos, int len, const std::string& text) {
    if (pos < 0 || len < 0) return;
    const int n = length();
    pos = std::min(pos, n);
    len = std::min(len, n - pos);
    const int kept = n - len;
    if (kept > max_len) return;
    const size_t room = size_t(max_len - kept);

    TextEdit e;
    e.caret_before = caret;
    e.pos = pos;
    e.removed = value.substr(size_t(pos), size_t(len));
    e.inserted = text.substr(0, std::min(room, text.size()));
    for (char& ch : e.inserted) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '\n')
            ch = multiline ? '\n' : ' ';
        else if (c < 32 || c > 126)
            ch = '?';
    }

    const int after = pos + int(e.inserted.size());
    // An edit that changes nothing (typing into a full field) only moves the
    // caret; it is not worth an undo step that would push a real one out.
    if (e.removed.empty() && e.inserted.empty()) {
        anchor = caret = after;
        return;
    }
    apply(e, true);
    anchor = caret = after;
    history.erase(history.begin() + history_pos, history.end());
    history.push_back(std::move(e));
    history_pos += 1;
    if (history_pos > TEXT_HISTORY_MAX) {
        history.erase(history.begin());
        history_pos -= 1;
    }
}

void TextInput::undo() {
    if (history_pos <= 0) return;
    history_pos -= 1;
    const TextEdit& e = history[size_t(history_pos)];
    apply(e, false);
    anchor = caret = clamp_index(e.caret_before);
}

void TextInput::redo() {
    if (history_pos >= int(history.size())) return;
    const TextEdit& e = history[size_t(history_pos)];
    apply(e, true);
    history_pos += 1;
    anchor = caret = clamp_index(e.pos + int(e.inserted.size()));
}

std::string TextInput::selection() const {
    const int a = std::min(clamp_index(anchor), clamp_index(caret));
    const int b = std::max(clamp_index(anchor), clamp_index(caret));
    return value.substr(size_t(a), size_t(b - a));
}

void TextInput::replace_selection(const std::string& text) {
    const int a = std::min(clamp_index(anchor), clamp_index(caret));
    const int b = std::max(clamp_index(anchor), clamp_index(caret));
    replace_text(a, b - a, text);
}

void TextInput::delete_selection() { replace_selection(std::string()); }

float TextInput::wrap_width() const {
    return multiline ? float(std::max(1, content_w - caret_w)) : 0.0f;
}

Rect TextInput::caret_rect(int index) const {
    return widget_gfx().text_caret_rect(font, shown.c_str(), index, wrap_width());
}

int TextInput::index_at(float px, float py) const {
    // Pointer positions from a broken event (NaN, huge) become plain numbers.
    px = float(event_int(px));
    py = float(event_int(py));
    return clamp_index(widget_gfx().text_hit(font, shown.c_str(), px, py, wrap_width()));
}

void TextInput::keep_scroll(bool forget, bool show) {
    WidgetGfx& gfx = widget_gfx();
    if (forget) goal_x = -1;
    if (show) {
        // The caret as drawn: caret_w wide, one line high.
        const Rect r = caret_rect(clamp_index(caret));
        const int left = int(r.x), top = int(r.y);
        const int right = left + caret_w, bottom = top + int(r.h);
        if (scroll_x < right - content_w) scroll_x = right - content_w;
        if (scroll_x > left) scroll_x = left;
        if (scroll_y < bottom - content_h) scroll_y = bottom - content_h;
        if (scroll_y > top) scroll_y = top;
    }
    const int max_x = int(gfx.text_width(font, shown.c_str())) + caret_w - content_w;
    const int max_y = int(gfx.text_height(font, shown.c_str(), wrap_width())) - content_h;
    scroll_x = std::max(0, std::min(scroll_x, max_x));
    scroll_y = std::max(0, std::min(scroll_y, max_y));
}

int TextInput::event(const Event& ev) {
    if (int answer = Widget::event(ev)) return answer;
    WidgetGfx& gfx = widget_gfx();
    switch (ev.kind) {
    case EV_MOUSEDOWN:
        fprintf(stderr, "evt_down\n");
        caret = anchor = index_at(ev.x + float(scroll_x), ev.y + float(scroll_y));
        keep_scroll(true, true);
        return 0;
    case EV_MOUSEMOVE:
        if (!focused || !ev.button) return 0;
        [[fallthrough]];
    case EV_MOUSEUP:
        caret = index_at(ev.x + float(scroll_x), ev.y + float(scroll_y));
        keep_scroll(true, true);
        return 0;
    case EV_WHEEL:
        scroll_y = event_int(double(scroll_y) + double(gfx.line_height(font)) * ev.dy);
        keep_scroll(false, false);
        return 0;
    case EV_FOCUS:
        fprintf(stderr, "evt_focus\n");
        if (!multiline) {
            anchor = 0;
            caret = length();
        }
        keep_scroll(false, ev.key != 6);
        return 0;
    case EV_BLUR:
        clear_focus_rect();
        if (!multiline) scroll_x = scroll_y = 0;
        keep_scroll(false, false);
        return 0;
    case EV_CLICK:
        set_focus_rect(this, screen_rect(this));
        return 0;
    case EV_KEYDOWN:
        break;
    default:
        return 0;
    }

    const bool shift = (ev.button & MOD_SHIFT) != 0;
    const bool command = (ev.button & (MOD_CTRL | MOD_ALT | MOD_META)) != 0;
    const float line = gfx.line_height(font);
    caret = clamp_index(caret);
    anchor = clamp_index(anchor);
    switch (int(ev.key)) {
    case KEY_LEFT:
    case KEY_RIGHT:
        caret = clamp_index(caret + (ev.key == uint32_t(KEY_LEFT) ? -1 : 1));
        if (!shift) anchor = caret;
        break;
    case KEY_UP:
    case KEY_DOWN: {
        const Rect r = caret_rect(caret);
        if (goal_x == -1) goal_x = int(r.x + r.w / 2);
        const float y = ev.key == uint32_t(KEY_UP) ? r.y - line / 2 : r.y + line * 1.5f;
        caret = index_at(float(goal_x), y);
        if (!shift) anchor = caret;
        keep_scroll(false, true);
        return 0;
    }
    case KEY_HOME:
    case KEY_END: {
        const Rect r = caret_rect(caret);
        float x = 0;
        if (ev.key == uint32_t(KEY_END))
            x = multiline ? wrap_width() : gfx.text_width(font, shown.c_str());
        caret = index_at(x, r.y + line / 2);
        if (!shift) anchor = caret;
        break;
    }
    case KEY_BACKSPACE:
        if (has_selection())
            delete_selection();
        else if (caret > 0)
            replace_text(caret - 1, 1, std::string());
        break;
    case KEY_DELETE:
        if (has_selection())
            delete_selection();
        else if (caret < length())
            replace_text(caret, 1, std::string());
        break;
    case KEY_ENTER:
        if (!multiline) {
            keep_scroll(true, true);
            return change_value;
        }
        replace_selection("\n");
        break;
    case KEY_TAB:
        return 0;
    default:
        if (command && ev.key == uint32_t(KEY_Z)) {
            if (shift)
                redo();
            else
                undo();
        } else if (command && ev.key == uint32_t(KEY_C)) {
            if (!password) clipboard_set(selection());
            return 0;
        } else if (command && ev.key == uint32_t(KEY_X)) {
            if (!password) clipboard_set(selection());
            delete_selection();
        } else if (command && ev.key == uint32_t(KEY_V)) {
            replace_selection(clipboard_get());
        } else if (ev.unicode == '\n' || (ev.unicode >= 32 && ev.unicode <= 126)) {
            replace_selection(std::string(1, char(ev.unicode)));
        } else {
            return 0;
        }
        break;
    }
    keep_scroll(true, true);
    return 0;
}

void TextInput::measure_content() {
    WidgetGfx& gfx = widget_gfx();
    const Style& s = styles[STYLE_CURRENT];
    // A multi-line field wraps at the width it had before.
    if (s.height != STYLE_UNSET)
        content_h = s.height;
    else if (shown.empty())
        content_h = int(gfx.line_height(font));
    else
        content_h = int(gfx.text_height(font, shown.c_str(), wrap_width()));
    if (s.width != STYLE_UNSET)
        content_w = s.width;
    else
        content_w = std::max(int(gfx.text_width(font, shown.c_str())), content_h);
}

void TextInput::paint_content() {
    WidgetGfx& gfx = widget_gfx();
    update_shown();
    gfx.clip_push(content_w, content_h);
    gfx.translate2d(-scroll_x, -scroll_y);
    const float wrapw = wrap_width();
    if (focused) {
        const int a = std::min(clamp_index(anchor), clamp_index(caret));
        const int b = std::max(clamp_index(anchor), clamp_index(caret));
        if (a != b) {
            const Rect ra = caret_rect(a), rb = caret_rect(b);
            const int line = int(ra.h);
            const int right = multiline ? int(wrapw) : int(gfx.text_width(font, shown.c_str()));
            if (int(ra.y) == int(rb.y)) {
                gfx.rect_fill(0x55AAFF, int(ra.x), int(ra.y), int(rb.x - ra.x), line);
            } else {
                gfx.rect_fill(0x55AAFF, int(ra.x), int(ra.y), right - int(ra.x), line);
                gfx.rect_fill(0x55AAFF, 0, int(ra.y) + line, right,
                              int(rb.y) - int(ra.y) - line);
                gfx.rect_fill(0x55AAFF, 0, int(rb.y), int(rb.x), line);
            }
        }
    }
    gfx.text_draw(font, shown.c_str(), 0, 0, wrapw, -1);
    if (focused) {
        const Rect r = caret_rect(clamp_index(caret));
        gfx.rect_fill(0xFFFFFF, int(r.x), int(r.y), caret_w, int(r.h));
    }
    gfx.translate2d(scroll_x, scroll_y);
    gfx.clip_pop();
}

TextInput* make_text_field(const char* name, const char* text, int multiline, int password) {
    WidgetGfx& gfx = widget_gfx();
    TextInput* t = new TextInput(gfx.font_get("font2"), text);
    Style& s = t->styles[STYLE_BASE];
    s.width = 720;
    set_paddings(s, 10);
    set_margins(s, 10);
    s.box = gfx.image_get("box");
    s.box_corner = 20;
    s.box_color = 0x888888;
    t->styles[STYLE_FOCUS].box_color = 0xFFFFFF;
    t->styles[STYLE_FOCUS_HOVER].box_color = 0xFFFFFF;
    t->name = name ? name : "";
    t->multiline = multiline;
    t->password = password;
    t->update_shown();
    style_resolve(t);
    t->measure_content();
    return t;
}
