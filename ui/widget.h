// The widget core: styled boxes on the canvas, containers that route pointer and
// key events to their children, and the grid table.
//
// A widget answers an event with an integer action value (0 = nothing) that the
// owning screen switches on; there are no callbacks. Coordinates are canvas
// units; a widget's x, y are in its parent's content coordinates. Containers own
// their children (raw pointers made with new). Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/graphics.h"
#include "platform/event.h"

// A style property that is not given.
constexpr int32_t STYLE_UNSET = int32_t(0xFF000001u);

enum : int { STYLE_SLOTS = 37 };

// One set of style properties, in slot order. Colours are 0xRRGGBB, alphas
// 0..255, image properties image indices; every value starts unset.
struct Style {
    int32_t width = STYLE_UNSET;           // 0
    int32_t height = STYLE_UNSET;          // 1
    int32_t clip = STYLE_UNSET;            // 2: a Box clips its child and takes its size exactly
    int32_t align = STYLE_UNSET;           // 3: -1 left, 0 centre, 1 right
    int32_t valign = STYLE_UNSET;          // 4: -1 top, 0 middle, 1 bottom
    int32_t color = STYLE_UNSET;           // 5: text colour
    int32_t background = STYLE_UNSET;      // 6: fill of the padding box
    int32_t border_top = STYLE_UNSET;      // 7
    int32_t border_right = STYLE_UNSET;    // 8
    int32_t border_bottom = STYLE_UNSET;   // 9
    int32_t border_left = STYLE_UNSET;     // 10
    int32_t border_color = STYLE_UNSET;    // 11
    int32_t padding_top = STYLE_UNSET;     // 12
    int32_t padding_right = STYLE_UNSET;   // 13
    int32_t padding_bottom = STYLE_UNSET;  // 14
    int32_t padding_left = STYLE_UNSET;    // 15
    int32_t margin_top = STYLE_UNSET;      // 16
    int32_t margin_right = STYLE_UNSET;    // 17
    int32_t margin_bottom = STYLE_UNSET;   // 18
    int32_t margin_left = STYLE_UNSET;     // 19
    int32_t box_color = STYLE_UNSET;       // 20: tint of the framed box
    int32_t box_outset = STYLE_UNSET;      // 21: reach of the box outside the border box
    int32_t box_corner = STYLE_UNSET;      // 22: unset = 16
    int32_t box = STYLE_UNSET;             // 23: framed box image
    int32_t image = STYLE_UNSET;           // 24: icon over the content rectangle
    int32_t image_color = STYLE_UNSET;     // 25: unset = white
    int32_t image_alpha = STYLE_UNSET;     // 26: unset = 255
    int32_t unused27 = STYLE_UNSET;
    int32_t unused28 = STYLE_UNSET;
    int32_t overlay = STYLE_UNSET;         // 29: second framed box, over the icon
    int32_t overlay_color = STYLE_UNSET;   // 30: unset = white
    int32_t overlay_alpha = STYLE_UNSET;   // 31: unset = 255
    int32_t unused32 = STYLE_UNSET;
    int32_t overlay_corner = STYLE_UNSET;  // 33: unset = 16
    int32_t unused34 = STYLE_UNSET;
    int32_t unused35 = STYLE_UNSET;
    int32_t unused36 = STYLE_UNSET;

    // Property by slot number 0..36.
    int32_t& slot(int i);
    int32_t slot(int i) const;
};

// The four sides at once (top, right, bottom, left).
void set_margins(Style& s, int v);
void set_paddings(Style& s, int v);
void set_borders(Style& s, int v);

// The whole part of an event-derived number (truncated toward zero), safe for
// any value: NaN reads as 0 and magnitudes are held within +-1e9.
inline int event_int(double v) {
    if (!(v == v)) return 0;
    if (v > 1e9) return 1000000000;
    if (v < -1e9) return -1000000000;
    return int(v);
}

// v held within lo..hi (lo wins when hi < lo).
inline int clamp_range(int v, int lo, int hi) {
    if (v > hi) v = hi;
    if (v < lo) v = lo;
    return v;
}

// A set value, or `fallback` when unset.
inline int32_t style_or(int32_t v, int32_t fallback) { return v == STYLE_UNSET ? fallback : v; }

// The seven style variants of a widget.
enum : int {
    STYLE_BASE = 0,         // fallback for every state
    STYLE_NORMAL = 1,       // neither hovered nor focused
    STYLE_CURRENT = 2,      // resolved, animated values; never set by screens
    STYLE_HOVER = 3,
    STYLE_FOCUS = 4,
    STYLE_FOCUS_HOVER = 5,
    STYLE_SELECTED = 6,     // wins over all others while `selected` is set
    STYLE_VARIANTS = 7,
};

class Widget;

// Every plain field of a widget, kept apart from the operations so `clear` can
// reset them in one assignment.
struct WidgetFields {
    Widget* parent = nullptr;
    Widget* next_focus = nullptr;   // takes the focus on Tab; null = none
    int content_x = 0, content_y = 0;   // content rectangle inside the widget
    int content_w = 0, content_h = 0;
    int x = 0, y = 0;               // outer rectangle in the parent's content coordinates
    int w = 0, h = 0;               // outer (margin box) size
    int scroll_x = 0, scroll_y = 0; // scroll offset of this widget's own content
    int click_value = 0;
    int down_value = 0;
    int move_value = 0;
    int change_value = 0;
    std::string name;
    Style styles[STYLE_VARIANTS];
    int hovered = 0;
    int focused = 0;
    int pressed = 0;                // hovered and focused
    int selected = 0;
    int variant = 0;                // 0 normal, 2 hover, 3 focus, 4 focus and hover
    int disabled = 0;               // skipped by hit-testing; still painted
    int col = 0, row = 0;           // Table cell
    int colspan = 1, rowspan = 1;
};

class Widget : public WidgetFields {
public:
    Widget() = default;
    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;

    // This widget when its name equals `name`, else null.
    virtual Widget* find(const std::string& name);
    // The value operations of widgets without a value print "n/a" and answer 0/null.
    virtual const char* get_value_s();
    virtual void set_value_s(const char* text);
    virtual int get_value_i();
    virtual void set_value_i(int value);
    // Moves the focus to this widget: the old focus path is blurred, then this
    // widget and each ancestor get EV_FOCUS.
    virtual void focus();
    // An event with coordinates relative to the content rectangle; the base
    // handling keeps the state flags and answers the click/down/move values.
    virtual int event(const Event& ev);
    virtual void tick();
    // Draws the content with the content rectangle's corner at the origin.
    virtual void paint_content();
    // Imposes a content size; a plain widget keeps its natural one.
    virtual void set_content_size(int cw, int ch);
    // content_w/content_h from the current width/height (unset = 0).
    virtual void measure_content();
    // An event with coordinates relative to the outer rectangle.
    virtual int event_outer(const Event& ev);
    // Decoration, then content, with the outer rectangle's corner at the origin.
    virtual void paint();
    // Imposes an outer size.
    virtual void resize(int w, int h);
    // measure_content, then content_x/y and w/h from the edges.
    virtual void measure();
    virtual ~Widget();

    // Sets `pressed` and `variant` from `hovered` and `focused`.
    void update_state();

    // The layout pass in which the style last took its step (see LayoutPass).
    unsigned style_pass = 0;
};

// Holds, routes to and paints child widgets. Children are painted in list order
// and hit-tested from the last to the first.
class Container : public Widget {
public:
    std::vector<Widget*> children;
    Widget* hover_child = nullptr;
    Widget* focus_child = nullptr;

    // A matching descendant first (children in order), then this container.
    Widget* find(const std::string& name) override;
    int event(const Event& ev) override;
    void tick() override;
    void paint_content() override;
    // Resolves and measures every child; the content is the children's extent.
    void measure_content() override;
    ~Container() override;

    // The last child that is not disabled and contains the point, or null.
    Widget* hit_test(float px, float py) const;

    // Called by remove and replace before `child` leaves this container to be
    // deleted: forgets every pointer kept to it, handing its role to
    // `successor` (null on remove) when the successor can take it. Answers
    // false, with a diagnostic, to keep the child where it is.
    virtual bool release_child(Widget* child, Widget* successor);
    // Called by clear once the children are deleted and the common fields
    // reset: puts back what the constructor of this kind adds to them.
    virtual void reset_as_new() {}
};

// A container with exactly one child, which it aligns inside its content (and
// clips to it when the `clip` style is set).
class Box : public Container {
public:
    explicit Box(Widget* child);
    Widget* child() const { return children.empty() ? nullptr : children.front(); }

    void paint_content() override;
    void set_content_size(int cw, int ch) override;
    void measure_content() override;
    virtual void align_child();
};

// A Box with an integer value (list entries, picker cells).
class VBox : public Box {
public:
    explicit VBox(Widget* child) : Box(child) {}
    int value = 0;
    int get_value_i() override { return value; }
    void set_value_i(int v) override { value = v; }
    void reset_as_new() override { value = 0; }
};

// Text in one font, wrapped at the `width` style when it is set; without it as
// wide as the text, rounded up to a whole unit.
class Label : public Widget {
public:
    Label(int font, const char* text);   // copies the text; null = no text
    int font = 0;
    std::string text;
    bool has_text = false;

    void paint_content() override;
    void measure_content() override;
};

// A grid: children take cells (col, row, colspan, rowspan); columns and rows are
// as wide and high as their widest and highest cells. The `filler` child spans
// the whole grid with the table's own `width` x `height`, so a table never
// shrinks below them.
class Table : public Container {
public:
    Table();
    int cur_row = -1;
    int cur_col = 0;
    Widget* filler = nullptr;   // never removed or replaced: it is the table's own

    void measure_content() override;
    bool release_child(Widget* child, Widget* successor) override;
    void reset_as_new() override;

private:
    void add_filler();
};

// Tree building. A container owns what is added to it.
// Appends `child`, resolves its style once and measures its content. The
// position is the caller's.
void add(Container* c, Widget* child);
// Deletes `child` and forgets it as hover or focus child (and in whatever role
// its container keeps it); null or a widget that is not a child is ignored. A
// table's filler stays (with a diagnostic).
void remove(Container* c, Widget* child);
// Puts `fresh` where `old` was: the grid cell and position carry over, `old` is
// deleted. Nothing happens when `old` has no parent (the caller keeps `fresh`).
// Refused, with a diagnostic and nothing changed, when `fresh` already has a
// parent (it may lie inside `old`), holds `old`, or `old` is a table's filler.
void replace(Widget* old, Widget* fresh);
// Deletes every child and resets every field except `parent` to that of a new
// widget of the same kind (a Table gets a new filler, a GridPicker its margins).
void clear(Container* c);
// find on the root, null-safe.
Widget* find(Widget* root, const std::string& name);
// The outer rectangle in canvas coordinates.
Rect screen_rect(const Widget* w);

// Table rows and cells.
void tr(Table* t);
void td(Table* t, Widget* child);
// col/row -1 keep the current column/row.
void td_span(Table* t, int col, int row, int colspan, Widget* child);

// One step of every style property of `current` towards its target.
void style_resolve(Widget* w);

// A layout pass: the outermost measure_content call on a tree opens one, and
// everything measured inside it (tables re-measure the cells they resize)
// belongs to it. Containers step their children's styles once per pass, so
// transitions advance exactly one step per laid-out frame.
class LayoutPass {
public:
    LayoutPass();
    ~LayoutPass();
    LayoutPass(const LayoutPass&) = delete;
    LayoutPass& operator=(const LayoutPass&) = delete;
};
// style_resolve, unless the widget's style already took its step in this pass.
void style_step(Widget* w);

// The standard button: a 60-high framed Box of `width` around a "font2" label,
// with a highlight overlay that fades in under the pointer; `box_image` 0 uses
// "box". Returned wrapped in an outer Box that centres it in a table cell.
Box* make_button(const char* text, int value, int width, int box_image);
// The same framed, highlighted box (240 x 98) around any widget, answering
// `value` when clicked; a null widget makes an empty card.
Box* make_card(Widget* widget, int value);
