// MenuMain: the main menu.
#pragma once

#include "screens/screen.h"

class MenuMain : public Screen {
public:
    explicit MenuMain(game* g);
    void paint() override;  // as a menu
    void frame() override;  // the root's tick
};
