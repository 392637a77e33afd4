// EditInfo: editor: title and options of the map.
#pragma once

#include "core/state.h"

class EditInfo : public State {
public:
    explicit EditInfo(game* g);
};
