// MenuError: the error message screen.
#pragma once

#include "core/state.h"

class MenuError : public State {
public:
    explicit MenuError(game* g);
};
