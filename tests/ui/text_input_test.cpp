// The text field: editing through Replace, filtering and cutting, undo/redo,
// the clipboard, password masking, caret moves, wrapping, scroll keeping and the
// canvas focus rectangle.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "platform/canvas.h"
#include "platform/shell.h"
#include "test_gfx.h"
#include "test_support.h"
#include "ui/text_input.h"

using namespace uitest;

namespace {

constexpr uint32_t CTRL = MOD_CTRL;

struct TextField : ::testing::Test {
    FakeGfx fake;
    // The process-local clipboard, never the desktop's.
    test::ScopedEnv no_display{"DISPLAY", nullptr};
    Container root;

    TextInput* field(const char* text, int multiline = 0, int password = 0, int width = 720) {
        TextInput* t = make_text_field("f", text, multiline, password);
        t->styles[STYLE_BASE].width = width;
        add(&root, t);
        root.measure_content();
        root.measure_content();
        return t;
    }
    // Focus by Tab-like means (no press), then put the caret at the end.
    void focus_at_end(TextInput* t) {
        t->focus();
        t->event(key(KEY_END));
    }
    void type(TextInput* t, const std::string& s) {
        for (char c : s) t->event(typed(c));
    }
};

TEST_F(TextField, FullOneLineFieldRefusesTyping) {
    TextInput* t = field(std::string(255, 'x').c_str());
    EXPECT_EQ(t->max_len, 255);
    focus_at_end(t);
    const size_t history = t->history.size();
    type(t, "abc");
    EXPECT_EQ(t->value, std::string(255, 'x'));
    EXPECT_EQ(t->history.size(), history);
    EXPECT_EQ(t->caret, 255);
    // Over a selection the typed character replaces it.
    t->event(key(KEY_LEFT, 0, MOD_SHIFT));
    t->event(typed('y'));
    EXPECT_EQ(t->value, std::string(254, 'x') + "y");
}

TEST_F(TextField, PasteIsCutToTheRoomLeft) {
    TextInput* t = field(std::string(252, 'x').c_str());
    focus_at_end(t);
    clipboard_set("0123456789");
    t->event(key(KEY_V, 'v', CTRL));
    EXPECT_EQ(t->value, std::string(252, 'x') + "012");
    EXPECT_EQ(t->caret, 255);
    EXPECT_EQ(t->anchor, 255);
    // A huge clipboard is cut the same way.
    t->set_value_s("");
    clipboard_set(std::string(1 << 20, 'z'));
    t->event(key(KEY_V, 'v', CTRL));
    EXPECT_EQ(t->value, std::string(255, 'z'));
}

TEST_F(TextField, PastedTextIsFiltered) {
    struct Case { std::string in; int multiline; std::string out; } cases[] = {
        {"a\nb", 0, "a b"},
        {"a\nb", 1, "a\nb"},
        {"a\tb", 0, "a?b"},
        {"a\r\nb", 0, "a? b"},
        {"a\r\nb", 1, "a?\nb"},
        {std::string("a\0b", 3), 0, "a"},   // clipboard text ends at a NUL
        {"\x7f\x80\xff~ ", 0, "???~ "},
        {"\x1b[31m", 1, "?[31m"},
    };
    for (const Case& c : cases) {
        TextInput* t = field("", c.multiline);
        t->focus();
        clipboard_set(c.in);
        t->event(key(KEY_V, 'v', CTRL));
        EXPECT_EQ(t->value, c.out) << "multiline " << c.multiline;
        remove(&root, t);
    }
}

TEST_F(TextField, KeyboardCharactersOfAnyValue) {
    TextInput* t = field("", 0);
    t->focus();
    for (uint32_t u = 0; u < 0x10000; u += 7) t->event(key(0, u));
    EXPECT_LE(t->value.size(), 255u);
    for (char c : t->value) {
        EXPECT_GE(c, 32);
        EXPECT_LE(c, 126);
    }
    TextInput* m = field("", 1);
    m->focus();
    m->event(key(0, '\n'));
    m->event(key(0, '\r'));
    m->event(key(0, 9));
    m->event(key(0, 200));
    EXPECT_EQ(m->value, "\n");
}

TEST_F(TextField, UndoRemovesTheLastCharacterFirst) {
    TextInput* t = field("");
    t->focus();
    type(t, "ab");
    EXPECT_EQ(t->value, "ab");
    t->event(key(KEY_Z, 'z', CTRL));
    EXPECT_EQ(t->value, "a");
    EXPECT_EQ(t->caret, 1);
    t->event(key(KEY_Z, 'z', CTRL));
    EXPECT_EQ(t->value, "");
    t->event(key(KEY_Z, 'z', CTRL));   // nothing more to undo
    EXPECT_EQ(t->value, "");
    t->event(key(KEY_Z, 'Z', CTRL | MOD_SHIFT));
    EXPECT_EQ(t->value, "a");
    EXPECT_EQ(t->caret, 1);
    // A new edit drops what could have been redone.
    type(t, "c");
    t->event(key(KEY_Z, 'Z', CTRL | MOD_SHIFT));
    EXPECT_EQ(t->value, "ac");
    // Without a command key Z is just a letter.
    t->event(key(KEY_Z, 'z'));
    EXPECT_EQ(t->value, "acz");
}

TEST_F(TextField, UndoRestoresReplacedSelectionAndCaret) {
    TextInput* t = field("hello world");
    t->focus();   // selects all
    type(t, "X");
    EXPECT_EQ(t->value, "X");
    t->event(key(KEY_Z, 'z', CTRL));
    EXPECT_EQ(t->value, "hello world");
    EXPECT_EQ(t->caret, 11);   // the caret before the edit
    t->event(key(KEY_Z, 'z', CTRL | MOD_SHIFT));
    EXPECT_EQ(t->value, "X");
    EXPECT_EQ(t->caret, 1);
}

TEST_F(TextField, TheLast255EditsStayUndoable) {
    TextInput* t = field("");
    for (int i = 0; i < 256; ++i) t->set_value_s(("v" + std::to_string(i)).c_str());
    EXPECT_EQ(t->history.size(), 255u);
    EXPECT_EQ(t->history_pos, 255);
    for (int i = 0; i < 300; ++i) t->undo();
    EXPECT_EQ(t->value, "v0");
    EXPECT_EQ(t->history_pos, 0);
    for (int i = 0; i < 300; ++i) t->redo();
    EXPECT_EQ(t->value, "v255");
}

TEST_F(TextField, PasswordShowsStarsAndCopiesNothing) {
    TextInput* t = field("secret", 0, 1);
    EXPECT_EQ(t->shown, "******");
    t->focus();
    clipboard_set("before");
    t->event(key(KEY_C, 'c', CTRL));
    EXPECT_EQ(clipboard_get(), "before");
    t->event(key(KEY_X, 'x', CTRL));
    EXPECT_EQ(clipboard_get(), "before");
    EXPECT_EQ(t->value, "");
    EXPECT_EQ(t->shown, "");
    t->event(key(KEY_V, 'v', CTRL));
    EXPECT_EQ(t->value, "before");
    EXPECT_EQ(t->shown, "******");
    t->paint();
    const std::vector<Call> texts = fake.rec().of("text");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "******");
}

TEST_F(TextField, AMultiLinePasswordKeepsItsLines) {
    TextInput* t = field("ab\ncd", 1, 1, 300);
    EXPECT_EQ(t->shown, "**\n**");
    EXPECT_EQ(t->content_h, 40);
    EXPECT_EQ(t->caret_rect(4).y, 20);   // the caret follows the second line
    t->focus();
    t->event(key(KEY_DOWN));
    t->event(key(KEY_END));
    t->event(key(KEY_ENTER));
    type(t, "e");
    EXPECT_EQ(t->value, "ab\ncd\ne");
    EXPECT_EQ(t->shown, "**\n**\n*");
    root.measure_content();
    EXPECT_EQ(t->content_h, 60);
}

TEST_F(TextField, CopyAndCutUseTheClipboard) {
    TextInput* t = field("hello world");
    t->focus();
    t->event(key(KEY_HOME));
    for (int i = 0; i < 5; ++i) t->event(key(KEY_RIGHT, 0, MOD_SHIFT));
    t->event(key(KEY_C, 'c', MOD_META));
    EXPECT_EQ(clipboard_get(), "hello");
    EXPECT_EQ(t->value, "hello world");
    t->event(key(KEY_X, 'x', MOD_ALT));
    EXPECT_EQ(clipboard_get(), "hello");
    EXPECT_EQ(t->value, " world");
    t->event(key(KEY_END));
    t->event(key(KEY_V, 'v', CTRL));
    EXPECT_EQ(t->value, " worldhello");
}

TEST_F(TextField, CaretKeysAndDeletion) {
    TextInput* t = field("abcdef");
    t->focus();
    struct Step { Event ev; const char* value; int caret, anchor; } steps[] = {
        {key(KEY_HOME), "abcdef", 0, 0},
        {key(KEY_LEFT), "abcdef", 0, 0},
        {key(KEY_RIGHT), "abcdef", 1, 1},
        {key(KEY_RIGHT, 0, MOD_SHIFT), "abcdef", 2, 1},
        {key(KEY_RIGHT, 0, MOD_SHIFT), "abcdef", 3, 1},
        {key(KEY_BACKSPACE), "adef", 1, 1},
        {key(KEY_BACKSPACE), "def", 0, 0},
        {key(KEY_BACKSPACE), "def", 0, 0},
        {key(KEY_DELETE), "ef", 0, 0},
        {key(KEY_END), "ef", 2, 2},
        {key(KEY_DELETE), "ef", 2, 2},
        {key(KEY_RIGHT), "ef", 2, 2},
        {key(KEY_HOME, 0, MOD_SHIFT), "ef", 0, 2},
        {key(KEY_DELETE), "", 0, 0},
    };
    for (const Step& s : steps) {
        t->event(s.ev);
        EXPECT_EQ(t->value, s.value) << "after key " << s.ev.key;
        EXPECT_EQ(t->caret, s.caret) << "after key " << s.ev.key;
        EXPECT_EQ(t->anchor, s.anchor) << "after key " << s.ev.key;
    }
}

TEST_F(TextField, EnterSubmitsOneLineAndBreaksMultiLine) {
    TextInput* one = field("x");
    one->change_value = 12;
    one->focus();
    EXPECT_EQ(one->event(key(KEY_ENTER, '\r')), 12);
    EXPECT_EQ(one->value, "x");
    TextInput* many = field("x", 1);
    many->change_value = 12;
    many->focus();
    many->event(key(KEY_END));
    EXPECT_EQ(many->event(key(KEY_ENTER, '\r')), 0);
    EXPECT_EQ(many->value, "x\n");
    EXPECT_EQ(many->event(key(KEY_TAB, 9)), 0);
    EXPECT_EQ(many->value, "x\n");
}

// Tab into a field selects its text; a press places the caret under the pointer.
TEST_F(TextField, TabSelectsAllAndAClickPlacesTheCaret) {
    TextInput* a = field("hello");
    TextInput* b = field("world");
    b->y = 100;
    a->next_focus = b;
    root.measure_content();
    // a's content starts 20 in (margin 10 + padding 10): x 21 is nearest index 2.
    testing::internal::CaptureStderr();
    root.event(mouse(EV_MOUSEDOWN, 20 + 21, 30, 1));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "evt_focus\nevt_down\n");
    EXPECT_EQ(a->caret, 2);
    EXPECT_EQ(a->anchor, 2);
    root.event(mouse(EV_MOUSEUP, 20 + 21, 30, 1));
    EXPECT_EQ(a->caret, 2);
    root.event(key(KEY_TAB, 9));
    EXPECT_FALSE(a->focused);
    EXPECT_TRUE(b->focused);
    EXPECT_EQ(b->anchor, 0);
    EXPECT_EQ(b->caret, 5);
    // Typing now replaces all of b.
    root.event(typed('Q'));
    EXPECT_EQ(b->value, "Q");
    EXPECT_EQ(a->value, "hello");
}

TEST_F(TextField, DragSelects) {
    TextInput* t = field("hello world");
    root.event(mouse(EV_MOUSEDOWN, 20 + 1, 30, 1));
    root.event(drag(20 + 41, 30, 40, 0));
    EXPECT_EQ(t->anchor, 0);
    EXPECT_EQ(t->caret, 4);
    root.event(mouse(EV_MOUSEUP, 20 + 51, 30, 1));
    EXPECT_EQ(t->caret, 5);
    EXPECT_EQ(t->anchor, 0);
    // Motion without a button does not move the caret.
    root.event(mouse(EV_MOUSEMOVE, 20 + 81, 30, 0));
    EXPECT_EQ(t->caret, 5);
}

// "aaaa bbbb cccc dddd" at a wrap width of 100: "aaaa bbbb" (the break at the
// space, index 9) and "cccc dddd" from index 10.
TEST_F(TextField, MultiLineWrapsAndMovesBetweenLines) {
    TextInput* t = field("aaaa bbbb cccc dddd", 1, 0, 102);
    EXPECT_FLOAT_EQ(t->wrap_width(), 100);
    EXPECT_EQ(t->content_h, 40);
    t->focus();
    t->caret = t->anchor = 12;
    const Rect r = t->caret_rect(12);
    EXPECT_FLOAT_EQ(r.x, 20);
    EXPECT_FLOAT_EQ(r.y, 20);
    t->event(key(KEY_UP));
    EXPECT_EQ(t->caret, 2);
    EXPECT_EQ(t->goal_x, 25);
    t->event(key(KEY_DOWN));
    EXPECT_EQ(t->caret, 12);
    EXPECT_EQ(t->goal_x, 25);   // kept across vertical moves
    t->event(key(KEY_UP, 0, MOD_SHIFT));
    EXPECT_EQ(t->caret, 2);
    EXPECT_EQ(t->anchor, 12);
    t->event(key(KEY_RIGHT));
    EXPECT_EQ(t->goal_x, -1);   // forgotten by a horizontal move
    t->event(key(KEY_END));
    EXPECT_EQ(t->caret, 9);
    t->event(key(KEY_DOWN));
    t->event(key(KEY_HOME));
    EXPECT_EQ(t->caret, 10);
    t->event(key(KEY_END));
    EXPECT_EQ(t->caret, 19);
    t->event(key(KEY_DOWN));    // no line below: stays on the last
    EXPECT_EQ(t->caret, 19);
}

TEST_F(TextField, OneLineScrollFollowsTheCaret) {
    TextInput* t = field("", 0, 0, 100);
    t->focus();
    type(t, std::string(30, 'x'));   // 300 wide
    EXPECT_EQ(t->scroll_x, 300 + 2 - 100);
    t->event(key(KEY_HOME));
    EXPECT_EQ(t->scroll_x, 0);
    for (int i = 0; i < 12; ++i) t->event(key(KEY_RIGHT));
    EXPECT_EQ(t->scroll_x, 120 + 2 - 100);
    t->event(key(KEY_END));
    EXPECT_EQ(t->scroll_x, 202);
    // The scroll shifts what is drawn, inside a clip of the content size.
    fake.rec().calls.clear();
    t->paint_content();
    const std::vector<Call> texts = fake.rec().of("text");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].tx, -202);
    EXPECT_EQ(texts[0].clip_depth, 1);
    EXPECT_EQ(fake.rec().clip_depth, 0);
    EXPECT_EQ(fake.rec().tx, 0);
    // Losing focus scrolls back.
    Event blur{};
    blur.kind = EV_BLUR;
    t->event(blur);
    EXPECT_EQ(t->scroll_x, 0);
}

TEST_F(TextField, MultiLineScrollAndWheel) {
    TextInput* t = field("", 1, 0, 102);
    t->styles[STYLE_BASE].height = 40;
    root.measure_content();
    t->focus();
    type(t, "aaaa\nbbbb\ncccc\ndddd\neeee");   // 5 lines, 100 high
    EXPECT_EQ(t->scroll_y, 60);
    EXPECT_EQ(t->scroll_x, 0);
    t->event(wheel(0, 0, -1));
    EXPECT_EQ(t->scroll_y, 40);
    t->event(wheel(0, 0, -1));
    t->event(wheel(0, 0, -1));
    t->event(wheel(0, 0, -1));
    EXPECT_EQ(t->scroll_y, 0);
    t->event(wheel(0, 0, 9));
    EXPECT_EQ(t->scroll_y, 60);
    // A multi-line field keeps its scroll when it loses focus.
    Event blur{};
    blur.kind = EV_BLUR;
    t->event(blur);
    EXPECT_EQ(t->scroll_y, 60);
}

TEST_F(TextField, SelectionAndCaretArePainted) {
    TextInput* t = field("aaaa bbbb cccc dddd eeee", 1, 0, 102);
    t->focus();
    t->anchor = 2;
    t->caret = 22;   // from line 0 to line 2
    fake.rec().calls.clear();
    t->paint_content();
    const std::vector<Call> fills = fake.rec().of("fill");
    ASSERT_EQ(fills.size(), 4u);
    struct Expect { int color; float x, y, w, h; } expect[] = {
        {0x55AAFF, 20, 0, 80, 20},    // from the start to the wrap width
        {0x55AAFF, 0, 20, 100, 20},   // the full line between
        {0x55AAFF, 0, 40, 20, 20},    // from 0 to the end
        {0xFFFFFF, 20, 40, 2, 20},    // the caret
    };
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(fills[i].id, expect[i].color) << i;
        EXPECT_FLOAT_EQ(fills[i].x, expect[i].x) << i;
        EXPECT_FLOAT_EQ(fills[i].y, expect[i].y) << i;
        EXPECT_FLOAT_EQ(fills[i].w, expect[i].w) << i;
        EXPECT_FLOAT_EQ(fills[i].h, expect[i].h) << i;
    }
    // One line: one rectangle.
    t->anchor = 1;
    t->caret = 3;
    fake.rec().calls.clear();
    t->paint_content();
    ASSERT_EQ(fake.rec().of("fill").size(), 2u);
    EXPECT_FLOAT_EQ(fake.rec().of("fill")[0].x, 10);
    EXPECT_FLOAT_EQ(fake.rec().of("fill")[0].w, 20);
    // Without focus only the text.
    Event blur{};
    blur.kind = EV_BLUR;
    t->event(blur);
    fake.rec().calls.clear();
    t->paint_content();
    EXPECT_TRUE(fake.rec().of("fill").empty());
    EXPECT_EQ(fake.rec().of("text").size(), 1u);
}

TEST_F(TextField, ClickSetsTheCanvasFocusRectangleAndBlurClearsIt) {
    TextInput* t = field("hello");
    t->x = 50;
    t->y = 600;
    root.measure_content();
    root.event(mouse(EV_MOUSEDOWN, 60, 620, 1));
    root.event(mouse(EV_MOUSEUP, 60, 620, 1));
    const Rect r = screen_rect(t);
    EXPECT_FLOAT_EQ(canvas().focus_x, r.x);
    EXPECT_FLOAT_EQ(canvas().focus_y, 600);
    EXPECT_FLOAT_EQ(canvas().focus_w, float(t->w));
    EXPECT_FLOAT_EQ(canvas().focus_h, float(t->h));
    root.event(mouse(EV_MOUSEDOWN, 5, 5, 1));   // press elsewhere blurs
    EXPECT_FLOAT_EQ(canvas().focus_h, 0);
    // A field deleted while it holds the rectangle clears it too.
    root.event(mouse(EV_MOUSEDOWN, 60, 620, 1));
    root.event(mouse(EV_MOUSEUP, 60, 620, 1));
    ASSERT_NE(canvas().focus_h, 0);
    clear(&root);
    EXPECT_FLOAT_EQ(canvas().focus_h, 0);
}

TEST_F(TextField, ValueOperationsAndLongInitialText) {
    TextInput* t = field("abc");
    EXPECT_STREQ(t->get_value_s(), "abc");
    t->set_value_s(std::string(300, 'q').c_str());
    EXPECT_EQ(t->value.size(), 255u);
    t->undo();
    EXPECT_EQ(t->value, "abc");
    t->set_value_s(nullptr);
    EXPECT_EQ(t->value, "");
    TextInput* longer = field(std::string(400, 'L').c_str());
    EXPECT_EQ(longer->max_len, 400);
    longer->focus();
    longer->event(key(KEY_END));
    longer->event(typed('x'));
    EXPECT_EQ(longer->value.size(), 400u);
}

TEST_F(TextField, ReplaceRejectsNegativeAndCutsPastTheEnd) {
    TextInput* t = field("abc");
    t->replace_text(-1, 0, "x");
    t->replace_text(0, -1, "x");
    EXPECT_EQ(t->value, "abc");
    t->replace_text(1, 100, "Z");
    EXPECT_EQ(t->value, "aZ");
    t->replace_text(50, 0, "!");
    EXPECT_EQ(t->value, "aZ!");
    t->replace_text(0, 0, std::string("\0\n", 2));
    EXPECT_EQ(t->value, "? aZ!");
    t->caret = 999;   // a caret out of range is brought back before use
    t->anchor = -5;
    t->event(typed('k'));
    EXPECT_EQ(t->value, "k");
}

// Wheel and pointer numbers from a broken event: NaN, infinities, huge values.
TEST_F(TextField, GarbageNumbersKeepTheScrollInRange) {
    TextInput* t = field("aaaa\nbbbb\ncccc", 1, 0, 102);
    t->styles[STYLE_BASE].height = 20;
    root.measure_content();
    t->focus();
    const float bad[] = {NAN, INFINITY, -INFINITY, 3e38f, -3e38f, 1e9f};
    for (float v : bad) {
        t->event(wheel(0, 0, v));
        EXPECT_GE(t->scroll_y, 0);
        EXPECT_LE(t->scroll_y, 40);
        t->event(mouse(EV_MOUSEDOWN, v, v, 1));
        t->event(drag(v, -v, v, v));
        EXPECT_GE(t->caret, 0);
        EXPECT_LE(t->caret, int(t->value.size()));
    }
}

TEST_F(TextField, MeasuresFromItsText) {
    TextInput t(2, "");
    EXPECT_EQ(t.content_h, 20);
    EXPECT_EQ(t.content_w, 20);   // never narrower than it is high
    t.set_value_s("abcdef");
    t.measure_content();
    EXPECT_EQ(t.content_w, 60);
    EXPECT_EQ(t.content_h, 20);
}

}  // namespace
