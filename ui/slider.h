// The horizontal number slider and the vertical scroll bar.
#pragma once

#include "ui/widget.h"

// A track with a knob and the number at its right. While focused, a press, drag
// or release with a button moves the value; with `live` every change answers
// change_value, without it only the release does.
class NumSlider : public Widget {
public:
    NumSlider(int value, int live);

    int min = 0;
    int max = 100;
    int value = 0;
    int knob = 0;      // knob width
    int label_w = 0;   // width kept for the number
    int step = 1;
    int live = 0;
    int font = 0;

    int get_value_i() override { return value; }
    void set_value_i(int v) override { value = v; }   // clamped when painted
    int event(const Event& ev) override;
    void paint_content() override;
};

// A vertical bar over min..max; the wheel moves it by 30 even without focus.
class VSlider : public Widget {
public:
    int min = 0;
    int max = 1;
    int value = 0;
    int knob = 20;     // knob height

    int get_value_i() override { return value; }
    void set_value_i(int v) override;                  // clamped to min..max
    int event(const Event& ev) override;
    void paint_content() override;
};

// A NumSlider named `name`.
NumSlider* make_slider(const char* name, int value, int live);
