// Edit: the map editor.
#pragma once

#include "core/state.h"

class Edit : public State {
public:
    explicit Edit(game* g);
};
