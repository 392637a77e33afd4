// MenuDownload1: online levels: the categories.
#pragma once

#include "core/state.h"

class MenuDownload1 : public State {
public:
    explicit MenuDownload1(game* g);
};
