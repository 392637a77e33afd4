// Pause: the pause screen over the level (also after the player dies).
#pragma once

#include "core/state.h"

class Pause : public State {
public:
    explicit Pause(game* g);
};
