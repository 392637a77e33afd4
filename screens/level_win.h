// LevelWin: level won, with rating.
#pragma once

#include "core/state.h"

class LevelWin : public State {
public:
    explicit LevelWin(game* g);
};
