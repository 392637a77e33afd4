// MenuCredits: the credits.
#pragma once

#include "screens/screen.h"

class MenuCredits : public Screen {
public:
    explicit MenuCredits(game* g);
    void paint() override;  // as a menu
};
