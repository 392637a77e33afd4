// MenuHelp: the help.
#pragma once

#include "screens/screen.h"

class MenuHelp : public Screen {
public:
    explicit MenuHelp(game* g);
    void paint() override;  // as a menu
};
