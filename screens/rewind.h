// Rewind: rewinding over the level.
#pragma once

#include "core/state.h"

class Rewind : public State {
public:
    explicit Rewind(game* g);
    void paint() override;  // the 3D scene only
    void frame() override;  // one step back through the history per frame
};
