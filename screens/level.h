// Level: a level being played.
#pragma once

#include "core/state.h"

class Level : public State {
public:
    explicit Level(game* g);
};
