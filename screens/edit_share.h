// EditShare: editor: share the map online.
#pragma once

#include "core/state.h"

class EditShare : public State {
public:
    explicit EditShare(game* g);
};
