// Layout: measure and resize, Box sizing and alignment, Label wrapping, Table
// span distribution, and deep clipped trees.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "test_gfx.h"
#include "test_support.h"
#include "ui/widget.h"

using namespace uitest;

namespace {

Widget* sized(int w, int h) {
    Widget* p = new Widget;
    p->styles[STYLE_BASE].width = w;
    p->styles[STYLE_BASE].height = h;
    return p;
}

TEST(Measure, PlainWidgetKeepsItsNaturalSizeOnResize) {
    Widget w;
    w.styles[STYLE_BASE].width = 30;
    w.styles[STYLE_BASE].height = 20;
    set_paddings(w.styles[STYLE_BASE], 5);
    style_resolve(&w);
    w.measure();
    EXPECT_EQ(w.w, 40);
    EXPECT_EQ(w.h, 30);
    w.resize(100, 100);
    EXPECT_EQ(w.w, 40);
    EXPECT_EQ(w.h, 30);
    EXPECT_EQ(w.content_x, 5);
}

TEST(BoxLayout, MinimumSizeAlignmentAndClip) {
    FakeGfx fake;
    struct Case {
        int width, height, clip, align, valign;
        int expect_cw, expect_ch, expect_x, expect_y;
    } cases[] = {
        // No size: the child's size.
        {STYLE_UNSET, STYLE_UNSET, STYLE_UNSET, STYLE_UNSET, STYLE_UNSET, 30, 20, 0, 0},
        // A minimum outer size, less the edges (2 x 5 each way); centred by default.
        {100, 60, STYLE_UNSET, STYLE_UNSET, STYLE_UNSET, 90, 50, 30, 15},
        {100, 60, 0, -1, -1, 90, 50, 0, 0},
        {100, 60, 0, 1, 1, 90, 50, 60, 30},
        // Smaller than the child: the child wins unless clipping.
        {20, 10, STYLE_UNSET, STYLE_UNSET, STYLE_UNSET, 30, 20, 0, 0},
        // Clipping takes the size exactly; the overhang is centred, truncated toward 0.
        {20, 10, 1, STYLE_UNSET, STYLE_UNSET, 10, 0, -10, -10},
        {25, 10, 1, 0, 1, 15, 0, -7, -20},
        // Clip with no size set keeps the child's size.
        {STYLE_UNSET, 0, 1, STYLE_UNSET, STYLE_UNSET, 30, 20, 0, 0},
    };
    for (const Case& c : cases) {
        Box box(sized(30, 20));
        Style& s = box.styles[STYLE_BASE];
        set_paddings(s, 5);
        s.width = c.width;
        s.height = c.height;
        s.clip = c.clip;
        s.align = c.align;
        s.valign = c.valign;
        style_resolve(&box);
        box.measure();
        EXPECT_EQ(box.content_w, c.expect_cw) << c.width << "x" << c.height << " clip " << c.clip;
        EXPECT_EQ(box.content_h, c.expect_ch) << c.width << "x" << c.height << " clip " << c.clip;
        EXPECT_EQ(box.child()->x, c.expect_x) << c.width << "x" << c.height;
        EXPECT_EQ(box.child()->y, c.expect_y) << c.width << "x" << c.height;
    }
}

TEST(BoxLayout, ResizeImposesTheSizeAndRealigns) {
    FakeGfx fake;
    Box box(sized(30, 20));
    set_margins(box.styles[STYLE_BASE], 2);
    box.styles[STYLE_BASE].align = 1;
    style_resolve(&box);
    box.measure();
    EXPECT_EQ(box.w, 34);
    box.resize(100, 50);
    EXPECT_EQ(box.w, 100);
    EXPECT_EQ(box.h, 50);
    EXPECT_EQ(box.content_w, 96);
    EXPECT_EQ(box.child()->x, 66);
    EXPECT_EQ(box.child()->y, 13);
}

TEST(BoxLayout, ClipBoxPushesAndPopsAroundTheChild) {
    FakeGfx fake;
    Label* label = new Label(2, "hello");
    Box box(label);
    box.styles[STYLE_BASE].clip = 1;
    box.styles[STYLE_BASE].width = 20;
    style_resolve(&box);
    box.measure();
    box.paint();
    ASSERT_EQ(fake.rec().of("text").size(), 1u);
    EXPECT_EQ(fake.rec().of("text")[0].clip_depth, 1);
    EXPECT_EQ(fake.rec().clip_depth, 0);
}

TEST(LabelLayout, WidthAndWrapping) {
    FakeGfx fake;
    struct Case { const char* text; int width; int expect_w, expect_h; } cases[] = {
        {"hello", STYLE_UNSET, 50, 20},
        {"", STYLE_UNSET, 0, 20},
        {"ab cd", 37, 37, 40},           // "ab c" fits: breaks at the space
        {"ab cd", 25, 25, 40},           // the space that does not fit is the break
        {"abcdefgh", 35, 35, 60},        // breaks inside the word: 3 + 3 + 2
        {"ab\ncd", STYLE_UNSET, 40, 40}, // a newline breaks too
        {nullptr, STYLE_UNSET, 0, 20},   // no text: one line
    };
    for (const Case& c : cases) {
        Label l(2, c.text);
        l.styles[STYLE_BASE].width = c.width;
        style_resolve(&l);
        l.measure();
        EXPECT_EQ(l.content_w, c.expect_w) << (c.text ? c.text : "(null)");
        EXPECT_EQ(l.content_h, c.expect_h) << (c.text ? c.text : "(null)");
    }
}

// With the graphics module's own text layout and a font whose glyphs are not a
// whole number of units wide, a label is as wide as its text rounded up, so it
// never wraps its own text.
TEST(LabelLayout, FractionalTextWidthDoesNotWrap) {
    std::string chars;
    for (int c = 0; c < 256; ++c) chars += std::string(c ? "," : "") + "{\"w\": 10.4}";
    test::stderr_of([&] {
        graphics_load_text("{}", "{}");
        fonts_load_text("{\"f\": {\"height\": 20, \"texture\": \"none\", \"rect\": {\"w\": 512, \"h\": 512},"
                        " \"chars\": [" + chars + "]}}");
    });
    const int font = font_get("f");
    ASSERT_NE(font, 0);
    for (const char* text : {"abc", "a few words", "x"}) {
        SCOPED_TRACE(text);
        Label l(font, text);
        style_resolve(&l);
        l.measure();
        EXPECT_GE(float(l.content_w), text_width(font, text));
        EXPECT_LT(float(l.content_w), text_width(font, text) + 1);
        EXPECT_EQ(l.content_h, 20);
    }
    graphics_free();
}

TEST(LabelLayout, PaintsInItsColourAndAlignment) {
    FakeGfx fake;
    Label l(3, "hi");
    l.styles[STYLE_BASE].color = 0x00FF00;
    l.styles[STYLE_BASE].width = 100;
    l.styles[STYLE_BASE].align = 0;
    style_resolve(&l);
    l.measure();
    l.paint();
    const std::vector<Call> t = fake.rec().of("text");
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].id, 3);
    EXPECT_FLOAT_EQ(t[0].w, 100);
    EXPECT_EQ(t[0].b, 0);
    EXPECT_FLOAT_EQ(t[0].tint[0], 0);
    EXPECT_FLOAT_EQ(t[0].tint[1], 1);
    EXPECT_FLOAT_EQ(fake.rec().tint[0], 1);   // reset afterwards
    Label plain(3, "x");
    style_resolve(&plain);
    plain.measure();
    plain.paint();
    EXPECT_EQ(fake.rec().of("text")[1].b, -1);   // left by default
}

// Column widths after layout, read from where the table put its children.
std::vector<int> column_lefts(const Table& t, int row) {
    std::vector<const Widget*> cells;
    for (const Widget* c : t.children)
        if (c != t.filler && c->row == row) cells.push_back(c);
    std::sort(cells.begin(), cells.end(),
              [](const Widget* a, const Widget* b) { return a->col < b->col; });
    std::vector<int> xs;
    for (const Widget* c : cells) xs.push_back(c->x);
    return xs;
}

TEST(TableLayout, SpanDeficitGoesFirstToTheEvenColumn) {
    FakeGfx fake;
    // Row 0: columns 30 and 40 wide; row 1: one cell over both, needing 73.
    Table t;
    tr(&t);
    td(&t, sized(30, 10));
    td(&t, sized(40, 10));
    tr(&t);
    td_span(&t, -1, -1, 2, sized(73, 10));
    t.measure_content();
    EXPECT_EQ(column_lefts(t, 0), (std::vector<int>{0, 32}));
    EXPECT_EQ(t.content_w, 73);

    // A span starting on an odd column: the even column (2) gets the extra pixel.
    Table u;
    tr(&u);
    td(&u, sized(10, 10));
    td(&u, sized(30, 10));
    td(&u, sized(40, 10));
    tr(&u);
    td_span(&u, 1, -1, 2, sized(73, 10));
    u.measure_content();
    EXPECT_EQ(column_lefts(u, 0), (std::vector<int>{0, 10, 41}));
    EXPECT_EQ(u.content_w, 83);
}

TEST(TableLayout, SpansAreDistributedAfterSingleCells) {
    FakeGfx fake;
    // The wide span is added first, but single cells claim their widths before it.
    Table t;
    td_span(&t, 0, 0, 2, sized(100, 10));
    td_span(&t, 0, 1, 1, sized(60, 10));
    td_span(&t, 1, 1, 1, sized(10, 10));
    t.measure_content();
    EXPECT_EQ(column_lefts(t, 1), (std::vector<int>{0, 75}));
    EXPECT_EQ(t.content_w, 100);   // the span's deficit of 30 went 15 / 15
    // The children stay sorted by row span, then column span.
    EXPECT_EQ(t.children.back(), t.filler);
}

TEST(TableLayout, WidthAboveTheColumnsSpreadsTheSurplus) {
    FakeGfx fake;
    Table t;
    t.styles[STYLE_BASE].width = 100;
    t.styles[STYLE_BASE].height = 35;
    style_resolve(&t);
    tr(&t);
    td(&t, sized(10, 10));
    td(&t, sized(20, 10));
    td(&t, sized(30, 10));
    tr(&t);
    td(&t, sized(10, 10));
    t.measure_content();
    // Surplus 40 over 3 columns: 14, 13, 13.
    EXPECT_EQ(column_lefts(t, 0), (std::vector<int>{0, 24, 57}));
    EXPECT_EQ(t.content_w, 100);
    // Surplus 15 over 2 rows: 8, 7.
    EXPECT_EQ(t.content_h, 35);
    EXPECT_EQ(t.filler->colspan, 3);
    EXPECT_EQ(t.filler->rowspan, 2);
}

TEST(TableLayout, BoxesStretchToTheirCellsPlainWidgetsDoNot) {
    FakeGfx fake;
    Table t;
    tr(&t);
    Box* box = new Box(sized(10, 10));
    td(&t, box);
    Widget* plain = sized(10, 10);
    td(&t, plain);
    tr(&t);
    td(&t, sized(50, 30));
    td(&t, sized(40, 30));
    t.measure_content();
    EXPECT_EQ(box->w, 50);
    EXPECT_EQ(box->h, 10);
    EXPECT_EQ(box->child()->x, 20);   // centred in the stretched box
    EXPECT_EQ(plain->w, 10);
    EXPECT_EQ(plain->x, 50);
}

TEST(TableLayout, RowAndColumnBookkeeping) {
    Table t;
    EXPECT_EQ(t.cur_row, -1);
    Widget* a = new Widget;
    td(&t, a);   // the first cell starts row 0
    EXPECT_EQ(a->row, 0);
    EXPECT_EQ(a->col, 0);
    Widget* b = new Widget;
    td_span(&t, -1, -1, 3, b);
    EXPECT_EQ(b->col, 1);
    EXPECT_EQ(b->colspan, 3);
    EXPECT_EQ(t.cur_col, 4);
    Widget* c = new Widget;
    td_span(&t, 2, 5, 1, c);
    EXPECT_EQ(c->col, 2);
    EXPECT_EQ(c->row, 5);
    tr(&t);
    EXPECT_EQ(t.cur_row, 6);
    EXPECT_EQ(t.cur_col, 0);
}

TEST(TableLayout, ShrinksAgainAfterACellIsRemoved) {
    FakeGfx fake;
    Table t;
    tr(&t);
    td(&t, sized(10, 10));
    Widget* wide = sized(50, 10);
    td(&t, wide);
    t.measure_content();
    EXPECT_EQ(t.content_w, 60);
    remove(&t, wide);
    t.measure_content();
    EXPECT_EQ(t.content_w, 10);
    EXPECT_EQ(t.filler->colspan, 1);
}

TEST(TableLayout, EmptyTableAndStrayCellsAreSafe) {
    FakeGfx fake;
    Table t;
    t.styles[STYLE_BASE].width = 50;
    style_resolve(&t);
    t.measure_content();
    EXPECT_EQ(t.content_w, 50);   // the filler's one cell
    Widget* odd = sized(10, 10);
    td_span(&t, 3, 2, 0, odd);   // a zero span counts as one
    Widget* negative = sized(10, 10);
    td_span(&t, -1, -1, -4, negative);
    negative->col = -9;
    t.measure_content();
    // Columns 10, 0, 0, 10; the filler's 30 more go 8, 8, 7, 7.
    EXPECT_EQ(odd->x, 18 + 8 + 7);
    EXPECT_EQ(t.content_w, 50);
}

TEST(TableLayout, WidthAndHeightHoldWithOrWithoutCells) {
    FakeGfx fake;
    struct Case {
        const char* name;
        int width, height;     // the table's style; STYLE_UNSET = none
        int cells;             // 30 x 20 cells in one row
        int expect_w, expect_h;
    } cases[] = {
        {"empty", 50, 40, 0, 50, 40},
        {"empty, width only", 50, STYLE_UNSET, 0, 50, 0},
        {"empty, no size", STYLE_UNSET, STYLE_UNSET, 0, 0, 0},
        {"one smaller cell", 50, 40, 1, 50, 40},
        {"cells wider than the width", 50, 10, 3, 90, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Table t;
        t.styles[STYLE_BASE].width = c.width;
        t.styles[STYLE_BASE].height = c.height;
        style_resolve(&t);
        if (c.cells) tr(&t);
        for (int k = 0; k < c.cells; ++k) td(&t, sized(30, 20));
        t.measure_content();
        EXPECT_EQ(t.content_w, c.expect_w);
        EXPECT_EQ(t.content_h, c.expect_h);
    }
}

TEST(Container, ExtentOfChildrenWithoutMovingThem) {
    FakeGfx fake;
    Container c;
    Widget* a = sized(10, 10);
    a->x = 100;
    a->y = 5;
    Widget* b = sized(30, 40);
    b->x = 20;
    b->y = 20;
    add(&c, a);
    add(&c, b);
    c.measure_content();
    EXPECT_EQ(c.content_w, 110);
    EXPECT_EQ(c.content_h, 60);
    EXPECT_EQ(a->x, 100);
    Container empty;
    empty.measure_content();
    EXPECT_EQ(empty.content_w, 0);
}

// Clip boxes nested far deeper than the clip stack: painting and routing run,
// pushes and pops balance, and the innermost content is reached.
TEST(DeepTree, NestedClipBoxesPaintAndRouteWithoutCrashing) {
    FakeGfx fake;
    Container root;
    Widget* leaf = sized(10, 10);
    leaf->click_value = 99;
    leaf->styles[STYLE_BASE].background = 0xABCDEF;
    Widget* inner = leaf;
    for (int i = 0; i < 40; ++i) {
        Box* b = new Box(inner);
        b->styles[STYLE_BASE].clip = 1;
        b->styles[STYLE_BASE].width = 200 - i;
        b->styles[STYLE_BASE].height = 200 - i;
        inner = b;
    }
    add(&root, inner);
    for (int frame = 0; frame < 3; ++frame) root.measure_content();
    root.paint_content();
    EXPECT_EQ(fake.rec().max_clip_depth, 40);
    EXPECT_EQ(fake.rec().clip_depth, 0);
    const std::vector<Call> fills = fake.rec().of("fill");
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].clip_depth, 40);   // the graphics module hides it (depth > 8)
    EXPECT_EQ(fake.rec().tx, 0);
    const Rect r = screen_rect(leaf);
    root.event(mouse(EV_MOUSEDOWN, r.x + 1, r.y + 1, 1));
    EXPECT_EQ(root.event(mouse(EV_MOUSEUP, r.x + 1, r.y + 1, 1)), 99);
}

}  // namespace
