// MenuPlay: the list of playable levels.
#pragma once

#include "screens/screen.h"

class MenuPlay : public Screen {
public:
    explicit MenuPlay(game* g);
    void paint() override;  // over the level
};
