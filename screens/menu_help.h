// MenuHelp: the help screen; it shows what the credits show.
#pragma once

#include "screens/menu_credits.h"

class MenuHelp : public MenuCredits {
public:
    explicit MenuHelp(game* g);
};
