// EditShare: sharing the map with everyone through the web service. Until the
// map has been won cleanly since its last change (no rewind, every item
// collected) it shows the rule and offers a test play instead.
#pragma once

#include "screens/screen.h"

class EditShare : public Screen {
public:
    explicit EditShare(game* g);
    void enter() override;
    void paint() override;  // over the level
    void event(Event e) override;
    void frame() override;  // the root's tick

    // The answers of the buttons.
    enum : int { PLAY = 3, TO_EVERYONE = 6, CANCEL = 8 };
};
