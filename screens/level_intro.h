// LevelIntro: the level's title and intro text over the level while the camera
// flies in; any key press or mouse release starts play.
#pragma once

#include "screens/screen.h"

class LevelIntro : public Screen {
public:
    explicit LevelIntro(game* g);
    void enter() override;
    void paint() override;
    void event(Event e) override;
    void frame() override;  // the camera eases in towards zoom 12.5
};
