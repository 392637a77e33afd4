// EditMenu: the editor menu.
#pragma once

#include "screens/screen.h"

class EditMenu : public Screen {
public:
    explicit EditMenu(game* g);
    void paint() override;  // over the level
    void frame() override;  // the root's tick
};
