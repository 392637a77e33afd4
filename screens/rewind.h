// Rewind: rewinding over the level.
#pragma once

#include "core/state.h"

class Rewind : public State {
public:
    explicit Rewind(game* g);
    void frame() override;  // one step back through the history per frame
};
