// Rewind: the recent history played backwards over the level, one snapshot a
// frame, then play resumes. It has no widgets and ignores input: once started,
// a rewind runs through every snapshot kept.
#pragma once

#include "core/state.h"

class Rewind : public State {
public:
    explicit Rewind(game* g);
    void paint() override;  // the 3D scene only
    void frame() override;  // one step back through the history per frame
};
