// The scrolling viewport (drag, fling, wheel) and its pairing with a scroll bar.
#pragma once

#include "ui/slider.h"
#include "ui/widget.h"

// Shows its first child (the content) through a `width` x `height` viewport at
// the offset scroll_x/scroll_y. Dragging with a button held scrolls and then
// swallows the release, so a drag never clicks the entry under the pointer; a
// vertical drag keeps gliding (the fling) after the release.
class ScrollBox : public Container {
public:
    explicit ScrollBox(Widget* content);

    int dragging = 0;
    int fling = 0;        // vertical speed, units per frame

    Widget* content() const { return children.empty() ? nullptr : children.front(); }
    int event(const Event& ev) override;
    void tick() override;
    void paint_content() override;
    void measure_content() override;

    // Holds the offsets within 0..(content size - viewport).
    void clamp_scroll();
    void reset_as_new() override;
};

// A one-row table: a scroll box and a vertical bar kept in step with it. `box`
// and `bar` follow their children: null once removed, the newcomer when
// replaced by a widget of the same kind. Cleared, the pair has a new bar and
// no box.
class ScrollBox2 : public Table {
public:
    explicit ScrollBox2(ScrollBox* scroll_box);

    ScrollBox* box = nullptr;
    VSlider* bar = nullptr;

    int event(const Event& ev) override;
    void measure_content() override;
    bool release_child(Widget* child, Widget* successor) override;
    void reset_as_new() override;

private:
    void build();
};
