// Event routing through containers: focus, hover, click synthesis, Tab, the
// tree operations and screen rectangles.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "test_gfx.h"
#include "test_support.h"
#include "ui/widget.h"

using namespace uitest;

namespace {

// A widget that keeps every event it is handed.
struct Probe : Widget {
    std::vector<Event> seen;
    int event(const Event& ev) override {
        seen.push_back(ev);
        return Widget::event(ev);
    }
    int count(int kind) const {
        int n = 0;
        for (const Event& e : seen) n += e.kind == kind;
        return n;
    }
};

Probe* probe(int x, int y, int w, int h, int click = 0) {
    Probe* p = new Probe;
    p->styles[STYLE_BASE].width = w;
    p->styles[STYLE_BASE].height = h;
    p->x = x;
    p->y = y;
    p->click_value = click;
    return p;
}

struct Routing : ::testing::Test {
    FakeGfx fake;
    std::unique_ptr<Container> root = std::make_unique<Container>();
    Probe* a = nullptr;
    Probe* b = nullptr;
    void SetUp() override {
        a = probe(0, 0, 100, 50, 7);
        b = probe(200, 0, 100, 50, 8);
        add(root.get(), a);
        add(root.get(), b);
        root->measure_content();
    }
    int send(const Event& e) { return root->event(e); }
};

TEST_F(Routing, PressAndReleaseOnOneChildClicksIt) {
    EXPECT_EQ(send(mouse(EV_MOUSEMOVE, 10, 10)), 0);
    EXPECT_EQ(send(mouse(EV_MOUSEDOWN, 10, 10, 1)), 0);
    EXPECT_TRUE(a->focused);
    EXPECT_TRUE(a->pressed);
    EXPECT_EQ(a->variant, 4);
    EXPECT_EQ(send(mouse(EV_MOUSEUP, 12, 12, 1)), 7);
    EXPECT_EQ(a->count(EV_CLICK), 1);
    // The child saw coordinates relative to itself.
    EXPECT_FLOAT_EQ(a->seen.back().x, 12);
}

TEST_F(Routing, DragOffAndReleaseElsewhereGivesNoClick) {
    send(mouse(EV_MOUSEDOWN, 10, 10, 1));
    send(mouse(EV_MOUSEMOVE, 250, 10, 1));
    EXPECT_FALSE(a->hovered);
    EXPECT_TRUE(b->hovered);
    EXPECT_EQ(send(mouse(EV_MOUSEUP, 250, 10, 1)), 0);
    EXPECT_EQ(a->count(EV_CLICK), 0);
    EXPECT_EQ(b->count(EV_CLICK), 0);
    EXPECT_EQ(b->count(EV_MOUSEUP), 0);   // the release goes to the focused child only
    EXPECT_EQ(a->count(EV_MOUSEUP), 1);
    EXPECT_TRUE(a->focused);
    EXPECT_EQ(root->focus_child, a);
    EXPECT_EQ(a->variant, 3);
    EXPECT_EQ(b->variant, 2);
}

TEST_F(Routing, PressOnEmptySpaceBlurs) {
    send(mouse(EV_MOUSEDOWN, 10, 10, 1));
    ASSERT_TRUE(a->focused);
    send(mouse(EV_MOUSEDOWN, 150, 30, 1));
    EXPECT_FALSE(a->focused);
    EXPECT_EQ(root->focus_child, nullptr);
    EXPECT_EQ(root->hover_child, nullptr);
    EXPECT_EQ(a->count(EV_BLUR), 1);
}

TEST_F(Routing, DisabledChildIsNeverHoveredFocusedOrClickedButIsPainted) {
    a->disabled = 1;
    a->styles[STYLE_BASE].background = 0x123456;
    root->measure_content();
    send(mouse(EV_MOUSEMOVE, 10, 10));
    send(mouse(EV_MOUSEDOWN, 10, 10, 1));
    EXPECT_EQ(send(mouse(EV_MOUSEUP, 10, 10, 1)), 0);
    EXPECT_FALSE(a->hovered);
    EXPECT_FALSE(a->focused);
    EXPECT_TRUE(a->seen.empty());
    root->paint_content();
    ASSERT_EQ(fake.rec().of("fill").size(), 1u);
    EXPECT_EQ(fake.rec().of("fill")[0].id, 0x123456);
}

TEST_F(Routing, LaterOfTwoOverlappingChildrenGetsThePointer) {
    Probe* top = probe(50, 0, 100, 50, 9);
    add(root.get(), top);
    root->measure_content();
    struct Case { float x; int expect; } cases[] = {{25, 7}, {75, 9}, {140, 9}, {160, 0}, {250, 8}};
    for (const Case& c : cases) {
        send(mouse(EV_MOUSEDOWN, c.x, 10, 1));
        EXPECT_EQ(send(mouse(EV_MOUSEUP, c.x, 10, 1)), c.expect) << "at x " << c.x;
    }
}

TEST_F(Routing, EdgesAreHalfOpen) {
    struct Case { float x, y; int expect; } cases[] = {
        {0, 0, 7}, {99.9f, 49.9f, 7}, {100, 10, 0}, {10, 50, 0}, {-0.1f, 10, 0}, {200, 0, 8}};
    for (const Case& c : cases) {
        send(mouse(EV_MOUSEDOWN, c.x, c.y, 1));
        EXPECT_EQ(send(mouse(EV_MOUSEUP, c.x, c.y, 1)), c.expect) << c.x << "," << c.y;
    }
}

TEST_F(Routing, KeysGoToTheFocusedChildOnly) {
    send(mouse(EV_MOUSEMOVE, 250, 10));           // b hovered
    send(mouse(EV_MOUSEDOWN, 10, 10, 1));         // a focused (and now hovered)
    send(mouse(EV_MOUSEMOVE, 250, 10));           // b hovered again
    const size_t b_before = b->seen.size();
    send(key(KEY_LEFT));
    EXPECT_EQ(a->count(EV_KEYDOWN), 1);
    EXPECT_EQ(b->seen.size(), b_before);
    // The wheel reaches the hovered child, then the focused one.
    send(wheel(250, 10, 1));
    EXPECT_EQ(b->count(EV_WHEEL), 1);
    EXPECT_EQ(a->count(EV_WHEEL), 1);
}

TEST_F(Routing, ClickIsNeverForwarded) {
    send(mouse(EV_MOUSEDOWN, 10, 10, 1));
    Event click{};
    click.kind = EV_CLICK;
    root->click_value = 0;
    EXPECT_EQ(send(click), 0);
    EXPECT_EQ(a->count(EV_CLICK), 0);
    root->click_value = 42;
    EXPECT_EQ(send(click), 42);
}

TEST_F(Routing, LeaveOnTheContainerLeavesItsHoverChild) {
    send(mouse(EV_MOUSEMOVE, 10, 10));
    ASSERT_TRUE(a->hovered);
    Event leave{};
    leave.kind = EV_LEAVE;
    EXPECT_EQ(send(leave), 0);
    EXPECT_FALSE(a->hovered);
    EXPECT_EQ(root->hover_child, nullptr);
}

TEST_F(Routing, PressOnAChildGivesFocusWithKey6) {
    send(mouse(EV_MOUSEDOWN, 10, 10, 1));
    ASSERT_GE(a->seen.size(), 2u);
    EXPECT_EQ(a->seen[0].kind, EV_FOCUS);
    EXPECT_EQ(a->seen[0].key, 6u);
    EXPECT_EQ(a->seen[1].kind, EV_ENTER);
    EXPECT_EQ(a->seen[2].kind, EV_MOUSEDOWN);
}

// A Box with its own click value around a child with another: the deepest
// non-zero answer wins, and a child answering 0 lets the box's value through.
TEST(RoutingNested, DeepestNonZeroAnswerWins) {
    FakeGfx fake;
    struct Case { int outer, inner, expect; } cases[] = {{5, 9, 9}, {5, 0, 5}, {0, 9, 9}, {0, 0, 0}};
    for (const Case& c : cases) {
        Container root;
        Probe* inner = probe(0, 0, 40, 40, c.inner);
        Box* box = new Box(inner);
        set_paddings(box->styles[STYLE_BASE], 10);
        box->click_value = c.outer;
        box->x = 100;
        box->y = 100;
        add(&root, box);
        root.measure_content();
        root.event(mouse(EV_MOUSEDOWN, 120, 120, 1));
        EXPECT_EQ(root.event(mouse(EV_MOUSEUP, 120, 120, 1)), c.expect)
            << c.outer << "/" << c.inner;
    }
}

TEST(RoutingNested, FindReturnsADescendantBeforeTheContainer) {
    FakeGfx fake;
    Container root;
    root.name = "x";
    Table* t = new Table;
    t->name = "table";
    Label* first = new Label(2, "a");
    first->name = "x";
    Label* second = new Label(2, "b");
    second->name = "x";
    tr(t);
    td(t, first);
    td(t, second);
    add(&root, t);
    EXPECT_EQ(find(&root, "x"), first);
    EXPECT_EQ(find(&root, "table"), t);
    EXPECT_EQ(find(&root, "none"), nullptr);
    EXPECT_EQ(find(nullptr, "x"), nullptr);
    first->name.clear();
    second->name.clear();
    EXPECT_EQ(find(&root, "x"), &root);
}

TEST(RoutingNested, TabMovesFocusAlongNextFocusAcrossBranches) {
    FakeGfx fake;
    Container root;
    Probe* a = probe(0, 0, 50, 50);
    Probe* b = probe(0, 0, 50, 50);
    Box* left = new Box(a);
    Box* right = new Box(b);
    right->x = 100;
    add(&root, left);
    add(&root, right);
    root.measure_content();
    a->next_focus = b;

    root.event(mouse(EV_MOUSEDOWN, 10, 10, 1));
    ASSERT_TRUE(a->focused);
    ASSERT_TRUE(left->focused);
    root.event(key(KEY_TAB));
    EXPECT_FALSE(a->focused);
    EXPECT_FALSE(left->focused);
    EXPECT_EQ(left->focus_child, nullptr);
    EXPECT_TRUE(b->focused);
    EXPECT_TRUE(right->focused);
    EXPECT_EQ(right->focus_child, b);
    EXPECT_EQ(root.focus_child, right);
    EXPECT_EQ(b->seen.back().kind, EV_FOCUS);
    EXPECT_EQ(b->seen.back().key, 0u);   // not a press
    // Keys now reach b.
    root.event(key(KEY_LEFT));
    EXPECT_EQ(b->count(EV_KEYDOWN), 1);
    EXPECT_EQ(a->count(EV_KEYDOWN), 1);   // only the Tab itself
}

TEST(RoutingNested, FocusOfNullOrTheSameWidgetIsHarmless) {
    FakeGfx fake;
    Container root;
    Probe* a = probe(0, 0, 50, 50);
    add(&root, a);
    a->focus();
    a->focus();
    EXPECT_TRUE(a->focused);
    EXPECT_TRUE(root.focused);
    EXPECT_EQ(root.focus_child, a);
    a->next_focus = nullptr;
    root.event(key(KEY_TAB));
    EXPECT_TRUE(a->focused);
}

TEST(TreeOps, RemoveForgetsHoverAndFocus) {
    FakeGfx fake;
    Container root;
    Probe* a = probe(0, 0, 50, 50);
    Probe* b = probe(60, 0, 50, 50);
    add(&root, a);
    add(&root, b);
    root.measure_content();
    root.event(mouse(EV_MOUSEDOWN, 10, 10, 1));
    remove(&root, a);
    EXPECT_EQ(root.focus_child, nullptr);
    EXPECT_EQ(root.hover_child, nullptr);
    ASSERT_EQ(root.children.size(), 1u);
    remove(&root, nullptr);
    Probe stranger;
    remove(&root, &stranger);   // not a child: ignored, not deleted
    EXPECT_EQ(root.children.size(), 1u);
    // Routing after removal is safe.
    root.event(mouse(EV_MOUSEUP, 10, 10, 1));
    root.event(mouse(EV_MOUSEMOVE, 70, 10));
    EXPECT_TRUE(b->hovered);
}

TEST(TreeOps, RemovedWidgetsAreNoLongerTabTargets) {
    FakeGfx fake;
    Container root;
    Probe* a = probe(0, 0, 50, 50);
    Box* box = new Box(probe(0, 0, 10, 10));
    Probe* b = static_cast<Probe*>(box->child());
    Probe* c = probe(100, 0, 50, 50);
    add(&root, a);
    add(&root, box);
    add(&root, c);
    a->next_focus = b;
    c->next_focus = a;
    b->next_focus = c;
    remove(&root, box);
    EXPECT_EQ(a->next_focus, nullptr);
    EXPECT_EQ(c->next_focus, a);
    a->focus();
    root.event(key(KEY_TAB));
    EXPECT_TRUE(a->focused);
}

TEST(TreeOps, ReplaceKeepsTheCellAndTheTableLaysItOut) {
    FakeGfx fake;
    Table t;
    tr(&t);
    Probe* a = probe(0, 0, 30, 10);
    Probe* b = probe(0, 0, 40, 10);
    td(&t, a);
    td(&t, b);
    t.measure_content();
    t.event(mouse(EV_MOUSEDOWN, 35, 5, 1));
    ASSERT_EQ(t.focus_child, b);
    Probe* c = probe(0, 0, 60, 20, 3);
    replace(b, c);
    EXPECT_EQ(t.focus_child, nullptr);
    EXPECT_EQ(c->parent, &t);
    EXPECT_EQ(c->col, 1);
    EXPECT_EQ(c->row, 0);
    t.measure_content();
    EXPECT_EQ(c->x, 30);
    EXPECT_EQ(t.content_w, 90);
    EXPECT_EQ(t.content_h, 20);
    // In a plain container the newcomer takes the old one's place.
    Container root;
    Probe* d = probe(70, 80, 10, 10);
    add(&root, d);
    Probe* e = probe(0, 0, 10, 10);
    replace(d, e);
    EXPECT_EQ(e->x, 70);
    EXPECT_EQ(e->y, 80);
    // Without a parent nothing happens and the caller keeps the widget.
    std::unique_ptr<Probe> orphan(probe(0, 0, 1, 1));
    std::unique_ptr<Probe> other(probe(0, 0, 1, 1));
    replace(orphan.get(), other.get());
    EXPECT_EQ(other->parent, nullptr);
}

TEST(TreeOps, ATablesFillerCannotBeRemovedOrReplaced) {
    FakeGfx fake;
    Table t;
    t.styles[STYLE_BASE].width = 40;
    style_resolve(&t);
    tr(&t);
    td(&t, probe(0, 0, 10, 10));
    Widget* filler = t.filler;
    std::string err = test::stderr_of([&] { remove(&t, filler); });
    EXPECT_NE(err.find("a table keeps its filler"), std::string::npos) << err;
    std::unique_ptr<Probe> fresh(probe(0, 0, 5, 5));
    err = test::stderr_of([&] { replace(filler, fresh.get()); });
    EXPECT_NE(err.find("a table keeps its filler"), std::string::npos) << err;
    EXPECT_EQ(fresh->parent, nullptr);   // refused: the caller keeps it
    ASSERT_EQ(t.filler, filler);
    EXPECT_EQ(std::count(t.children.begin(), t.children.end(), filler), 1);
    t.measure_content();   // the layout still reaches the filler
    EXPECT_EQ(t.content_w, 40);
}

TEST(TreeOps, ReplaceRefusesANewcomerThatIsAlreadyOwned) {
    FakeGfx fake;
    Container root;
    Box* old = new Box(new Box(probe(0, 0, 10, 10)));
    Container* elsewhere = new Container;
    Probe* owned = probe(0, 0, 10, 10);
    add(elsewhere, owned);
    add(&root, old);
    add(&root, elsewhere);
    Widget* inner = old->child();
    Widget* innermost = static_cast<Box*>(inner)->child();
    struct Case {
        const char* name;
        Widget* fresh;
        const char* diagnostic;
    } cases[] = {
        {"inside the old one", inner, "the new widget already has a parent"},
        {"deep inside the old one", innermost, "the new widget already has a parent"},
        {"in another container", owned, "the new widget already has a parent"},
        {"holding the old one", &root, "the new widget holds the old one"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Widget* const parent_before = c.fresh->parent;
        const std::string err = test::stderr_of([&] { replace(old, c.fresh); });
        EXPECT_NE(err.find(c.diagnostic), std::string::npos) << err;
        // Nothing moved and nothing was freed.
        EXPECT_EQ(c.fresh->parent, parent_before);
        ASSERT_EQ(root.children.size(), 2u);
        EXPECT_EQ(root.children[0], old);
        EXPECT_EQ(old->child(), inner);
        EXPECT_EQ(static_cast<Box*>(inner)->child(), innermost);
        EXPECT_EQ(elsewhere->children, std::vector<Widget*>{owned});
    }
    root.measure_content();
}

TEST(TreeOps, ClearResetsTheContainer) {
    FakeGfx fake;
    Container root;
    root.name = "root";
    root.click_value = 5;
    root.styles[STYLE_BASE].width = 3;
    add(&root, probe(0, 0, 10, 10));
    root.measure_content();
    root.event(mouse(EV_MOUSEDOWN, 5, 5, 1));
    clear(&root);
    EXPECT_TRUE(root.children.empty());
    EXPECT_EQ(root.focus_child, nullptr);
    EXPECT_EQ(root.hover_child, nullptr);
    EXPECT_EQ(root.click_value, 0);
    EXPECT_TRUE(root.name.empty());
    EXPECT_EQ(root.styles[STYLE_BASE].width, STYLE_UNSET);
    EXPECT_EQ(root.content_w, 0);

    Table t;
    tr(&t);
    td(&t, probe(0, 0, 10, 10));
    clear(&t);
    ASSERT_EQ(t.children.size(), 1u);
    EXPECT_EQ(t.children[0], t.filler);
    EXPECT_TRUE(t.filler->disabled);
    EXPECT_EQ(t.cur_row, -1);
    td(&t, probe(0, 0, 10, 10));
    t.measure_content();
    EXPECT_EQ(t.content_w, 10);
}

// For every leaf of a nested layout, a press and release at the centre of its
// screen rectangle clicks exactly that leaf; screen_rect and routing agree.
TEST(ScreenRect, CentreOfEveryLeafClicksIt) {
    FakeGfx fake;
    Container root;
    Table* t = new Table;
    set_margins(t->styles[STYLE_BASE], 7);
    set_paddings(t->styles[STYLE_BASE], 3);
    t->x = 40;
    t->y = 30;
    std::vector<Probe*> leaves;
    int value = 1;
    for (int r = 0; r < 3; ++r) {
        tr(t);
        for (int c = 0; c < 3; ++c) {
            Probe* p = probe(0, 0, 20 + 10 * c, 15 + 5 * r, value++);
            set_margins(p->styles[STYLE_BASE], 2);
            Box* box = new Box(p);
            set_borders(box->styles[STYLE_BASE], 1);
            set_paddings(box->styles[STYLE_BASE], 4);
            box->styles[STYLE_BASE].align = c - 1;
            td(t, box);
            leaves.push_back(p);
        }
    }
    add(&root, t);
    root.measure_content();
    for (Probe* p : leaves) {
        const Rect r = screen_rect(p);
        const float cx = r.x + r.w / 2, cy = r.y + r.h / 2;
        root.event(mouse(EV_MOUSEDOWN, cx, cy, 1));
        EXPECT_EQ(root.event(mouse(EV_MOUSEUP, cx, cy, 1)), p->click_value)
            << "leaf " << p->click_value << " at " << cx << "," << cy;
    }
}

TEST(ScreenRect, SubtractsAncestorScrollButNotItsOwn) {
    FakeGfx fake;
    Container root;
    root.x = 5;
    Box* box = new Box(probe(0, 0, 10, 10));
    box->x = 100;
    box->y = 200;
    set_margins(box->styles[STYLE_BASE], 4);
    add(&root, box);
    root.measure_content();
    box->scroll_x = 30;
    box->scroll_y = 40;
    const Rect own = screen_rect(box);
    EXPECT_FLOAT_EQ(own.x, 105);
    EXPECT_FLOAT_EQ(own.y, 200);
    EXPECT_FLOAT_EQ(own.w, 18);
    const Rect inner = screen_rect(box->child());
    EXPECT_FLOAT_EQ(inner.x, 5 + 100 + 4 - 30);
    EXPECT_FLOAT_EQ(inner.y, 200 + 4 - 40);
}

TEST(ValueOps, WidgetsWithoutValuesSayNA) {
    Widget w;
    testing::internal::CaptureStderr();
    EXPECT_EQ(w.get_value_s(), nullptr);
    w.set_value_s("x");
    EXPECT_EQ(w.get_value_i(), 0);
    w.set_value_i(3);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "const char *get_value_s(): n/a\nset_value_s(const char *): n/a\n"
              "int get_value_i(): n/a\nset_value_i(int): n/a\n");
    VBox v(new Widget);
    v.set_value_i(12);
    EXPECT_EQ(v.get_value_i(), 12);
}

}  // namespace
