// MenuSettings: the settings.
#pragma once

#include "core/state.h"

class MenuSettings : public State {
public:
    explicit MenuSettings(game* g);
};
