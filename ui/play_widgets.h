// The two play-screen controls that act on the level directly: the camera-turn
// button and the bomb selector.
#pragma once

#include "core/game.h"
#include "ui/widget.h"

// Turns the level's camera heading target by dir x 45 degrees on a press, and
// again each time the view has caught up while the button stays held on it.
class WRotate : public Widget {
public:
    WRotate(::level* lv, int dir);

    ::level* level = nullptr;
    int dir = 1;      // +1 or -1
    int held = 0;

    int event(const Event& ev) override;
    void tick() override;
};

// One bomb kind (19..22): its icon, the stock left and a highlight when such a
// bomb lies on the map; a left press uses the bomb and answers -1.
class WBomb : public Widget {
public:
    WBomb(::game* g, int kind);

    int kind = 0;
    ::game* game = nullptr;

    int event(const Event& ev) override;
    void paint_content() override;
    void measure_content() override;
};
