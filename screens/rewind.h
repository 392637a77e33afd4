// Rewind: rewinding over the level.
#pragma once

#include "core/state.h"

class Rewind : public State {
public:
    explicit Rewind(game* g);
};
