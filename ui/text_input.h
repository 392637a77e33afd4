// The text field: selection, caret, clipboard, undo/redo, password masking and
// multi-line wrapping, with its scroll kept on the caret.
#pragma once

#include <string>
#include <vector>

#include "ui/widget.h"

// One undoable edit: `removed` at `pos` was replaced by `inserted`.
struct TextEdit {
    int caret_before = 0;
    int pos = 0;
    std::string removed;
    std::string inserted;
};

enum : int { TEXT_HISTORY_MAX = 255 };

class TextInput : public Widget {
public:
    TextInput(int font, const char* text);
    ~TextInput() override;

    int font = 0;
    std::string value;
    std::string shown;            // value, or for a password one '*' per character but '\n'
    std::vector<TextEdit> history;
    int history_pos = 0;          // entries currently applied
    int anchor = 0;               // the selection runs from anchor to caret
    int caret = 0;
    int caret_w = 2;
    int goal_x = -1;              // x kept by up/down moves; -1 none
    int max_len = 255;
    int password = 0;
    int multiline = 0;

    const char* get_value_s() override { return value.c_str(); }
    // Replaces the whole text (an undoable edit).
    void set_value_s(const char* text) override;
    int event(const Event& ev) override;
    void paint_content() override;
    void measure_content() override;

    // The one edit behind typing, deleting, pasting and set_value_s: `len`
    // characters at `pos` become `text`, cut to max_len and filtered (a line
    // break becomes a space in a one-line field; anything else outside 32..126
    // becomes '?'). Negative pos or len does nothing.
    void replace_text(int pos, int len, const std::string& text);
    void undo();
    void redo();

    // Caret geometry of the shown text, in content coordinates before scrolling.
    Rect caret_rect(int index) const;
    // Index under a point of the shown text (content coordinates plus scroll).
    int index_at(float px, float py) const;
    // Wrap width: the content width less the caret for a multi-line field, 0 for
    // a one-line field (no wrapping).
    float wrap_width() const;
    // Keeps the scroll: optionally forgets goal_x, optionally scrolls the caret
    // into view, then clamps the scroll to the text.
    void keep_scroll(bool forget, bool show);

    // Recomputes `shown` from `value` and `password`.
    void update_shown();

private:
    void apply(const TextEdit& e, bool forward);
    void replace_selection(const std::string& text);
    void delete_selection();
    std::string selection() const;
    bool has_selection() const { return anchor != caret; }
    int length() const { return int(value.size()); }
    int clamp_index(int i) const;
};

// A "font2" field 720 wide with a box frame that lights up while focused.
TextInput* make_text_field(const char* name, const char* text, int multiline, int password);
