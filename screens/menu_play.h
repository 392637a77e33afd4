// MenuPlay: the tutorial browser. One tutorial level at a time (the game
// database's levels whose name begins with "t", in name order) over its turning
// preview, with Previous / Next (and the arrow keys, wrapping both ways) and
// Play.
#pragma once

#include "screens/screen.h"

class MenuPlay : public Screen {
public:
    explicit MenuPlay(game* g);
    void enter() override;
    void paint() override;  // over the level
    void event(Event e) override;
    void frame() override;  // the list per-frame

    enum : int { MENU = 6, PLAY = 8, NEXT = 12, PREVIOUS = 13 };
};
