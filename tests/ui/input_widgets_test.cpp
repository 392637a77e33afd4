// Sliders, scroll boxes, the grid picker and the two play-screen controls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/game.h"
#include "test_gfx.h"
#include "ui/grid_picker.h"
#include "ui/play_widgets.h"
#include "ui/scroll_box.h"
#include "ui/slider.h"
#include "world/model.h"

using namespace uitest;

namespace {

// ---------------------------------------------------------------------------
// NumSlider: 720 wide, the number takes width(" 100") = 36, the knob is
// max((720 - 36) / 101, 2 x 20) = 40, so the track for the pointer is 644 and
// a press at x (content) gives trunc((x - 20) x 101 / 644).

struct Slider : ::testing::Test {
    FakeGfx fake;
    Container root;
    NumSlider* s = nullptr;
    void make(int live) {
        s = make_slider("music", 10, live);
        s->change_value = 3;
        add(&root, s);
        root.measure_content();
    }
    // Root x of a content x (the slider's margin is 4).
    static float at(float content_x) { return content_x + 4; }
};

TEST_F(Slider, BuildsFromTheFont) {
    make(0);
    EXPECT_EQ(s->name, "music");
    EXPECT_EQ(s->label_w, 36);
    EXPECT_EQ(s->knob, 40);
    EXPECT_EQ(s->content_w, 720);
    EXPECT_EQ(s->content_h, 20);
    EXPECT_EQ(s->w, 728);
    EXPECT_EQ(s->get_value_i(), 10);
}

TEST_F(Slider, WithoutLiveReportsOnlyOnRelease) {
    make(0);
    EXPECT_EQ(root.event(mouse(EV_MOUSEDOWN, at(342), 10, 1)), 0);
    EXPECT_EQ(s->value, 50);
    EXPECT_EQ(root.event(drag(at(664), 10, 322, 0)), 0);
    EXPECT_EQ(s->value, 100);
    EXPECT_EQ(root.event(drag(at(-50), 10, -714, 0)), 0);
    EXPECT_EQ(s->value, 0);
    EXPECT_EQ(root.event(mouse(EV_MOUSEUP, at(100), 10, 1)), 3);
    EXPECT_EQ(s->value, 12);
    // Released without a change it still reports.
    root.event(mouse(EV_MOUSEDOWN, at(100), 10, 1));
    EXPECT_EQ(root.event(mouse(EV_MOUSEUP, at(100), 10, 1)), 3);
}

TEST_F(Slider, LiveReportsEveryChange) {
    make(1);
    EXPECT_EQ(root.event(mouse(EV_MOUSEDOWN, at(342), 10, 1)), 3);
    EXPECT_EQ(root.event(drag(at(342), 10, 0, 0)), 0);   // no change
    EXPECT_EQ(root.event(drag(at(348), 10, 6, 0)), 3);
    EXPECT_EQ(s->value, 51);
    EXPECT_EQ(root.event(mouse(EV_MOUSEUP, at(348), 10, 1)), 0);
}

TEST_F(Slider, IgnoresThePointerWithoutFocusOrButton) {
    make(1);
    root.event(drag(at(342), 10, 0, 0, 1));   // hovering with a button held, not focused
    EXPECT_EQ(s->value, 10);
    root.event(mouse(EV_MOUSEDOWN, at(342), 10, 1));
    root.event(mouse(EV_MOUSEUP, at(342), 10, 1));
    root.event(drag(at(600), 10, 0, 0, 0));   // focused, no button
    EXPECT_EQ(s->value, 50);
}

TEST_F(Slider, PaintsTrackKnobAndNumber) {
    make(0);
    s->set_value_i(150);   // stored as given, clamped when painted
    EXPECT_EQ(s->get_value_i(), 150);
    root.paint_content();
    EXPECT_EQ(s->value, 100);
    const std::vector<Call> frames = fake.rec().of("frame");
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].id, fake_gl_texture(fake_image_get("box")));
    EXPECT_FLOAT_EQ(frames[0].w, 684);
    EXPECT_EQ(frames[0].b, 20);
    EXPECT_EQ(frames[1].id, fake_gl_texture(fake_image_get("box2")));
    EXPECT_FLOAT_EQ(frames[1].x, 644);
    EXPECT_FLOAT_EQ(frames[1].w, 40);
    const std::vector<Call> texts = fake.rec().of("text");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "100");
    EXPECT_EQ(texts[0].b, 1);
    EXPECT_FLOAT_EQ(texts[0].w, 720);
}

// ---------------------------------------------------------------------------
// VSlider

TEST(VSliderTest, WheelWorksWithoutFocusAndPressesNeedIt) {
    FakeGfx fake;
    Container root;
    VSlider* v = new VSlider;
    v->max = 100;
    v->change_value = -1;
    v->styles[STYLE_BASE].width = 32;
    v->styles[STYLE_BASE].height = 220;
    add(&root, v);
    root.measure_content();
    // The wheel follows the pointer (hover), not the focus.
    root.event(mouse(EV_MOUSEMOVE, 10, 10));
    EXPECT_EQ(root.event(wheel(10, 10, 1)), -1);
    EXPECT_EQ(v->value, 30);
    EXPECT_EQ(root.event(wheel(10, 10, 9)), -1);
    EXPECT_EQ(v->value, 100);
    // (y - 10) x 101 / 200: a press at 110 gives 50.
    EXPECT_EQ(root.event(mouse(EV_MOUSEDOWN, 10, 110, 1)), -1);
    EXPECT_EQ(v->value, 50);
    EXPECT_EQ(root.event(drag(10, 110, 0, 0)), 0);
    EXPECT_EQ(root.event(drag(10, 500, 0, 390)), -1);
    EXPECT_EQ(v->value, 100);
    v->set_value_i(-7);
    EXPECT_EQ(v->value, 0);
    root.paint_content();
    const std::vector<Call> frames = fake.rec().of("frame");
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].b, 15);
    EXPECT_FLOAT_EQ(frames[1].y, 0);
    EXPECT_FLOAT_EQ(frames[1].h, 20);
}

// ---------------------------------------------------------------------------
// ScrollBox: a 100 x 120 viewport over ten 100 x 50 entries (500 high), entry
// i answering 1000 + i.

struct Scroll : ::testing::Test {
    FakeGfx fake;
    Container root;
    ScrollBox* box = nullptr;
    std::vector<Widget*> entries;
    Table* list = nullptr;
    void SetUp() override {
        list = new Table;
        for (int i = 0; i < 10; ++i) {
            tr(list);
            Widget* e = new Widget;
            e->styles[STYLE_BASE].width = 100;
            e->styles[STYLE_BASE].height = 50;
            e->click_value = 1000 + i;
            td(list, e);
            entries.push_back(e);
        }
        box = new ScrollBox(list);
        box->styles[STYLE_BASE].width = 100;
        box->styles[STYLE_BASE].height = 120;
        add(&root, box);
        root.measure_content();
    }
    int click(float x, float y) {
        root.event(mouse(EV_MOUSEDOWN, x, y, 1));
        return root.event(mouse(EV_MOUSEUP, x, y, 1));
    }
};

TEST_F(Scroll, ClicksReachEntriesThroughTheOffset) {
    EXPECT_EQ(box->w, 100);
    EXPECT_EQ(box->h, 120);
    EXPECT_EQ(click(50, 75), 1001);
    root.event(wheel(50, 75, 1));
    EXPECT_EQ(box->scroll_y, 30);
    EXPECT_EQ(click(50, 75), 1002);
    root.event(wheel(50, 75, 100));
    EXPECT_EQ(box->scroll_y, 380);
    EXPECT_EQ(click(50, 119), 1009);
    root.event(wheel(50, 75, -100));
    EXPECT_EQ(box->scroll_y, 0);
}

TEST_F(Scroll, ReleaseAfterADragGivesNoClick) {
    root.event(mouse(EV_MOUSEDOWN, 50, 100, 1));
    EXPECT_EQ(root.event(drag(50, 60, 0, -40)), 0);
    EXPECT_EQ(box->scroll_y, 40);
    EXPECT_TRUE(box->dragging);
    EXPECT_EQ(root.event(mouse(EV_MOUSEUP, 50, 60, 1)), 0);
    EXPECT_FALSE(box->dragging);
    // The next plain click works again.
    EXPECT_EQ(click(50, 20), 1001);
}

TEST_F(Scroll, FlingGlidesAndDecays) {
    root.event(mouse(EV_MOUSEDOWN, 50, 100, 1));
    root.event(drag(50, 95, 0, -5));
    root.event(mouse(EV_MOUSEUP, 50, 95, 1));
    EXPECT_EQ(box->scroll_y, 5);
    EXPECT_EQ(box->fling, -5);
    std::vector<int> offsets, flings;
    for (int i = 0; i < 4; ++i) {
        box->tick();
        offsets.push_back(box->scroll_y);
        flings.push_back(box->fling);
    }
    EXPECT_EQ(offsets, (std::vector<int>{10, 13, 14, 14}));
    EXPECT_EQ(flings, (std::vector<int>{-3, -1, 0, 0}));
    // A fling stops at the end of the content.
    root.event(mouse(EV_MOUSEDOWN, 50, 100, 1));
    root.event(drag(50, 0, 0, -100));
    root.event(drag(50, -300, 0, -300));
    root.event(mouse(EV_MOUSEUP, 50, -300, 1));
    for (int i = 0; i < 200; ++i) box->tick();
    EXPECT_EQ(box->scroll_y, 380);
    EXPECT_EQ(box->fling, 0);
}

TEST_F(Scroll, PointerOutsideTheViewportHoversNothingInside) {
    root.event(mouse(EV_MOUSEDOWN, 50, 10, 1));
    root.event(mouse(EV_MOUSEUP, 50, 10, 1));
    ASSERT_TRUE(box->focused);
    // Entry 2 lies below the viewport at y 130; the pointer is there.
    root.event(mouse(EV_MOUSEMOVE, 50, 130));
    for (Widget* e : entries) EXPECT_FALSE(e->hovered);
    root.event(mouse(EV_MOUSEMOVE, 50, 110));
    EXPECT_TRUE(entries[2]->hovered);
}

TEST_F(Scroll, PaintsClippedAndOffset) {
    entries[0]->styles[STYLE_BASE].background = 0x010203;
    root.measure_content();
    box->scroll_y = 20;
    root.paint_content();
    const std::vector<Call> fills = fake.rec().of("fill");
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_FLOAT_EQ(fills[0].ay(), -20);
    EXPECT_EQ(fills[0].clip_depth, 1);
    EXPECT_EQ(fake.rec().ty, 0);
    EXPECT_EQ(fake.rec().clip_depth, 0);
}

TEST_F(Scroll, BarFollowsTheBoxAndMovesIt) {
    // Rebuild the box inside a ScrollBox2.
    root.children.clear();   // (ownership moves to the pair below)
    root.hover_child = root.focus_child = nullptr;
    ScrollBox2* pair = new ScrollBox2(box);
    add(&root, pair);
    root.measure_content();
    VSlider* bar = pair->bar;
    EXPECT_EQ(bar->styles[STYLE_BASE].height, 116);
    EXPECT_EQ(bar->x, 100);
    EXPECT_EQ(bar->max, 380);
    EXPECT_EQ(bar->knob, 27);   // 116 x 120 / 500
    box->scroll_y = 100;
    root.measure_content();
    EXPECT_EQ(bar->value, 100);
    // The wheel over the bar scrolls the box.
    root.event(mouse(EV_MOUSEMOVE, 110, 50));
    EXPECT_EQ(root.event(wheel(110, 50, 1)), 0);
    EXPECT_EQ(bar->value, 130);
    EXPECT_EQ(box->scroll_y, 130);
    // A press near the bar's top: (10 - 27 / 2) x 381 / 89 < 0, so 0.
    EXPECT_EQ(root.event(mouse(EV_MOUSEDOWN, 120, 2 + 10, 1)), 0);
    EXPECT_EQ(box->scroll_y, 0);
    root.event(mouse(EV_MOUSEUP, 120, 12, 1));
    // Entries are still clicked through the pair.
    EXPECT_EQ(click(50, 75), 1001);
}

// The pair's box and bar are children like any other: removing, replacing or
// clearing them leaves no pointer to a deleted widget behind.
TEST(ScrollPair, BoxAndBarNeverOutliveTheirWidgets) {
    FakeGfx fake;
    auto viewport = [] {
        Widget* list = new Widget;
        list->styles[STYLE_BASE].width = 100;
        list->styles[STYLE_BASE].height = 500;
        ScrollBox* b = new ScrollBox(list);
        b->styles[STYLE_BASE].width = 100;
        b->styles[STYLE_BASE].height = 120;
        return b;
    };
    Container root;
    ScrollBox2* pair = new ScrollBox2(viewport());
    add(&root, pair);
    root.measure_content();

    remove(pair, pair->box);
    EXPECT_EQ(pair->box, nullptr);
    root.measure_content();
    root.event(wheel(110, 50, 1));

    ScrollBox* fresh = viewport();
    replace(pair->bar, fresh);   // a bar that is no slider is no bar
    EXPECT_EQ(pair->bar, nullptr);
    root.measure_content();

    Container root2;
    ScrollBox2* pair2 = new ScrollBox2(viewport());
    add(&root2, pair2);
    ScrollBox* box2 = viewport();
    replace(pair2->box, box2);   // a scroll box takes the old one's place
    EXPECT_EQ(pair2->box, box2);
    VSlider* bar2 = new VSlider;
    bar2->change_value = -1;
    replace(pair2->bar, bar2);
    EXPECT_EQ(pair2->bar, bar2);
    root2.measure_content();
    box2->scroll_y = 15;
    root2.measure_content();
    EXPECT_EQ(bar2->value, 15);

    clear(pair2);
    EXPECT_EQ(pair2->box, nullptr);
    ASSERT_NE(pair2->bar, nullptr);
    EXPECT_NE(std::find(pair2->children.begin(), pair2->children.end(), pair2->bar),
              pair2->children.end());
    root2.measure_content();
    root2.event(wheel(10, 10, 1));
}

// ---------------------------------------------------------------------------
// GridPicker

TEST(GridPickerTest, RowsSelectionAndAnswers) {
    FakeGfx fake;
    Container root;
    GridPicker* p = new GridPicker;
    p->change_value = 5;
    const char* names[] = {"Auto", "b", "c", "d", "e", "f", "g"};
    for (int i = 0; i < 7; ++i) p->add_entry(names[i], i == 0 ? -1 : i, i == 0 ? 200 : 0);
    add(&root, p);
    root.measure_content();
    EXPECT_EQ(p->count, 7);
    EXPECT_EQ(p->cur_row, 1);
    std::vector<VBox*> cells;
    for (Widget* c : p->children)
        if (c != p->filler) cells.push_back(static_cast<VBox*>(c));
    ASSERT_EQ(cells.size(), 7u);
    VBox* first = nullptr;
    VBox* g = nullptr;
    for (VBox* c : cells) {
        if (c->value == -1) first = c;
        if (c->value == 6) g = c;
    }
    ASSERT_TRUE(first && g);
    EXPECT_EQ(first->w, 200);
    EXPECT_EQ(g->row, 1);
    EXPECT_EQ(g->col, 1);
    EXPECT_EQ(static_cast<Label*>(g->child())->font, fake_font_get("font3"));

    EXPECT_TRUE(p->has_value(-1));
    EXPECT_FALSE(p->has_value(9));

    const Rect r = screen_rect(g);
    root.event(mouse(EV_MOUSEDOWN, r.x + r.w / 2, r.y + r.h / 2, 1));
    EXPECT_EQ(root.event(mouse(EV_MOUSEUP, r.x + r.w / 2, r.y + r.h / 2, 1)), 5);
    EXPECT_EQ(p->get_value_i(), 6);
    for (VBox* c : cells) EXPECT_EQ(c->selected, c == g ? 1 : 0);
    root.measure_content();
    EXPECT_EQ(g->styles[STYLE_CURRENT].box, fake_image_get("box2"));
    EXPECT_EQ(first->styles[STYLE_CURRENT].box, fake_image_get("box"));

    p->set_value_i(-1);
    EXPECT_TRUE(first->selected);
    EXPECT_FALSE(g->selected);
    // The selected entry keeps its hover state too.
    EXPECT_EQ(g->variant, 4);
}

// ---------------------------------------------------------------------------
// clear, on every kind of container

// What a container holds beyond its children's widgets and the common fields
// clear resets by itself, as text.
std::string own_state(Container* c) {
    std::ostringstream o;
    const Style& base = c->styles[STYLE_BASE];
    o << "margins " << base.margin_top << " " << base.margin_right << " " << base.margin_bottom
      << " " << base.margin_left << "; children " << c->children.size();
    if (auto* v = dynamic_cast<VBox*>(c)) o << "; value " << v->value;
    if (auto* t = dynamic_cast<Table*>(c)) {
        const bool filler_is_child =
            std::find(t->children.begin(), t->children.end(), t->filler) != t->children.end();
        o << "; row " << t->cur_row << " col " << t->cur_col << " filler " << filler_is_child
          << (t->filler && t->filler->disabled ? " disabled" : "");
    }
    if (auto* p = dynamic_cast<GridPicker*>(c))
        o << "; value " << p->value << " columns " << p->columns << " count " << p->count;
    if (auto* b = dynamic_cast<ScrollBox*>(c)) o << "; dragging " << b->dragging << " fling " << b->fling;
    if (auto* p = dynamic_cast<ScrollBox2*>(c)) {
        o << "; box " << (p->box != nullptr) << " bar";
        if (const VSlider* bar = p->bar) {
            const Style& s = bar->styles[STYLE_BASE];
            o << " " << bar->min << ".." << bar->max << " at " << bar->value << " knob " << bar->knob
              << " " << s.width << "x" << s.height << " left " << s.margin_left << " answers "
              << bar->change_value << " cell " << bar->col << "," << bar->row;
        }
    }
    return o.str();
}

TEST(Clear, LeavesEveryKindOfContainerAsItsConstructorMakesIt) {
    FakeGfx fake;
    auto list = [] {
        Widget* w = new Widget;
        w->styles[STYLE_BASE].width = 100;
        w->styles[STYLE_BASE].height = 500;
        return w;
    };
    struct Case {
        const char* kind;
        std::function<Container*()> make_new;   // as a cleared one must be
        std::function<Container*()> make_used;
    } cases[] = {
        {"Box", [] { return new Box(nullptr); }, [] {
             Box* b = new Box(new Widget);
             set_margins(b->styles[STYLE_BASE], 3);
             return b;
         }},
        {"VBox", [] { return new VBox(nullptr); }, [] {
             VBox* v = new VBox(new Widget);
             v->value = 7;
             return v;
         }},
        {"Table", [] { return new Table; }, [] {
             Table* t = new Table;
             tr(t);
             td(t, new Widget);
             tr(t);
             return t;
         }},
        {"GridPicker", [] { return new GridPicker; }, [] {
             GridPicker* p = new GridPicker;
             p->columns = 2;
             for (int i = 1; i <= 5; ++i) p->add_entry("x", i, 0);
             p->set_value_i(4);
             return p;
         }},
        {"ScrollBox", [] { return new ScrollBox(nullptr); }, [&] {
             ScrollBox* b = new ScrollBox(list());
             b->styles[STYLE_BASE].width = 100;
             b->styles[STYLE_BASE].height = 120;
             Container root;
             add(&root, b);
             root.measure_content();
             root.event(mouse(EV_MOUSEDOWN, 50, 50, 1));
             root.event(drag(50, 40, 0, -10));
             root.children.clear();   // (handed back without the root)
             b->parent = nullptr;
             return static_cast<Container*>(b);
         }},
        {"ScrollBox2", [] { return new ScrollBox2(nullptr); }, [&] {
             ScrollBox* b = new ScrollBox(list());
             b->styles[STYLE_BASE].height = 120;
             ScrollBox2* p = new ScrollBox2(b);
             p->measure_content();
             b->scroll_y = 40;
             p->measure_content();
             return static_cast<Container*>(p);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        std::unique_ptr<Container> fresh(c.make_new());
        std::unique_ptr<Container> used(c.make_used());
        ASSERT_NE(own_state(used.get()), own_state(fresh.get()));
        clear(used.get());
        EXPECT_EQ(own_state(used.get()), own_state(fresh.get()));
    }
}

// ---------------------------------------------------------------------------
// WRotate

TEST(WRotateTest, TurnsOnPressAndKeepsTurningWhileHeld) {
    FakeGfx fake;
    auto lv = std::make_unique<level>();
    Container root;
    WRotate* r = new WRotate(lv.get(), -1);
    r->styles[STYLE_BASE].width = 76;
    r->styles[STYLE_BASE].height = 76;
    add(&root, r);
    root.measure_content();
    root.event(mouse(EV_MOUSEDOWN, 30, 30, 1));
    EXPECT_FLOAT_EQ(lv->cam_angle_target, -45);
    EXPECT_TRUE(r->held);
    r->tick();   // the view has not caught up
    EXPECT_FLOAT_EQ(lv->cam_angle_target, -45);
    lv->cam_angle = -44.5f;
    r->tick();
    EXPECT_FLOAT_EQ(lv->cam_angle_target, -90);
    // Off the button: no more turning while the pointer is away.
    root.event(drag(200, 200, 170, 170));
    lv->cam_angle = -90;
    r->tick();
    EXPECT_FLOAT_EQ(lv->cam_angle_target, -90);
    root.event(drag(30, 30, -170, -170));
    r->tick();
    EXPECT_FLOAT_EQ(lv->cam_angle_target, -135);
    root.event(mouse(EV_MOUSEUP, 30, 30, 1));
    EXPECT_FALSE(r->held);
    lv->cam_angle = -135;
    r->tick();
    EXPECT_FLOAT_EQ(lv->cam_angle_target, -135);

    WRotate right(lv.get(), 1);
    right.event(mouse(EV_MOUSEDOWN, 1, 1, 1));
    EXPECT_FLOAT_EQ(lv->cam_angle_target, -90);
}

// ---------------------------------------------------------------------------
// WBomb

struct Bomb : ::testing::Test {
    FakeGfx fake;
    std::unique_ptr<game> g = std::make_unique<game>();
    actor* player = nullptr;
    void SetUp() override {
        memset(g.get(), 0, sizeof(game));
        player = &spawn_actor(*g);
        player->active = 1;
        player->kind = ACTOR_PLAYER;
        player->x = 64;
        player->y = 64;
    }
    actor& place(int kind, float x, float y) {
        actor& a = spawn_actor(*g);
        a.active = 1;
        a.kind = uint8_t(kind);
        a.x = x;
        a.y = y;
        return a;
    }
    std::vector<Call> paint(int kind) {
        WBomb w(g.get(), kind);
        w.measure();
        fake.rec().calls.clear();
        w.paint_content();
        return fake.rec().calls;
    }
};

TEST_F(Bomb, NoStockNothingOnTheMapIsDimWithNoNumber) {
    const std::vector<Call> calls = paint(ACTOR_DETONATOR);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].op, "image");
    EXPECT_EQ(calls[0].id, fake_image_get("icon-bomb1"));
    EXPECT_FLOAT_EQ(calls[0].x, 10);
    EXPECT_FLOAT_EQ(calls[0].w, 76);
    EXPECT_FLOAT_EQ(calls[0].tint[3], 0.25f);
    EXPECT_FLOAT_EQ(fake.rec().tint[3], 1.0f);
}

TEST_F(Bomb, StockShowsTheNumber) {
    g->level.inventory[ACTOR_MINI_BOMB] = 3;
    const std::vector<Call> calls = paint(ACTOR_MINI_BOMB);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].id, fake_image_get("icon-bomb4"));
    EXPECT_FLOAT_EQ(calls[0].tint[3], 1.0f);
    EXPECT_EQ(calls[1].op, "text");
    EXPECT_EQ(calls[1].text, "3");
    EXPECT_EQ(calls[1].id, fake_font_get("font1"));
    EXPECT_FLOAT_EQ(calls[1].x, 96 - 20 - 10);
    EXPECT_FLOAT_EQ(calls[1].y, 96 - 5 - 20);
}

TEST_F(Bomb, BombsOnTheMapAreHighlighted) {
    struct Case { int kind; float r, g, b, a; } cases[] = {
        {ACTOR_DETONATOR, 1, 0, 0, 0.7f},
        {ACTOR_TIME_BOMB, 0, 0, 1, 0.35f},
        {ACTOR_EMP_BOMB, 0, 0, 1, 0.35f},
        {ACTOR_MINI_BOMB, 1, 0, 0, 0.7f},
    };
    for (const Case& c : cases) {
        actor& b = place(c.kind, 20, 30);
        const std::vector<Call> calls = paint(c.kind);
        ASSERT_EQ(calls.size(), 3u) << c.kind;
        EXPECT_EQ(calls[0].id, fake_image_get("white"));
        EXPECT_FLOAT_EQ(calls[0].w, 96);
        EXPECT_FLOAT_EQ(calls[0].tint[0], c.r);
        EXPECT_FLOAT_EQ(calls[0].tint[2], c.b);
        EXPECT_FLOAT_EQ(calls[0].tint[3], c.a);
        EXPECT_FLOAT_EQ(calls[1].tint[3], 1.0f);   // the icon is not dimmed
        EXPECT_EQ(calls[2].text, "0");
        b.active = 0;
    }
}

TEST_F(Bomb, StandingOnOneToPickUp) {
    player->x = 63.8f;   // stands on cell (64, 64), where the bomb lies
    player->y = 64.3f;
    place(ACTOR_TIME_BOMB, 64, 64);
    const std::vector<Call> calls = paint(ACTOR_TIME_BOMB);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_FLOAT_EQ(calls[0].tint[0], 1);
    EXPECT_FLOAT_EQ(calls[0].tint[1], 1);
    EXPECT_FLOAT_EQ(calls[0].tint[3], 0.35f);
}

TEST_F(Bomb, LeftPressUsesTheBomb) {
    g->level.inventory[ACTOR_DETONATOR] = 2;
    WBomb w(g.get(), ACTOR_DETONATOR);
    EXPECT_EQ(w.event(mouse(EV_MOUSEDOWN, 5, 5, 3)), 0);
    EXPECT_EQ(g->level.inventory[ACTOR_DETONATOR], 2);
    EXPECT_EQ(w.event(mouse(EV_MOUSEDOWN, 5, 5, 1)), -1);
    EXPECT_EQ(g->level.inventory[ACTOR_DETONATOR], 1);
    const actor* placed = find_actor(*g, ACTOR_DETONATOR);
    ASSERT_NE(placed, nullptr);
    EXPECT_FLOAT_EQ(placed->x, 64);
    w.measure();
    EXPECT_EQ(w.content_w, 96);
    EXPECT_EQ(w.content_h, 96);
}

}  // namespace
