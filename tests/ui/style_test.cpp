// Style resolution (priority, first value, the three transition kinds), the
// standard button's highlight, and the painted decoration.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "test_gfx.h"
#include "ui/widget.h"

using namespace uitest;

namespace {

const Style& current(const Widget& w) { return w.styles[STYLE_CURRENT]; }

TEST(Style, EverySlotStartsUnsetAndSlotsFollowTheTable) {
    Style s;
    for (int i = 0; i < STYLE_SLOTS; ++i) EXPECT_EQ(s.slot(i), STYLE_UNSET) << i;
    EXPECT_EQ(STYLE_UNSET, int32_t(0xFF000001u));
    struct Case { int slot; int32_t Style::*field; } cases[] = {
        {0, &Style::width}, {2, &Style::clip}, {5, &Style::color}, {6, &Style::background},
        {7, &Style::border_top}, {10, &Style::border_left}, {11, &Style::border_color},
        {12, &Style::padding_top}, {16, &Style::margin_top}, {19, &Style::margin_left},
        {20, &Style::box_color}, {23, &Style::box}, {26, &Style::image_alpha},
        {29, &Style::overlay}, {31, &Style::overlay_alpha}, {33, &Style::overlay_corner},
    };
    for (const Case& c : cases) {
        Style t;
        t.*c.field = 1234;
        EXPECT_EQ(t.slot(c.slot), 1234) << "slot " << c.slot;
    }
}

TEST(Style, FirstValueIsTakenAtOnceThenTransitionsApply) {
    Widget w;
    w.styles[STYLE_BASE].padding_top = 20;
    w.styles[STYLE_BASE].width = 2500;
    style_resolve(&w);
    EXPECT_EQ(current(w).padding_top, 20);
    EXPECT_EQ(current(w).width, 2500);
    w.styles[STYLE_BASE].padding_top = 17;
    w.styles[STYLE_BASE].width = 0;
    std::vector<int> pads, widths;
    for (int i = 0; i < 4; ++i) {
        style_resolve(&w);
        pads.push_back(current(w).padding_top);
        widths.push_back(current(w).width);
    }
    EXPECT_EQ(pads, (std::vector<int>{19, 18, 17, 17}));
    EXPECT_EQ(widths, (std::vector<int>{1500, 500, 0, 0}));
}

TEST(Style, ImmediateSlotsJump) {
    Widget w;
    w.styles[STYLE_BASE].box = 3;
    w.styles[STYLE_BASE].align = -1;
    w.styles[STYLE_BASE].clip = 0;
    style_resolve(&w);
    w.styles[STYLE_BASE].box = 900;
    w.styles[STYLE_BASE].align = 1;
    w.styles[STYLE_BASE].clip = 1;
    style_resolve(&w);
    EXPECT_EQ(current(w).box, 900);
    EXPECT_EQ(current(w).align, 1);
    EXPECT_EQ(current(w).clip, 1);
}

TEST(Style, ColourFadesMoveEachChannelByAtMost36) {
    struct Case { int32_t from, to; std::vector<int32_t> steps; } cases[] = {
        {0x000000, 0xFF8020, {0x242420, 0x484820, 0x6C6C20, 0x908020, 0xB48020, 0xD88020,
                              0xFC8020, 0xFF8020}},
        {0xFFFFFF, 0xF0E0D0, {0xF0E0DB, 0xF0E0D0}},
        // An alpha byte in the target is dropped.
        {0x000000, int32_t(0x7F102030u), {0x102024, 0x102030}},
    };
    for (const Case& c : cases) {
        Widget w;
        w.styles[STYLE_BASE].background = c.from;
        style_resolve(&w);
        w.styles[STYLE_BASE].background = c.to;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const int32_t before = current(w).background;
            style_resolve(&w);
            const int32_t now = current(w).background;
            EXPECT_EQ(now, c.steps[i]) << std::hex << c.from << "->" << c.to << " step " << i;
            for (int shift = 0; shift <= 16; shift += 8)
                EXPECT_LE(std::abs(((now >> shift) & 255) - ((before >> shift) & 255)), 36);
        }
    }
}

TEST(Style, AlphaStepsBy36) {
    Widget w;
    w.styles[STYLE_BASE].image_alpha = 255;
    style_resolve(&w);
    w.styles[STYLE_BASE].image_alpha = 0;
    std::vector<int> seen;
    for (int i = 0; i < 9; ++i) {
        style_resolve(&w);
        seen.push_back(current(w).image_alpha);
    }
    EXPECT_EQ(seen, (std::vector<int>{219, 183, 147, 111, 75, 39, 3, 0, 0}));
}

TEST(Style, PriorityIsSelectedThenStateThenBase) {
    Widget w;
    w.styles[STYLE_BASE].box = 1;
    w.styles[STYLE_HOVER].box = 2;
    w.styles[STYLE_FOCUS].box = 3;
    w.styles[STYLE_FOCUS_HOVER].box = 4;
    w.styles[STYLE_SELECTED].box = 5;
    w.styles[STYLE_NORMAL].box = 6;
    struct Case { int hovered, focused, selected; int32_t expect; } cases[] = {
        {0, 0, 0, 6}, {1, 0, 0, 2}, {0, 1, 0, 3}, {1, 1, 0, 4}, {1, 1, 1, 5}, {0, 0, 1, 5},
    };
    for (const Case& c : cases) {
        w.hovered = c.hovered;
        w.focused = c.focused;
        w.selected = c.selected;
        w.update_state();
        style_resolve(&w);
        EXPECT_EQ(current(w).box, c.expect) << c.hovered << c.focused << c.selected;
    }
    // A variant that leaves a slot unset falls back to base.
    w.styles[STYLE_SELECTED].box = STYLE_UNSET;
    w.styles[STYLE_FOCUS_HOVER].box = STYLE_UNSET;
    w.hovered = w.focused = 1;
    w.update_state();
    style_resolve(&w);
    EXPECT_EQ(current(w).box, 1);
}

TEST(Style, NothingSetLeavesCurrentAlone) {
    Widget w;
    w.styles[STYLE_HOVER].color = 0x00FF00;
    w.hovered = 1;
    w.update_state();
    style_resolve(&w);
    EXPECT_EQ(current(w).color, 0x00FF00);
    w.hovered = 0;
    w.update_state();
    style_resolve(&w);
    EXPECT_EQ(current(w).color, 0x00FF00);
}

struct ButtonHighlight : ::testing::Test {
    FakeGfx fake;
    Container root;
    Box* outer = nullptr;
    Box* inner = nullptr;
    void SetUp() override {
        outer = make_button("Play", 3, 300, 0);
        outer->x = 100;
        outer->y = 100;
        add(&root, outer);
        inner = static_cast<Box*>(outer->child());
        root.measure_content();
    }
    int frame() {
        root.measure_content();
        return current(*inner).overlay_alpha;
    }
};

TEST_F(ButtonHighlight, BuildsTheStandardButton) {
    const Style& s = inner->styles[STYLE_BASE];
    EXPECT_EQ(s.width, 300);
    EXPECT_EQ(s.height, 60);
    EXPECT_EQ(s.box, fake_image_get("box"));
    EXPECT_EQ(s.overlay, fake_image_get("box2"));
    EXPECT_EQ(s.box_corner, 30);
    EXPECT_EQ(inner->click_value, 3);
    EXPECT_EQ(inner->w, 300);
    // The label with its margins (40 high) is higher than the 36 inside the
    // borders and margins, so it sets the height.
    EXPECT_EQ(inner->h, 64);
    Label* label = static_cast<Label*>(inner->child());
    EXPECT_EQ(label->font, fake_font_get("font2"));
    EXPECT_EQ(label->text, "Play");
    // The label (40 + margins 20 wide) is centred in the 276 wide content.
    EXPECT_EQ(label->x, (276 - 60) / 2);
    EXPECT_EQ(label->y, 0);
    Box* other = make_button("x", 1, 100, 77);
    EXPECT_EQ(static_cast<Box*>(other->child())->styles[STYLE_BASE].box, 77);
    delete other;
}

TEST(Card, IsTheButtonFrameAroundAnyWidget) {
    FakeGfx fake;
    Container root;
    Widget* picture = new Widget;
    picture->styles[STYLE_BASE].width = 50;
    picture->styles[STYLE_BASE].height = 30;
    Box* outer = make_card(picture, 9);
    add(&root, outer);
    root.measure_content();
    Box* card = static_cast<Box*>(outer->child());
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->child(), picture);
    const Style& s = card->styles[STYLE_BASE];
    EXPECT_EQ(s.width, 240);
    EXPECT_EQ(s.height, 98);
    EXPECT_EQ(s.border_top, 2);
    EXPECT_EQ(s.border_left, 2);
    EXPECT_EQ(s.padding_bottom, 0);
    EXPECT_EQ(s.margin_right, 10);
    EXPECT_EQ(s.box_color, 0xFFFFFF);
    EXPECT_EQ(s.box_corner, 30);
    EXPECT_EQ(s.box, fake_image_get("box"));
    EXPECT_EQ(s.overlay, fake_image_get("box2"));
    EXPECT_EQ(s.overlay_alpha, 0);
    EXPECT_EQ(s.overlay_corner, 30);
    EXPECT_EQ(card->styles[STYLE_HOVER].overlay_alpha, 85);
    EXPECT_EQ(card->styles[STYLE_FOCUS].overlay_alpha, 0);
    EXPECT_EQ(card->styles[STYLE_FOCUS_HOVER].overlay_alpha, 170);
    EXPECT_EQ(card->w, 240);
    EXPECT_EQ(card->h, 98);
    // The widget sits centred in the 216 x 74 inside the frame.
    EXPECT_EQ(picture->x, (216 - 50) / 2);
    EXPECT_EQ(picture->y, (74 - 30) / 2);
    // A press and release on it answers the card's value.
    root.event(mouse(EV_MOUSEMOVE, 120, 50));
    root.event(mouse(EV_MOUSEDOWN, 120, 50, 1));
    EXPECT_EQ(root.event(mouse(EV_MOUSEUP, 120, 50, 1)), 9);
}

TEST_F(ButtonHighlight, FadesInOnHoverAndBrightensWhenPressed) {
    EXPECT_EQ(current(*inner).overlay_alpha, 0);
    root.event(mouse(EV_MOUSEMOVE, 250, 130));
    ASSERT_TRUE(inner->hovered);
    EXPECT_EQ(frame(), 36);
    EXPECT_EQ(frame(), 72);
    EXPECT_EQ(frame(), 85);
    EXPECT_EQ(frame(), 85);
    root.event(mouse(EV_MOUSEDOWN, 250, 130, 1));
    ASSERT_TRUE(inner->pressed);
    EXPECT_EQ(frame(), 121);
    EXPECT_EQ(frame(), 157);
    EXPECT_EQ(frame(), 170);
    EXPECT_EQ(root.event(mouse(EV_MOUSEUP, 250, 130, 1)), 3);
    EXPECT_EQ(frame(), 170);
    // Away from it, focused only: back to 0.
    root.event(mouse(EV_MOUSEMOVE, 5, 5));
    EXPECT_EQ(frame(), 134);
}

TEST_F(ButtonHighlight, OverlayIsPaintedWithTheCurrentAlpha) {
    root.event(mouse(EV_MOUSEMOVE, 250, 130));
    frame();
    frame();
    fake.rec().calls.clear();
    root.paint_content();
    const std::vector<Call> frames = fake.rec().of("frame");
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].id, fake_gl_texture(fake_image_get("box")));
    EXPECT_EQ(frames[1].id, fake_gl_texture(fake_image_get("box2")));
    EXPECT_FLOAT_EQ(frames[1].tint[3], 72.0f / 255.0f);
    EXPECT_EQ(frames[1].b, 30);
    // The inner box sits centred in the outer one at (100, 100); margins 10.
    EXPECT_FLOAT_EQ(frames[1].ax(), 100 + 10);
    EXPECT_FLOAT_EQ(frames[1].ay(), 100 + 10);
    EXPECT_FLOAT_EQ(frames[1].w, 280);
    EXPECT_FLOAT_EQ(frames[1].h, 44);
    // The tint is reset after every coloured draw.
    EXPECT_FLOAT_EQ(fake.rec().tint[3], 1.0f);
    const std::vector<Call> texts = fake.rec().of("text");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Play");
}

// Tables re-measure the cells they stretch; the highlight still takes one step
// per laid-out frame, also in nested tables.
TEST(ButtonInTable, FadesOneStepPerFrame) {
    FakeGfx fake;
    Container root;
    Table* outer = new Table;
    Table* inner = new Table;
    Box* button = make_button("Play", 3, 300, 0);
    Box* wide = make_button("A much longer caption", 4, 400, 0);
    tr(inner);
    td(inner, button);
    tr(inner);
    td(inner, wide);   // makes the column wider, so the first button is stretched
    tr(outer);
    td(outer, inner);
    td(outer, new Label(2, "x"));
    tr(outer);
    td_span(outer, 0, -1, 2, new Label(2, std::string(80, 'w').c_str()));   // stretches inner
    add(&root, outer);
    root.measure_content();
    Box* b = static_cast<Box*>(button->child());
    const Rect r = screen_rect(b);
    root.event(mouse(EV_MOUSEMOVE, r.x + r.w / 2, r.y + r.h / 2));
    ASSERT_TRUE(b->hovered);
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i) {
        root.measure_content();
        seen.push_back(b->styles[STYLE_CURRENT].overlay_alpha);
    }
    EXPECT_EQ(seen, (std::vector<int>{36, 72, 85, 85}));
    EXPECT_GT(button->w, b->w);   // the outer box was indeed stretched
}

TEST(Paint, DecorationOrderAndRectangles) {
    FakeGfx fake;
    Widget w;
    Style& s = w.styles[STYLE_BASE];
    s.width = 100;
    s.height = 50;
    s.margin_top = 1, s.margin_right = 2, s.margin_bottom = 3, s.margin_left = 4;
    s.border_top = 5, s.border_right = 6, s.border_bottom = 7, s.border_left = 8;
    s.padding_top = 9, s.padding_right = 10, s.padding_bottom = 11, s.padding_left = 12;
    s.background = 0x112233;
    s.border_color = 0x445566;
    s.box = 7;
    s.box_color = 0x808080;
    s.box_outset = 3;
    s.image = 9;
    s.image_alpha = 128;
    s.overlay = 8;
    s.overlay_color = 0xFF0000;
    style_resolve(&w);
    w.measure();
    EXPECT_EQ(w.content_x, 4 + 8 + 12);
    EXPECT_EQ(w.content_y, 1 + 5 + 9);
    EXPECT_EQ(w.w, 24 + 100 + 2 + 6 + 10);
    EXPECT_EQ(w.h, 15 + 50 + 3 + 7 + 11);
    w.paint();
    const std::vector<Call>& c = fake.rec().calls;
    ASSERT_EQ(c.size(), 8u);
    struct Expect { const char* op; int id; float x, y, w, h; } expect[] = {
        {"fill", 0x112233, 12, 6, 122, 70},   // padding box
        {"fill", 0x445566, 4, 1, 136, 5},     // top
        {"fill", 0x445566, 4, 76, 136, 7},    // bottom
        {"fill", 0x445566, 134, 6, 6, 70},    // right
        {"fill", 0x445566, 4, 6, 8, 70},      // left
        {"frame", 1007, 1, -2, 142, 88},      // box, outset 3
        {"image", 9, 24, 15, 100, 50},        // icon over the content
        {"frame", 1008, 4, 1, 136, 82},       // overlay
    };
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(c[i].op, expect[i].op) << i;
        EXPECT_EQ(c[i].id, expect[i].id) << i;
        EXPECT_FLOAT_EQ(c[i].x, expect[i].x) << i;
        EXPECT_FLOAT_EQ(c[i].y, expect[i].y) << i;
        EXPECT_FLOAT_EQ(c[i].w, expect[i].w) << i;
        EXPECT_FLOAT_EQ(c[i].h, expect[i].h) << i;
    }
    EXPECT_EQ(c[5].b, 16);   // default corner
    EXPECT_FLOAT_EQ(c[5].tint[0], 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(c[6].tint[3], 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(c[6].tint[0], 1.0f);
    EXPECT_FLOAT_EQ(c[7].tint[1], 0.0f);
    EXPECT_FLOAT_EQ(c[7].tint[3], 1.0f);
    EXPECT_EQ(fake.rec().tx, 0);
    EXPECT_EQ(fake.rec().ty, 0);
}

TEST(Paint, NothingSetDrawsNothing) {
    FakeGfx fake;
    Widget w;
    w.styles[STYLE_BASE].box = 3;   // a box without a colour is not drawn
    style_resolve(&w);
    w.measure();
    w.paint();
    EXPECT_TRUE(fake.rec().calls.empty());
}

}  // namespace

// A card answers its value when clicked and lights up under the pointer; a
// null widget still makes a card with a child.
TEST(Card, AnswersItsValueWhenClicked) {
    FakeGfx fake;
    Container root;
    Box* outer = make_card(new Widget, 42);
    outer->x = 20;
    outer->y = 30;
    add(&root, outer);
    root.measure_content();
    Box* card = static_cast<Box*>(outer->child());
    root.event(mouse(EV_MOUSEMOVE, 150, 80));
    root.measure_content();
    EXPECT_EQ(current(*card).overlay_alpha, 36);
    root.event(mouse(EV_MOUSEDOWN, 150, 80, 1));
    EXPECT_EQ(root.event(mouse(EV_MOUSEUP, 150, 80, 1)), 42);

    Box* empty = make_card(nullptr, 7);
    ASSERT_NE(static_cast<Box*>(empty->child())->child(), nullptr);
    delete empty;
}
