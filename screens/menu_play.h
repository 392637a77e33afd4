// MenuPlay: the list of playable levels.
#pragma once

#include "core/state.h"

class MenuPlay : public State {
public:
    explicit MenuPlay(game* g);
};
