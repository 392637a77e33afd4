// MenuEdit: the list of the user's own maps.
#pragma once

#include "screens/screen.h"

class MenuEdit : public Screen {
public:
    explicit MenuEdit(game* g);
};
