// The rating widget: five symbols ("stars" for Awesomeness, "skulls" for
// Difficulty) of which the first `value` are lit. Under the pointer the rating
// that a click would give is shown in yellow; a click stores it; away from the
// pointer the stored value shows in blue.
#pragma once

#include "ui/widget.h"

class Stars : public Widget {
public:
    // value: the starting rating (0..5, fractions allowed: the lit part is cut
    // at value / 5 of the width); image: image index of the symbol; size: edge
    // length of one symbol in canvas units.
    Stars(float value, int image, int size);

    int image = 0;
    int size = 0;
    float value = 0;        // the chosen rating, 0..5
    float hover_value = 0;  // the rating under the pointer, 0 when none

    int get_value_i() override;     // value, truncated
    void set_value_i(int v) override;
    int event(const Event& ev) override;
    void paint_content() override;
    void measure_content() override;  // 5 * size by size
};
