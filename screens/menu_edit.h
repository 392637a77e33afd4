// MenuEdit: the list of the user's own maps.
#pragma once

#include "core/state.h"

class MenuEdit : public State {
public:
    explicit MenuEdit(game* g);
};
