// MenuDownload2: online levels: the list of one category.
#pragma once

#include "core/state.h"

class MenuDownload2 : public State {
public:
    explicit MenuDownload2(game* g);
};
