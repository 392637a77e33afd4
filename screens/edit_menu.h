// EditMenu: the editor menu.
#pragma once

#include "core/state.h"

class EditMenu : public State {
public:
    explicit EditMenu(game* g);
};
