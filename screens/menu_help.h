// MenuHelp: the help.
#pragma once

#include "core/state.h"

class MenuHelp : public State {
public:
    explicit MenuHelp(game* g);
};
