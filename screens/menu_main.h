// MenuMain: the main menu.
#pragma once

#include "core/state.h"

class MenuMain : public State {
public:
    explicit MenuMain(game* g);
};
