// LevelIntro: the level introduction before play.
#pragma once

#include "core/state.h"

class LevelIntro : public State {
public:
    explicit LevelIntro(game* g);
};
