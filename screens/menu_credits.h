// MenuCredits: the credits.
#pragma once

#include "core/state.h"

class MenuCredits : public State {
public:
    explicit MenuCredits(game* g);
};
