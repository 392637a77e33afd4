// Containers: event routing, tree building, Box, VBox, Label and the button.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_set>

#include "ui/widget.h"
#include "ui/widget_gfx.h"

// ---------------------------------------------------------------------------
// Container

Container::~Container() {
    for (Widget* c : children) delete c;
}

Widget* Container::find(const std::string& n) {
    for (Widget* c : children)
        if (Widget* found = c->find(n)) return found;
    return Widget::find(n);
}

Widget* Container::hit_test(float px, float py) const {
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        const Widget* c = *it;
        if (c->disabled) continue;
        if (float(c->x) <= px && px < float(c->x + c->w) && float(c->y) <= py &&
            py < float(c->y + c->h))
            return *it;
    }
    return nullptr;
}

namespace {
// A copy of ev in the outer coordinates of child c.
Event for_child(const Event& ev, const Widget* c) {
    Event e = ev;
    e.x -= float(c->x);
    e.y -= float(c->y);
    return e;
}
}  // namespace

int Container::event(const Event& ev) {
    if (int answer = Widget::event(ev)) return answer;
    if (ev.kind == EV_CLICK) return 0;

    Widget* target = hit_test(ev.x, ev.y);

    Widget* new_focus = focus_child;
    if (ev.kind == EV_MOUSEDOWN)
        new_focus = target;
    else if (ev.kind == EV_BLUR)
        new_focus = nullptr;
    if (new_focus != focus_child) {
        if (Widget* old = focus_child) {
            Event e = ev;
            e.kind = EV_BLUR;
            old->event(e);
        }
        if (new_focus) {
            Event e = ev;
            e.kind = EV_FOCUS;
            e.key = 6;  // focus given by a press
            new_focus->event(e);
        }
        focus_child = new_focus;
    }

    Widget* new_hover = hover_child;
    if (ev.kind == EV_MOUSEMOVE || ev.kind == EV_MOUSEDOWN)
        new_hover = target;
    else if (ev.kind == EV_LEAVE)
        new_hover = nullptr;
    if (new_hover != hover_child) {
        if (Widget* old = hover_child) {
            Event e = ev;
            e.kind = EV_LEAVE;
            old->event(e);
        }
        if (new_hover) {
            Event e = ev;
            e.kind = EV_ENTER;
            new_hover->event(e);
        }
        hover_child = new_hover;
    }

    switch (ev.kind) {
    case EV_FOCUS:
    case EV_BLUR:
    case EV_ENTER:
    case EV_LEAVE:
        return 0;
    default:
        break;
    }

    if (hover_child && hover_child != focus_child &&
        (ev.kind == EV_MOUSEMOVE || ev.kind == EV_WHEEL)) {
        if (int answer = hover_child->event_outer(for_child(ev, hover_child))) return answer;
    }
    if (Widget* f = focus_child) {
        if (int answer = f->event_outer(for_child(ev, f))) return answer;
        if (hover_child == f && ev.kind == EV_MOUSEUP) {
            Event click = for_child(ev, f);
            click.kind = EV_CLICK;
            return f->event_outer(click);
        }
    }
    return 0;
}

void Container::tick() {
    for (Widget* c : children) c->tick();
}

void Container::paint_content() {
    WidgetGfx& gfx = widget_gfx();
    for (Widget* c : children) {
        gfx.translate2d(c->x, c->y);
        c->paint();
        gfx.translate2d(-c->x, -c->y);
    }
}

namespace {
unsigned layout_pass = 0;
int layout_depth = 0;
}  // namespace

LayoutPass::LayoutPass() {
    if (layout_depth++ == 0) ++layout_pass;
}

LayoutPass::~LayoutPass() { --layout_depth; }

void style_step(Widget* w) {
    if (!w || (layout_depth > 0 && w->style_pass == layout_pass)) return;
    style_resolve(w);
    w->style_pass = layout_pass;
}

void Container::measure_content() {
    LayoutPass pass;
    int cw = 0, ch = 0;
    for (Widget* c : children) {
        style_step(c);
        c->measure();
        cw = std::max(cw, c->x + c->w);
        ch = std::max(ch, c->y + c->h);
    }
    content_w = cw;
    content_h = ch;
}

// ---------------------------------------------------------------------------
// Tree building

void add(Container* c, Widget* child) {
    if (!c || !child) return;
    c->children.push_back(child);
    child->parent = c;
    style_resolve(child);
    child->measure_content();
}

namespace {

void collect_subtree(const Widget* w, std::unordered_set<const Widget*>& out) {
    out.insert(w);
    if (const Container* c = dynamic_cast<const Container*>(w))
        for (const Widget* k : c->children) collect_subtree(k, out);
}

void forget_focus_targets(Widget* w, const std::unordered_set<const Widget*>& gone) {
    if (w->next_focus && gone.count(w->next_focus)) w->next_focus = nullptr;
    if (Container* c = dynamic_cast<Container*>(w))
        for (Widget* k : c->children) forget_focus_targets(k, gone);
}

// Takes `child` out of c and deletes it. False when it is not a child or c
// keeps it.
bool take_out(Container* c, Widget* child, Widget* successor) {
    auto it = std::find(c->children.begin(), c->children.end(), child);
    if (it == c->children.end() || !c->release_child(child, successor)) return false;
    c->children.erase(it);
    // Tab must never lead into a deleted widget.
    std::unordered_set<const Widget*> gone;
    collect_subtree(child, gone);
    Widget* root = c;
    while (root->parent) root = root->parent;
    forget_focus_targets(root, gone);
    delete child;
    return true;
}

}  // namespace

bool Container::release_child(Widget* child, Widget*) {
    if (hover_child == child) hover_child = nullptr;
    if (focus_child == child) focus_child = nullptr;
    return true;
}

void remove(Container* c, Widget* child) {
    if (!c || !child) return;
    take_out(c, child, nullptr);
}

void replace(Widget* old, Widget* fresh) {
    if (!old || !fresh || old == fresh) return;
    Container* parent = dynamic_cast<Container*>(old->parent);
    if (!parent) return;
    // Deleting `old` would delete a newcomer inside it, and one owned elsewhere
    // would have two owners.
    if (fresh->parent) {
        fprintf(stderr, "replace(): the new widget already has a parent\n");
        return;
    }
    for (const Widget* w = old; w; w = w->parent) {
        if (w == fresh) {
            fprintf(stderr, "replace(): the new widget holds the old one\n");
            return;
        }
    }
    // Boxes and tables place their children at the next layout; a plain container
    // does not, so the newcomer takes the old one's place.
    const int col = old->col, row = old->row, colspan = old->colspan, rowspan = old->rowspan;
    const int x = old->x, y = old->y;
    if (!take_out(parent, old, fresh)) return;
    fresh->col = col;
    fresh->row = row;
    fresh->colspan = colspan;
    fresh->rowspan = rowspan;
    fresh->x = x;
    fresh->y = y;
    add(parent, fresh);
}

void clear(Container* c) {
    if (!c) return;
    std::unordered_set<const Widget*> gone;
    for (const Widget* child : c->children) collect_subtree(child, gone);
    Widget* root = c;
    while (root->parent) root = root->parent;
    forget_focus_targets(root, gone);
    for (Widget* child : c->children) delete child;
    c->children.clear();
    c->hover_child = nullptr;
    c->focus_child = nullptr;
    Widget* parent = c->parent;
    static_cast<WidgetFields&>(*c) = WidgetFields();
    c->parent = parent;
    c->reset_as_new();
}

// ---------------------------------------------------------------------------
// Box

Box::Box(Widget* c) {
    if (c) {
        c->x = 0;
        c->y = 0;
        add(this, c);
    }
}

void Box::measure_content() {
    Container::measure_content();
    const Style& s = styles[STYLE_CURRENT];
    const int lr = style_or(s.border_left, 0) + style_or(s.margin_left, 0) +
                   style_or(s.padding_left, 0) + style_or(s.border_right, 0) +
                   style_or(s.margin_right, 0) + style_or(s.padding_right, 0);
    const int tb = style_or(s.border_top, 0) + style_or(s.margin_top, 0) +
                   style_or(s.padding_top, 0) + style_or(s.border_bottom, 0) +
                   style_or(s.margin_bottom, 0) + style_or(s.padding_bottom, 0);
    const Widget* c = child();
    const int child_w = c ? c->w : 0;
    const int child_h = c ? c->h : 0;
    const int width = style_or(s.width, 0);
    const int height = style_or(s.height, 0);
    if (style_or(s.clip, 0)) {
        content_w = width ? width - lr : child_w;
        content_h = height ? height - tb : child_h;
    } else {
        content_w = std::max(width - lr, child_w);
        content_h = std::max(height - tb, child_h);
    }
    align_child();
}

void Box::set_content_size(int cw, int ch) {
    measure_content();
    content_w = cw;
    content_h = ch;
    align_child();
}

void Box::align_child() {
    Widget* c = child();
    if (!c) return;
    const Style& s = styles[STYLE_CURRENT];
    c->x = (content_w - c->w) * (style_or(s.align, 0) + 1) / 2;
    c->y = (content_h - c->h) * (style_or(s.valign, 0) + 1) / 2;
}

void Box::paint_content() {
    const bool clipped = style_or(styles[STYLE_CURRENT].clip, 0) != 0;
    if (clipped) widget_gfx().clip_push(content_w, content_h);
    Container::paint_content();
    if (clipped) widget_gfx().clip_pop();
}

// ---------------------------------------------------------------------------
// Label

Label::Label(int f, const char* t) : font(f), text(t ? t : ""), has_text(t != nullptr) {}

void Label::measure_content() {
    WidgetGfx& gfx = widget_gfx();
    const Style& s = styles[STYLE_CURRENT];
    // Rounded up: a width cut below the text's own would wrap its last glyph.
    content_w = s.width != STYLE_UNSET
                    ? s.width
                    : event_int(std::ceil(double(gfx.text_width(font, text.c_str()))));
    content_h = has_text ? int(gfx.text_height(font, text.c_str(), float(content_w)))
                         : int(gfx.line_height(font));
}

void Label::paint_content() {
    WidgetGfx& gfx = widget_gfx();
    const Style& s = styles[STYLE_CURRENT];
    tint_rgb(style_or(s.color, 0xFFFFFF), 255);
    gfx.text_draw(font, text.c_str(), 0, 0, float(content_w), style_or(s.align, -1));
    tint_reset();
}

// ---------------------------------------------------------------------------
// The standard button

namespace {

// The framed, highlighted box of buttons and cards around `inner`, wrapped in
// an outer Box that centres it in a table cell.
Box* framed_button(Widget* inner, int value, int width, int height, int box_image) {
    WidgetGfx& gfx = widget_gfx();
    Box* b = new Box(inner);
    Style& s = b->styles[STYLE_BASE];
    s.width = width;
    s.height = height;
    set_borders(s, 2);
    set_paddings(s, 0);
    set_margins(s, 10);
    s.box_color = 0xFFFFFF;
    s.box_corner = 30;
    s.box = box_image ? box_image : gfx.image_get("box");
    s.overlay = gfx.image_get("box2");
    s.overlay_alpha = 0;
    s.overlay_corner = 30;
    b->styles[STYLE_HOVER].overlay_alpha = 85;
    b->styles[STYLE_FOCUS].overlay_alpha = 0;
    b->styles[STYLE_FOCUS_HOVER].overlay_alpha = 170;
    b->click_value = value;

    Box* outer = new Box(b);
    style_resolve(outer);
    outer->measure_content();
    return outer;
}

}  // namespace

Box* make_button(const char* text, int value, int width, int box_image) {
    Label* label = new Label(widget_gfx().font_get("font2"), text);
    set_margins(label->styles[STYLE_BASE], 10);
    return framed_button(label, value, width, 60, box_image);
}

Box* make_card(Widget* widget, int value) {
    // A Box always has its one child.
    return framed_button(widget ? widget : new Widget, value, 240, 98, 0);
}
